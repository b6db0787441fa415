// Loop_test.cpp - printing menus, finding and processing selections, the menu loop
// with its save and leave questions, submenus, and the end of input.
#include "MenuFixture.h"

#include <string>
#include <vector>

namespace {

using LoopTest = MenuTest;

std::string Pad(const std::string& s, size_t width) { return s + std::string(width - s.size(), ' '); }

// The hint line: catalogue message 510 filled with the three hints.
std::string HintLine(const std::string& save, const std::string& help, const std::string& leave) {
  char buf[512];
  // The catalogue text is the format.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::snprintf(buf, sizeof buf, MenuTest::Cat(25, 510).c_str(), save.c_str(), help.c_str(), leave.c_str());
#pragma GCC diagnostic pop
  return buf;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

int gApplied = 0;
int gRefreshed = 0;
int gActed = 0;
int gResult = 0;
void Apply(TextMenu*) { ++gApplied; }
void Refresh(TextMenu*) { ++gRefreshed; }
int Act(TextMenu*, TextMenuItem*) {
  ++gActed;
  return gResult;
}
int ExitAll(TextMenu*, TextMenuItem*) {
  flExitTextMenu = 1;
  return 0;
}

class PrintTest : public LoopTest {
 protected:
  void SetUp() override {
    LoopTest::SetUp();
    items_ = {Item("Intro", ITEM_LINE),       Item("Paper", ITEM_ONE_OF, 1, paper_()),
              Item("Copies", ITEM_INT, 2),     Item("Name", ITEM_REQUIRED, "bob"),
              Item("Scale", ITEM_FLOAT, 1.25), Item("Finish", ITEM_MANY_OF, 5, finish_()),
              Item("Hidden", ITEM_INT),        Item("Fixed", ITEM_INT),
              Item("~q Quit", ITEM_EXIT),      EndItem()};
    items_[6].Access = ACCESS_HIDDEN;
    items_[7].Access = ACCESS_NOSELECT;
    menu_.pTitle = const_cast<char*>("Opts");
    menu_.pItems = items_.data();
    longest_ = InitMenu(&menu_, nullptr);
  }
  void TearDown() override { FreeMenu(&menu_); }
  std::string Print() {
    return Run("", [&] { PrintMenu(&menu_, longest_, 4); });
  }
  Text paper_{"_Letter,A4"};
  Text finish_{"a,b,c"};
  std::vector<TextMenuItem> items_;
  TextMenu menu_{};
  int longest_ = 0;
};

TEST_F(PrintTest, EntriesShowNumbersKeysDotsAndValues) {
  EXPECT_EQ(longest_, 7);
  EXPECT_EQ(Print(),
            "\f\nOpts:\n\n"
            "Intro \n\n"
            " 1) Paper .. [2. A4]\n\n"
            " 2) Copies . [2]\n\n"
            " 3) Name ... [bob]\n\n"
            " 4) Scale .. [1.250]\n\n"
            " 5) Finish ." + Cat(25, 270) + "1,3]\n\n"
            "    Fixed .. [0]\n\n"
            " q) Quit \n\n" +
                HintLine("", "", Cat(25, 232)));
}

TEST_F(PrintTest, SingleSpacingFlagsHiddenStatesAndTitleStyles) {
  menu_.MenuFlags = MENU_SINGLE_SPACED | MENU_SAVE_ASK | MENU_HELP | MENU_EMPTY_SELECTS;
  items_[5].Value = 1;
  HideStateSelection(&items_[1], 1);  // "A4" is not hideable: stays
  HideStateSelection(&items_[1], 0);
  items_[1].Value = 0;
  const std::string out = Print();
  EXPECT_NE(out.find(" 1) Paper .. [ ]\n 2) Copies"), std::string::npos) << out;
  EXPECT_NE(out.find(" 5) Finish ." + Cat(25, 270) + Cat(25, 271) + "]\n"), std::string::npos) << out;
  EXPECT_TRUE(EndsWith(out, " q) Quit \n" + HintLine(Cat(25, 230), Cat(25, 231), ""))) << out;
  // Title styles centre or align right in 80 columns.
  menu_.MenuFlags = 0;
  menu_.TitleStyle = 1;
  EXPECT_EQ(Print().substr(0, 2 + 38 + 6), "\f\n" + std::string(38, ' ') + "Opts\n\n");
  menu_.TitleStyle = 2;
  EXPECT_EQ(Print().substr(0, 2 + 76 + 6), "\f\n" + std::string(76, ' ') + "Opts\n\n");
  const std::string wide(90, 'W');
  menu_.pTitle = const_cast<char*>(wide.c_str());
  EXPECT_EQ(Run("", [&] { PrintMenu(&menu_, longest_, 90); }).substr(0, 94), "\f\n" + wide + "\n\n");
}

TEST_F(LoopTest, MenuBarsLayCellsInColumnsAndNumbersCountOnlyEntriesWithoutHotKeys) {
  TextMenu menu{};
  const auto print = [&](std::vector<TextMenuItem>& items, int flags) {
    menu = TextMenu{};
    menu.pTitle = const_cast<char*>("T");
    menu.pItems = items.data();
    menu.MenuFlags = flags;
    const int longest = InitMenu(&menu, nullptr);
    return Run("", [&] { PrintMenu(&menu, longest, 1); });
  };
  std::vector<TextMenuItem> bar = {Item("Go", ITEM_ACTION), Item("bar", ITEM_BAR_ALL, 0),
                                   Item("~e Exit Help", ITEM_EXIT), Item("~c Contents", ITEM_ACTION),
                                   Item("~b Back", ITEM_ACTION), EndItem()};
  bar[1].Value = 2;
  EXPECT_EQ(print(bar, MENU_SINGLE_SPACED | MENU_EMPTY_SELECTS),
            "\f\nT:\n\n 1) Go \n" + Pad(" e) Exit Help", 39) + " " + Pad(" c) Contents", 39) + " \n" +
                Pad(" b) Back", 39) + " \n" + HintLine("", "", ""));
  std::vector<TextMenuItem> keyFirst = {Item("~q Quit", ITEM_EXIT), Item("A", ITEM_INT), Item("B", ITEM_INT), EndItem()};
  const std::string out = print(keyFirst, MENU_SINGLE_SPACED);
  EXPECT_NE(out.find(" q) Quit \n 1) A ...... [0]\n 2) B ...... [0]\n"), std::string::npos) << out;
  char line[] = "1";
  EXPECT_EQ(FindSelection(&menu, line, 3), 2);
}

// Entries A, B, C (integers), then the hot keys q and x.
class SelectTest : public LoopTest {
 protected:
  void SetUp() override {
    LoopTest::SetUp();
    items_ = {Item("A", ITEM_INT), Item("B", ITEM_INT), Item("C", ITEM_INT), Item("~q Quit", ITEM_EXIT),
              Item("~x Exec", ITEM_ACTION), EndItem()};
    menu_.pItems = items_.data();
    InitMenu(&menu_, nullptr);
  }
  int Find(const char* line) {
    buf_ = line;
    return FindSelection(&menu_, buf_.data(), 5);
  }
  std::vector<TextMenuItem> items_;
  TextMenu menu_{};
  std::string buf_;
};

TEST_F(SelectTest, NumbersMustStartTheLineAndHotKeysIgnoreCase) {
  EXPECT_EQ(Find("3"), 3);
  EXPECT_EQ(Find(" 3"), 0);
  EXPECT_EQ(Find("Q"), 4);
  EXPECT_EQ(Find("x"), 5);
  EXPECT_EQ(Find("4"), 0);  // hot-key entries have no number
  EXPECT_EQ(Find("2  hello world"), 2);
  EXPECT_STREQ(pOption, "hello world");
  EXPECT_EQ(Find("2"), 2);
  EXPECT_EQ(pOption, nullptr);
  items_[1].Access = ACCESS_HIDDEN;
  EXPECT_EQ(Find("2"), 0);
  items_[1].Access = ACCESS_NOSELECT;
  EXPECT_EQ(Find("2"), 0);
  items_[3].Access = ACCESS_NOSELECT;
  EXPECT_EQ(Find("q"), 0);
}

class ProcessTest : public LoopTest {
 protected:
  void SetUp() override {
    LoopTest::SetUp();
    gActed = 0;
    gResult = 0;
    items_ = {Item("Sel", ITEM_ONE_OF, 0, states_()), Item("Copies", ITEM_INT, 1, nullptr, pattern_()),
              Item("Note", ITEM_OPTIONAL, "n"),      Item("Name", ITEM_REQUIRED),
              Item("Scale", ITEM_FLOAT),             Item("Done", ITEM_DONE),
              Item("Accept", ITEM_ACCEPT),           EndItem()};
    for (TextMenuItem& it : items_) it.pfnAction = it.pLabel ? Act : nullptr;
    items_[1].pPrompt = const_cast<char*>("How many");
    menu_.pItems = items_.data();
    InitMenu(&menu_, nullptr);
  }
  void TearDown() override { FreeMenu(&menu_); }
  int Process(int index, const char* option, const std::string& input = "") {
    int r = -1;
    opt_ = option != nullptr ? option : "";
    shown_ = Run(input, [&] { r = ProcessSelection(&menu_, index, option != nullptr ? opt_.data() : nullptr); });
    return r;
  }
  Text states_{"_a,_b,c"};
  Text pattern_{"d(1,10)"};
  std::vector<TextMenuItem> items_;
  TextMenu menu_{};
  std::string opt_;
  std::string shown_;
};

TEST_F(ProcessTest, ChoiceTakesAVisibleStateNumberOrMovesToTheNext) {
  EXPECT_EQ(Process(0, "2"), 1);
  EXPECT_EQ(items_[0].Value.Int, 1);
  EXPECT_EQ(items_[0].Previous, 0);
  EXPECT_STREQ(items_[0].pCurState, "_b,c");
  EXPECT_EQ(gActed, 1);
  HideStateSelection(&items_[0], 0);
  EXPECT_EQ(Process(0, "1"), 1);  // hidden: the next visible state instead
  EXPECT_EQ(items_[0].Value.Int, 2);
  EXPECT_EQ(Process(0, nullptr), 1);
  EXPECT_EQ(items_[0].Value.Int, 1);  // cycles past the hidden first state
  EXPECT_EQ(Process(0, "2"), 0);      // the current state: no change
  EXPECT_EQ(gActed, 3);
}

TEST_F(ProcessTest, ValuesAreCheckedBeforeTheyAreTaken) {
  EXPECT_EQ(Process(1, "11", "\n"), 0);
  EXPECT_EQ(items_[1].Value.Int, 1);
  EXPECT_EQ(shown_, CatF(25, 1003, 1, 10) + Cat(25, 1001));
  EXPECT_EQ(Process(1, nullptr, "7\n"), 1);
  EXPECT_EQ(shown_, "How many: ");
  EXPECT_EQ(items_[1].Value.Int, 7);
  EXPECT_EQ(Process(2, nullptr, "\n"), 0);  // an empty answer changes nothing
  EXPECT_STREQ(items_[2].Value.pText, "n");
  EXPECT_EQ(shown_, "Note: ");
  const std::string longText(300, 't');
  EXPECT_EQ(Process(2, longText.c_str()), 1);
  EXPECT_EQ(std::string(items_[2].Value.pText), longText.substr(0, 255));
  EXPECT_EQ(Process(4, "2.5"), 1);
  EXPECT_FLOAT_EQ(items_[4].Value.Float, 2.5f);
  EXPECT_EQ(gActed, 3);
}

TEST_F(ProcessTest, ActionsSucceedWithZeroAndAcceptNeedsTheRequiredTexts) {
  gResult = 3;
  EXPECT_EQ(Process(5, nullptr), 0);
  gResult = 0;
  EXPECT_EQ(Process(5, nullptr), 1);
  items_[5].pfnAction = nullptr;
  EXPECT_EQ(Process(5, nullptr), 1);
  EXPECT_EQ(Process(6, nullptr, "\n"), 0);
  EXPECT_EQ(shown_, Cat(25, 1011));
  EXPECT_EQ(Process(3, "Ann"), 1);
  EXPECT_EQ(Process(6, nullptr), 1);
  items_[3].Access = ACCESS_HIDDEN;  // a hidden required text is not asked for
  items_[3].Value.pText[0] = '\0';
  EXPECT_EQ(Process(6, nullptr), 1);
}

TEST_F(LoopTest, PromptYNTakesOnlyLowerCaseYOrN) {
  int r = -1;
  EXPECT_EQ(Run("maybe\nY\nyes\n", [&] { r = PromptYN("Go %s", "on"); }), "Go on? [y/n] Go on? [y/n] Go on? [y/n] ");
  EXPECT_EQ(r, 1);
  Run("no\n", [&] { r = PromptYN("Go"); });
  EXPECT_EQ(r, 0);
  Run("x\n", [&] { r = PromptYN("Go"); });  // then the end of input
  EXPECT_EQ(r, 0);
  EXPECT_EQ(flInputEnded, 1);
}

// A menu with a choice entry, an accept entry, apply and refresh hooks.
class RunTest : public LoopTest {
 protected:
  void SetUp() override {
    LoopTest::SetUp();
    gApplied = gRefreshed = gActed = gResult = 0;
    items_ = {Item("Mode", ITEM_ONE_OF, 0, states_()), Item("Note", ITEM_OPTIONAL, "x"), Item("OK", ITEM_ACCEPT),
              Item("Gone", ITEM_DONE), EndItem()};
    menu_.pTitle = const_cast<char*>("Main");
    menu_.pItems = items_.data();
    menu_.pfnApply = Apply;
    menu_.pfnRefresh = Refresh;
    menu_.MenuFlags = MENU_SINGLE_SPACED;
  }
  int Go(const std::string& input, const char* settings = nullptr, int interactive = 1) {
    int r = -1;
    shown_ = Run(input, [&] { r = RunMenu(&menu_, settings, interactive); });
    return r;
  }
  bool Shows(const std::string& s) const { return shown_.find(s) != std::string::npos; }
  std::string Leave() const { return CatF(25, 1018, "prog") + "? [y/n] "; }
  Text states_{"a,b,c"};
  std::vector<TextMenuItem> items_;
  TextMenu menu_{};
  std::string shown_;
};

// The save and leave questions: -1 in a column means "not checked".
TEST_F(RunTest, LeavingAsksToSaveChangesOrToLeaveAndEndOfInputLeavesWithoutApplying) {
  const struct {
    const char* what;
    bool savePrompt;
    int flags;
    std::string input;
    int applied, refreshed, inputEnded, showsSave, showsLeave;
  } rows[] = {
      {"no changes: no save question", true, 0, "\ny\n", 0, -1, -1, 0, 1},
      {"changes saved on yes", true, MENU_KEEP_ITEMS, "1 3\n\ny\n", 1, -1, -1, 1, 0},
      // Refreshed at the start and after the refused leave.
      {"no to both questions shows the menu again", true, 0, "1\n\nn\nn\n", 0, 2, 1, -1, -1},
      {"without a save prompt leaving applies", false, 0, "\nn\n\ny\n", 2, -1, -1, -1, -1},
      {"end of input", false, 0, "1 2\n", 0, -1, 1, -1, -1},
      {"end of input in the value prompt", false, 0, "1 2\n2\n", 0, -1, -1, -1, -1},
      {"an empty line selects under its flag", false, MENU_EMPTY_SELECTS, "\n\n", 0, -1, -1, -1, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    gApplied = gRefreshed = 0;
    menu_.MenuFlags = MENU_SINGLE_SPACED | r.flags;
    menu_.pSavePrompt = r.savePrompt ? const_cast<char*>("Save") : nullptr;
    EXPECT_EQ(Go(r.input), 0);
    EXPECT_EQ(gApplied, r.applied);
    const auto check = [](int want, int got, const char* what) {
      EXPECT_TRUE(want < 0 || got == want) << what << ": " << got << ", not " << want;
    };
    check(r.refreshed, gRefreshed, "refreshed");
    check(r.inputEnded, flInputEnded, "input ended");
    check(r.showsSave, Shows("Save? [y/n] "), "save question");
    check(r.showsLeave, Shows(Leave()), "leave question");
    if (r.flags & MENU_KEEP_ITEMS) {
      EXPECT_EQ(items_[0].Value.Int, 2);
      EXPECT_STREQ(items_[1].Value.pText, "x");  // kept under MENU_KEEP_ITEMS
      FreeMenu(&menu_);
    } else {
      EXPECT_EQ(items_[1].Value.pText, nullptr);  // the value texts were released
    }
    EXPECT_TRUE(r.showsLeave != 1 || shown_.back() == '\n');  // the top level ends its line
  }
}

TEST_F(RunTest, AcceptEndsTheMenuOnlyWithTheRequiredTextsAndNotInteractiveOnlyApplies) {
  items_[1].ItemType = ITEM_REQUIRED;
  items_[1].Default = nullptr;
  EXPECT_EQ(Go("3\n\n2 text\n3\n"), 0);
  EXPECT_TRUE(Shows(Cat(25, 1011)));
  EXPECT_FALSE(Shows(Leave()));
  EXPECT_EQ(Unread(), "");
  EXPECT_EQ(gApplied, 0);
  EXPECT_EQ(Go("", nullptr, 0), 0);
  EXPECT_EQ(shown_, "");
  EXPECT_EQ(gApplied, 1);
  FreeMenu(&menu_);
}

TEST_F(RunTest, AMissingSettingsFileGoesToTheFirstType5Action) {
  const std::string missing = scratch_ / "missing";
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Go("", missing.c_str()), 1);  // no action
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "WARNING: can't open file, " + missing + "\n");
  items_[3].pfnAction = Act;
  gResult = 7;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Go("", missing.c_str()), 7);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(gActed, 1);
  FreeMenu(&menu_);
}

TEST_F(RunTest, SubmenusKeepTheirValuesAndExitUnwindsAll) {
  std::vector<TextMenuItem> subItems = {Item("N", ITEM_INT, 5), Item("Out", ITEM_ACTION), EndItem()};
  subItems[1].pfnAction = ExitAll;
  TextMenu sub{};
  sub.pTitle = const_cast<char*>("Sub");
  sub.pParent = &menu_;
  sub.pItems = subItems.data();
  sub.MenuFlags = MENU_SINGLE_SPACED;
  items_[3] = Item("Open", ITEM_SUBMENU);
  items_[3].Value = &sub;
  EXPECT_EQ(Go("4\n1 42\n\ny\n4\n\ny\n\ny\n"), 0);
  EXPECT_TRUE(Shows(CatF(25, 1017, "Main") + "? [y/n] "));
  EXPECT_TRUE(Shows(" 4) Sub \n"));
  // 5 is shown once, before the change; the submenu opened again shows 42.
  const size_t first = shown_.find(" 1) N .. [5]");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(shown_.find(" 1) N .. [5]", first + 1), std::string::npos);
  EXPECT_NE(shown_.rfind(" 1) N .. [42]"), shown_.find(" 1) N .. [42]"));
  EXPECT_EQ(subItems[0].Value.Int, 42);
  EXPECT_EQ(gRefreshed, 3);  // the start and one return from each submenu visit

  EXPECT_EQ(Go("4\n2\n1\n"), 0);  // "Out" leaves both menus
  EXPECT_EQ(Unread(), "1\n");
  EXPECT_EQ(subItems[0].Value.Int, 5);  // a new top-level run starts from the defaults
}

TEST_F(RunTest, SaveKeyAsksForAFileName) {
  menu_.MenuFlags |= MENU_SAVE_ASK;
  const std::string file = scratch_ / "settings";
  EXPECT_EQ(Go("1 3\ns\n" + file + "\n\ny\n"), 0);
  EXPECT_TRUE(Shows("Enter the settings file name: "));
  EXPECT_EQ(testutil::ReadFile(file), "0[2] 9 0\n1[x] 12 0\n");
  Go("s\nrelative\n\ny\n");
  EXPECT_EQ(testutil::ReadFile(scratch_ / "relative"), "");  // refused: not a full path
}

}  // namespace
