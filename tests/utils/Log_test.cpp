// Log_test.cpp - the log file in /tmp (emptied by a run's first line, never written
// through anything planted at its name) and the error reporters.
#include "Cases.h"

namespace {

constexpr const char* kCanary = "/tmp/logcanary";  // what planted links point at

int Older(const char* log) { return testutil::WriteFile(log, "older\n") && chmod(log, 0666) == 0 ? 0 : -1; }

// Two lines, the second without its line end.
void LogLines() {
  PutLogMsg("a\n");
  PutLogMsg("%s %d", "b", 2);
}

}  // namespace

// Each run is a fresh process, so its first line is the first of a run: whatever stands
// at /tmp/<name>.log is replaced, never written through, and the log starts empty.
TEST(PutLogMsgDeathTest, ARunsFirstLineReplacesWhatIsPlanted) {
  REQUIRE_SANDBOX();
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const struct {
    const char* name;                // the log is /tmp/<name>.log; null: no name set
    int (*plant)(const char* log);   // what stands there before the run
    void (*run)() = LogLines;        // what the run does with logging on
    const char* log = "a\nb 2";      // the log afterwards; null: no log there
    const char* err = "";            // standard error of the run (a pattern)
  } runs[] = {
      {"logruns", Older}, {nullptr, nullptr}, {"logumask", nullptr, [] { umask(077); LogLines(); }},
      {"logoff", nullptr, [] { flUseLog = 0; LogLines(); }, nullptr},
      {"loglong", nullptr, [] { my_name = Mut(std::string(5000, 'n')); LogLines(); }, nullptr, "open /tmp/nnn"},
      {"setup", [](const char* log) { return symlink(kCanary, log); }},
      {"logdangling", [](const char* log) { return symlink("/tmp/logtarget", log); }},
      {"loghard", [](const char* log) { return link(kCanary, log); }},
      {"logfifo", [](const char* log) { return mkfifo(log, 0666); }},
      {"logdir", [](const char* log) { return mkdir(log, 0755); }},
      {"logforeign", [](const char* log) { return Older(log) | (geteuid() ? 0 : chown(log, 65534, 65534)); }},
      // Planted after the first line, it is refused.
      {"loglate", nullptr, [] {
         PutLogMsg("a\n");
         if (unlink("/tmp/loglate.log") == 0 && symlink(kCanary, "/tmp/loglate.log") == 0) LogLines();
       }, nullptr, "couldn't open /tmp/loglate.log"},
  };
  for (const auto& r : runs) {
    const std::string log = std::string("/tmp/") + (r.name ? r.name : program_invocation_short_name) + ".log";
    SCOPED_TRACE(log);
    EXPECT_EXIT(
        {
          testutil::WriteFile(kCanary, "canary\n");
          if (r.plant && r.plant(log.c_str()) != 0) std::exit(2);
          my_name = const_cast<char*>(r.name);
          flUseLog = 1;
          r.run();
          std::exit(0);
        },
        ::testing::ExitedWithCode(0), r.err);
    struct stat st {};
    EXPECT_TRUE(testutil::ReadFile(kCanary) == "canary\n" && stat(kCanary, &st) == 0 && st.st_nlink == 1);
    EXPECT_FALSE(Exists("/tmp/logtarget"));
    const bool regular = lstat(log.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    EXPECT_EQ(regular, r.log != nullptr);
    if (!regular || !r.log) continue;
    // A regular file of this process's owner, mode 666 whatever the umask, alone.
    EXPECT_TRUE((st.st_mode & 0777) == 0666 && st.st_nlink == 1 && st.st_uid == geteuid()) << std::oct << st.st_mode;
    EXPECT_EQ(testutil::ReadFile(log), r.log);
  }
}

TEST(ErrorReporters, ReportByModeAndEndWithTheStatusGiven) {
  const std::string huge(LINE_SIZE + 100, 'h');
  std::string quiet;
  const std::string err = testutil::CaptureFd(2, [&] {
    ErrorMsg(0, 1, "quiet %d", 1);
    quiet = Line;  // the message stays in Line
    ErrorMsg(1, 5, "careful %s", "now");
    errormsg("plain %d", 7);
    ErrorMsg(0, 0, "%s", huge.c_str());
  });
  EXPECT_EQ(quiet + " " + std::to_string(std::strlen(Line)), "quiet 1 " + std::to_string(LINE_SIZE - 1));
  EXPECT_EQ(err, "WARNING: careful now\n" + std::string(program_invocation_short_name) + ": plain 7\n");
  EXPECT_EXIT((my_name = Mut("setup"), errno = ENOENT, SysError("can't open %s", "/x")), ::testing::ExitedWithCode(1),
              "setup: can't open /x : No such file or directory");
  EXPECT_EXIT(ErrorMsg(2, 3, "stop %c", 'x'), ::testing::ExitedWithCode(3), "ERROR: stop x");
  EXPECT_EXIT(exit_app(5), ::testing::ExitedWithCode(5), "");
  // A program's end hook gets the status and the words; a fatal report inside it just ends.
  SetFatalEndHook([](int status, const char* reason) {
    std::fprintf(stderr, "hook %d <%s>\n", status, reason), ErrorMsg(2, status + 1, "again");
  });
  EXPECT_EXIT(ErrorMsg(2, 3, "stop %c", 'x'), ::testing::ExitedWithCode(4),
              "ERROR: stop x\nhook 3 <stop x>\nERROR: again\n$");
  EXPECT_EXIT((errno = ENOENT, SysError("gone")), ::testing::ExitedWithCode(2),
              "hook 1 <gone : No such file or directory>");
  SetFatalEndHook(nullptr);
}
