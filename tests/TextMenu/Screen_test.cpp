// Screen_test.cpp - the screen image (writing, filling, printing, boxes) and the
// full-screen pick list drawn from it.
#include "MenuFixture.h"

namespace {

using ScreenTest = MenuTest;

TEST_F(ScreenTest, StaysInsideTheImage) {
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
  cells = std::string("ab\0def", 6);
  EXPECT_EQ(Run("", [&] { Refresh(&im); }), "ab de");  // never the last cell
  cells = "a\ncdef";
  EXPECT_EQ(Run("", [&] { Refresh(&im); }), "a\nde");  // a row ends at a line feed
  SetOvlInfo(&im, 0, 1, 5, 1);
  const std::string box = Run("\nrest\n", [&] { Overlay(&im, "hello world", 1); });
  EXPECT_EQ(box + unread_, "*********" "* hello *" "*  worl *" "* d     *" "* Press enter*" "*********rest\n");
  EXPECT_EQ(Run("", [&] { Overlay(&im, "a\nb", 0); }), "*********" "* a     *" "* b     *" "*********");
  ScreenImage* img = GetTermInfo(nullptr);  // standard output is no terminal here: 80 x 24
  NumberScreen(img);
  EXPECT_EQ(std::to_string(img->Columns * 100 + img->Rows) + std::string(img->pCells + 23 * 80 + 68, 12),
            "8024890123456789");
  ClearScreen(img);
  EXPECT_EQ(std::string(img->pCells, 80 * 24), std::string(80 * 24, ' '));
  PutMem(img->pCells), PutMem(img);
}

// The page (its frame: e2e.menu) numbers only the visible states and marks the chosen
// ones; pages follow one another; a screen too small is reported. (Choosing on the
// list: the sessions of Loop_test.)
TEST_F(ScreenTest, PagesThePickList) {
  TextMenu* m = Desc("multi F Finishing\n  states none,Staple,_Punch,Fold\n  default Staple,Fold\n");
  TextMenuItem* it = m->pItems;
  InitMenu(m, nullptr);
  HideStateSelection(it, 2);
  uint32_t hidden = 0;
  int shown = -1;
  const std::string out = Run("", [&] { shown = PrintPickOneManyScreen(it, &hidden, 0); });
  std::string rows;
  for (int r = 2; r < 6; ++r) rows += std::string(pScreen->pCells + r * 80, 13) + "|";
  EXPECT_EQ(rows + std::to_string(shown) + CurrentSelection + std::to_string(hidden),
            "    1) none  | -> 2) Staple|       Punch | -> 4) Fold  |4Staple, Fold4");
  EXPECT_EQ(out, std::string(pScreen->pCells, 80 * 24 - 1));
  flPickListLines = 1;  // the screen is no terminal: one state a line
  const std::string lines = Run("", [&] { shown = PrintPickOneManyScreen(it, &hidden, 0); });
  flPickListLines = 0;
  EXPECT_EQ(lines.substr(0, lines.find("Fold\n") + 5) + std::to_string(shown),
            "\nFinishing\n    1) none\n -> 2) Staple\n       Punch\n -> 4) Fold\n4");
  it->ItemType = ITEM_ONE_OF, it->Value = 1;  // a choice entry takes one state; a hidden one is not taken
  Run("4\n3\ns\n", [&] { ProcessStateValue(m, 0, nullptr); });
  EXPECT_EQ(std::string(it->pCurState) + std::to_string(it->Value.Int), "Fold3");
  it->pStates[0] = ' ';  // a hidden first state neither
  Run("1\nC\n", [&] { ProcessStateValue(m, 0, nullptr); });
  EXPECT_EQ(it->Value.Int, 3);
  std::string many = "a," + std::string(150, 'w');  // a screen too narrow for the widest state
  it->pStates = many.data();
  InitMenu(m, nullptr);
  const std::string notice = Run("\n", [&] { shown = PrintPickOneManyScreen(it, &hidden, 0); });
  EXPECT_EQ(notice + std::to_string(shown) + unread_, Cat(25, 206) + Cat(25, 207, 80, 24) + Cat(25, 208, 95, 7) + "-1");
}

}  // namespace
