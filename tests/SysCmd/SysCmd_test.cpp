// SysCmd_test.cpp - the command runner: what each mode shows, logs and reports,
// failures in every mode, lines that do not fit, captured output, settling, SysCmdP;
// which lines start without the shell, and that they end as through the shell.
#include "SysCmdFixture.h"

#include "SysCmd/Launch.h"

#include <functional>

namespace {

using namespace syscmdtest;

constexpr const char* kLog = "/tmp/sct.log";

// Every call runs in a child (the table and flags of this process never change) under
// the program name sct, whose log is /tmp/sct.log, with both logging flags on. mv and
// rm print "out" and "err"; rm then fails with status 3.
class Runner : public Fakes {
 protected:
  void SetUp() override {
    REQUIRE_SANDBOX();
    ASSERT_TRUE(TestCmd(SH));
    for (int i : {CANCEL, MV, RM, LPD, PS}) Fake(i);
    for (const std::string name : {"mv", "rm"}) Set(name + ".out", "out\n"), Set(name + ".err", "err\n");
    Set("rm.status", "3");
  }
  // What a run gave: the value its body returned or "exit <status>", then standard
  // output, standard error and the log, each after a '|'.
  static std::string Run(const std::function<int()>& body) {
    unlink(kLog);
    const testutil::Child c = testutil::RunChild([&] {
      flInitSysCmd = 0;
      flUseLog = flSysCmdLog = 1;
      my_name = const_cast<char*>("sct");
      return body();
    });
    const int exit = WEXITSTATUS(c.status);
    const std::string result = c.value != -9999 ? std::to_string(c.value) : "exit " + std::to_string(exit);
    return result + "|" + c.out + "|" + c.err + "|" + testutil::ReadFile(kLog);
  }
};

// The lines of a response list, each followed by '|'; "(null)" for none.
std::string Joined(CmdResponse* list) {
  std::string s = list != nullptr ? "" : "(null)";
  for (CmdResponse* r = list; r != nullptr; r = r->pNext) s += std::string(r->pLine) + "|";
  FreeResponseList(list);
  return s;
}

TEST_F(Runner, RunsShowsLogsAndReportsAsTheModeSays) {
  const std::string canary = dir_ / "canary", q(5000, 'q'), qs = q.substr(0, 4095) + "|" + q.substr(4095) + "\n|";
  ASSERT_TRUE(testutil::WriteFile(canary, "canary\n"));
  Set("lpd.out", "lprng 3.8\nLPRng-3.8.28\n" + q + "\nLPRng b");
  const std::string mv = Take(GetCmdNoFlags(SH)) + " -c \"" + path_ + "/mv -f ";
  const std::string rm = mv.substr(0, mv.size() - 6) + "rm -f ";
  const std::string fits = "true #" + std::string(SYS_CMD_LINE_SIZE - 7, 'x');  // fills the buffer exactly
  const std::string touch = "touch " + dir_ / "ran" + " #" + std::string(SYS_CMD_LINE_SIZE, 'x');
  const std::string arg(SYS_CMD_LINE_SIZE - 1 - mv.size() - 10, 'y');  // fits but for the redirection
  const struct { const char* what; std::function<int()> body; std::string seen; } rows[] = {
      // Logged: a dot, the line and the output in the log; a negative index shows the
      // output; quiet discards it; index 1 logs the text alone, index 0 does not log.
      {"modes", [] {
         PutLogMsg("<\n");
         SysCmd(MV, SYS_LOG, " %s", "a");
         SysCmd(-MV, SYS_LOG, " a");
         SysCmd(MV, SYS_QUIET, " a");
         SysCmd(1, SYS_LOG, "%s", "echo one");
         return SysCmd(0, SYS_LOG, "%s", "echo zero");
       }, "0|.out\n.zero\n|err\n|<\n" + mv + " a\nout\nerr\necho one\none\n"},
      {"the dot goes with command logging, also without a log file", [] {
         flUseLog = 0;
         SysCmd(MV, SYS_FATAL, " a");
         flSysCmdLog = 0;
         return SysCmd(MV, SYS_FATAL, " a");
       }, "0|.||"},
      {"a log planted as a link is made safe before the output is appended", [&] {
         flSysCmdLog = symlink(canary.c_str(), kLog);
         return SysCmd(MV, SYS_LOG, " a");
       }, "0|||out\nerr\n"},
      {"a failure of the logged mode is logged and counted, of the quiet mode neither", [] {
         const int quiet = SysCmd(RM, SYS_QUIET, " a"), status = SysCmd(RM, SYS_LOG, " a");
         const int signal = SysCmd(1, SYS_LOG, "%s", "kill -9 $$");
         std::printf("|%d %d %d %d", quiet, status, signal, SysCmdLoggedFailures());
         return 0;
       }, "0|..|3 3 137 2||" + rm + " a\nout\nerr\nWARNING_MSG: *status 3\nkill -9 $$\nWARNING_MSG: *signal 9 (*)\n"},
      // A fatal failure: the report and the failing line, then the program's end (its hook).
      {"status, fatal", [] {
         SetFatalEndHook([](int status, const char* why) { std::printf("hook %d %s\n", status, why), exit_app(5); });
         return SysCmd(-RM, SYS_FATAL, " a");
       }, "exit 5|out\nERROR: *status 3\n" + rm + " a\"\nhook 1 *status 3\n|err\n|ERROR: *status 3\n"},
      {"signal, fatal", [] { return SysCmd(1, SYS_FATAL, "%s", "kill -9 $$"); },
       "exit 1|.ERROR: *signal 9 (*)\nkill -9 $$\n||kill -9 $$\nERROR: *signal 9 (*)\n"},
      {"command unresolved", [] { ComList[LSSRC].pPath = nullptr; return SysCmd(LSSRC, SYS_LOG, " x"); },
       "exit 0||ERROR: unable to locate system command 'lssrc'\n|"},
      {"shell unresolved", [] { ComList[SH].pPath = nullptr; return SysCmd(MV, SYS_QUIET, " x"); },
       "exit 0||*command 'sh'\n|"},
      {"SysCmdP shows the line in the logged modes and reports a failure", [] {
         SysCmdP(SYS_LOG, "echo %s", "hi");
         SysCmdP(SYS_QUIET, "exit %d", 3);
         SysCmdP(SYS_LOG, "exit %d", 3);
         SysCmdP(SYS_FATAL, "exit %d", 3);
         return 0;
       }, "exit 1|echo hi\nhi\nexit 3\nexit 3\n|ERROR: *status 3\nERROR: *status 3\n|"},
      // A line that does not fit is refused whole, in every mode and without a dot.
      {"long lines", [&] {
         flUseLog = 0;
         const int fit = SysCmd(0, SYS_LOG, "%s", fits.c_str()), over = SysCmd(0, SYS_QUIET, "%s", touch.c_str());
         const int redirect = SysCmd(MV, SYS_QUIET, "%s", arg.c_str());
         SysCmdP(SYS_LOG, "%s", touch.c_str());
         const bool none = GetCmdResponseStr(LPD, nullptr, "%s", fits.c_str()) == nullptr &&
                           GetCmdResponse(LPD, nullptr, "%s", fits.c_str()) == nullptr;
         std::printf("%d %d %d %d", fit, over, redirect, none);
         return SysCmd(MV, SYS_FATAL, "%s", arg.c_str());
       }, "exit 1|0 -1 -1 1|ERROR: command line of 'touch /tmp/*' longer than 8271 characters, not run\n*'mv' * 8271 *"
          "'touch /tmp/*' * 511 *'lpd' * 4095 *'lpd' * 4095 *'mv' longer than 8271 characters, not run\n|"},
      // Captured output: the lines holding the filter (case-sensitive), or all; a long one in pieces.
      {"captured", [] {
         const std::string all = Joined(GetCmdResponse(LPD, nullptr, "%s", " -V"));
         std::printf("%s#%d#", all.c_str(), all == Joined(GetCmdResponse(LPD, "", "%s", "")));
         std::printf("%s#", Joined(GetCmdResponse(LPD, "LPRng", "%s", "")).c_str());
         std::printf("%s#", Joined(GetCmdResponse(LPD, "absent", "%s", "")).c_str());
         std::printf("%s#", Joined(GetCmdResponse(1, nullptr, "%s", "printf 'x\\ny\\n'")).c_str());
         std::printf("%s#", Take(GetCmdResponseStr(LPD, "LPRng", "%s", "")).c_str());
         std::printf("%s", Take(GetCmdResponseStr(LPD, "absent", "%s", "")).c_str());
         return 0;
       }, "0|lprng 3.8\n|LPRng-3.8.28\n|" + qs + "LPRng b|#1#LPRng-3.8.28\n|LPRng b|#(null)#x\n|y\n|#"
          "LPRng-3.8.28\nLPRng b\n#(null)||"},
      // An entry that waits for a process of its name asks ps once when it shows, else 11
      // times (10 pauses) and logs the time-out; cancel pauses two seconds.
      {"settling", [&] {
         testutil::WriteFile(dir_ / "ps.out", "  42 TS   19 ?        00:00:00 mv\n");
         ComList[MV].Wait = -1;
         SysCmd(MV, SYS_QUIET, " a");
         testutil::WriteFile(dir_ / "ps.out", "");
         SysCmd(CANCEL, SYS_QUIET, " q");
         return SysCmd(MV, SYS_QUIET, " a");
       }, "0|||ERROR: Time out for command mv\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    const std::string seen = Run(r.body);
    EXPECT_TRUE(Matches(r.seen, seen)) << seen;
  }
  EXPECT_EQ(testutil::Lines(Get("mv.args")), std::vector<std::string>(8, "-f a"));  // the lines refused never ran
  EXPECT_EQ(testutil::Lines(Get("ps.args")), std::vector<std::string>(12, "-ace"));
  EXPECT_EQ(Get("rm.args"), "-f a\n-f a\n-f a\n");
  EXPECT_NE(Get("lpd.args").find("-V\n"), std::string::npos);
  EXPECT_EQ(testutil::ReadFile(canary), "canary\n");
  EXPECT_FALSE(testutil::Exists(dir_ / "ran"));
}

// Captured text keeps the whole lines gathered when memory runs out.
TEST_F(Runner, CapturedTextStopsWhereMemoryRunsOut) {
  std::string all;
  for (int i = 0; i < 2000; ++i) all += "line " + std::to_string(i) + std::string(60, '.') + "\n";
  Set("lpd.out", all);
  const std::string kept = Run([] {
    GetMem(32);  // a standard block exists; no further one may be had
    MemSetMapLimit(0);
    std::fputs(Take(GetCmdResponseStr(LPD, "line", "%s", "")).c_str(), stdout);
    return 0;
  }).substr(2);
  const std::string text = kept.substr(0, kept.find('|'));
  EXPECT_GT(text.size(), 1000u);
  EXPECT_LT(text.size(), all.size());
  EXPECT_EQ(all.compare(0, text.size(), text), 0);
  EXPECT_EQ(text.back(), '\n');
}

// The words and redirections of a plain line, or "shell".
std::string Split(std::string text) {
  syscmd::PlainCommand c;
  if (!syscmd::SplitPlainCommand(text.data(), &c)) return "shell";
  std::string s;
  for (int i = 0; i < c.count; ++i) s += std::string(c.words[i]) + "|";
  for (int i = 0; i < c.redirectCount; ++i) {
    s += std::to_string(c.redirects[i].fd) + (c.redirects[i].append ? ">>" : ">") + c.redirects[i].path + "|";
  }
  return s;
}

TEST(SplitPlainCommand, TakesOnlyWordsAndRedirections) {
  const struct { const char* text; const char* want; } rows[] = {
      {"/bin/cp -p  /w/pkg/a /usr/K 1>>/tmp/setup.log 2>>/tmp/setup.log",
       "/bin/cp|-p|/w/pkg/a|/usr/K|1>>/tmp/setup.log|2>>/tmp/setup.log|"},
      {"\t/bin/rm -f x 1>/dev/null 2>/dev/null ", "/bin/rm|-f|x|1>/dev/null|2>/dev/null|"},
      {"/bin/sed -e s#@DIR@#/usr/K# -e s/a~b/c,d%e+f=g@h:i/ f_1.conf",
       "/bin/sed|-e|s#@DIR@#/usr/K#|-e|s/a~b/c,d%e+f=g@h:i/|f_1.conf|"},
      {"/bin/chmod 12 a1 2x", "/bin/chmod|12|a1|2x|"},
      {"/bin/cat /w/a >> /w/b.tar.Z", "/bin/cat|/w/a|1>>/w/b.tar.Z|"},
      {"/bin/sed s/a/b/ f > /tmp/t 2>>/tmp/l # 1>>/tmp/l 2>>/tmp/l", "/bin/sed|s/a/b/|f|1>/tmp/t|2>>/tmp/l|"},
      {"chmod 755 x", "shell"}, {"", "shell"}, {"1>/dev/null", "shell"}, {"/bin/echo 'a b'", "shell"},
      {"/bin/echo \"a\"", "shell"}, {"/bin/echo a\\ b", "shell"}, {"/bin/echo $HOME", "shell"},
      {"/bin/echo `id`", "shell"}, {"/bin/ls *.c", "shell"}, {"/bin/ls a?", "shell"},
      {"/bin/ls [ab]", "shell"}, {"/bin/echo {a,b}", "shell"}, {"/bin/echo a;b", "shell"},
      {"/bin/echo a|b", "shell"}, {"/bin/echo a&", "shell"}, {"/bin/echo (a)", "shell"},
      {"/bin/echo a\nb", "shell"}, {"/bin/echo ~/a", "shell"}, {"/bin/echo a#b #c $d", "/bin/echo|a#b|"},
      {"/bin/echo !a", "shell"}, {"/bin/cat <f", "shell"}, {"/bin/echo >f", "/bin/echo|1>f|"},
      {"/bin/echo 2>&1", "shell"}, {"/bin/echo 3>f", "shell"}, {"/bin/echo 1>~/f", "shell"},
      {"/bin/echo 1>", "shell"}, {"/bin/echo > #f", "shell"}, {"/bin/echo >> 'f'", "shell"},
      {"/bin/echo 1>>a 1>>b 2>c 2>d 1>e", "shell"}, {"/bin/echo \xc3\xa9", "shell"},
  };
  for (const auto& r : rows) EXPECT_EQ(Split(r.text), r.want) << r.text;
  std::string many = "/bin/echo";
  for (int i = 0; i < syscmd::kMaxWords; ++i) many += " w";
  EXPECT_EQ(Split(many), "shell");
}

// A command that notes its parent's name in <tool>.parent and then does what
// <tool>.do says: print, fail with status 3, or die by SIGKILL.
const char* const TOOL =
    "#!/bin/sh\ncat /proc/$PPID/comm > \"$0.parent\"\ncase $(cat \"$0.do\") in\n"
    "ok) echo \"out $*\"; echo err >&2 ;;\nfail) exit 3 ;;\nkill) kill -9 $$ ;;\nesac\n";
// Another shell than the host's own: every line goes through it.
const char* const OTHER_SH = "#!/bin/sh\nexec /bin/sh \"$@\"\n";

TEST(SysCmdStart, DirectAndShellLinesEndAlike) {
  REQUIRE_SANDBOX();  // the commands' output goes to /tmp/<name>.log
  testutil::ScratchDir dir;
  ASSERT_TRUE(testutil::WriteTool(dir / "mv", TOOL));
  ASSERT_TRUE(testutil::WriteTool(dir / "sh", OTHER_SH));
  const std::string D = dir.path();
  // The program's exit status (1 when mode 2 ends it), the result, how the log ends
  // through the shell, and the log's end when started directly, where it differs.
  const struct { const char* does; int mode, exit; std::string value, ends, direct; } rows[] = {
      {"ok", SYS_LOG, 0, "0", "out -f a b\nerr\n", ""},
      {"fail", SYS_LOG, 0, "3", "WARNING_MSG: command exited with status 3\n", ""},
      {"missing", SYS_LOG, 0, "127", " not found\nWARNING_MSG: command exited with status 127\n", ""},
      // The shell reports a signal as an exit status above 128, after a line of its own.
      {"kill", SYS_FATAL, 1, "-9999", "ERROR: command exited with status 137\n",
       "ERROR: command killed by signal 9 (Killed)\n"},
  };
  for (const auto& r : rows) {
    std::string shellLog;  // the log of the run through the shell, the direct run's model
    for (const bool direct : {false, true}) {
      SCOPED_TRACE(std::string(r.does) + (direct ? " direct" : " through the shell"));
      ASSERT_TRUE(testutil::WriteFile(dir / "mv.do", r.does));
      unlink((dir / "mv.parent").c_str());
      unlink("/tmp/sctstart.log");
      const std::string tools = std::string(r.does) == "missing" ? "/no/such" : D;
      const std::string shell = direct ? "/bin" : D;
      testutil::Child c = testutil::RunChild([&] {
        ComList[MV].pPath = const_cast<char*>(tools.c_str());
        ComList[SH].pPath = const_cast<char*>(shell.c_str());
        flInitSysCmd = 0;
        flUseLog = flSysCmdLog = 1;
        my_name = const_cast<char*>("sctstart");
        return SysCmd(MV, r.mode, " %s %s", "a", "b");
      });
      EXPECT_TRUE(c.Exited(r.exit));
      EXPECT_EQ(std::to_string(c.value), r.value);
      const std::string line = shell + "/sh -c \"" + tools + "/mv -f  a b\n";
      const std::string log = testutil::ReadFile("/tmp/sctstart.log");
      ASSERT_EQ(log.compare(0, line.size(), line), 0) << log;
      if (!direct) {
        shellLog = log.substr(line.size());
        EXPECT_TRUE(shellLog.ends_with(r.ends)) << shellLog;
      } else {
        EXPECT_EQ(log.substr(line.size()), r.direct.empty() ? shellLog : r.direct);
      }
      if (tools == D) {
        EXPECT_EQ(testutil::ReadFile(dir / "mv.parent"), direct ? "test_SysCmd\n" : "sh\n");
      }
    }
  }
}

}  // namespace
