// Settings_test.cpp - settings files: the stored lines, submenu blocks, reading them
// back, and what a stored line may change.
#include "MenuFixture.h"

#include "utils/utils.h"

namespace {

int gAccepted = 0;

// A menu with every stored type, a several-states entry and two conditioned submenus
// (entries 0 P, 1 T, 2 N, 3 C, 4 S, 5 F, 6 the submenu, 7 a text line).
class SettingsTest : public MenuTest {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    menu_ = Desc("choice P\n  states Letter,A4,A5\n  default A4\nrequired T\n  default Report\nstring N\ninteger C\n"
                 "  default 2\nfloat S\n  default 1.5\nmulti F\n  states none,a,b\n  default a,b\nsubmenu\n"
                 "  when P.1 sub\n  when P.2 other\ntext x\nmenu sub\ninteger R\n  default 600\naccept OK\n"
                 "menu other\ninteger O\n  default 1\n");
    subs_ = menu_->pItems[6].Value.ppMenus;
    subs_[0]->pItems[1].pfnAction = [](TextMenu*, TextMenuItem*) { return ++gAccepted, 0; };
    gAccepted = 0;
  }
  TextMenu* menu_ = nullptr;
  TextMenu** subs_ = nullptr;
};

// Each row is loaded into the menus at their defaults, and the settings are stored
// again (lines joined by blanks); the submenu's accept action runs at its '}'.
TEST_F(SettingsTest, LoadsAndStoresLines) {
  const struct { const char *lines, *stored; } rows[] = {
      {"", "0[1] 9 0 1[Report] 11 0 2[] 12 0 3[2] 13 0 4[1.500] 14 0 6{ 0[600] 13 0 } 0"},
      {"0[1] 9 1\n1[Monthly] 11 2\n2[n-1.x] 12 0\n3[-7] 13 0\n4[2.250] 14 1\n6{\n0[300] 13 0\n}\n",
       "0[1] 9 1 1[Monthly] 11 2 2[n-1.x] 12 0 3[-7] 13 0 4[2.250] 14 1 6{ 0[300] 13 0 } 1"},
      // Indexes outside the menu, blocks of submenus that do not apply, bad access values.
      {"9[1] 13 0\n-1[1] 13 0\n0[0] 9 0\n6{\n0[5] 13 0\n2{\n}\n}\n3[8] 13 0\n0[1] 9 7\n0[x 9 0\nx\n",
       "0[1] 9 0 1[Report] 11 0 2[] 12 0 3[8] 13 0 4[1.500] 14 0 6{ 0[600] 13 0 } 0"},
      // A state outside the list is the first; a text is read up to its first blank.
      {"0[7] 9 0\n1[two words] 11 1\n3[12abc] 13 2\n4[x] 14 0\n",
       "0[0] 9 0 1[two] 11 1 2[] 12 0 3[12] 13 2 4[0.000] 14 0 0"},
      {"0[Letter] 9 0\n", "0[0] 9 0 1[Report] 11 0 2[] 12 0 3[2] 13 0 4[1.500] 14 0 0"},
      // A stored type changes an entry only within its kind of value.
      {"2[x] 11 0\n3[5] 9 0\n0[1] 11 0\n1[3] 13 0\n",
       "0[1] 9 0 1[3] 11 0 2[x] 11 0 3[5] 9 0 4[1.500] 14 0 6{ 0[600] 13 0 } 0"},
  };
  for (const auto& r : rows) {
    gAccepted = 0;
    for (TextMenu* m : {menu_, subs_[0], subs_[1]}) InitMenu(m, nullptr);
    for (int i = 0; i < 8; ++i) menu_->pItems[i].Access = ACCESS_NORMAL;
    testutil::WriteFile(scratch_ / "in", r.lines);
    ASSERT_EQ(OpenInputFile((scratch_ / "in").c_str(), 1), 1);
    LoadMenu(menu_);
    CloseInputFile();
    pOut = std::fopen((scratch_ / "out").c_str(), "w");
    StoreMenu(menu_);
    std::fclose(pOut);
    pOut = nullptr;
    std::string got = testutil::ReadFile(scratch_ / "out") + std::to_string(gAccepted);
    std::replace(got.begin(), got.end(), '\n', ' ');
    EXPECT_EQ(got, r.stored) << r.lines;
  }
  EXPECT_EQ(flLoadedSettings, 1);
}

TEST_F(SettingsTest, LoadsSubmenusBeforeTheyOpen) {
  const std::string file = scratch_ / "settings", missing = scratch_ / "missing";
  testutil::WriteFile(file, "0[1] 9 0\n6{\n0[300] 13 0\n}\n");
  subs_[0]->pItems[0].Value = 5;
  EXPECT_EQ(Run("", [&] { RunMenu(menu_, file.c_str(), 0); }), "");
  EXPECT_EQ(Values() + std::to_string(gAccepted), "P=A4 T=Report N= C=2 S=1.500 F=a,b R=300 O=1 1");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RunMenu(menu_, missing.c_str(), 0), 1);  // no type 5 entry
  subs_[0]->pItems[1].ItemType = ITEM_DONE;
  EXPECT_EQ(RunMenu(subs_[0], missing.c_str(), 0) * 10 + gAccepted, 2);  // its action's result
  subs_[0]->pItems[1].pfnAction = nullptr;
  EXPECT_EQ(RunMenu(subs_[0], missing.c_str(), 0), 1);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(missing + "\nWARNING"), std::string::npos) << err;  // a warning each
}

}  // namespace
