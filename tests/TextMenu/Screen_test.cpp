// Screen_test.cpp - the screen image (writing, filling, printing, boxes) and the
// full-screen pick list drawn from it.
#include "MenuFixture.h"

#include "MemMgr/MemMgr.h"

#include <string>
#include <vector>

namespace {

using ScreenTest = MenuTest;

// An image of the given size over its own cells.
struct Image {
  Image(int cols, int rows, const std::string& fill) : Cells(fill) {
    Img.Columns = cols;
    Img.Rows = rows;
    Img.CursorRow = 1;
    Img.pCells = Cells.data();
  }
  std::string Cells;
  ScreenImage Img{};
};

size_t Count(const std::string& s, const std::string& part) {
  size_t n = 0;
  for (size_t at = s.find(part); at != std::string::npos; at = s.find(part, at + 1)) ++n;
  return n;
}

TEST_F(ScreenTest, WriteStringStartsAtTheCursorRunsIntoTheNextRowsAndNeverPassesTheImageOr511Characters) {
  Image im(3, 2, "......");
  SetPosition(&im.Img, 1, 0);  // row 0 is taken as row 1
  WriteString(&im.Img, "%s", "ab");
  EXPECT_EQ(im.Cells, ".ab...");
  EXPECT_EQ(im.Img.CursorRow, 1);
  EXPECT_EQ(im.Img.CursorCol, 1);  // the cursor does not move
  SetPosition(&im.Img, 2, 1);
  WriteString(&im.Img, "%d%c", 12, 'z');
  EXPECT_EQ(im.Cells, ".a12z.");
  SetPosition(&im.Img, 7, 2);  // a column outside the row is taken as 0
  WriteString(&im.Img, "longer than the rest");
  EXPECT_EQ(im.Cells, ".a1lon");
  Image small(3, 2, "......");
  SetPosition(&small.Img, 2, 2);
  WriteString(&small.Img, "%s", "xyz");
  EXPECT_EQ(small.Cells, ".....x");
  Image wide(600, 1, std::string(600, '.'));
  WriteString(&wide.Img, "%s", std::string(600, 'w').c_str());
  EXPECT_EQ(wide.Cells, std::string(511, 'w') + std::string(89, '.'));
}

TEST_F(ScreenTest, RefreshLeavesOutTheLastCellAndStopsRowsAtLineFeedsAndFillAreaIsClipped) {
  Image im(3, 2, "abcdef");
  int r = -1;
  EXPECT_EQ(Run("", [&] { r = Refresh(&im.Img); }), "abcde");
  EXPECT_EQ(r, 0);
  Image lf(3, 2, "a\ncdef");
  EXPECT_EQ(Run("", [&] { Refresh(&lf.Img); }), "a\nde");
  Image fill(3, 2, "......");
  FillArea(&fill.Img, 1, 0, 5, 5, '#');
  EXPECT_EQ(fill.Cells, ".##.##");
  FillArea(&fill.Img, -1, 1, 2, 1, '+');
  EXPECT_EQ(fill.Cells, ".##+##");
}

TEST_F(ScreenTest, OverlayFramesTheTextAndWaitsForEnter) {
  Image im(80, 24, std::string(80 * 24, ' '));
  SetOvlInfo(&im.Img, 0, 1, 5, 1);
  EXPECT_EQ(Run("\nrest\n", [&] { Overlay(&im.Img, "hello world", 1); }),
            "*********"
            "* hello *"
            "*  worl *"
            "* d     *"
            "* Press enter*"
            "*********");
  EXPECT_EQ(Unread(), "rest\n");
  EXPECT_EQ(Run("", [&] { Overlay(&im.Img, "a\nb", 0); }), "*********" "* a     *" "* b     *" "*********");
}

TEST_F(ScreenTest, NumberScreenAndTerminalSize) {
  ScreenImage* img = GetTermInfo(nullptr);  // standard output is no terminal here
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->Columns, 80);
  EXPECT_EQ(img->Rows, 24);
  EXPECT_EQ(std::string(img->pCells, 80 * 24), std::string(80 * 24, ' '));
  NumberScreen(img);
  std::string row;
  for (int i = 0; i < 8; ++i) row += "0123456789";
  EXPECT_EQ(std::string(img->pCells + 23 * 80, 80), row);
  ClearScreen(img);
  EXPECT_EQ(std::string(img->pCells, 80), std::string(80, ' '));
  PutMem(img->pCells);
  PutMem(img);
}

TEST_F(ScreenTest, ColumnWidthsFollowTheStatesOfEachColumn) {
  Image im(80, 8, "");
  Text states("a,_bbb,cc,d,eeee");
  TextMenuItem it = Item("X", ITEM_ONE_OF, 0, states());
  it.StateCnt = 5;
  int widths[MENU_MAX_STATES] = {};
  EXPECT_EQ(GetColumnWidths(&im.Img, &it, widths), 4);
  EXPECT_EQ(widths[0], 3);  // "_bbb" is shown as "bbb"
  EXPECT_EQ(widths[1], 2);
  EXPECT_EQ(widths[2], 4);
}

// A several-states entry with a hidden state, in a one-entry menu.
class PickTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    gActs = 0;
    items_ = {Item("Finishing", ITEM_MANY_OF, 0xA, states_()), EndItem()};
    items_[0].pfnAction = [](TextMenu*, TextMenuItem*) {
      ++gActs;
      return 0;
    };
    menu_.pItems = items_.data();
    InitMenu(&menu_, nullptr);
    HideStateSelection(&items_[0], 2);
  }
  std::string Row(int r) const { return std::string(pScreen->pCells + (r - 1) * 80, 80); }
  std::string Choose(const std::string& input, const char* option = nullptr) {
    opt_ = option != nullptr ? option : "";
    return Run(input, [&] { ProcessStateValue(&menu_, 0, option != nullptr ? opt_.data() : nullptr); });
  }
  static inline int gActs = 0;
  Text states_{"none,Staple,_Punch,Fold"};
  std::vector<TextMenuItem> items_;
  TextMenu menu_{};
  std::string opt_;
};

TEST_F(PickTest, ThePageMarksChosenStatesAndNumbersOnlyVisibleOnes) {
  uint32_t hidden = 0;
  int shown = -1;
  const std::string out = Run("", [&] { shown = PrintPickOneManyScreen(&items_[0], &hidden, 0); });
  EXPECT_EQ(shown, 4);
  EXPECT_EQ(hidden, 1U << 2);
  EXPECT_STREQ(CurrentSelection, "Staple, Fold");
  EXPECT_EQ(Row(1), std::string(35, ' ') + "Finishing" + std::string(36, ' '));
  EXPECT_EQ(Row(3).substr(0, 12), "    1) none ");
  EXPECT_EQ(Row(4).substr(0, 14), " -> 2) Staple ");
  EXPECT_EQ(Row(5).substr(0, 13), "       Punch ");
  EXPECT_EQ(Row(6).substr(0, 12), " -> 4) Fold ");
  const std::string save = KeyCat("TVATTYMENU_SAVE");
  const std::string cancel = KeyCat("TVATTYMENU_CANCEL");
  const std::string caption = KeyCat("TVATTYMENU_CURSEL") + "Staple, Fold";
  const std::string prompt = KeyCat("TVATTYMENU_OPTION");
  EXPECT_EQ(Row(22), save + std::string(40 - save.size(), ' ') + cancel + std::string(40 - cancel.size(), ' '));
  EXPECT_EQ(Row(23), caption + std::string(80 - caption.size(), ' '));
  EXPECT_EQ(Row(24), prompt + std::string(80 - prompt.size(), ' '));
  EXPECT_EQ(out, std::string(pScreen->pCells, 80 * 24 - 1));
}

TEST_F(PickTest, SeveralNumbersToggleAtOnceAndCancelOrTheEndOfInputRestoreTheValue) {
  Choose("s\n", "2, 4");
  EXPECT_EQ(items_[0].Value.Int, 0);
  EXPECT_EQ(items_[0].Previous, 0xA);
  EXPECT_EQ(gActs, 1);
  Choose("1 2\nsave\n");
  EXPECT_EQ(items_[0].Value.Int, 0x3);
  EXPECT_EQ(gActs, 2);
  gActs = 0;
  items_[0].Value = 0xA;
  Choose("1\nc\n");
  EXPECT_EQ(items_[0].Value.Int, 0xA);
  EXPECT_EQ(gActs, 2);  // the change, then the restore
  Choose("1\n");
  EXPECT_EQ(items_[0].Value.Int, 0xA);
  EXPECT_EQ(flInputEnded, 1);
}

TEST_F(PickTest, HiddenOrUnknownNumbersDropTheRestOfTheLine) {
  Choose("3 1\n9,1\nx\ns\n");
  EXPECT_EQ(items_[0].Value.Int, 0xA);
  EXPECT_EQ(gActs, 0);
  HideStateSelection(&items_[0], 0);  // "none" is not hideable
  states_.Value[0] = ' ';             // hidden as written
  Choose("1\ns\n");
  EXPECT_EQ(items_[0].Value.Int, 0xA);
}

TEST_F(PickTest, AChoiceEntryTakesOneState) {
  items_[0].ItemType = ITEM_ONE_OF;
  items_[0].Value = 0;
  Choose("4\ns\n");
  EXPECT_EQ(items_[0].Value.Int, 3);
  EXPECT_STREQ(items_[0].pCurState, "Fold");
}

TEST_F(PickTest, EnterPagesThroughColumnsThatDoNotFit) {
  std::string many;
  for (int i = 1; i <= 20; ++i) many += (i > 1 ? "," : "") + std::string(40, static_cast<char>('a' + i));
  Text states(many.c_str());
  items_[0].pStates = states();
  InitMenu(&menu_, nullptr);
  uint32_t hidden = 0;
  int shown = 0;
  Run("", [&] { shown = PrintPickOneManyScreen(&items_[0], &hidden, 0); });
  EXPECT_EQ(shown, 18);
  Run("", [&] { shown = PrintPickOneManyScreen(&items_[0], &hidden, 18); });
  EXPECT_EQ(shown, 2);
  const std::string out = Choose("\n\ns\n");
  EXPECT_EQ(Count(out, " 1) "), 2U);  // the first page, then again after the last
  EXPECT_EQ(Count(out, "19) "), 1U);
}

TEST_F(PickTest, AScreenTooSmallIsReported) {
  const std::string wide(150, 'w');
  Text states(("a," + wide).c_str());
  items_[0].pStates = states();
  InitMenu(&menu_, nullptr);
  uint32_t hidden = 0;
  int shown = 0;
  const std::string out = Run("\n", [&] { shown = PrintPickOneManyScreen(&items_[0], &hidden, 0); });
  EXPECT_EQ(shown, -1);
  EXPECT_EQ(out, Cat(25, 206) + CatF(25, 207, 80, 24) + CatF(25, 208, 95, 7));
  EXPECT_EQ(Unread(), "");
}

}  // namespace
