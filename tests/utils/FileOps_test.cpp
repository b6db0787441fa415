// FileOps_test.cpp - behaviour of the file operations (the commands they run, in
// order), the program's directory, the environment and the user and host names.
#include "utils/utils.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "testutil.h"

#include <climits>
#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

constexpr int SH = 31;
constexpr int WHOAMI = 37;

using testutil::Exists;
using testutil::Take;

// The line SysCmd logs for a table command: shell, -c, a quote, the command with its
// default arguments, a blank and the caller's text.
std::string Logged(int index, const std::string& args) {
  std::string shell = Take(GetCmdNoFlags(SH));
  std::string command = Take(GetCmd(index));
  return shell + " -c \"" + command + " " + args + "\n";
}

// Logging on to /tmp/<name>.log (only in the sandbox); the flags come back afterwards.
class LoggedCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testutil::InSandbox()) return;
    flUseLog = 1;
    flSysCmdLog = 1;
    my_name = name_;
    unlink(log_.c_str());
  }
  void TearDown() override {
    flUseLog = savedUseLog_;
    flSysCmdLog = savedCmdLog_;
    my_name = savedName_;
  }
  std::string Log() const { return testutil::ReadFile(log_); }

  char name_[32] = "kandu_fileops_test";
  std::string log_ = "/tmp/kandu_fileops_test.log";
  char savedUseLog_ = flUseLog;
  char savedCmdLog_ = flSysCmdLog;
  char* savedName_ = my_name;
  testutil::ScratchDir dir_;
};

// Runs each test in a scratch directory as the current one.
class InScratchDir : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(getcwd(saved_, sizeof(saved_)), nullptr);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    ASSERT_NE(getcwd(cwd_, sizeof(cwd_)), nullptr);
  }
  void TearDown() override { EXPECT_EQ(chdir(saved_), 0); }

  testutil::ScratchDir dir_;
  char saved_[PATH_MAX] = "";
  char cwd_[PATH_MAX] = "";
};

}  // namespace

// ===== CreateTextFile =====

TEST(CreateTextFile, WritesTheFormattedTextWithThePermissionBitsOrReportsTheFile) {
  testutil::ScratchDir dir;
  const std::string path = dir / "flags", missing = dir / "none/flags";
  EXPECT_EQ(CreateTextFile(path.c_str(), "wt", 0640, "%s=%d\n", "lpd", 1), 1);
  EXPECT_EQ(testutil::ReadFile(path), "lpd=1\n");
  EXPECT_EQ(testutil::Mode(path), 0640);
  testing::internal::CaptureStderr();
  EXPECT_EQ(CreateTextFile(missing.c_str(), "wt", 0644, "x"), 0);
  EXPECT_EQ(CreateTextFile("/dev/full", "wt", 0, "%s\n", "text"), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ERROR: couldn't open " + missing + "\nERROR: couldn't write /dev/full\n");
}

// ===== CreateFile, DeleteFile, RenameFile: the commands they run =====

using CreateFileTest = LoggedCommands;

TEST_F(CreateFileTest, AMissingDirectoryIsMadeThenTheFileTouchedAndChangedAnExistingOneOnlyChangedALongOneRefused) {
  REQUIRE_SANDBOX();
  const std::string d = dir_ / "a/b";
  CreateFile(d.c_str(), "f", "644", "lp", "lp");
  EXPECT_EQ(Log(), Logged(26, d) + Logged(35, d + "/f") + Logged(5, "644 " + d + "/f") +
                       Logged(6, "lp " + d + "/f") + Logged(4, "lp " + d + "/f"));
  struct stat st;
  ASSERT_EQ(stat((d + "/f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  EXPECT_EQ(st.st_uid, 7u);  // lp
  // An existing directory with a mode is only changed.
  unlink(log_.c_str());
  CreateFile(dir_.path().c_str(), nullptr, "755", nullptr, nullptr);
  EXPECT_EQ(Log(), Logged(5, "755 " + dir_.path()));
  // A target of more than 511 characters is refused before any command.
  const std::string n = dir_ / "new", name(600, 'f');
  EXPECT_EXIT(CreateFile(n.c_str(), name.c_str(), "644", nullptr, nullptr), ::testing::ExitedWithCode(1),
              "ERROR: path too long, " + n + "/f+\n");
  EXPECT_FALSE(Exists(n));
}

using DeleteFileTest = LoggedCommands;

TEST_F(DeleteFileTest, RemovesAnExistingPathAndRunsNothingForAMissingOneAndRenameIsUnlogged) {
  REQUIRE_SANDBOX();
  ASSERT_EQ(mkdir((dir_ / "x").c_str(), 0755), 0);
  ASSERT_TRUE(testutil::WriteFile(dir_ / "x/inner", "i"));
  ASSERT_TRUE(testutil::WriteFile(dir_ / "p", ""));
  ASSERT_TRUE(testutil::WriteFile(dir_ / "q", ""));
  DeleteFile(dir_.path().c_str(), "x");
  DeleteFile(nullptr, (dir_ / "p").c_str());  // the name is the whole path
  DeleteFile_((dir_ / "q").c_str(), nullptr);
  DeleteFile(dir_.path().c_str(), "x");
  DeleteFile(nullptr, (dir_ / "none").c_str());
  DeleteFile_((dir_ / "none").c_str(), nullptr);
  DeleteFile_(nullptr, "x");
  EXPECT_FALSE(Exists(dir_ / "x"));
  EXPECT_FALSE(Exists(dir_ / "p"));
  EXPECT_FALSE(Exists(dir_ / "q"));
  EXPECT_EQ(Log(), Logged(30, dir_ / "x") + Logged(30, dir_ / "p") + Logged(30, dir_ / "q"));
  // RenameFile moves an existing name, unlogged, and ignores a missing one.
  unlink(log_.c_str());
  ASSERT_TRUE(testutil::WriteFile(dir_ / "a", "A"));
  RenameFile(dir_.path().c_str(), "a", "b");
  EXPECT_EQ(testutil::ReadFile(dir_ / "b"), "A");
  EXPECT_FALSE(Exists(dir_ / "a"));
  RenameFile(nullptr, (dir_ / "b").c_str(), (dir_ / "c").c_str());
  EXPECT_EQ(testutil::ReadFile(dir_ / "c"), "A");
  RenameFile(dir_.path().c_str(), "a", "d");
  EXPECT_FALSE(Exists(dir_ / "d"));
  EXPECT_EQ(Log(), "");
}

// ===== GetEnv and GetHostname =====

TEST(GetEnv, CopiesTheValueAndTellsEmptyFromUnsetAndGetHostnameIsTheNodeName) {
  setenv("KANDU_TEST_VAR", "v1", 1);
  EXPECT_EQ(Take(GetEnv("KANDU_TEST_VAR")), "v1");
  setenv("KANDU_TEST_VAR", "", 1);
  EXPECT_EQ(Take(GetEnv("KANDU_TEST_VAR")), "");
  unsetenv("KANDU_TEST_VAR");
  EXPECT_EQ(GetEnv("KANDU_TEST_VAR"), nullptr);
  struct utsname u;  // GetHostname: the system's node name
  ASSERT_EQ(uname(&u), 0);
  EXPECT_EQ(Take(GetHostname()), u.nodename);
}

// ===== GetToolPath =====

using GetToolPathTest = InScratchDir;

TEST_F(GetToolPathTest, GivesTheDirectoryOfAnAbsolutePathJoinsARelativeOneAndClimbsToTheRealFolder) {
  const std::string cwd = cwd_;
  EXPECT_EQ(Take(GetToolPath("/usr/local/bin/setup")), "/usr/local/bin");
  EXPECT_EQ(Take(GetToolPath("/setup")), "/");
  EXPECT_EQ(Take(GetToolPath("setup")), cwd);
  EXPECT_EQ(Take(GetToolPath("./setup")), cwd);
  EXPECT_EQ(Take(GetToolPath("bin/setup")), cwd + "/bin");
  EXPECT_EQ(Take(GetToolPath("./sub/setup")), cwd + "/sub");
  EXPECT_EQ(Take(GetToolPath("././sub//x/setup")), cwd + "/sub/x");
  // Climbing gives the folder that really holds the program.
  ASSERT_EQ(mkdir("sub", 0755), 0);
  ASSERT_EQ(mkdir("dist", 0755), 0);
  ASSERT_EQ(chdir("sub"), 0);
  const std::string top = cwd_;
  EXPECT_EQ(Take(GetToolPath("../setup")), top);
  EXPECT_EQ(Take(GetToolPath("../dist/setup")), top + "/dist");
  EXPECT_EQ(Take(GetToolPath("../none/../dist/setup")), top + "/dist");
  // Through a link, ".." leads to the parent of the link's target.
  ASSERT_EQ(symlink((top + "/dist").c_str(), "link"), 0);
  ASSERT_EQ(mkdir("../dist/cd", 0755), 0);
  EXPECT_EQ(Take(GetToolPath("link/cd/../setup")), top + "/dist");
  ASSERT_EQ(chdir("/"), 0);
  EXPECT_EQ(Take(GetToolPath("../setup")), "/");
  EXPECT_EQ(Take(GetToolPath("bin/setup")), "/bin");
}

// ===== GetUserName =====

namespace {

// The whoami entry pointed at a scratch directory, or unresolved, for one test.
class WhoamiTest : public ::testing::Test {
 protected:
  void TearDown() override {
    ComList[WHOAMI].pPath = savedPath_;
    flInitSysCmd = savedInit_;
  }
  void FakeWhoami(const std::string& script) {
    ASSERT_TRUE(testutil::WriteFile(dir_ / "whoami", script));
    ASSERT_EQ(chmod((dir_ / "whoami").c_str(), 0755), 0);
    ComList[WHOAMI].pPath = fakeDir_.data();
  }
  void NoWhoami() {
    ComList[WHOAMI].pPath = nullptr;
    flInitSysCmd = 0;  // no lookup on first use
  }

  testutil::ScratchDir dir_;
  std::string fakeDir_ = dir_.path();
  char* savedPath_ = ComList[WHOAMI].pPath;
  char savedInit_ = flInitSysCmd;
};

}  // namespace

TEST_F(WhoamiTest, TheNameIsTheFirstLineOfWhoamiAndWithoutItRootOrTheUserId) {
  FakeWhoami("#!/bin/sh\nprintf 'lp\\r\\nsecond\\n'\n");
  EXPECT_EQ(Take(GetUserName()), "lp");
  // Without whoami the superuser is root and another user is named by user id.
  if (getuid() != 0) GTEST_SKIP() << "needs user id 0 (and to become user 500)";
  NoWhoami();
  EXPECT_EQ(Take(GetUserName()), "root");
  EXPECT_EXIT(
      {
        if (setuid(500) != 0) exit(2);
        exit(Take(GetUserName()) == "User ID:  500" ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  FakeWhoami("#!/bin/sh\nexit 0\n");  // a whoami that prints nothing
  EXPECT_EQ(Take(GetUserName()), "root");
}
