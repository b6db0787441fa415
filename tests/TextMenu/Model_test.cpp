// Model_test.cpp - preparing menus, states of choice entries, dependency rules and
// submenu conditions.
#include "MenuFixture.h"

namespace {

using MenuModelTest = MenuTest;

TEST_F(MenuModelTest, InitMenuSetsKeysLengthsValuesAndStates) {
  TextMenu* m = Desc("text Heading\nchoice P Paper\n  states A,B,C\n  default C\nrequired N\n  default abc\nstring O\n"
                     "integer I\n  default 4\nfloat F\n  default 1.5\nmulti M\n  states A,B\nquit Quit\n  key q\n");
  TextMenuItem* it = m->pItems;
  const std::string z(400, 'z');
  it[3].Default = z.c_str();  // a default text is cut to 255 characters
  it[4].Value = 99;
  EXPECT_EQ(InitMenu(m, nullptr), 7);  // "Heading" and "~q Quit"
  std::string got = Values();
  for (int i = 0; i < 8; ++i) got += std::to_string(it[i].Key) + " ";
  EXPECT_EQ(got + std::to_string(it[1].LabelLen * 10 + it[1].StateCnt),
            "P=C N=abc O=" + z.substr(0, 255) + " I=4 F=1.500 M=A 0 1 2 3 4 5 6 113 53");
  FreeMenu(m);
  EXPECT_TRUE(it[2].Value.pText == nullptr && it[3].Value.pText == nullptr);
  EXPECT_TRUE(FindTextMenuItem(m, ITEM_EXIT) == &it[7] && FindTextMenuItem(m, ITEM_ACCEPT) == nullptr);
  std::string many = "s0";  // more than 32 states end the program
  for (int i = 1; i < 33; ++i) many += ",s" + std::to_string(i);
  it[6].pStates = many.data();
  EXPECT_EXIT(InitMenu(m, nullptr), ::testing::ExitedWithCode(1), "the entry \"M\" has 33 states");
}

// A hidden state (its text begins with a blank) is passed over cyclically, for one
// round at most; only states written with '_' can be hidden.
TEST_F(MenuModelTest, HiddenStatesAreSkippedCyclically) {
  TextMenuItem* it = Desc("choice X\n  states _A,_B,C\n  default 2\n")->pItems;
  InitMenu(desc_->pTop, nullptr);
  HideStateSelection(it, 1), HideStateSelection(it, 2), UpdateStateSelection(it);
  std::string got = std::string(it->pStates) + " " + std::to_string(it->Value.Int * 10 + it->Previous) + it->pCurState;
  ShowStateSelection(it, 1), HideStateSelection(it, 0), it->Value = 0, UpdateStateSelection(it);
  got += " " + std::string(it->pStates) + " " + std::to_string(it->Value.Int);
  it->pStates[3] = it->pStates[6] = ' ', UpdateStateSelection(it);  // every state hidden: it stays after one round
  got += std::to_string(it->Value.Int);
  it->Value = 7, it->pStates[0] = '_', UpdateStateSelection(it);  // outside the list: the first state
  EXPECT_EQ(got + std::to_string(it->Value.Int), "_A, B,C 21C  A,_B,C 110");
}

int gActions = 0;

// Entry 0 (states 0 to 2) carries the rules; entries 1 to 3 are their targets. The
// result lists access/value of entries 1 to 3 and the calls of entry 3's action.
TEST_F(MenuModelTest, RulesFollowTheValue) {
  const struct { const char *rules, *rules3, *access0; std::vector<int> values; const char* result; } rows[] = {
      {"N1{1} H0;2{2.3}", "", "normal", {}, "0/5 2/6 2/1 0"}, {"N1{1} H0;2{2.3}", "", "normal", {1}, "1/5 0/6 0/1 0"},
      {"N1{1} H0;2{2.3}", "", "normal", {1, 2}, "0/5 2/6 2/1 0"}, {"H*{1} N{2}", "", "normal", {1}, "2/5 0/6 0/1 0"},
      // S keeps the value before it once and puts it back once.
      {"S1{1,9}", "", "normal", {1}, "0/9 0/6 0/1 0"}, {"S1{1,9}", "", "normal", {1, 1, 0}, "0/5 0/6 0/1 0"},
      {"S1{3} S1{99}", "", "normal", {1}, "0/5 0/6 0/0 0"},
      // P applies the target's rules and calls its action, only on a match.
      {"H1{2} P1{3}", "N1{2}", "normal", {0}, "0/5 0/6 0/1 0"}, {"H1{2} P1{3}", "N1{2}", "normal", {1}, "0/5 1/6 0/1 1"},
      {"P*{3,99}", "P*{0}", "normal", {1}, "0/5 0/6 0/1 24"},  // a loop of P rules ends
      {"H*{1}", "", "fixed", {2}, "0/5 0/6 0/1 0"},  // the rules of an entry that is not normal are not applied
  };
  for (const auto& r : rows) {
    TextMenu* m = Desc(std::string("choice E\n  states a,b,c\n  access ") + r.access0 + "\n  rules " + r.rules +
                       "\ninteger A\n  default 5\ninteger B\n  default 6\nchoice C\n  states x,y\n  default y\n" +
                       "  rules " + r.rules3 + "\n");
    m->pItems[3].pfnAction = [](TextMenu*, TextMenuItem*) { return ++gActions, 0; };
    gActions = 0;
    InitMenu(m, nullptr);
    for (int v : r.values) m->pItems[0].Value = v, ProcessStateFormat(m, 0);
    std::string got;
    for (int i = 1; i <= 3; ++i) got += std::to_string(m->pItems[i].Access) + "/" + std::to_string(m->pItems[i].Value.Int) + " ";
    EXPECT_EQ(got + std::to_string(gActions), r.result) << r.rules << " " << r.rules3;
  }
  EXPECT_EQ(TestFormatState("2;3", 3) * 100 + TestFormatState("2;3", 4) * 10 + TestFormatState(nullptr, 0), 100);
}

// Entries 1 (value 1, normal) and 2 (value 2, not normal) are tested: 'a' TestState
// of an atom, 'c' TestStateCondition. Entry 5 opens X when A is 0, else Y when A is 2
// or B is 1 and not normal, else nothing.
TEST_F(MenuModelTest, ConditionsTestValuesAndAccessAndChooseTheSubmenu) {
  TextMenu* m = Desc("integer A\ninteger B\n  default 1\ninteger C\n  default 2\n  access fixed\ninteger D\ntext t\n"
                     "submenu\n  when -5.0 X\n  when A.2|B.1A Y\nmenu X\ntext x\nmenu Y\ntext y\n");
  InitMenu(m, nullptr);
  const struct { char fn; const char* cond; int base, result; } rows[] = {
      {'a', "1.1", 0, 1}, {'a', "1.2", 0, 0}, {'a', "2.2", 0, 2}, {'a', "+1.2", 1, 2}, {'a', "-2.1", 3, 1},
      {'a', "9.0", 0, 0}, {'a', "1", 0, 0}, {'a', nullptr, 0, 0}, {'c', "2.2", 0, 1}, {'c', "2.2A", 0, 1},
      {'c', "1.1A", 0, 0}, {'c', "!1.1", 0, 0}, {'c', "1.1|1.0&1.5", 0, 1}, {'c', "(1.1|1.0)&1.5", 0, 0},
      {'c', "!1.0&2.2", 0, 1}, {'c', "!(1.1&2.2)", 0, 0}, {'c', "-1.-1", 0, 0},
      // A condition that cannot be read does not hold.
      {'c', "1.1&", 0, 0}, {'c', "", 0, 0}, {'c', nullptr, 0, 0}, {'c', "(1.1", 0, 0}, {'c', "1", 0, 0},
      {'c', "x.1", 0, 0}, {'c', "1.1)", 0, 0},
  };
  for (const auto& r : rows)
    EXPECT_EQ(r.fn == 'a' ? TestState(m, r.cond, r.base) : TestStateCondition(m, r.cond, r.base), r.result) << r.cond;
  const struct { int a, accessB, accessSub; const char* title; } subs[] = {
      {0, 0, 0, "X"}, {2, 0, 0, "Y"}, {1, 0, 0, nullptr}, {1, 1, 0, "Y"}, {0, 0, 1, nullptr}};
  for (const auto& s : subs) {
    m->pItems[0].Value = s.a, m->pItems[1].Access = s.accessB, m->pItems[5].Access = s.accessSub;
    TextMenu* sub = ValidateMenu(m, 5);
    EXPECT_STREQ(sub != nullptr ? sub->pTitle : nullptr, s.title) << s.a << s.accessB << s.accessSub;
  }
  EXPECT_TRUE(ValidateMenu(m, 0) == nullptr && ValidateMenu(m, 9) == nullptr);
}

}  // namespace
