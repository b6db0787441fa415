// MenuDesc_test.cpp - menu descriptions of the menu program: the tables built from
// them, the values handed to scripts, and the faults reported with their lines.
#include "MenuFixture.h"

#include "MemMgr/MemMgr.h"

#include <string>

namespace {

class DescTest : public MenuTest {
 protected:
  MenuDescription* Parse(const std::string& text) {
    ::testing::internal::CaptureStderr();
    MenuDescription* d = ParseMenuDescription(text.c_str(), "t.menu");
    errors_ = ::testing::internal::GetCapturedStderr();
    return d;
  }
  std::string errors_;
};

// The example queue-options menu (its title, style, defaults and the entry hidden
// by a rule) is run whole by e2e.menu.

TEST_F(DescTest, EntriesBecomeTheEnginesTables) {
  MenuDescription* d = Parse(
      "title \"Main \\\"menu\\\"\"\n"
      "style right\n"
      "flags save-ask empty-selects\n"
      "save-prompt Keep it\n"
      "# a comment\n"
      "text   Intro line  \n"
      "choice MODE Mode\n"
      "  key m\n"
      "  states Off,_On,Auto\n"
      "  default On\n"
      "  rules H0{LEVEL,NOTE} S2{LEVEL,9}\n"
      "integer LEVEL\n"
      "  default -3\n"
      "  pattern d(0,9)+-\n"
      "  access fixed\n"
      "string NOTE Note\n"
      "  prompt Your note\n"
      "multi OPTS Options\n"
      "  states x,y,z\n"
      "  default 2,z\n"
      "submenu\n"
      "  when MODE.1|(MODE.2&LEVEL.3A) more\n"
      "  when !MODE.0|-4.1 other\n"
      "bar 2\n"
      "accept Apply\n"
      "quit Cancel\n"
      "  key q\n"
      "menu more\n"
      "title More\n"
      "float F\n"
      "menu other\n"
      "required R Req\n");
  ASSERT_NE(d, nullptr) << errors_;
  TextMenu* m = d->pTop;
  EXPECT_STREQ(m->pTitle, "Main \"menu\"");
  EXPECT_EQ(m->TitleStyle, 2);
  EXPECT_EQ(m->MenuFlags, MENU_SAVE_ASK | MENU_EMPTY_SELECTS | MENU_KEEP_ITEMS);
  EXPECT_STREQ(m->pSavePrompt, "Keep it");
  TextMenuItem* it = m->pItems;
  EXPECT_STREQ(it[0].pLabel, "Intro line");
  EXPECT_STREQ(it[1].pLabel, "~m Mode");
  EXPECT_EQ(it[1].Default.Int, 1);
  EXPECT_STREQ(it[1].pRules, "H0{2,3} S2{2,9}");
  EXPECT_STREQ(it[2].pLabel, "LEVEL");
  EXPECT_EQ(it[2].Default.Int, -3);
  EXPECT_EQ(it[2].Access, ACCESS_NOSELECT);
  EXPECT_STREQ(it[2].pRules, "d(0,9)+-");
  EXPECT_STREQ(it[3].pPrompt, "Your note");
  EXPECT_EQ(it[4].Default.Int, 0x6);
  EXPECT_EQ(it[5].ItemType, ITEM_SUBMENU);
  EXPECT_STREQ(it[5].pRules, "1.1|(1.2&2.3A) !1.0|-4.1");
  EXPECT_STREQ(it[5].Value.ppMenus[0]->pTitle, "More");
  EXPECT_STREQ(it[5].Value.ppMenus[1]->pTitle, "other");
  EXPECT_EQ(it[5].Value.ppMenus[0]->pParent, m);
  EXPECT_EQ(it[6].ItemType, ITEM_BAR_ALL);
  EXPECT_EQ(it[6].Value.Int, 2);
  EXPECT_EQ(it[7].ItemType, ITEM_ACCEPT);
  EXPECT_STREQ(it[8].pLabel, "~q Cancel");
  EXPECT_EQ(it[9].pLabel, nullptr);
  EXPECT_EQ(d->EntryCnt, 6);
  EXPECT_STREQ(d->pEntries[4].pName, "F");
  EXPECT_EQ(d->pEntries[5].Index, 0);
}

TEST_F(DescTest, FaultsAreReportedWithTheirLines) {
  EXPECT_EQ(Parse("key x\n"
                  "choice 1A Bad name\n"
                  "choice C\n"
                  "  states a,,b\n"
                  "  default d\n"
                  "integer C Twice\n"
                  "  default 1.5\n"
                  "  key 3\n"
                  "  states x\n"
                  "frobnicate\n"
                  "submenu nowhere\n"
                  "style tilted\n"
                  "flags help\n"
                  "string S \"open\n"
                  "choice E\n"
                  "  rules H0{NOPE}\n"
                  "  states a\n"),
            nullptr);
  EXPECT_EQ(errors_,
            "t.menu:1: \"key\" before the first entry\n"
            "t.menu:2: \"1A\" is not a NAME (letters, digits and '_', not first a digit)\n"
            "t.menu:8: a key is one character that is not a digit\n"
            "t.menu:9: only choice and multi entries have states\n"
            "t.menu:10: unknown word \"frobnicate\"\n"
            "t.menu:12: \"style\" must come before the entries of its menu\n"
            "t.menu:13: \"flags\" must come before the entries of its menu\n"
            "t.menu:14: a quoted text is not closed\n"
            "t.menu:3: the entry C has an empty state\n"
            "t.menu:5: the default \"d\" is no state of C\n"
            "t.menu:6: the name C is used twice\n"
            "t.menu:7: the default of C is no integer\n"
            "t.menu:11: there is no menu \"nowhere\"\n"
            "t.menu:16: the rule names \"NOPE\", which is no entry of this menu\n");
}

TEST_F(DescTest, MenusStatesAndConditionsAreCheckedAndAMissingFileIsReported) {
  std::string many = "s0";
  for (int i = 1; i < 33; ++i) many += ",s" + std::to_string(i);
  EXPECT_EQ(Parse("flags save-ask\n"
                  "multi M\n"
                  "  states " + many + "\n"
                  "  key s\n"
                  "submenu\n"
                  "  when M.1& a\n"
                  "submenu a\n"
                  "menu a\n"
                  "save-prompt no\n"
                  "submenu b\n"
                  "menu b\n"
                  "submenu a\n"
                  "menu a\n"
                  "text x\n"
                  "menu empty\n"),
            nullptr);
  EXPECT_EQ(errors_,
            "t.menu:13: the menu \"a\" is defined twice\n"
            "t.menu:2: the key s saves the settings in this menu\n"
            "t.menu:2: the entry M has 33 states; an entry holds at most 32\n"
            "t.menu:6: the condition \"M.1&\" cannot be read\n"
            "t.menu:8: \"save-prompt\" belongs to the top menu: submenus are saved with it\n"
            "t.menu:15: the menu has no entries\n"
            "t.menu:12: the menu \"a\" would open itself\n");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(LoadMenuDescription("/nonexistent/x.menu"), nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ERROR: can't open file, /nonexistent/x.menu\n");
}

}  // namespace
