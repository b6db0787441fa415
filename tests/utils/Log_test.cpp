// Log_test.cpp - behaviour of the log file in /tmp (emptied by a run's first line,
// never written through a planted link) and of the error reporters.
#include "utils/utils.h"

#include "SysCmd/SysCmd.h"
#include "testutil.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testutil::Child;
using testutil::RunChild;

// In a child: logging on under the given program name.
void LogAs(const char* name) {
  my_name = const_cast<char*>(name);
  flUseLog = 1;
}

struct stat Lstat(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

// The log file must be a regular file of this process's owner, mode 666, alone.
void ExpectSafeLog(const std::string& path, const std::string& content) {
  const struct stat st = Lstat(path);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0666u);
  EXPECT_EQ(st.st_nlink, 1u);
  EXPECT_EQ(st.st_uid, geteuid());
  EXPECT_EQ(testutil::ReadFile(path), content);
}

}  // namespace

// ===== The log file =====

TEST(PutLogMsg, WritesToTmpUnderTheProgramsNameOnlyWhileLoggingIsOn) {
  REQUIRE_SANDBOX();
  const std::string unnamed = std::string("/tmp/") + program_invocation_short_name + ".log";
  unlink("/tmp/setup.log");
  unlink(unnamed.c_str());
  Child c = RunChild([] {
    umask(022);
    LogAs(StripPath("/opt/x/setup"));
    PutLogMsg("hello %d\n", 5);
    PutLogMsg("%s", "no line end");
  });
  ASSERT_TRUE(c.Exited(0));
  EXPECT_EQ(c.out + c.err, "");
  ExpectSafeLog("/tmp/setup.log", "hello 5\nno line end");
  Child off = RunChild([] {
    my_name = const_cast<char*>("logoff");
    flUseLog = 0;
    PutLogMsg("nothing\n");
  });
  ASSERT_TRUE(off.Exited(0));
  EXPECT_FALSE(testutil::Exists("/tmp/logoff.log"));
  Child noName = RunChild([] {
    my_name = nullptr;
    flUseLog = 1;
    PutLogMsg("unnamed\n");
  });
  ASSERT_TRUE(noName.Exited(0));
  EXPECT_EQ(testutil::ReadFile(unnamed), "unnamed\n");
  // The first line of the system (InitSysCmdList) creates the log world-writable.
  unlink("/tmp/loginit.log");
  c = RunChild([] {
    umask(077);
    LogAs("loginit");
    InitSysCmdList();
  });
  ASSERT_TRUE(c.Exited(0));
  EXPECT_EQ(c.out + c.err, "");
  ExpectSafeLog("/tmp/loginit.log", "initializing system\n");
}

// The first line of a run empties the file and later lines append. The run is a
// fresh process (the death-test child is the program started anew), so no line
// logged earlier by this test program has used up its first line.
TEST(PutLogMsgDeathTest, ARunsFirstLineEmptiesTheLogAndLaterLinesAppend) {
  REQUIRE_SANDBOX();
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ASSERT_TRUE(testutil::WriteFile("/tmp/logruns.log", "an older run\n"));
  ASSERT_EQ(chmod("/tmp/logruns.log", 0666), 0);
  EXPECT_EXIT(
      {
        LogAs("logruns");
        PutLogMsg("a\n");
        PutLogMsg("b\n");
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(testutil::ReadFile("/tmp/logruns.log"), "a\nb\n");
}

// ===== Things planted at the log's name =====

// A canary file that what is planted at the log's name points at; it must never change.
class PlantedLog : public ::testing::Test {
 protected:
  // What is planted is replaced at a run's first log line, which the children of this
  // process only see when no other test of the process has logged before: alone
  // (as CTest runs every test) or not at all.
  void SetUp() override {
    if (::testing::UnitTest::GetInstance()->test_to_run_count() > 1)
      GTEST_SKIP() << "needs a process of its own (run it through ctest or alone with --gtest_filter)";
    ASSERT_TRUE(testutil::WriteFile(canary_, "canary\n"));
  }
  void ExpectCanaryUntouched() {
    EXPECT_EQ(testutil::ReadFile(canary_), "canary\n");
    EXPECT_EQ(Lstat(canary_).st_nlink, 1u);
  }
  testutil::ScratchDir dir_;
  std::string canary_ = dir_ / "canary";
};

TEST_F(PlantedLog, AnythingButARegularFileIsReplacedAtTheFirstLineNeverWrittenThrough) {
  REQUIRE_SANDBOX();
  const std::string target = dir_ / "made-through-link";
  const struct {
    const char* name;
    int (*plant)(const std::string& canary, const std::string& target, const char* at);
  } plants[] = {
      {"loglink", [](auto& c, auto&, const char* at) { return symlink(c.c_str(), at); }},
      {"logdangling", [](auto&, auto& t, const char* at) { return symlink(t.c_str(), at); }},
      {"loghard", [](auto& c, auto&, const char* at) { return link(c.c_str(), at); }},
      {"logfifo", [](auto&, auto&, const char* at) { return mkfifo(at, 0666); }},
      {"logdir", [](auto&, auto&, const char* at) { return mkdir(at, 0755); }},
  };
  for (const auto& p : plants) {
    SCOPED_TRACE(p.name);
    const std::string log = std::string("/tmp/") + p.name + ".log";
    ASSERT_EQ(p.plant(canary_, target, log.c_str()), 0);
    Child c = RunChild([&] {
      LogAs(p.name);
      PutLogMsg("line\n");
    });
    ASSERT_TRUE(c.Exited(0));  // a fifo did not block
    EXPECT_EQ(c.err, "");
    ExpectCanaryUntouched();
    EXPECT_NE(access(target.c_str(), F_OK), 0);
    ExpectSafeLog(log, "line\n");
  }
}

TEST_F(PlantedLog, AfterTheFirstLineAnythingButTheLogIsRefused) {
  REQUIRE_SANDBOX();
  unlink("/tmp/loglate.log");
  const std::string canary = canary_;
  Child c = RunChild([&] {
    LogAs("loglate");
    PutLogMsg("one\n");
    unlink("/tmp/loglate.log");
    symlink(canary.c_str(), "/tmp/loglate.log");
    PutLogMsg("two\n");
  });
  ASSERT_TRUE(c.Exited(0));
  EXPECT_EQ(c.err, "ERROR: couldn't open /tmp/loglate.log\n");
  ExpectCanaryUntouched();
}

TEST_F(PlantedLog, ForRootAFileOfAnotherUserIsReplaced) {
  REQUIRE_SANDBOX();
  if (geteuid() != 0) GTEST_SKIP() << "only root replaces a foreign log";
  ASSERT_TRUE(testutil::WriteFile("/tmp/logforeign.log", "theirs\n"));
  ASSERT_EQ(chown("/tmp/logforeign.log", 65534, 65534), 0);
  Child c = RunChild([] {
    LogAs("logforeign");
    PutLogMsg("ours\n");
  });
  ASSERT_TRUE(c.Exited(0));
  ExpectSafeLog("/tmp/logforeign.log", "ours\n");
}

// ===== Error reporters =====

TEST(ErrorReporters, SysErrorAddsTheSystemsErrorTextErrorMsgFollowsItsModeErrormsgNamesTheProgram) {
  Child c = RunChild([] {
    my_name = const_cast<char*>("setup");
    std::printf("pending");
    FILE* f = std::fopen("/x/y/none", "r");
    SysError("can't open file, %s", f == nullptr ? "/x/y" : "opened?");
  });
  EXPECT_TRUE(c.Exited(1));
  EXPECT_EQ(c.out, "pending");
  EXPECT_EQ(c.err, "\nsetup: can't open file, /x/y : No such file or directory\n");
  // ErrorMsg: mode 0 is silent, 1 warns, 2 ends with the caller's status; a long message is cut to Line.
  Child quiet = RunChild([] {
    ErrorMsg(0, 1, "quiet %d", 1);
    std::printf("[%s]", Line);  // the message is left in Line
  });
  EXPECT_TRUE(quiet.Exited(0));
  EXPECT_EQ(quiet.out + "|" + quiet.err, "[quiet 1]|");
  Child warn = RunChild([] {
    ErrorMsg(1, 5, "careful %s", "now");
    std::printf("back");
  });
  EXPECT_TRUE(warn.Exited(0));
  EXPECT_EQ(warn.out + "|" + warn.err, "back|WARNING: careful now\n");
  Child fatal = RunChild([] {
    ErrorMsg(2, 3, "stop %c", 'x');
    std::printf("not reached");
  });
  EXPECT_TRUE(fatal.Exited(3));
  EXPECT_EQ(fatal.out + "|" + fatal.err, "|ERROR: stop x\n");
  EXPECT_EXIT(ErrorMsg(2, 0, "%s", "done"), ::testing::ExitedWithCode(0), "^ERROR: done\n$");
  // A message longer than Line is cut to it.
  const std::string huge(LINE_SIZE + 100, 'h');
  ErrorMsg(0, 0, "%s", huge.c_str());
  EXPECT_EQ(std::strlen(Line), static_cast<size_t>(LINE_SIZE - 1));
  // errormsg prefixes the program's name; exit_app ends after flushing output.
  c = RunChild([] {
    my_name = const_cast<char*>("setup");
    errormsg("plain %d", 7);
  });
  EXPECT_TRUE(c.Exited(0));
  EXPECT_EQ(c.err, "setup: plain 7\n");
  Child exited = RunChild([] {
    std::printf("pending");
    exit_app(5);
  });
  EXPECT_TRUE(exited.Exited(5));
  EXPECT_EQ(exited.out, "pending");
}
