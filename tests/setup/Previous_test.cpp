// Previous_test.cpp - finding a previous installation through /usr/Kandu/tvnn and
// reducing product paths to their installation directory.
#include "setup/setup.h"

#include "MemMgr/MemMgr.h"
#include "utils/utils.h"
#include "testutil.h"

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(StripToBaseName, ReducesAProductPathToItsInstallationDirectory) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/opt/Kandu/tvnn", "/opt"},
      {"/opt/Kandu/", "/opt"},
      {"/opt/", "/opt"},
      {"/", "/"},
      {"/data/tvnnold/x", "/data"},
      {"/usr/../../opt/Kandu/tvnn", "/usr/../../opt"},
      {"/a/kandu/TVNN", "/a/kandu/TVNN"},
  };
  for (const auto& [in, want] : cases) {
    std::string path = in;
    EXPECT_EQ(StripToBaseName(path.data()), path.data());
    EXPECT_STREQ(path.c_str(), want.c_str()) << in;
  }
  EXPECT_EQ(StripToBaseName(nullptr), nullptr);
}

using testutil::Exists;

// /usr/Kandu/tvnn is set up afresh for each test; only in the sandbox.
class PreviousInstallation : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_SANDBOX();
    flUseLog = 0;
    my_name = name_;
    std::system("rm -rf /usr/Kandu /opt/Kandu /usr/other");
    mkdir("/usr/Kandu", 0755);
  }
  // The result of locatePreviousInstallation as a string, "(null)" for none.
  std::string Locate() {
    char* dir = locatePreviousInstallation();
    std::string s = dir != nullptr ? dir : "(null)";
    PutMem(dir);
    return s;
  }
  static void MakeDirs(const std::string& path) {
    ASSERT_EQ(std::system(("mkdir -p " + path).c_str()), 0);
  }

  char name_[8] = "setup";
};

// No previous installation, the tree in /usr, a link to /opt and a dangling link are
// whole runs of e2e.setup_install; the cases below are not.

TEST_F(PreviousInstallation, ALinkToAFileIsRemovedAndTheFileKept) {
  MakeDirs("/opt/Kandu");
  ASSERT_TRUE(testutil::WriteFile("/opt/Kandu/file", "x"));
  ASSERT_EQ(symlink("/opt/Kandu/file", "/usr/Kandu/tvnn"), 0);
  EXPECT_EQ(Locate(), "(null)");
  EXPECT_FALSE(Exists("/usr/Kandu/tvnn"));
  EXPECT_TRUE(Exists("/opt/Kandu/file"));
}

TEST_F(PreviousInstallation, ARelativeLinkCountsFromWhereItStands) {
  MakeDirs("/opt/Kandu/tvnn");
  ASSERT_EQ(symlink("../../opt/Kandu/tvnn", "/usr/Kandu/tvnn"), 0);
  // From a current directory where the text leads nowhere the link still holds.
  MakeDirs("/opt/deep/er/est");
  ASSERT_EQ(chdir("/opt/deep/er/est"), 0);
  EXPECT_EQ(Locate(), "/usr/../../opt");
  EXPECT_TRUE(Exists("/usr/Kandu/tvnn"));

  // A relative link inside /usr: the directory it really leads to.
  ASSERT_EQ(unlink("/usr/Kandu/tvnn"), 0);
  MakeDirs("/usr/other/Kandu/tvnn");
  ASSERT_EQ(symlink("../other/Kandu/tvnn", "/usr/Kandu/tvnn"), 0);
  EXPECT_EQ(Locate(), "/usr/other");
  ASSERT_EQ(chdir("/"), 0);
}

using PreviousInstallationDeathTest = PreviousInstallation;

TEST_F(PreviousInstallationDeathTest, AnUnsafeLinkTargetEndsTheRunWithStatus2) {
  MakeDirs("'/opt/a b/Kandu/tvnn'");
  ASSERT_EQ(symlink("/opt/a b/Kandu/tvnn", "/usr/Kandu/tvnn"), 0);
  EXPECT_EXIT(Locate(), testing::ExitedWithCode(2),
              "unsafe previous installation '/opt/a b/Kandu/tvnn': it contains a blank");
}

}  // namespace
