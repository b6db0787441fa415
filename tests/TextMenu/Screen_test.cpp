// Screen_test.cpp - the screen image (writing, filling, printing, boxes) and the
// full-screen pick list drawn from it.
#include "MenuFixture.h"

namespace {

using ScreenTest = MenuTest;

TEST_F(ScreenTest, WritesFillsPrintsAndBoxesStayInsideTheImage) {
  std::string cells = "......", wide(600, '.');
  ScreenImage im{3, 2, 1, 0, 0, 0, 0, 0, cells.data()}, w{600, 1, 0, 1, 0, 0, 0, 0, wide.data()};
  WriteString(&im, "%s", "ab");  // row 0 is taken as row 1; the cursor does not move
  EXPECT_EQ(cells + std::to_string(im.CursorRow * 10 + im.CursorCol), ".ab...11");
  SetPosition(&im, 2, 1);
  WriteString(&im, "%d%c", 12, 'z');  // on into the next row
  SetPosition(&im, 7, 2);  // a column outside the row is taken as 0
  WriteString(&im, "longer than the rest");
  EXPECT_EQ(cells, ".a1lon");
  FillArea(&im, 1, 0, 5, 5, '#');
  FillArea(&im, -1, 1, 2, 1, '+');
  EXPECT_EQ(cells, ".##+##");
  WriteString(&w, "%s", std::string(600, 'w').c_str());
  EXPECT_EQ(wide, std::string(511, 'w') + std::string(89, '.'));
  int r = -1;
  cells = std::string("ab\0def", 6);
  EXPECT_EQ(Run("", [&] { r = Refresh(&im); }), "ab de");  // never the last cell
  EXPECT_EQ(r, 0);
  cells = "a\ncdef";
  EXPECT_EQ(Run("", [&] { Refresh(&im); }), "a\nde");  // a row ends at a line feed
  SetOvlInfo(&im, 0, 1, 5, 1);
  const std::string box = Run("\nrest\n", [&] { Overlay(&im, "hello world", 1); });
  EXPECT_EQ(box + unread_, "*********" "* hello *" "*  worl *" "* d     *" "* Press enter*" "*********rest\n");
  EXPECT_EQ(Run("", [&] { Overlay(&im, "a\nb", 0); }), "*********" "* a     *" "* b     *" "*********");
  ScreenImage* img = GetTermInfo(nullptr);  // standard output is no terminal here: 80 x 24
  NumberScreen(img);
  EXPECT_EQ(std::to_string(img->Columns * 100 + img->Rows) + std::string(img->pCells + 23 * 80 + 68, 12), "8024890123456789");
  ClearScreen(img);
  EXPECT_EQ(std::string(img->pCells, 80 * 24), std::string(80 * 24, ' '));
  PutMem(img->pCells), PutMem(img);
}

int gActs = 0;

// A several-states entry with a hidden state (Punch), alone in its menu.
class PickTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    menu_ = Desc("multi F Finishing\n  states none,Staple,_Punch,Fold\n  default Staple,Fold\n");
    item_ = menu_->pItems;
    item_->pfnAction = [](TextMenu*, TextMenuItem*) { return ++gActs, 0; };
    InitMenu(menu_, nullptr);
    HideStateSelection(item_, 2);
  }
  void Choose(const std::string& input, const char* option = nullptr) {
    std::string opt = option != nullptr ? option : "";
    gActs = 0;
    Run(input, [&] { ProcessStateValue(menu_, 0, option != nullptr ? opt.data() : nullptr); });
  }
  TextMenu* menu_ = nullptr;
  TextMenuItem* item_ = nullptr;
};

// The page (its frame: e2e.menu) numbers only the visible states and marks the chosen.
TEST_F(PickTest, PagesMarkTheChosenAndNumberTheVisibleStates) {
  uint32_t hidden = 0;
  int shown = -1;
  const std::string out = Run("", [&] { shown = PrintPickOneManyScreen(item_, &hidden, 0); });
  std::string rows;
  for (int r = 2; r < 6; ++r) rows += std::string(pScreen->pCells + r * 80, 13) + "|";
  EXPECT_EQ(rows + std::to_string(shown) + CurrentSelection + std::to_string(hidden), "    1) none  |"
            " -> 2) Staple|       Punch |"  " -> 4) Fold  |4Staple, Fold4");
  EXPECT_EQ(out, std::string(pScreen->pCells, 80 * 24 - 1));
  std::string many;  // 20 states of 40 characters: 18 on the first page, one column
  for (int i = 1; i <= 20; ++i) many += (i > 1 ? "," : "") + std::string(40, static_cast<char>('a' + i));
  item_->pStates = many.data();
  InitMenu(menu_, nullptr);
  const std::string pages = Run("\n\ns\n", [&] { ProcessStateValue(menu_, 0, nullptr); });
  size_t firsts = 0;  // the first page, then again after the last
  for (size_t at = 0; (at = pages.find(" 1) ", at)) != std::string::npos; ++at) ++firsts;
  Run("", [&] { shown = PrintPickOneManyScreen(item_, &hidden, 0) * 100 + PrintPickOneManyScreen(item_, &hidden, 18); });
  EXPECT_EQ(shown * 10 + static_cast<int>(firsts), 18022);
  many = "a," + std::string(150, 'w');  // a screen too narrow for the widest state
  item_->pStates = many.data();
  InitMenu(menu_, nullptr);
  const std::string notice = Run("\n", [&] { shown = PrintPickOneManyScreen(item_, &hidden, 0); });
  EXPECT_EQ(notice + std::to_string(shown) + unread_, Cat(25, 206) + Cat(25, 207, 80, 24) + Cat(25, 208, 95, 7) + "-1");
}

// Each row chooses on the list of the entry, from the value 0xA (type 10: Staple and
// Fold) or 1 (type 9: Staple): the value, the action's calls, the end of input.
TEST_F(PickTest, NumbersChooseSaveKeepsAndCancelOrTheEndOfInputRestore) {
  const struct { int type; const char* option; std::string input; long value; int acts; bool ended; } rows[] = {
      {ITEM_MANY_OF, "2, 4", "s\n", 0, 1, false}, {ITEM_MANY_OF, nullptr, "1 2\nsave\n", 0x9, 1, false},
      {ITEM_MANY_OF, nullptr, "1\nc\n", 0xA, 2, false}, {ITEM_MANY_OF, nullptr, "1\n", 0xA, 2, true},
      {ITEM_MANY_OF, nullptr, "\n3 1\n9,1\nx\n-\nS\n", 0xA, 0, false},  // hidden or unknown: the rest is dropped
      {ITEM_ONE_OF, nullptr, "4\n3\ns\n", 3, 1, false}, {ITEM_ONE_OF, "", "1\nC\n", 1, 2, false},
  };
  for (const auto& r : rows) {
    item_->ItemType = r.type;
    item_->Value = r.type == ITEM_ONE_OF ? 1 : 0xA;
    Choose(r.input, r.option);
    EXPECT_EQ(item_->Value.Int * 1000 + gActs * 10 + flInputEnded, r.value * 1000 + r.acts * 10 + r.ended) << r.input;
  }
  item_->pStates[0] = ' ';  // a hidden first state cannot be chosen either
  Choose("1\ns\n");
  EXPECT_EQ(item_->Value.Int, 1);
}

}  // namespace
