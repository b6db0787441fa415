// Spawn_test.cpp - how a table command's line is started: the lines a shell would
// only split into words, and the same outcome whether the shell stands between or not.
#include "SysCmd/Launch.h"
#include "SysCmd/SysCmd.h"

#include "testutil.h"

#include <string>

namespace {

using syscmd::PlainCommand;

// The words and redirections of a plain line, or "shell".
std::string Split(std::string text) {
  PlainCommand c;
  if (!syscmd::SplitPlainCommand(text.data(), &c)) return "shell";
  std::string s;
  for (int i = 0; i < c.count; ++i) s += std::string(c.words[i]) + "|";
  for (int i = 0; i < c.redirectCount; ++i) {
    s += std::to_string(c.redirects[i].fd) + (c.redirects[i].append ? ">>" : ">") + c.redirects[i].path + "|";
  }
  return s;
}

TEST(SplitPlainCommand, TakesOnlyWhatAShellWouldSplitIntoWordsAndRedirections) {
  const struct {
    const char* text;
    const char* want;
  } rows[] = {
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
      {"/bin/echo 1>", "shell"}, {"/bin/echo > #f", "shell"}, {"/bin/echo >> 'f'", "shell"}, {"/bin/echo 1>>a 1>>b 2>c 2>d 1>e", "shell"}, {"/bin/echo \xc3\xa9", "shell"},
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
constexpr int MV = 25;
constexpr int SH = 31;

TEST(SysCmdStart, ADirectlyStartedLineAndAShellLineEndAlike) {
  REQUIRE_SANDBOX();  // the commands' output goes to /tmp/<name>.log
  testutil::ScratchDir dir;
  ASSERT_TRUE(testutil::WriteTool(dir / "mv", TOOL));
  ASSERT_TRUE(testutil::WriteTool(dir / "sh", OTHER_SH));
  const std::string D = dir.path();
  const struct {
    const char* does;
    int mode;
    int exit;                     // the program's exit status: 1 when mode 2 ends it
    std::string value, ends;      // the result; how the log ends through the shell
    std::string direct;           // the log's end when started directly, where it differs
  } rows[] = {
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
