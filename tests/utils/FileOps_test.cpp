// FileOps_test.cpp - the file operations (the commands they run, in order), the
// program's directory, the environment and the user and host names.
#include "Cases.h"

#include "SysCmd/SysCmd.h"

#include <sys/utsname.h>

namespace {

// The line SysCmd logs for a table command: shell, -c, a quote, the command with its
// default arguments, a blank and the caller's text.
std::string Logged(int index, const std::string& args) {
  return Take(GetCmdNoFlags(CMD_SH)) + " -c \"" + Take(GetCmd(index)) + " " + args + "\n";
}

// The commands logged (to /tmp/kandu_fileops.log) since the last call.
std::string Log() {
  const std::string log = testutil::ReadFile("/tmp/kandu_fileops.log");
  unlink("/tmp/kandu_fileops.log");
  return log;
}

// Logging on, in a scratch directory; the command table comes back afterwards.
struct FileOps : cases::InScratch {
  void SetUp() override {
    REQUIRE_SANDBOX();
    InScratch::SetUp();
    flUseLog = flSysCmdLog = 1;
    my_name = Mut("kandu_fileops");
    Log();
  }
  void TearDown() override {
    InScratch::TearDown();
    flSysCmdLog = 0;
    ComList[CMD_WHOAMI].pPath = whoami_;
    flInitSysCmd = init_;
  }
  char* whoami_ = ComList[CMD_WHOAMI].pPath;
  char init_ = flInitSysCmd;
};

}  // namespace

TEST_F(FileOps, CreateTextFileWritesWithThePermissionBitsOrReports) {
  const std::string err = testutil::CaptureFd(2, [&] {
    Check({CASE(CreateTextFile("f", "wt", 0640, "%s=%d\n", "lpd", 1), 1), CASE(testutil::ReadFile("f"), "lpd=1\n"),
           CASE(testutil::Mode("f"), 0640), CASE(CreateTextFile("none/f", "wt", 0644, "x"), 0),
           CASE(CreateTextFile("/dev/full", "wt", 0, "%s\n", "text"), 0),
           CASE(CreateTextFile(nullptr, "wt", 0, "x"), 0)});
  });
  EXPECT_TRUE(HasAll(err, {"none/f\n", "/dev/full\n"}) && testutil::Lines(err).size() == 3) << err;
}

TEST_F(FileOps, CreateDeleteAndRenameRunTheirCommandsInOrder) {
  const std::string ab = d_ + "/a/b", f = ab + "/f", x = d_ + "/x", p = d_ + "/p", q = d_ + "/q";
  CreateFile(ab.c_str(), "f", "644", "lp", "lp");
  EXPECT_EQ(Log(), Logged(26, ab) + Logged(35, f) + Logged(5, "644 " + f) + Logged(6, "lp " + f) +
                       Logged(4, "lp " + f));
  struct stat st {};
  EXPECT_TRUE(stat(f.c_str(), &st) == 0 && (st.st_mode & 07777) == 0644 && st.st_uid == 7);  // lp
  // An existing directory is only changed.
  CreateFile(d, nullptr, "755", nullptr, nullptr);
  CreateFile(nullptr, "f", "755", nullptr, nullptr);
  EXPECT_EQ(Log(), Logged(5, "755 " + d_));
  // What exists is removed; the second round finds nothing and runs nothing.
  ASSERT_TRUE(mkdir(x.c_str(), 0755) == 0 && testutil::WriteFile(x + "/in", ""));
  ASSERT_TRUE(testutil::WriteFile(p, "") && testutil::WriteFile(q, ""));
  for (int round = 0; round < 2; ++round) {
    DeleteFile(d, "x");
    DeleteFile(nullptr, p.c_str());
    DeleteFile_(q.c_str(), nullptr);
  }
  DeleteFile_(d, "x");
  DeleteFile_(nullptr, "x");
  EXPECT_EQ(Log(), Logged(30, x) + Logged(30, p) + Logged(30, q));
  EXPECT_FALSE(Exists(x) || Exists(p) || Exists(q));
  // RenameFile moves an existing name, unlogged.
  ASSERT_TRUE(testutil::WriteFile("a1", "A"));
  RenameFile(d, "a1", "b1");
  RenameFile(nullptr, "b1", "c1");
  RenameFile(d, "a1", "d1");
  RenameFile(nullptr, nullptr, "d1");
  EXPECT_EQ(testutil::ReadFile("c1") + Log(), "A");
  EXPECT_FALSE(Exists("a1") || Exists("b1") || Exists("d1"));
  // A target of more than 511 characters is refused before any command.
  EXPECT_EXIT(CreateFile(x.c_str(), std::string(600, 'f').c_str(), "644", nullptr, nullptr),
              ::testing::ExitedWithCode(1), "ERROR: path too long, .*/x/fff");
  EXPECT_FALSE(Exists(x));
}

TEST_F(FileOps, ToolPathEnvironmentAndNames) {
  struct utsname u;
  ASSERT_TRUE(uname(&u) == 0 && mkdir("sub", 0755) == 0 && mkdir("dist", 0755) == 0 && mkdir("dist/cd", 0755) == 0);
  ASSERT_EQ(symlink((d_ + "/dist").c_str(), "sub/link") | setenv("KANDU_TEST_VAR", "", 1), 0);
  Check({CASE(Take(GetEnv("KANDU_TEST_VAR")), ""), CASE(GetEnv("KANDU_UNSET_VAR"), nullptr),
         CASE(GetEnv(nullptr), nullptr), CASE(Take(GetHostname()), u.nodename),
         CASE(Take(GetToolPath("/usr/local/bin/setup")), "/usr/local/bin"), CASE(Take(GetToolPath("/setup")), "/"),
         CASE(Take(GetToolPath("setup")), d_), CASE(Take(GetToolPath(nullptr)), d_),
         CASE(Take(GetToolPath("././sub//x/setup")), d_ + "/sub/x")});
  // Climbing gives the folder that really holds the program, through links too.
  ASSERT_EQ(chdir("sub"), 0);
  Check({CASE(Take(GetToolPath("../setup")), d_), CASE(Take(GetToolPath("../none/../dist/setup")), d_ + "/dist"),
         CASE(Take(GetToolPath("link/cd/../setup")), d_ + "/dist")});
  ASSERT_EQ(chdir("/"), 0);
  Check({CASE(Take(GetToolPath("../setup")), "/"), CASE(Take(GetToolPath("bin/setup")), "/bin")});
}

TEST_F(FileOps, UserNameIsWhoamisFirstLineElseRootOrTheUserId) {
  ASSERT_TRUE(testutil::WriteTool("whoami", "#!/bin/sh\nprintf 'lp\\r\\nsecond\\n'\n"));
  ComList[CMD_WHOAMI].pPath = Mut(d_);
  EXPECT_EQ(Take(GetUserName()), "lp");
  if (getuid() != 0) GTEST_SKIP() << "needs user id 0 (and to become user 500)";
  ASSERT_TRUE(testutil::WriteTool("whoami", "#!/bin/sh\nexit 0\n"));  // prints nothing
  EXPECT_EQ(Take(GetUserName()), "root");
  ComList[CMD_WHOAMI].pPath = nullptr;
  flInitSysCmd = 0;  // no whoami, and no lookup on first use
  EXPECT_EQ(Take(GetUserName()), "root");
  EXPECT_EXIT(exit(setuid(500) == 0 && Take(GetUserName()) == "User ID:  500" ? 0 : 1),
              ::testing::ExitedWithCode(0), "");
}
