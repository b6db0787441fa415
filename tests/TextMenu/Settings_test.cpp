// Settings_test.cpp - settings files: the stored lines, submenu blocks, reading them
// back, and what a stored line may change.
#include "MenuFixture.h"

#include "utils/utils.h"

#include <string>
#include <vector>

namespace {

int gAccepted = 0;
int Accepted(TextMenu*, TextMenuItem*) {
  ++gAccepted;
  return 0;
}

// A menu with every stored type, a several-states entry and two submenus.
class SettingsTest : public MenuTest {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    gAccepted = 0;
    sub_ = {Item("Res", ITEM_INT, 600), Item("OK", ITEM_ACCEPT), EndItem()};
    sub_[1].pfnAction = Accepted;
    other_ = {Item("Other", ITEM_INT, 1), EndItem()};
    subMenu_.pItems = sub_.data();
    otherMenu_.pItems = other_.data();
    subs_[0] = &subMenu_;
    subs_[1] = &otherMenu_;
    items_ = {Item("Paper", ITEM_ONE_OF, 1, paper_()), Item("Title", ITEM_REQUIRED, "Report"),
              Item("Note", ITEM_OPTIONAL), Item("Copies", ITEM_INT, 2), Item("Scale", ITEM_FLOAT, 1.5),
              Item("Finish", ITEM_MANY_OF, 3, finish_()), Item("Colour", ITEM_SUBMENU, 0, nullptr, conds_()),
              Item("Text", ITEM_LINE), EndItem()};
    items_[6].Value = subs_;
    menu_.pItems = items_.data();
    InitMenu(&menu_, nullptr);
    InitMenu(&subMenu_, nullptr);
    InitMenu(&otherMenu_, nullptr);
  }
  void TearDown() override {
    FreeMenu(&menu_);
    CloseInputFile();
  }
  std::string Store() {
    const std::string file = scratch_ / "out";
    pOut = std::fopen(file.c_str(), "w");
    StoreMenu(&menu_);
    std::fclose(pOut);
    pOut = nullptr;
    return testutil::ReadFile(file);
  }
  void Load(const std::string& text) {
    const std::string file = scratch_ / "in";
    testutil::WriteFile(file, text);
    ASSERT_EQ(OpenInputFile(file.c_str(), 1), 1);
    LoadMenu(&menu_);
    CloseInputFile();
  }
  Text paper_{"Letter,A4,A5"};
  Text finish_{"none,a,b"};
  Text conds_{"0.1 0.2"};
  std::vector<TextMenuItem> sub_, other_, items_;
  TextMenu subMenu_{}, otherMenu_{}, menu_{};
  TextMenu* subs_[2] = {};
};

TEST_F(SettingsTest, StoreWritesOneLinePerValueAndTheApplyingSubmenu) {
  EXPECT_EQ(Store(),
            "0[1] 9 0\n"
            "1[Report] 11 0\n"
            "2[] 12 0\n"
            "3[2] 13 0\n"
            "4[1.500] 14 0\n"
            "6{\n"
            "0[600] 13 0\n"
            "}\n");
  items_[0].Value = 0;  // no condition holds: no submenu block
  items_[3].Access = ACCESS_HIDDEN;
  const std::string out = Store();
  EXPECT_EQ(out, "0[0] 9 0\n1[Report] 11 0\n2[] 12 0\n3[2] 13 2\n4[1.500] 14 0\n");
}

TEST_F(SettingsTest, StoredSettingsReadBackIntoAFreshMenu) {
  std::snprintf(items_[2].Value.pText, MENU_VALUE_SIZE, "%s", "hello");
  items_[3].Value = 7;
  items_[4].Value = 0.25;
  sub_[0].Value = 1200;
  items_[1].Access = ACCESS_NOSELECT;
  const std::string stored = Store();
  InitMenu(&menu_, nullptr);
  InitMenu(&subMenu_, nullptr);
  InitMenu(&otherMenu_, nullptr);
  Load(stored);
  EXPECT_EQ(items_[0].Value.Int, 1);
  EXPECT_STREQ(items_[0].pCurState, "A4,A5");
  EXPECT_EQ(items_[1].Access, ACCESS_NOSELECT);
  EXPECT_STREQ(items_[2].Value.pText, "hello");
  EXPECT_EQ(items_[3].Value.Int, 7);
  EXPECT_FLOAT_EQ(items_[4].Value.Float, 0.25f);
  EXPECT_EQ(sub_[0].Value.Int, 1200);
  EXPECT_EQ(other_[0].Value.Int, 1);
  EXPECT_EQ(gAccepted, 1);  // the submenu's accept action at its '}'
  EXPECT_EQ(flLoadedSettings, 1);
  EXPECT_EQ(Store(), stored);
}

TEST_F(SettingsTest, LoadedLinesConvertByTypeChangeTypesWithinTheirKindAndSkipWhatIsNotInTheMenu) {
  items_[0].Value = 0;  // Colour opens no submenu now: its block and other blocks are skipped
  Load("9[1] 13 0\n-1[1] 13 0\n6{\n0[5] 13 0\n2{\n}\n}\n3[8] 13 0\n0[1] 9 7\n");
  EXPECT_EQ(sub_[0].Value.Int, 600);
  EXPECT_EQ(items_[3].Value.Int, 8);
  EXPECT_EQ(items_[0].Value.Int, 1);
  EXPECT_EQ(items_[0].Access, ACCESS_NORMAL);  // 7 is no access
  EXPECT_EQ(gAccepted, 0);
  // A state index outside the list falls back to the first state.
  Load("0[7] 9 0\n");
  EXPECT_EQ(items_[0].Value.Int, 0);
  EXPECT_STREQ(items_[0].pCurState, "Letter,A4,A5");
  Load("0[Letter] 9 0\n1[two words] 11 1\n3[12abc] 13 0\n4[x] 14 0\n");
  EXPECT_EQ(items_[0].Value.Int, 0);  // atoi("Letter")
  EXPECT_STREQ(items_[1].Value.pText, "two");
  EXPECT_EQ(items_[1].Access, ACCESS_NOSELECT);
  EXPECT_EQ(items_[3].Value.Int, 12);
  EXPECT_FLOAT_EQ(items_[4].Value.Float, 0.0f);
  // A stored type changes the entry only within its kind of value.
  Load("2[x] 11 0\n3[5] 9 0\n0[1] 11 0\n1[3] 13 0\n");
  EXPECT_EQ(items_[2].ItemType, ITEM_REQUIRED);
  EXPECT_EQ(items_[3].ItemType, ITEM_ONE_OF);
  EXPECT_EQ(items_[0].ItemType, ITEM_ONE_OF);  // an integer never becomes a text
  EXPECT_EQ(items_[1].ItemType, ITEM_REQUIRED);
  EXPECT_STREQ(items_[1].Value.pText, "3");
}

TEST_F(SettingsTest, RunMenuLoadsSettingsIntoSubmenusBeforeTheyOpen) {
  const std::string file = scratch_ / "settings";
  testutil::WriteFile(file, "0[1] 9 0\n6{\n0[300] 13 0\n}\n");
  sub_[0].Value = 5;
  other_[0].Value = 5;
  EXPECT_EQ(Run("", [&] { RunMenu(&menu_, file.c_str(), 0); }), "");
  EXPECT_EQ(ValidateMenu(&menu_, 6), &subMenu_);
  EXPECT_EQ(sub_[0].Value.Int, 300);
  EXPECT_EQ(other_[0].Value.Int, 1);  // started from its default with the top menu
  EXPECT_EQ(gAccepted, 1);
}

}  // namespace
