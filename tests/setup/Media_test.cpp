// Media_test.cpp - reading the distribution's list: disks, DISKS in capitals up to
// end_of_list, a list longer than the line buffer, and no list at all.
#include "SetupFixture.h"

#include <utility>

namespace {

using namespace setuptest;

TEST(DisksList, IsReadAsItStandsOrInCapitalsUpToEndOfListAndCutAtANameAfter4096Bytes) {
  ScratchDir dist;
  const std::string exact = std::string(4095, 'a') + "\n", head = std::string(4090, 'x') + " ";  // 4091 bytes
  const struct { std::string disks, capitals, read; } rows[] = {
      {"disks pkg_tar.aa pkg_tar.ab\nend_of_list\n", "", "disks pkg_tar.aa pkg_tar.ab\nend_of_list\n"},
      {"", "disks pkg_tar.aa\tpkg_tar.ab\nend_of_list after\n", "DISKS PKG_TAR.AA\tPKG_TAR.AB\nend_of_list after\n"},
      {"a\n", "b\n", "a\n"},  // lower case wins
      {exact, "", exact},
      {head + "pkg_tar.aa end_of_list\n", "", head},  // a name cut by the limit is dropped
      {head + "abcde\nend_of_list\n", "", head + "abcde"},  // one that ends at the limit stays
      {"", "", "status 1: ERROR: can't open file, KanduInstall/disks\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.read.substr(0, 40));
    for (const auto& [name, text] : {std::pair{"disks", r.disks}, {"DISKS", r.capitals}}) {
      std::remove((dist / name).c_str());
      ASSERT_TRUE(text.empty() || WriteFile(dist / name, text));
    }
    const testutil::Child c = testutil::RunChild([&] {
      GetDisksData(dist.path().c_str());
      std::fputs(LineBuf, stdout);
    });
    EXPECT_EQ(c.Exited(0) ? c.out : "status " + std::to_string(WEXITSTATUS(c.status)) + ": " + c.err, r.read);
  }
}

}  // namespace
