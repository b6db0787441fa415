// Model_test.cpp - preparing menus, states of choice entries, dependency rules and
// submenu conditions.
#include "MenuFixture.h"

#include <string>
#include <vector>

namespace {

using ModelTest = MenuTest;

int gActions = 0;
int CountAction(TextMenu*, TextMenuItem*) {
  ++gActions;
  return 0;
}

TEST_F(ModelTest, InitMenuSetsKeysLengthsAndValuesFromTheDefaultsCuttingTextsTo255) {
  Text states("A,B,C");
  TextMenuItem items[] = {
      Item("Heading", ITEM_LINE),
      Item("Paper", ITEM_ONE_OF, 2, states()),
      Item("Name", ITEM_REQUIRED, "abc"),
      Item("Note", ITEM_OPTIONAL),
      Item("Copies", ITEM_INT, 4),
      Item("Scale", ITEM_FLOAT, 1.5),
      Item("Finish", ITEM_MANY_OF, 0, states()),
      Item("~q Quit", ITEM_EXIT),
      EndItem(),
  };
  TextMenu menu{};
  menu.pItems = items;
  items[4].Value = 99;
  EXPECT_EQ(InitMenu(&menu, nullptr), 7);  // "Heading" and "~q Quit"
  EXPECT_EQ(items[0].Key, 0);
  EXPECT_EQ(items[1].Key, 1);
  EXPECT_EQ(items[6].Key, 6);
  EXPECT_EQ(items[7].Key, 'q');
  EXPECT_EQ(items[1].LabelLen, 5);
  EXPECT_EQ(items[1].StateCnt, 3);
  EXPECT_EQ(items[1].Value.Int, 2);
  EXPECT_STREQ(items[1].pCurState, "C");
  EXPECT_STREQ(items[2].Value.pText, "abc");
  EXPECT_STREQ(items[3].Value.pText, "");
  EXPECT_EQ(items[4].Value.Int, 4);
  EXPECT_FLOAT_EQ(items[5].Value.Float, 1.5f);
  EXPECT_EQ(items[6].Value.Int, 1);  // a several-states entry starts with its first state
  FreeMenu(&menu);
  EXPECT_EQ(items[2].Value.pText, nullptr);
  EXPECT_EQ(items[3].Value.pText, nullptr);
  EXPECT_EQ(FindTextMenuItem(&menu, ITEM_EXIT), &items[7]);
  EXPECT_EQ(FindTextMenuItem(&menu, ITEM_ACCEPT), nullptr);
  // A text default is cut to 255 characters.
  const std::string longText(400, 'z');
  TextMenuItem cut[] = {Item("T", ITEM_OPTIONAL, longText.c_str()), EndItem()};
  menu.pItems = cut;
  InitMenu(&menu, nullptr);
  EXPECT_EQ(std::string(cut[0].Value.pText), longText.substr(0, 255));
  FreeMenu(&menu);
}

TEST_F(ModelTest, MoreThan32StatesAreRefused) {
  std::string many = "s0";
  for (int i = 1; i < 33; ++i) many += ",s" + std::to_string(i);
  Text states(many.c_str());
  TextMenuItem items[] = {Item("Big", ITEM_MANY_OF, 0, states()), EndItem()};
  TextMenu menu{};
  menu.pItems = items;
  EXPECT_EXIT(InitMenu(&menu, nullptr), ::testing::ExitedWithCode(1), "ERROR: the entry \"Big\" has 33 states");
}

TEST_F(ModelTest, HiddenStatesAreSkippedCyclicallyForOneRoundAtMost) {
  Text states("_A,_B,C");
  TextMenuItem it = Item("X", ITEM_ONE_OF, 1, states());
  TextMenuItem items[] = {it, EndItem()};
  TextMenu menu{};
  menu.pItems = items;
  InitMenu(&menu, nullptr);
  HideStateSelection(&items[0], 1);
  EXPECT_EQ(states.Value, "_A, B,C");
  UpdateStateSelection(&items[0]);
  EXPECT_EQ(items[0].Value.Int, 2);
  EXPECT_EQ(items[0].Previous, 1);
  EXPECT_STREQ(items[0].pCurState, "C");
  ShowStateSelection(&items[0], 1);
  EXPECT_EQ(states.Value, "_A,_B,C");
  HideStateSelection(&items[0], 2);  // "C" is not written to be hidden
  EXPECT_EQ(states.Value, "_A,_B,C");
  // With every state hidden the search stops after one round.
  Text hideable("_A,_B");
  items[0] = Item("X", ITEM_ONE_OF, 0, hideable());
  InitMenu(&menu, nullptr);
  HideStateSelection(&items[0], 0);
  HideStateSelection(&items[0], 1);
  UpdateStateSelection(&items[0]);
  EXPECT_EQ(items[0].Value.Int, 0);
}

TEST_F(ModelTest, ValueListsMatchNumbersOrAStar) {
  EXPECT_EQ(TestFormatState("2;3", 3), 1);
  EXPECT_EQ(TestFormatState("2;3", 4), 0);
  EXPECT_EQ(TestFormatState("10", 1), 0);
  EXPECT_EQ(TestFormatState("*", 7), 1);
  EXPECT_EQ(TestFormatState(nullptr, 0), 0);
}

// A menu of a choice entry 0 with rules, and targets 1 to 3.
class RulesTest : public ModelTest {
 protected:
  void Make(const char* rules) {
    rules_ = Text(rules);
    items_ = {Item("Mode", ITEM_ONE_OF, 0, states_(), rules_()), Item("A", ITEM_INT, 5),
              Item("B", ITEM_INT, 6), Item("C", ITEM_ONE_OF, 0, cStates_(), cRules_()), EndItem()};
    menu_ = TextMenu{};
    menu_.pItems = items_.data();
    InitMenu(&menu_, nullptr);
  }
  void Set(int v) {
    items_[0].Value = v;
    ProcessStateFormat(&menu_, 0);
  }
  Text states_{"Off,On,Auto"};
  Text cStates_{"x,y"};
  Text cRules_{"H1{2}"};
  Text rules_{""};
  std::vector<TextMenuItem> items_;
  TextMenu menu_{};
};

TEST_F(RulesTest, NAndHSetTheTargetsAccessByTheMatch) {
  Make("N1{1} H0;2{2.3}");
  EXPECT_EQ(items_[1].Access, ACCESS_NORMAL);
  EXPECT_EQ(items_[2].Access, ACCESS_HIDDEN);  // Value 0 matches "0;2" at the start
  EXPECT_EQ(items_[3].Access, ACCESS_HIDDEN);
  Set(1);
  EXPECT_EQ(items_[1].Access, ACCESS_NOSELECT);
  EXPECT_EQ(items_[2].Access, ACCESS_NORMAL);
  EXPECT_EQ(items_[3].Access, ACCESS_NORMAL);
  Set(2);
  EXPECT_EQ(items_[1].Access, ACCESS_NORMAL);
  EXPECT_EQ(items_[2].Access, ACCESS_HIDDEN);
}

TEST_F(RulesTest, SReplacesAValueAndRestoresTheOriginalOnce) {
  Make("S1{1,9}");
  EXPECT_EQ(items_[1].Value.Int, 5);
  Set(1);
  EXPECT_EQ(items_[1].Value.Int, 9);
  EXPECT_EQ(items_[1].Saved, 5);
  Set(1);  // applied again: the value to restore stays the original
  EXPECT_EQ(items_[1].Saved, 5);
  Set(0);
  EXPECT_EQ(items_[1].Value.Int, 5);
  EXPECT_EQ(items_[1].Saved, -1);
}

TEST_F(RulesTest, PAppliesTheTargetsRulesAndCallsItsAction) {
  Make("P1{3}");
  items_[3].pfnAction = CountAction;
  items_[3].Value = 1;
  gActions = 0;
  Set(0);
  EXPECT_EQ(gActions, 0);
  EXPECT_EQ(items_[2].Access, ACCESS_NORMAL);
  Set(1);
  EXPECT_EQ(gActions, 1);
  EXPECT_EQ(items_[2].Access, ACCESS_HIDDEN);  // entry 3's rule H1{2}
}

TEST_F(RulesTest, RulesOfAnEntryThatIsNotNormalAreNotApplied) {
  Make("H*{1}");
  EXPECT_EQ(items_[1].Access, ACCESS_HIDDEN);
  items_[1].Access = ACCESS_NORMAL;
  items_[0].Access = ACCESS_NOSELECT;
  Set(2);
  EXPECT_EQ(items_[1].Access, ACCESS_NORMAL);
}

TEST_F(RulesTest, ALoopOfPRulesEnds) {
  cRules_ = Text("P*{0}");
  Make("P*{3}");
  Set(1);  // 0 -> 3 -> 0 -> ... stops at the nesting limit
  SUCCEED();
}

TEST_F(RulesTest, StateTestsAndConditions) {
  Make("");
  items_[1].Value = 1;
  items_[2].Value = 2;
  items_[2].Access = ACCESS_NOSELECT;
  EXPECT_EQ(TestState(&menu_, "1.1", 0), 1);
  EXPECT_EQ(TestState(&menu_, "1.2", 0), 0);
  EXPECT_EQ(TestState(&menu_, "2.2", 0), 2);
  EXPECT_EQ(TestState(&menu_, "+1.2", 1), 2);
  EXPECT_EQ(TestState(&menu_, "-2.1", 3), 1);
  EXPECT_EQ(TestState(&menu_, "9.0", 0), 0);

  // "!" binds tightest, then "&", then "|"; a condition that cannot be read does not hold.
  const struct { const char* cond; int holds; } rows[] = {
      {"1.1", 1}, {"2.2A", 1}, {"1.1A", 0}, {"!1.1", 0}, {"1.1|1.0&1.5", 1}, {"(1.1|1.0)&1.5", 0},
      {"!1.0&2.2", 1}, {"!(1.1&2.2)", 0}, {"1.1&", 0}, {"", 0},
  };
  for (const auto& r : rows) EXPECT_EQ(TestStateCondition(&menu_, r.cond, 0), r.holds) << r.cond;
}

TEST_F(ModelTest, SubmenuConditionsChooseTheFirstThatHolds) {
  Text sel("a,b,c");
  TextMenuItem subItems[] = {Item("x", ITEM_INT), EndItem()};
  TextMenu subA{}, subB{}, plain{};
  subA.pItems = subB.pItems = plain.pItems = subItems;
  TextMenu* subs[] = {&subA, &subB};
  Text conds("0.0 -1.1|0.2");
  TextMenuItem items[] = {Item("Sel", ITEM_ONE_OF, 0, sel()), Item("Sub", ITEM_SUBMENU, 0, nullptr, conds()),
                          Item("Plain", ITEM_SUBMENU), EndItem()};
  items[1].Value = subs;
  items[2].Value = &plain;
  TextMenu menu{};
  menu.pItems = items;
  InitMenu(&menu, nullptr);
  EXPECT_EQ(ValidateMenu(&menu, 1), &subA);
  items[0].Value = 1;
  EXPECT_EQ(ValidateMenu(&menu, 1), &subB);  // "-1" is the entry before: 0
  items[0].Value = 2;
  EXPECT_EQ(ValidateMenu(&menu, 1), &subB);
  items[0].Access = ACCESS_NOSELECT;
  EXPECT_EQ(ValidateMenu(&menu, 1), &subB);
  items[0].Value = 3;
  EXPECT_EQ(ValidateMenu(&menu, 1), nullptr);
  EXPECT_EQ(ValidateMenu(&menu, 2), &plain);
  items[2].Access = ACCESS_NOSELECT;
  EXPECT_EQ(ValidateMenu(&menu, 2), nullptr);
  EXPECT_EQ(ValidateMenu(&menu, 0), nullptr);
}

}  // namespace
