// Model_test.cpp - menu descriptions, preparing menus, states of choice entries,
// dependency rules and submenu conditions.
#include "MenuFixture.h"

namespace {

using MenuModelTest = MenuTest;

int gActions = 0;

// Entry 0 (states 0 to 2) carries the rules; entries 1 to 3 are their targets. The
// result lists access/value of entries 1 to 3 and the calls of entry 3's action.
TEST_F(MenuModelTest, AppliesRules) {
  const struct { const char *rules, *rules3, *access0; std::vector<int> values; const char* result; } rows[] = {
      {"N1{1} H0;2{2.3}", "", "normal", {}, "0/5 2/6 2/1 0"}, {"N1{1} H0;2{2.3}", "", "normal", {1}, "1/5 0/6 0/1 0"},
      {"N1{1} H0;2{2.3}", "", "normal", {1, 2}, "0/5 2/6 2/1 0"}, {"H*{1} N{2}", "", "normal", {1}, "2/5 0/6 0/1 0"},
      // S keeps the value before it once and puts it back once.
      {"S1{1,9}", "", "normal", {1}, "0/9 0/6 0/1 0"}, {"S1{1,9}", "", "normal", {1, 1, 0}, "0/5 0/6 0/1 0"},
      {"S1{3} S1{99}", "", "normal", {1}, "0/5 0/6 0/0 0"},
      // P applies the target's rules and calls its action, only on a match.
      {"H1{2} P1{3}", "N1{2}", "normal", {0}, "0/5 0/6 0/1 0"},
      {"H1{2} P1{3}", "N1{2}", "normal", {1}, "0/5 1/6 0/1 1"},
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
    for (int i = 1; i <= 3; ++i)
      got += std::to_string(m->pItems[i].Access) + "/" + std::to_string(m->pItems[i].Value.Int) + " ";
    EXPECT_EQ(got + std::to_string(gActions), r.result) << r.rules << " " << r.rules3;
  }
  EXPECT_EQ(TestFormatState("2;3", 3) * 100 + TestFormatState("2;3", 4) * 10 + TestFormatState(nullptr, 0), 100);
}

// Entries 1 (value 1, normal) and 2 (value 2, not normal) are tested: 'a' TestState
// of an atom, 'c' TestStateCondition. (Submenus opened by conditions: the sessions of
// Loop_test.)
TEST_F(MenuModelTest, EvaluatesConditions) {
  TextMenu* m = Desc("integer A\ninteger B\n  default 1\ninteger C\n  default 2\n  access fixed\ninteger D\n");
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
  EXPECT_TRUE(ValidateMenu(m, 0) == nullptr && ValidateMenu(m, 9) == nullptr);
}



TEST_F(MenuModelTest, TranslatesNamesAndQuotes) {
  TextMenu* m = Desc("title \"Main \\\"menu\\\" \\\\\"\nname \"my prog\"\n# a comment\ntext   Intro line  \n"
                     "choice MODE Mode\n  key M\n  states Off,_On,Auto\n  default On\n"
                     "  rules H0{LEVEL,NOTE} S2{LEVEL,9} N1{3}\ninteger LEVEL\n  default -3\nstring NOTE\n"
                     "submenu\n  when MODE.1|(MODE.2&LEVEL.3A) more\n  when !MODE.0|-4.1 more\nmenu more\nfloat F\n");
  ASSERT_NE(m, nullptr);
  const TextMenuItem* it = m->pItems;
  EXPECT_EQ(std::string(m->pTitle) + "|" + desc_->pName + "|" + it[0].pLabel + "|" + it[1].pLabel + "|" + it[1].pRules +
                "|" + it[4].pRules + "|" + std::to_string(it[1].Default.Int) + std::to_string(it[2].Default.Int),
            "Main \"menu\" \\|my prog|Intro line|~m Mode|H0{2,3} S2{2,9} N1{3}|1.1|(1.2&2.3A) !1.0|-4.1|1-3");
  EXPECT_EQ(it[4].Value.ppMenus[1]->pParent, m);
  EXPECT_EQ(std::string(desc_->pEntries[3].pName) + std::to_string(desc_->EntryCnt), "F4");
}

// Every fault of a description is reported with its line; nothing is built.
TEST_F(MenuModelTest, ReportsFaultsWithTheirLines) {
  std::string many = "s0";
  for (int i = 1; i < 33; ++i) many += ",s" + std::to_string(i);
  const struct { std::string text; std::vector<std::string> faults; } rows[] = {  // "<line>: <part of the reason>"
      {"key x\nchoice 1A Bad name\nchoice C\n  states a,,b\n  default d\ninteger C Twice\n  default 1.5\n"
       "  key 3\n  states x\nfrobnicate\nsubmenu nowhere\nstyle tilted\nflags help\nstring S \"open\n"
       "choice E\n  rules H0{NOPE}\n  states a\n",
       {"1: \"key\"", "2: \"1A\"", "8: a key", "9: only choice", "10: \"frobnicate\"", "12: \"style\"", "13: \"flags\"",
        "14: quoted", "3: empty state", "5: \"d\"", "6: name C", "7: no integer", "11: \"nowhere\"", "16: \"NOPE\""}},
      {"flags save-ask\nmulti M\n  states " + many + "\n  key s\nsubmenu\n  when M.1& a\nsubmenu a\nmenu a\n"
       "save-prompt no\nsubmenu b\nmenu b\nsubmenu a\nmenu a\ntext x\nmenu empty\n",
       {"13: \"a\" is defined twice", "2: key s", "2: 33 states", "6: \"M.1&\"", "8: \"save-prompt\"",
        "15: no entries", "12: \"a\" would open"}},
  };
  for (const auto& r : rows) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ParseMenuDescription(r.text.c_str(), "t.menu"), nullptr);
    const std::vector<std::string> got = testutil::Lines(::testing::internal::GetCapturedStderr());
    ASSERT_EQ(got.size(), r.faults.size()) << ::testing::PrintToString(got);
    for (size_t i = 0; i < got.size(); ++i) {
      const size_t colon = r.faults[i].find(':') + 2;
      EXPECT_TRUE(got[i].rfind("t.menu:" + r.faults[i].substr(0, colon), 0) == 0 &&
                  got[i].find(r.faults[i].substr(colon)) != std::string::npos) << got[i];
    }
  }
  const std::string zero = scratch_ / "zero.menu";
  testutil::WriteFile(zero, std::string("text a\0", 7));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(LoadMenuDescription("/nonexistent/x.menu"), nullptr);
  EXPECT_EQ(LoadMenuDescription(zero.c_str()), nullptr);
  const std::string err = ::testing::internal::GetCapturedStderr();
  // Files are named as "PROGRAM: FILE: reason", with the system's reason.
  EXPECT_NE(err.find(": /nonexistent/x.menu: No such file or directory\n"), std::string::npos) << err;
  EXPECT_NE(err.find(": " + zero + ": "), std::string::npos) << err;
}

}  // namespace
