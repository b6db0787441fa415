// Media_test.cpp - reading the distribution's list: disks, DISKS in capitals up to
// end_of_list, a missing list, and a list longer than the line buffer.
#include "setup/setup.h"

#include "utils/utils.h"
#include "testutil.h"

#include <string>

namespace {

class DisksList : public ::testing::Test {
 protected:
  void SetUp() override {
    flUseLog = 0;
    my_name = name_;
  }
  std::string Read() {
    GetDisksData(dist_.path().c_str());
    return LineBuf;
  }
  void Write(const char* name, const std::string& text) {
    ASSERT_TRUE(testutil::WriteFile(dist_ / name, text));
  }

  char name_[8] = "setup";
  testutil::ScratchDir dist_;
};

TEST_F(DisksList, TheLowerCaseListIsTakenAsItStands) {
  Write("disks", "disks pkg_tar.aa pkg_tar.ab\nend_of_list\n");
  EXPECT_EQ(Read(), "disks pkg_tar.aa pkg_tar.ab\nend_of_list\n");
}

TEST_F(DisksList, TheCapitalListIsTurnedIntoCapitalsUpToEndOfList) {
  Write("DISKS", "disks pkg_tar.aa\tpkg_tar.ab\nend_of_list after\n");
  EXPECT_EQ(Read(), "DISKS PKG_TAR.AA\tPKG_TAR.AB\nend_of_list after\n");
}

TEST_F(DisksList, TheLowerCaseListWinsOverTheCapitalOne) {
  Write("disks", "a\n");
  Write("DISKS", "b\n");
  EXPECT_EQ(Read(), "a\n");
}

TEST_F(DisksList, AListOfExactly4096BytesIsReadWhole) {
  std::string text(4095, 'a');
  text += '\n';
  Write("disks", text);
  EXPECT_EQ(Read(), text);
}

TEST_F(DisksList, ANameCutByTheLimitIsDropped) {
  const std::string head = std::string(4090, 'x') + " ";  // 4091 bytes
  Write("disks", head + "pkg_tar.aa end_of_list\n");        // the limit cuts "pkg_t"
  EXPECT_EQ(Read(), head);
}

TEST_F(DisksList, ANameEndingExactlyAtTheLimitIsKept) {
  const std::string head = std::string(4090, 'x') + " abcde";  // 4096 bytes
  Write("disks", head + "\nend_of_list\n");
  EXPECT_EQ(Read(), head);
}

using DisksListDeathTest = DisksList;

TEST_F(DisksListDeathTest, NoListEndsTheRunWithStatus1) {
  EXPECT_EXIT(Read(), testing::ExitedWithCode(1), "^ERROR: can't open file, KanduInstall/disks\n$");
}

}  // namespace
