// MenuDesc_test.cpp - menu descriptions of the menu program: what the tables built
// from them hold beyond what the sessions show, and faults reported with their lines.
#include "MenuFixture.h"

namespace {

using MenuDescTest = MenuTest;

TEST_F(MenuDescTest, TranslatesNamesAndQuotes) {
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
TEST_F(MenuDescTest, ReportsFaultsWithTheirLines) {
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
      const std::string& want = r.faults[i];
      const size_t colon = want.find(':') + 2;
      EXPECT_EQ(got[i].rfind("t.menu:" + want.substr(0, colon), 0), 0U) << got[i];
      EXPECT_NE(got[i].find(want.substr(colon)), std::string::npos) << got[i];
    }
  }
  const std::string zero = scratch_ / "zero.menu";
  testutil::WriteFile(zero, std::string("text a\0", 7));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(LoadMenuDescription("/nonexistent/x.menu"), nullptr);
  EXPECT_EQ(LoadMenuDescription(zero.c_str()), nullptr);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("/nonexistent/x.menu\n" + zero + ": "), std::string::npos) << err;
}

}  // namespace
