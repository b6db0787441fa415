// Media_test.cpp - reading the distribution's list: disks, DISKS in capitals up to
// end_of_list, a missing list, and a list longer than the line buffer.
#include "setup/setup.h"

#include "utils/utils.h"
#include "testutil.h"

#include <cstdio>
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

TEST_F(DisksList, IsReadAsItStandsOrInCapitalsUpToEndOfListAndCutAtANameAfter4096Bytes) {
  const std::string exact = std::string(4095, 'a') + "\n";
  const std::string head = std::string(4090, 'x') + " ";  // 4091 bytes
  const struct {
    const char* what;
    std::string disks, capitals;  // "": no such file
    std::string read;
  } rows[] = {
      {"lower case", "disks pkg_tar.aa pkg_tar.ab\nend_of_list\n", "", "disks pkg_tar.aa pkg_tar.ab\nend_of_list\n"},
      {"capitals", "", "disks pkg_tar.aa\tpkg_tar.ab\nend_of_list after\n",
       "DISKS PKG_TAR.AA\tPKG_TAR.AB\nend_of_list after\n"},
      {"lower case wins", "a\n", "b\n", "a\n"},
      {"exactly 4096 bytes", exact, "", exact},
      {"a name cut by the limit is dropped", head + "pkg_tar.aa end_of_list\n", "", head},
      {"a name ending at the limit is kept", head + "abcde\nend_of_list\n", "", head + "abcde"},
  };
  for (const auto& r : rows) {
    std::remove((dist_ / "disks").c_str());
    std::remove((dist_ / "DISKS").c_str());
    if (!r.disks.empty()) Write("disks", r.disks);
    if (!r.capitals.empty()) Write("DISKS", r.capitals);
    EXPECT_EQ(Read(), r.read) << r.what;
  }
}

using DisksListDeathTest = DisksList;

TEST_F(DisksListDeathTest, NoListEndsTheRunWithStatus1) {
  EXPECT_EXIT(Read(), testing::ExitedWithCode(1), "^ERROR: can't open file, KanduInstall/disks\n$");
}

}  // namespace
