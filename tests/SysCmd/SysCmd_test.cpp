// SysCmd_test.cpp - the command runner: what each mode shows, logs and does with the
// command's output, failures in every mode, lines that do not fit, captured output,
// settling, and SysCmdP.
#include "SysCmdFixture.h"

#include <chrono>
#include <functional>

namespace {

using namespace syscmdtest;
using testutil::Child;
using testutil::ReadFile;

constexpr const char* kLog = "/tmp/sct.log";

// Every call runs in a child (the table and flags of this process never change) under
// the program name sct, whose log is /tmp/sct.log. mv and rm print "out" and "err";
// rm then fails with status 3.
class Runner : public Fakes {
 protected:
  void SetUp() override {
    REQUIRE_SANDBOX();
    ASSERT_TRUE(TestCmd(SH));
    for (int i : {CANCEL, MV, RM, LPD, PS}) Fake(i);
    for (const char* file : {"mv.out", "rm.out"}) Set(file, "out\n");
    for (const char* file : {"mv.err", "rm.err"}) Set(file, "err\n");
    Set("rm.status", "3");
  }
  Child Run(char logging, char cmdLog, const std::function<int()>& body) {
    unlink(kLog);
    return testutil::RunChild([&] {
      flInitSysCmd = 0;
      flUseLog = logging;
      flSysCmdLog = cmdLog;
      my_name = const_cast<char*>("sct");
      return body();
    });
  }
  // What a run gave: the value its body returned or "exit <status>", then standard
  // output, standard error and the log, each after a '|'.
  static std::string Seen(const Child& c) {
    const int exit = WEXITSTATUS(c.status);
    const std::string result = c.value != -9999 ? std::to_string(c.value) : "exit " + std::to_string(exit);
    return result + "|" + c.out + "|" + c.err + "|" + ReadFile(kLog);
  }
  // The line logged for the stand-in name (mv or rm, whose flags are -f) with the text args.
  std::string Line(const char* name, const std::string& args) {
    return Take(GetCmdNoFlags(SH)) + " -c \"" + path_ + "/" + name + " -f " + args;
  }
};

// The lines of a response list, each followed by '|'; "(null)" for none.
std::string Lines(CmdResponse* list) {
  std::string s = list != nullptr ? "" : "(null)";
  for (CmdResponse* r = list; r != nullptr; r = r->pNext) s += std::string(r->pLine) + "|";
  FreeResponseList(list);
  return s;
}

TEST_F(Runner, RunsShowsLogsAndReportsAsTheModeSays) {
  const std::string canary = dir_ / "canary", q(5000, 'q'), qs = q.substr(0, 4095) + "|" + q.substr(4095) + "\n|";
  ASSERT_TRUE(testutil::WriteFile(canary, "canary\n"));
  Set("lpd.out", "lprng 3.8\nLPRng-3.8.28\n" + q + "\nLPRng b");
  const std::string fits = "true #" + std::string(SYS_CMD_LINE_SIZE - 7, 'x');  // fills the buffer exactly
  const std::string touch = "touch " + dir_ / "ran" + " #" + std::string(SYS_CMD_LINE_SIZE, 'x');
  const std::string arg(SYS_CMD_LINE_SIZE - 1 - Line("mv", "").size() - 10, 'y');  // fits but for the redirection
  const std::string exited = "command exited with status 3\n", killed = "command killed by signal 9 (Killed)\n";
  const std::string longer = "ERROR: command line of '" + touch.substr(0, 60) + "' longer than ";
  const std::string mvLong = "ERROR: command line of 'mv' longer than 8271 characters, not run\n";
  const std::string lpdLong = "ERROR: command line of 'lpd' longer than 4095 characters, not run\n";
  const struct { const char* what; char logging, cmdLog; std::function<int()> body; std::string seen; } rows[] = {
      {"quiet", 1, 1, [] { return SysCmd(MV, SYS_QUIET, " a"); }, "0|||"},
      {"no log file", 0, 0, [] { return SysCmd(MV, SYS_FATAL, " a"); }, "0|||"},
      {"the dot goes with command logging", 0, 1, [] { return SysCmd(MV, SYS_FATAL, " a"); }, "0|.||"},
      {"logged", 1, 1, [] { PutLogMsg("<\n"); SysCmd(MV, SYS_LOG, " %s", "a"); PutLogMsg(">\n"); return 0; },
       "0|.||<\n" + Line("mv", " a") + "\nout\nerr\n>\n"},
      {"a log planted as a link is made safe before the output is appended", 1, 0,
       [&] { symlink(canary.c_str(), kLog); return SysCmd(MV, SYS_LOG, " a"); }, "0|||out\nerr\n"},
      {"negative index: shown, nothing logged", 1, 1, [] { return SysCmd(-MV, SYS_LOG, " a"); }, "0|out\n|err\n|"},
      {"index 1 logs the text alone, 0 does not", 1, 1,
       [] { SysCmd(1, SYS_LOG, "%s", "echo one"); return SysCmd(0, SYS_LOG, "%s", "echo zero"); },
       "0|.zero\n||echo one\none\n"},
      {"status, quiet", 1, 1, [] { return SysCmd(RM, SYS_QUIET, " a"); }, "3|||"},
      {"status, logged: counted unless quiet", 1, 1,
       [] { SysCmd(RM, SYS_QUIET, " a"); return SysCmd(RM, SYS_LOG, " a") * 10 + SysCmdLoggedFailures(); },
       "31|.||" + Line("rm", " a") + "\nout\nerr\nWARNING_MSG: " + exited},
      {"status, fatal", 1, 1, [] { return SysCmd(-RM, SYS_FATAL, " a"); },
       "exit 1|out\nERROR: " + exited + "|err\n|ERROR: " + exited},
      {"signal, logged", 1, 1, [] { return SysCmd(1, SYS_LOG, "%s", "kill -9 $$"); },
       "137|.||kill -9 $$\nWARNING_MSG: " + killed},
      {"signal, fatal", 1, 1, [] { return SysCmd(1, SYS_FATAL, "%s", "kill -9 $$"); },
       "exit 1|.ERROR: " + killed + "||kill -9 $$\nERROR: " + killed},
      {"command unresolved", 1, 1, [] { ComList[LSSRC].pPath = nullptr; return SysCmd(LSSRC, SYS_LOG, " x"); },
       "exit 0||ERROR: unable to locate system command 'lssrc'\n|"},
      {"shell unresolved", 1, 1, [] { ComList[SH].pPath = nullptr; return SysCmd(MV, SYS_QUIET, " x"); },
       "exit 0||ERROR: unable to locate system command 'sh'\n|"},
      {"SysCmdP shows and runs", 1, 1, [] { SysCmdP(SYS_LOG, "echo %s", "hi"); return 0; }, "0|echo hi\nhi\n||"},
      {"SysCmdP, quiet", 1, 1, [] { SysCmdP(SYS_QUIET, "exit %d", 3); return 0; }, "0|||"},
      {"SysCmdP, logged", 1, 1, [] { SysCmdP(SYS_LOG, "exit %d", 3); return 0; }, "0|exit 3\n|ERROR: " + exited + "|"},
      {"SysCmdP, fatal", 1, 1, [] { SysCmdP(SYS_FATAL, "exit %d", 3); return 0; },
       "exit 1|exit 3\n|ERROR: " + exited + "|"},
      {"a line that fills the buffer", 0, 1, [&] { return SysCmd(0, SYS_LOG, "%s", fits.c_str()); }, "0|||"},
      {"one more character", 0, 1, [&] { return SysCmd(0, SYS_LOG, "%s", touch.c_str()); },
       "-1||" + longer + "8271 characters, not run\n|"},
      {"no room for the redirection", 0, 1, [&] { return SysCmd(MV, SYS_QUIET, "%s", arg.c_str()); },
       "-1||" + mvLong + "|"},
      {"too long, fatal, no dot", 0, 1, [&] { return SysCmd(MV, SYS_FATAL, "%s", arg.c_str()); },
       "exit 1||" + mvLong + "|"},
      {"SysCmdP too long", 0, 1, [&] { SysCmdP(SYS_FATAL, "%s", touch.c_str()); return 0; },
       "exit 1||" + longer + "511 characters, not run\n|"},
      {"captured too long", 0, 0, [&] {
         std::fputs(Take(GetCmdResponseStr(LPD, nullptr, "%s", fits.c_str())).c_str(), stdout);
         std::fputs(Lines(GetCmdResponse(LPD, nullptr, "%s", fits.c_str())).c_str(), stdout);
         return 0;
       }, "0|(null)(null)|" + lpdLong + lpdLong + "|"},
      // Captured output: the lines holding the filter (case-sensitive), or all; a long one in pieces.
      {"captured", 0, 0, [] {
         for (const char* filter : {"LPRng", static_cast<const char*>(nullptr), "", "absent"})
           std::printf("%s#", Lines(GetCmdResponse(LPD, filter, "%s", filter == nullptr ? " -V" : "")).c_str());
         std::fputs(Lines(GetCmdResponse(1, nullptr, "%s", "printf 'x\\ny\\n'")).c_str(), stdout);
         return 0;
       }, "0|LPRng-3.8.28\n|LPRng b|#lprng 3.8\n|LPRng-3.8.28\n|" + qs + "LPRng b|#lprng 3.8\n|LPRng-3.8.28\n|" + qs +
              "LPRng b|#(null)#x\n|y\n|||"},
      {"captured as one text, each line ending in a line feed", 0, 0, [] {
         std::fputs(Take(GetCmdResponseStr(LPD, "LPRng", "%s", "")).c_str(), stdout);
         std::printf("#%s", Take(GetCmdResponseStr(LPD, "absent", "%s", "")).c_str());
         return 0;
       }, "0|LPRng-3.8.28\nLPRng b\n#(null)||"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(Seen(Run(r.logging, r.cmdLog, r.body)), r.seen);
  }
  EXPECT_EQ(Get("mv.args"), "-f a\n-f a\n-f a\n-f a\n-f a\n-f a\n");  // the lines refused never ran
  EXPECT_EQ(Get("rm.args"), "-f a\n-f a\n-f a\n-f a\n");
  EXPECT_NE(Get("lpd.args").find("-V\n"), std::string::npos);
  EXPECT_EQ(ReadFile(canary), "canary\n");
  EXPECT_FALSE(testutil::Exists(dir_ / "ran"));
}

TEST_F(Runner, SettlesAsTheEntrySays) {
  const Child pause = Run(0, 0, [] {
    const auto start = std::chrono::steady_clock::now();
    SysCmd(CANCEL, SYS_QUIET, " q");  // cancel pauses two seconds
    return static_cast<int>((std::chrono::steady_clock::now() - start) / std::chrono::milliseconds(1));
  });
  EXPECT_GE(pause.value, 2000);
  // Waiting for a process of the command's name: ps is asked once when it shows, else
  // 11 times (10 pauses) and the time-out is logged.
  const auto waitForMv = [] {
    ComList[MV].Wait = -1;
    return SysCmd(MV, SYS_QUIET, " a");
  };
  Set("ps.out", "  42 TS   19 ?        00:00:00 mv\n");
  EXPECT_EQ(Seen(Run(0, 0, waitForMv)), "0|||");
  EXPECT_EQ(Get("ps.args"), "-ace\n");
  Set("ps.out", "");
  Set("ps.args", "");
  EXPECT_EQ(Seen(Run(1, 0, waitForMv)), "0|||ERROR: Time out for command mv\n");
  EXPECT_EQ(Get("ps.args"), "-ace\n-ace\n-ace\n-ace\n-ace\n-ace\n-ace\n-ace\n-ace\n-ace\n-ace\n");
}

TEST_F(Runner, CapturedTextKeepsTheWholeLinesGatheredWhenMemoryRunsOut) {
  std::string all;
  for (int i = 0; i < 2000; ++i) all += "line " + std::to_string(i) + std::string(60, '.') + "\n";
  Set("lpd.out", all);
  const std::string kept = Run(0, 0, [&] {
    GetMem(32);  // a standard block exists; no further one may be had
    MemSetMapLimit(0);
    std::fputs(Take(GetCmdResponseStr(LPD, "line", "%s", "")).c_str(), stdout);
    return 0;
  }).out;
  EXPECT_GT(kept.size(), 1000u);
  EXPECT_LT(kept.size(), all.size());
  EXPECT_EQ(all.compare(0, kept.size(), kept), 0);  // whole leading lines, nothing else
  EXPECT_EQ(kept.back(), '\n');
}

}  // namespace
