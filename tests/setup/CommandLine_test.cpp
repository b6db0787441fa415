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

TEST_F(CommandLine, WordsChooseTheWorkAreaBaseAndTheInstallationDirectoryByPosition) {
  const std::string base = scratch_.path(), area = scratch_ / "KanduInstall";
  const struct {
    std::vector<std::string> words;
    std::string workArea, installDir;
  } rows[] = {
      {{}, "/tmp/KanduInstall", "(none)"},
      {{"install"}, "/tmp/KanduInstall", "(none)"},  // install as the last word is ignored
      // install takes the next word reduced to its installation directory.
      {{"install", "/opt/Kandu/tvnn"}, "/tmp/KanduInstall", "/opt"},
      {{"install", "/opt/"}, "/tmp/KanduInstall", "/opt"},
      {{"install", "/"}, "/tmp/KanduInstall", "/"},
      {{base, "/opt"}, area, "/opt"},
      // install before or after the base gives the same result.
      {{base, "install", "/opt"}, area, "/opt"},
      {{"install", "/opt", base}, area, "/opt"},
      // One trailing slash of the base is dropped.
      {{base + "/"}, area, "(none)"},
      {{"/"}, "/KanduInstall", "(none)"},
  };
  for (const auto& r : rows) {
    SetUp();
    Parse(r.words);
    std::string words;
    for (const std::string& w : r.words) words += " " + w;
    EXPECT_EQ(WorkArea() + "|" + InstallDir(), r.workArea + "|" + r.installDir) << words;
    EXPECT_EQ(flCreatedTmpDir, 0) << words;  // every base existed
  }
  removeCreatedWorkAreaBases();
  EXPECT_TRUE(IsDir(base));  // an existing base is never removed, even when empty
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

// A missing base made with its parents and removed when empty, and a third word that
// is a base again, are seen whole by e2e.setup_cmdline; a made base holding files stays.
TEST_F(CommandLine, AMadeBaseThatIsNotEmptyStays) {
  const std::string made = scratch_ / "made/deeper";
  Parse({made});
  EXPECT_EQ(flCreatedTmpDir, 1);
  ASSERT_TRUE(testutil::WriteFile(made + "/keep", "x"));
  removeCreatedWorkAreaBases();
  EXPECT_TRUE(IsDir(made));
}

using CommandLineDeathTest = CommandLine;

// -v alone and after a base are run whole by e2e.setup_cmdline.
TEST_F(CommandLineDeathTest, VersionEndsTheRunBeforeLaterWordsAreLookedAt) {
  EXPECT_EXIT(Parse({"-v", "/a b"}), testing::ExitedWithCode(0), "^setup 4\\.10\\.05\n$");
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
  EXPECT_EXIT(Parse({"install", ""}), testing::ExitedWithCode(2), "unsafe installation directory '': it is empty");
  char dist[] = "/home/u/my dist";
  pPathToSetup = dist;
  EXPECT_EXIT(Parse({}), testing::ExitedWithCode(2), "unsafe installer directory '/home/u/my dist': it contains a blank");
}

}  // namespace
