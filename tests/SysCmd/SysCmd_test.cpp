// SysCmd_test.cpp - behaviour of the command runner: the lines it builds, logs and
// runs, its three modes, failures, refused lines, settling and captured output.
#include "SysCmd/SysCmd.h"

#include "MemMgr/MemMgr.h"
#include "testutil.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int CANCEL = 2;
constexpr int LPD = 43;
constexpr int MV = 25;
constexpr int RM = 29;
constexpr int PS = 55;
constexpr int SH = 31;

using testutil::Child;
using testutil::RunChild;
using testutil::Take;

// A fake shell that keeps its arguments, one a line, in sh.argv and then lets the
// real shell run them; a fake command that keeps its arguments in <name>.args,
// prints "out <args>" and "err" and exits with the status in <name>.status.
const char* const FAKE_SH = "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.argv\"\nexec /bin/sh \"$@\"\n";
const char* const FAKE_TOOL =
    "#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"$0.args\"\necho \"out $*\"\necho err >&2\n"
    "[ -f \"$0.out\" ] && cat \"$0.out\"\n"
    "[ -f \"$0.status\" ] && exit $(cat \"$0.status\")\nexit 0\n";

// Points the shell and the commands under test at fakes in a scratch directory.
// Every test runs its calls in a child, so the table and flags of this process
// never change.
class Runner : public ::testing::Test {
 protected:
  void SetUp() override {
    Fake("sh", FAKE_SH);
    for (const char* tool : {"rm", "mv", "cancel", "lpd", "ps"}) Fake(tool, FAKE_TOOL);
  }
  void Fake(const std::string& name, const char* script) { ASSERT_TRUE(testutil::WriteTool(dir_ / name, script)); }
  // In the child: the table entries point at the fakes, nothing resolves lazily.
  void UseFakes(char logging, char cmdLog, const char* name) {
    for (int i : {SH, RM, MV, CANCEL, LPD, PS}) ComList[i].pPath = fakeDir_.data();
    flInitSysCmd = 0;
    flUseLog = logging;
    flSysCmdLog = cmdLog;
    my_name = const_cast<char*>(name);
  }
  std::string Argv() { return testutil::ReadFile(dir_ / "sh.argv"); }
  std::string Args(const std::string& tool) { return testutil::ReadFile(dir_ / (tool + ".args")); }
  void SetStatus(const std::string& tool, int status) {
    ASSERT_TRUE(testutil::WriteFile(dir_ / (tool + ".status"), std::to_string(status)));
  }
  void SetOutput(const std::string& tool, const std::string& text) {
    ASSERT_TRUE(testutil::WriteFile(dir_ / (tool + ".out"), text));
  }
  std::string Dir() const { return dir_.path(); }
  // Runs body in a child that uses the fakes under the program name (whose log,
  // /tmp/<name>.log, is removed first in the sandbox).
  template <typename Body>
  Child Run(char logging, char cmdLog, const std::string& name, Body body) {
    if (testutil::InSandbox()) unlink(Log(name).c_str());
    return RunChild([&] {
      UseFakes(logging, cmdLog, name.c_str());
      return body();
    });
  }
  static std::string Log(const std::string& name) { return "/tmp/" + name + ".log"; }
  static std::string LogText(const std::string& name) { return testutil::ReadFile(Log(name)); }
  // What text() gives, printed by a child that uses the fakes.
  template <typename Text>
  Child Printed(Text text) {
    return Run(0, 0, "sctcapture", [&] { std::fputs(text().c_str(), stdout); });
  }

  testutil::ScratchDir dir_;
  std::string fakeDir_ = dir_.path();
};

// Milliseconds since start.
int MillisSince(std::chrono::steady_clock::time_point start) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

// The texts of a response list, each followed by '|'; "(null)" for none.
std::string Texts(CmdResponse* list) {
  if (list == nullptr) return "(null)";
  std::string s;
  for (CmdResponse* r = list; r != nullptr; r = r->pNext) s += std::string(r->pLine) + "|";
  FreeResponseList(list);
  return s;
}

}  // namespace

// ===== The command line and the modes =====

using SysCmdLine = Runner;

TEST_F(SysCmdLine, ModesDecideTheDotTheLogLineAndTheRedirection) {
  const std::string D = Dir();
  const struct {
    const char* name;
    char logging, cmdLog;
    std::function<int()> body;
    std::string argv, shown, log;  // shown: standard output|error; log "-": no log file
  } rows[] = {
      // Quiet: one quoted command through the shell, its output discarded, no dot.
      {"sctquiet", 0, 1, [] { return SysCmd(RM, SYS_QUIET, " %s", "/no/such"); },
       "-c\n" + D + "/rm -f  /no/such 1>/dev/null 2>/dev/null\n", "|", "-"},
      // Without the log file the logged modes append to /dev/null; the dot goes with command logging.
      {"sctnolog", 0, 0, [] { return SysCmd(MV, SYS_FATAL, " x"); },
       "-c\n" + D + "/mv -f  x 1>>/dev/null 2>>/dev/null\n", "|", "-"},
      {"sctnolog", 0, 1, [] { return SysCmd(MV, SYS_FATAL, " x"); },
       "-c\n" + D + "/mv -f  x 1>>/dev/null 2>>/dev/null\n", ".|", "-"},
      // Logged: a dot, the line logged, the command's output appended to the log.
      {"sctlogged", 1, 1,
       [] {
         PutLogMsg("before\n");
         const int r = SysCmd(MV, SYS_LOG, " %s %s", "a", "b");
         PutLogMsg("after\n");
         return r;
       },
       "-c\n" + D + "/mv -f  a b 1>>/tmp/sctlogged.log 2>>/tmp/sctlogged.log\n", ".|",
       "before\n" + D + "/sh -c \"" + D + "/mv -f  a b\nout -f a b\nerr\nafter\n"},
      // A negative index: no dot, log line or redirection, but the quote stays.
      {"sctnegative", 1, 1, [] { return SysCmd(-MV, SYS_LOG, " %s", "a"); }, "-c\n" + D + "/mv -f  a\n",
       "out -f a\n|err\n", "-"},
      // Index 1 runs the text alone and logs it, index 0 does not; the table's shell is unused.
      {"sctindex", 1, 1,
       [] {
         SysCmd(1, SYS_LOG, "%s", "echo one");
         return SysCmd(0, SYS_LOG, "%s", "echo zero");
       },
       "", ".zero\n|", "echo one\none\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.name) + " cmdLog " + std::to_string(r.cmdLog));
    if (r.logging && !testutil::InSandbox()) continue;  // writes /tmp/<name>.log
    unlink((dir_ / "sh.argv").c_str());
    Child c = Run(r.logging, r.cmdLog, r.name, r.body);
    ASSERT_TRUE(c.Exited(0));
    EXPECT_EQ(c.value, 0);
    EXPECT_EQ(Argv(), r.argv);
    EXPECT_EQ(c.out + "|" + c.err, r.shown);
    if (!testutil::InSandbox()) continue;
    if (r.log == "-") EXPECT_FALSE(testutil::Exists(Log(r.name)));
    else EXPECT_EQ(LogText(r.name), r.log);
  }
  EXPECT_EQ(Args("rm"), "-f /no/such\n");
}

TEST_F(SysCmdLine, ALogPlantedBeforeAnUnloggedLineIsMadeSafeBeforeTheShellAppends) {
  REQUIRE_SANDBOX();
  const std::string canary = dir_ / "canary";
  ASSERT_TRUE(testutil::WriteFile(canary, "canary\n"));
  // Command logging still off: the line has no log line of its own.
  Child c = Run(1, 0, "sctplanted", [&] {
    symlink(canary.c_str(), Log("sctplanted").c_str());
    return SysCmd(MV, SYS_LOG, " a");
  });
  ASSERT_TRUE(c.Exited(0));
  EXPECT_EQ(testutil::ReadFile(canary), "canary\n");
  EXPECT_EQ(LogText("sctplanted"), "out -f a\nerr\n");
}

// ===== Failures =====

using SysCmdFailure = Runner;

TEST_F(SysCmdFailure, ANonZeroStatusFailsQuietlyInModeZeroAndIsLoggedAndCountedInModeOne) {
  SetStatus("mv", 3);
  Child quiet = Run(0, 0, "sctfail", [] {
    errno = 0;
    return SysCmd(MV, SYS_QUIET, " a");
  });
  ASSERT_TRUE(quiet.Exited(0));
  EXPECT_EQ(quiet.value, 3);
  EXPECT_EQ(quiet.out + quiet.err, "");
  REQUIRE_SANDBOX();
  SetStatus("mv", 1);
  Child c = Run(1, 1, "sctwarn", [] {
    const int r = SysCmd(MV, SYS_LOG, " a");
    PutLogMsg("went on\n");
    return r;
  });
  ASSERT_TRUE(c.Exited(0));
  EXPECT_EQ(c.value, 1);
  EXPECT_EQ(LogText("sctwarn"), Dir() + "/sh -c \"" + Dir() + "/mv -f  a\nout -f a\nerr\n"
                                "WARNING_MSG: command exited with status 1\nwent on\n");
  Child count = Run(1, 1, "sctcount", [] {
    SysCmd(MV, SYS_QUIET, " a");  // a quiet failure is no logged failure
    SysCmd(MV, SYS_LOG, " a");
    SysCmd(MV, SYS_LOG, " b");
    return SysCmdLoggedFailures();
  });
  ASSERT_TRUE(count.Exited(0));
  EXPECT_EQ(count.value, 2);
}

TEST_F(SysCmdFailure, FatalModeLogsAndPrintsTheErrorOrTheSignalAndEndsWithStatusOne) {
  Child killed = Run(0, 0, "sctkilled", [] { return SysCmd(1, SYS_FATAL, "%s", "kill -9 $$"); });
  EXPECT_TRUE(killed.Exited(1));
  EXPECT_EQ(killed.out, "ERROR: command killed by signal 9 (Killed)\n");
  REQUIRE_SANDBOX();
  SetStatus("rm", 2);
  // An unlogged line; its failure is still reported.
  Child c = Run(1, 1, "sctfatal", [] { SysCmd(-RM, SYS_FATAL, " a"); });
  EXPECT_TRUE(c.Exited(1));
  EXPECT_EQ(c.value, -9999);  // the body never returned
  EXPECT_EQ(c.out, "out -f a\nERROR: command exited with status 2\n");
  EXPECT_EQ(LogText("sctfatal"), "ERROR: command exited with status 2\n");
}

TEST_F(SysCmdFailure, AnUnresolvedCommandOrShellEndsTheProgramWithStatusZero) {
  Child command = Run(0, 0, "sctunresolved", [] {
    ComList[81].pPath = nullptr;
    return SysCmd(81, SYS_LOG, " x");
  });
  EXPECT_TRUE(command.Exited(0));
  EXPECT_EQ(command.value, -9999);
  EXPECT_EQ(command.err, "ERROR: unable to locate system command 'lssrc'\n");
  Child shell = Run(0, 0, "sctnosh", [] {
    ComList[SH].pPath = nullptr;
    return SysCmd(RM, SYS_QUIET, " x");
  });
  EXPECT_TRUE(shell.Exited(0));
  EXPECT_EQ(shell.err, "ERROR: unable to locate system command 'sh'\n");
  EXPECT_EQ(Args("rm"), "");
}

// ===== Lines that do not fit =====

using SysCmdLongLine = Runner;

TEST_F(SysCmdLongLine, ALineThatFillsTheBufferRunsAndOneCharacterMoreIsRefused) {
  // Index 1 in a mode without redirection: the caller's text is the whole line.
  const std::string fits = "true #" + std::string(SYS_CMD_LINE_SIZE - 1 - 6, 'x');
  Child ok = RunChild([&] { return SysCmd(1, 3, "%s", fits.c_str()); });
  EXPECT_EQ(ok.value, 0);
  EXPECT_EQ(ok.err, "");
  const std::string longer = "touch " + Dir() + "/ran #" + std::string(SYS_CMD_LINE_SIZE, 'x');
  Child refused = RunChild([&] { return SysCmd(1, 3, "%s", longer.c_str()); });
  EXPECT_NE(refused.value, 0);
  EXPECT_EQ(refused.err, "ERROR: command line of '" + longer.substr(0, 60) +
                             "' longer than 8271 characters, not run\n");
  EXPECT_FALSE(testutil::Exists(Dir() + "/ran"));
  // The prefix and the caller's text fit; with the redirection the line would not.
  const std::string prefix = Dir() + "/sh -c \"" + Dir() + "/rm -f ";
  const std::string arg(SYS_CMD_LINE_SIZE - 1 - prefix.size() - 10, 'y');
  const std::string msg = "ERROR: command line of 'rm' longer than 8271 characters, not run\n";
  Child quiet = Run(0, 0, "sctredir", [&] { return SysCmd(RM, SYS_QUIET, "%s", arg.c_str()); });
  EXPECT_NE(quiet.value, 0);
  EXPECT_EQ(quiet.err, msg);
  Child fatal = Run(0, 1, "sctlongfatal", [&] { return SysCmd(RM, SYS_FATAL, "%s", arg.c_str()); });
  EXPECT_TRUE(fatal.Exited(1));
  EXPECT_EQ(fatal.err, msg);
  EXPECT_EQ(fatal.out, "");  // no dot: nothing was shown as if it ran
  EXPECT_EQ(Args("rm"), "");
}

// ===== Settling =====

using SysCmdSettle = Runner;

TEST_F(SysCmdSettle, AnEntryWithAPauseReturnsOnlyAfterIt) {
  Child c = Run(0, 0, "sctpause", [] {
    const auto start = std::chrono::steady_clock::now();
    SysCmd(CANCEL, SYS_QUIET, " q");
    return MillisSince(start);
  });
  EXPECT_GE(c.value, 2000);  // Wait 2 of cancel
}

TEST_F(SysCmdSettle, WaitingForAProcessEndsWhenItShowsOrTimesOutIntoTheLog) {
  SetOutput("ps", "  42 TS   19 ?        00:00:00 mv\n");
  const auto waitForMv = [] {
    ComList[MV].Wait = -1;
    return SysCmd(MV, SYS_QUIET, " a");
  };
  EXPECT_EQ(Run(0, 0, "sctshows", waitForMv).value, 0);
  EXPECT_EQ(Args("ps"), "-ace\n");  // asked once, found at once
  REQUIRE_SANDBOX();
  ASSERT_EQ(unlink((dir_ / "ps.out").c_str()), 0);
  ASSERT_EQ(unlink((dir_ / "ps.args").c_str()), 0);
  EXPECT_EQ(Run(1, 0, "scttimeout", waitForMv).value, 0);
  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += "-ace\n";
  EXPECT_EQ(Args("ps"), eleven);  // 11 queries, 10 pauses
  EXPECT_EQ(LogText("scttimeout"), "ERROR: Time out for command mv\n");
}

// ===== Captured output =====

using CapturedOutput = Runner;

TEST_F(CapturedOutput, KeepsTheLinesHoldingTheFilterCaseSensitivelyOrEveryLineInOrder) {
  SetOutput("lpd", "lprng 3.8\nLPRng-3.8.28\n");
  Child c = Printed([&] { return Texts(GetCmdResponse(LPD, "LPRng", " -V 2>&1")); });
  EXPECT_EQ(c.out, "LPRng-3.8.28\n|");
  EXPECT_EQ(Args("lpd"), "-V\n");
  EXPECT_EQ(c.err, "");  // the caller's 2>&1 took the command's error output
  // A null or empty filter keeps every line; no match gives null; no redirection is added.
  SetOutput("lpd", "a\nb");
  c = Printed([&] {
    return Texts(GetCmdResponse(LPD, nullptr, "%s", "")) + "#" +
           Texts(GetCmdResponse(LPD, "", " 2>/dev/null")) + "#" +
           Texts(GetCmdResponse(LPD, "absent", " 2>/dev/null")) + "#" +
           Texts(GetCmdResponse(1, nullptr, "%s", "printf 'x\\ny\\n'"));
  });
  EXPECT_EQ(c.out, "out \n|a\n|b|#out \n|a\n|b|#(null)#x\n|y\n|");
  EXPECT_EQ(c.err, "err\n");
  // A line beyond 4095 characters arrives in pieces.
  SetOutput("lpd", std::string(5000, 'q') + "\n");
  c = Printed([&] { return Texts(GetCmdResponse(LPD, "q", " 2>/dev/null")); });
  EXPECT_EQ(c.out, std::string(4095, 'q') + "|" + std::string(905, 'q') + "\n|");
  // As one text every line ends in a newline.
  SetOutput("lpd", "LPRng a\nother\nLPRng b");
  c = Printed([&] {
    return Take(GetCmdResponseStr(LPD, "LPRng", " 2>/dev/null")) + "#" +
           Take(GetCmdResponseStr(LPD, "absent", " 2>/dev/null"));
  });
  EXPECT_EQ(c.out, "LPRng a\nLPRng b\n#(null)");
}

TEST_F(CapturedOutput, ATooLongLineGivesNullAndAMessageAndAnUnresolvedCommandEnds) {
  const std::string arg(CMD_RESPONSE_LINE_SIZE, 'w');
  Child c = Printed([&] {
    return Texts(GetCmdResponse(LPD, nullptr, " %s", arg.c_str())) + "#" +
           Take(GetCmdResponseStr(LPD, nullptr, " %s", arg.c_str()));
  });
  EXPECT_EQ(c.out, "(null)#(null)");
  const std::string msg = "ERROR: command line of 'lpd' longer than 4095 characters, not run\n";
  EXPECT_EQ(c.err, msg + msg);
  EXPECT_EQ(Args("lpd"), "");
  Child unresolved = RunChild([&] {
    ComList[LPD].pPath = nullptr;
    flInitSysCmd = 0;
    GetCmdResponse(LPD, nullptr, " -V");
    return 1;
  });
  EXPECT_TRUE(unresolved.Exited(0));
  EXPECT_EQ(unresolved.value, -9999);
  EXPECT_EQ(unresolved.err, "ERROR: unable to locate system command 'lpd'\n");
}

TEST_F(CapturedOutput, AsOneTextKeepsTheWholeLinesGatheredWhenMemoryRunsOut) {
  std::string all;
  for (int i = 0; i < 2000; ++i) all += "line " + std::to_string(i) + std::string(60, '.') + "\n";
  SetOutput("lpd", all);
  Child c = Run(0, 0, "sctnomem", [&] {
    void* keep = GetMem(32);  // a standard block exists; no further one may be had
    MemSetMapLimit(0);
    char* text = GetCmdResponseStr(LPD, "line", " 2>/dev/null");
    MemSetMapLimit(-1);
    std::fputs(text != nullptr ? text : "(null)", stdout);
    PutMem(text);
    PutMem(keep);
  });
  ASSERT_NE(c.out, "(null)");
  EXPECT_LT(c.out.size(), all.size());
  EXPECT_GT(c.out.size(), 1000u);
  EXPECT_EQ(all.compare(0, c.out.size(), c.out), 0);  // whole leading lines, nothing else
  EXPECT_EQ(c.out.back(), '\n');
}

// ===== SysCmdP =====

TEST_F(Runner, SysCmdPShowsAndRunsTheLineThenPausesASecondReportingAsItsModeSays) {
  Child c = RunChild([&] {
    const auto start = std::chrono::steady_clock::now();
    SysCmdP(SYS_LOG, "echo %s", "hello");
    return MillisSince(start);
  });
  EXPECT_EQ(c.out, "echo hello\nhello\n");
  EXPECT_GE(c.value, 1000);
  Child warn = RunChild([&] { SysCmdP(SYS_LOG, "exit %d", 3); return 7; });
  EXPECT_EQ(warn.value, 7);
  EXPECT_EQ(warn.out, "exit 3\n");
  EXPECT_EQ(warn.err, "ERROR: command exited with status 3\n");
  Child fatal = RunChild([&] { SysCmdP(SYS_FATAL, "exit %d", 5); return 7; });
  EXPECT_TRUE(fatal.Exited(1));
  EXPECT_EQ(fatal.err, "ERROR: command exited with status 5\n");
  Child quiet = RunChild([&] { SysCmdP(SYS_QUIET, "exit %d", 5); return 7; });
  EXPECT_EQ(quiet.value, 7);
  EXPECT_EQ(quiet.out + quiet.err, "");
  const std::string arg(SYS_CMD_P_LINE_SIZE, 'p');
  Child refused = RunChild([&] { SysCmdP(SYS_FATAL, "touch %s/ran #%s", Dir().c_str(), arg.c_str()); });
  EXPECT_TRUE(refused.Exited(1));
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err, "ERROR: command line of 'touch " + (Dir() + "/ran #" + arg).substr(0, 54) +
                             "' longer than 511 characters, not run\n");
  EXPECT_FALSE(testutil::Exists(Dir() + "/ran"));
}
