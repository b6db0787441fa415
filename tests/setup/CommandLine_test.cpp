// CommandLine_test.cpp - the installer's command line: work-area bases, the
// installation directory, -v, unsafe words, and the bases a run made itself.
#include "setup/setup.h"

#include "utils/utils.h"
#include "testutil.h"

#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsDir(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Each test starts from the state main() leaves before reading the command line.
class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    pKanduInstallDir = defaultWorkArea_;
    pCmdLineInstallDir = nullptr;
    flCreatedTmpDir = 0;
    my_name = name_;
    pPathToSetup = dist_;
    flUseLog = 0;
  }
  void TearDown() override { removeCreatedWorkAreaBases(); }

  // Runs parseCommandLineOptions on "setup" followed by words.
  void Parse(const std::vector<std::string>& words) {
    std::vector<std::string> all{"setup"};
    all.insert(all.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& w : all) argv.push_back(w.data());
    argv.push_back(nullptr);
    parseCommandLineOptions(static_cast<int>(all.size()), argv.data());
  }
  std::string WorkArea() const { return pKanduInstallDir; }
  std::string InstallDir() const { return pCmdLineInstallDir ? pCmdLineInstallDir : "(none)"; }

  char defaultWorkArea_[32] = "/tmp/KanduInstall";
  char name_[8] = "setup";
  char dist_[8] = "/dist";
  testutil::ScratchDir scratch_;
};

TEST_F(CommandLine, NoWordsKeepTheDefaults) {
  Parse({});
  EXPECT_EQ(WorkArea(), "/tmp/KanduInstall");
  EXPECT_EQ(InstallDir(), "(none)");
  EXPECT_EQ(flCreatedTmpDir, 0);
}

TEST_F(CommandLine, InstallAsTheLastWordIsIgnored) {
  Parse({"install"});
  EXPECT_EQ(InstallDir(), "(none)");
  EXPECT_EQ(WorkArea(), "/tmp/KanduInstall");
}

TEST_F(CommandLine, InstallTakesTheNextWordReducedToItsInstallationDirectory) {
  Parse({"install", "/opt/Kandu/tvnn"});
  EXPECT_EQ(InstallDir(), "/opt");
  Parse({"install", "/opt/"});
  EXPECT_EQ(InstallDir(), "/opt");
  Parse({"install", "/"});
  EXPECT_EQ(InstallDir(), "/");
}

TEST_F(CommandLine, ThePositionInTheArgumentVectorDecidesTheRole) {
  const std::string a = scratch_ / "a", b = scratch_ / "b", c = scratch_ / "c";
  Parse({scratch_.path(), "/opt"});
  EXPECT_EQ(WorkArea(), scratch_ / "KanduInstall");
  EXPECT_EQ(InstallDir(), "/opt");

  Parse({a, b, c});  // the third word is a base again and replaces the first
  EXPECT_EQ(WorkArea(), c + "/KanduInstall");
  EXPECT_EQ(InstallDir(), b);
  EXPECT_TRUE(IsDir(a));
  EXPECT_TRUE(IsDir(c));
  EXPECT_FALSE(IsDir(b));
}

TEST_F(CommandLine, InstallBeforeOrAfterTheBaseGivesTheSameResult) {
  Parse({scratch_.path(), "install", "/opt"});
  const std::string first = WorkArea() + "|" + InstallDir();
  SetUp();
  Parse({"install", "/opt", scratch_.path()});
  EXPECT_EQ(WorkArea() + "|" + InstallDir(), first);
  EXPECT_EQ(first, scratch_ / "KanduInstall|/opt");
}

TEST_F(CommandLine, OneTrailingSlashOfTheBaseIsDropped) {
  Parse({scratch_.path() + "/"});
  EXPECT_EQ(WorkArea(), scratch_ / "KanduInstall");
  Parse({"/"});
  EXPECT_EQ(WorkArea(), "/KanduInstall");
  EXPECT_EQ(flCreatedTmpDir, 0);
}

TEST_F(CommandLine, RelativeWordsCountFromTheCurrentDirectory) {
  ASSERT_EQ(chdir(scratch_.path().c_str()), 0);
  Parse({"work", "inst/Kandu/tvnn"});
  EXPECT_EQ(WorkArea(), scratch_ / "work/KanduInstall");
  EXPECT_EQ(InstallDir(), scratch_ / "inst");
  Parse({"."});
  EXPECT_EQ(WorkArea(), scratch_ / "KanduInstall");
  ASSERT_EQ(chdir("/"), 0);
}

TEST_F(CommandLine, AMissingBaseIsMadeWithItsParentsAndRemovedWhenEmpty) {
  const std::string base = scratch_ / "new/deeper";
  Parse({base});
  EXPECT_EQ(WorkArea(), base + "/KanduInstall");
  EXPECT_EQ(flCreatedTmpDir, 1);
  EXPECT_TRUE(IsDir(base));

  removeCreatedWorkAreaBases();
  EXPECT_FALSE(IsDir(scratch_ / "new"));
  EXPECT_TRUE(IsDir(scratch_.path()));
}

TEST_F(CommandLine, AMadeBaseThatIsNotEmptyStays) {
  const std::string base = scratch_ / "made";
  Parse({base});
  ASSERT_TRUE(testutil::WriteFile(base + "/keep", "x"));
  removeCreatedWorkAreaBases();
  EXPECT_TRUE(IsDir(base));
}

TEST_F(CommandLine, AnExistingBaseIsNeverRemoved) {
  Parse({scratch_.path()});
  EXPECT_EQ(flCreatedTmpDir, 0);
  removeCreatedWorkAreaBases();
  EXPECT_TRUE(IsDir(scratch_.path()));
}

using CommandLineDeathTest = CommandLine;

TEST_F(CommandLineDeathTest, VersionPrintsNameAndVersionAndEndsWithStatus0) {
  EXPECT_EXIT(Parse({"-v"}), testing::ExitedWithCode(0), "^setup 4\\.10\\.05\n$");
}

TEST_F(CommandLineDeathTest, VersionAfterABaseMakesTheBaseFirst) {
  const std::string base = scratch_ / "w";
  EXPECT_EXIT(Parse({base, "-v"}), testing::ExitedWithCode(0), "setup 4\\.10\\.05");
  EXPECT_TRUE(IsDir(base));
}

TEST_F(CommandLineDeathTest, AnUnsafeWordEndsTheRunWithStatus2BeforeAnythingIsMade) {
  const std::string base = scratch_ / "base";
  EXPECT_EXIT(Parse({base, "install", "/opt/a b"}), testing::ExitedWithCode(2),
              "ERROR: unsafe installation directory '/opt/a b': it contains a blank");
  EXPECT_FALSE(IsDir(base));
  EXPECT_EXIT(Parse({"/tmp/$(reboot)"}), testing::ExitedWithCode(2),
              "unsafe work-area base '/tmp/\\$\\(reboot\\)': it contains the character \\$");
  EXPECT_EXIT(Parse({"/opt/" + std::string(300, 'x')}), testing::ExitedWithCode(2),
              "it is longer than 256 characters");
  EXPECT_EXIT(Parse({"install", ""}), testing::ExitedWithCode(2),
              "unsafe installation directory '': it is empty");
}

TEST_F(CommandLineDeathTest, VersionEndsTheRunBeforeLaterWordsAreLookedAt) {
  EXPECT_EXIT(Parse({"-v", "/a b"}), testing::ExitedWithCode(0), "setup 4\\.10\\.05");
}

TEST_F(CommandLineDeathTest, AnUnsafeInstallerDirectoryIsRefused) {
  char dist[] = "/home/u/my dist";
  pPathToSetup = dist;
  EXPECT_EXIT(Parse({}), testing::ExitedWithCode(2),
              "unsafe installer directory '/home/u/my dist': it contains a blank");
}

}  // namespace
