// QueueScripts_test.cpp - the flags file, the printconf link, and the generated queue
// scripts and launcher at work: every branch, under dash and bash, against stand-ins
// that record how they were called.
#include "SetupFixture.h"

#include <functional>
#include <tuple>
#include <vector>

namespace {

using namespace setuptest;
using testutil::Child;

// Runs the words (the environment's settings, then the command) through env -i in the
// directory cwd, with standard input from the file in and the output discarded; the
// exit status.
int RunScript(const std::string& cwd, const std::vector<std::string>& words, const std::string& in) {
  std::string line = "cd '" + cwd + "' && exec env -i";
  for (const std::string& w : words) {
    line += " '";
    for (const char c : w) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
    line += "'";
  }
  const int status = std::system((line + " <'" + in + "' >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The product directory D with its three queue scripts and stand-ins of the four tools
// they start, in the sandbox; the host's lpd and ps are stand-ins in bin.
class QueueScripts : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    REQUIRE_SANDBOX();
    InitCommandLayer();
    ASSERT_EQ(std::system(("mkdir -p " + app + " " + rec + " " + bin + " " + spool + "/tvnn/lp1 " + queue + " " +
                           dir / "home").c_str()), 0);
    pAppDir = SaveStr_(app.c_str());
    pTargetInstallDir = SaveStr_(dir.path().c_str());
  }

  ScratchDir dir;
  const std::string app = dir / "Kandu/tvnn", rec = dir / "rec", bin = dir / "bin", spool = dir / "spool",
                    queue = dir / "lpd/lp1", util = "/usr/share/printconf/util";
};

// Each row: what lpd says on its error output ("": there is none), whether ps shows cupsd
// and what a row plants in the printconf utility directory (a host without one, and the
// real spoolers, are whole-run cases).
TEST_F(QueueScripts, TheHostDecidesTheFlagsFileAndThePrintconfLink) {
  const std::string link = util + "/KanduPrinttvnn", lprng = "lpd (LPRng-3.8.28) 2004";
  ASSERT_EQ(mkdir((app + "/KanduPrinttvnn").c_str(), 0755), 0);  // in the way: reported, the others are written
  ASSERT_TRUE(WriteFile(app + "/.tv_cfg", " LPRng  CUPS and a long leftover line\n"));
  const struct { std::string lpd; bool cupsd; std::function<void()> prep; std::string flags, log, link; }
      rows[] = {
      {"", false, {}, " BSD ", "", "-"},
      {"lpd (BSD) 4.4, lprng lookalike", false, {}, " BSD ", "", "-"},  // the word is case-sensitive
      {lprng, true, {}, " CUPS ", "$ ln  -s @D/KanduPrinttvnn @L\n", "-> @D/KanduPrinttvnn"},  // cupsd wins
      {lprng, false, [&] { symlink("/nowhere", link.c_str()); }, " LPRng ", "", "-> /nowhere"},  // kept
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.flags + r.lpd);
    std::system(("rm -rf /usr/share/printconf " + app + "/v4DriverScript " + app + "/KanduQMF").c_str());
    EXPECT_EQ(std::system(("mkdir -p " + util).c_str()), 0);
    unlink(kLog);
    const Child c = testutil::RunChild([&] {
      testutil::WriteTool(bin + "/lpd", "#!/bin/sh\necho '" + r.lpd + "' >&2\n");
      testutil::WriteTool(bin + "/ps", r.cupsd ? "#!/bin/sh\necho '  7 TS 19 ? 00:00:00 cupsd'\n" : "#!/bin/sh\n");
      ComList[CMD_LPD].pPath = r.lpd.empty() ? nullptr : SaveStr_(bin.c_str());
      ComList[CMD_PS].pPath = SaveStr_(bin.c_str());
      if (r.prep) r.prep();
      createPrintingSubsystemFile(app.c_str());
      createQueueScripts(spool.c_str());
    });
    EXPECT_EQ(c.err, "ERROR: can't open file, " + app + "/KanduPrinttvnn\n");
    EXPECT_EQ(State(app + "/.tv_cfg"), "644 " + r.flags);
    EXPECT_EQ(ReadFile(kLog), Expand(r.log, {{"@D", app}, {"@L", link}}));
    EXPECT_EQ(State(link), Expand(r.link, {{"@D", app}}));
    EXPECT_TRUE(Matches("755 *SpoolDir=\"" + spool + "/tvnn\"\n*", State(app + "/KanduQMF")));
    EXPECT_EQ(State(app + "/v4DriverScript").substr(0, 4), "755 ");
  }
  EXPECT_FALSE(generateKanduPrinttvnnScript((app + "/KanduPrinttvnn").c_str(), ScriptShShell, KanduPrinttvnnScript));
  EXPECT_EQ(testutil::RunChild([&] { createPrintingSubsystemFile((dir / "none").c_str()); }).err,
            "ERROR: couldn't open " + dir / "none/.tv_cfg" + "\n");
  std::system("rm -rf /usr/share/printconf");
}

INSTANTIATE_TEST_SUITE_P(Shells, QueueScripts, ::testing::Values("/bin/dash", "/bin/bash"));

// Arguments pass through as they came (a blank kept). Each row: the flags, the script run by its name or as the queue lp1 (a System V
// spooler starts it under the printer's name), its directory, arguments, environment
// and input, its exit status and the call its tool recorded (three calls for qmf,
// which succeeds at its third).
TEST_P(QueueScripts, EachScriptDrivesItsToolForEverySpooler) {
  for (const char* name : {"KanduPrinttvnn", "v4DriverScript", "KanduQMF", "tvadmin"}) {
    ASSERT_TRUE(WriteFile(app + "/" + name, std::string(20000, 'x')));  // rewritten whole
  }
  ASSERT_TRUE(generateKanduPrinttvnnScript((app + "/KanduPrinttvnn").c_str(), ScriptShShell, KanduPrinttvnnScript));
  ASSERT_TRUE(generatev4DriverScript((app + "/v4DriverScript").c_str(), ScriptShShell, pv4DriverScript));
  const std::string spoolDir = spool + "/tvnn";
  ASSERT_TRUE(generateKanduQMFScript((app + "/KanduQMF").c_str(), ScriptShShell, KanduQMFScript, spoolDir.c_str()));
  GenSimpleScript((app + "/tvadmin").c_str(), ScriptShShell, SimpleScript, app.c_str(), app.c_str(), "driver");
  for (const char* name : {"KanduPrinttvnn", "v4DriverScript", "KanduQMF", "tvadmin"}) {
    EXPECT_TRUE(Matches("755 #!/bin/sh\n*", State(app + "/" + name))) << name;
    EXPECT_EQ(RunScript(app, {GetParam(), "-n", name}, "/dev/null"), 0) << name;
  }
  // Stand-in tools: each appends its directory, its arguments (each followed by '|'), the
  // environment the scripts set and its standard input to rec/<name>; it prints one line
  // and ends with status fail until its call number succeed.
  for (const auto& [name, fail, succeed] : {std::tuple{"tvrtvnntty", 3, 1000}, {"AixInterface", 4, 1000},
                                            {"driver", 5, 1000}, {"qmf", 1, 3}}) {
    ASSERT_TRUE(testutil::WriteTool(app + "/" + name,
        "#!/bin/sh\nr=" + rec + "/" + name + "\nn=$(($(cat $r.n 2>/dev/null || echo 0) + 1)); echo $n >$r.n\n"
        "{ pwd; printf '%s|' \"$@\"; echo; env | LC_ALL=C sort | grep -E '^(Tavlo|PRINTER=|UserName=|Title=|OptList="
        "|DISPLAY=|PANGO_|GTK_|GDK_|PATH=)' | tr '\\n' ';'; echo; cat; echo; } >>$r\necho 'tool output'\n"
        "[ $n -ge " + std::to_string(succeed) + " ] || exit " + std::to_string(fail) + "\n"));
  }
  ASSERT_TRUE(WriteFile(dir / "job", "job data\n"));
  // @A the product directory, @H a user's home, @Q the queue's spool directory, @J a job
  // file, @P and @S the search paths the scripts set.
  const std::vector<std::pair<std::string, std::string>> names{
      {"@A", app}, {"@H", dir / "home"}, {"@Q", queue}, {"@J", dir / "job"}, {"@M", app + "/lib/gtk/modules/etc"},
      {"@P", "PATH=/usr/bin:/bin;"}, {"@S", "PATH=/usr/sbin:/usr/bin;"}};
  const std::vector<std::string> lprng{"-Plp1", "-d/sp/lp1", "-edfA1,dfB2", "-Zduplex,a4", "-njoe", "-hhost1"};
  const struct { const char *flags, *script; bool asQueue; std::string cwd; std::vector<std::string> args, env;
                 std::string in; int status; const char* tool; std::string call; } rows[] = {  // in "": nothing
      {" AIX ", "KanduPrinttvnn", false, "@H", {"-Pq", "two words", "x"}, {}, "", 4, "AixInterface",
        "@A\n-Pq|two words|x|\n@P\n\n"},
      // LPRng: options and full paths of the job's files; the tool's failure is not passed on.
      {" LPRng ", "KanduPrinttvnn", false, "@H", lprng, {}, "", 0, "tvrtvnntty",
       "@A\n-dlp1|-f|-oduplex|-oa4|/sp/lp1/dfA1|/sp/lp1/dfB2|\n@PTavloFileSourceDir=@H;\n\n"},
      // V5 cuts the title at "###" and takes the files from the sixth argument.
      {" V5 ", "KanduPrinttvnn", true, "@H", {"lp1-12", "joe", "report ###123", "2", "nobanner duplex", "@J", "my job"}, {},
       "", 3, "tvrtvnntty", "@A\n-dlp1|-i|@J|my job|\n@STavloCopies=2;TavloOption_list=nobanner duplex;TavloPrinter=lp1;"
       "TavloRequest_id=lp1-12;TavloTitle=report ;TavloUser_name=joe;\n\n"},
      // CUPS (the last recognised word) takes the printer from the environment and keeps the title.
      {" BSD  CUPS ", "KanduPrinttvnn", true, "@H", {"7", "ann", "report ###123", "1", "media=A4", "@J"},
       {"PRINTER=laser"}, "", 3, "tvrtvnntty",
       "@A\n-dlaser|-i|@J|\n@SPRINTER=laser;TavloCopies=1;TavloOption_list=media=A4;TavloPrinter=laser;"
       "TavloRequest_id=7;TavloTitle=report ###123;TavloUser_name=ann;\n\n"},
      // No flags file (an inherited flConfig does not count), no recognised word: V5.
      {"none", "KanduPrinttvnn", true, "@H", {"1", "u", "t", "1", "o"}, {"flConfig=CUPS"}, "", 3, "tvrtvnntty",
       "@A\n-dlp1|-i|\n@STavloCopies=1;TavloOption_list=o;TavloPrinter=lp1;TavloRequest_id=1;TavloTitle=t;"
       "TavloUser_name=u;\n\n"},
      // The driver under AIX gets the module files.
      {" AIX ", "v4DriverScript", false, "@H", {"a", "b"}, {}, "", 0, "driver",
       "@A\n-f|AIX|a|b|\nGDK_PIXBUF_MODULE_FILE=@M/gtk-2.0/gdk-pixbuf.loaders;"
       "GTK_IM_MODULE_FILE=@M/gtk-2.0/gtk.immodules;PANGO_RC_FILE=@M/pango/pangorc;@P\n\n"},
      // V5 passes user and title and sets the display, unless one is given.
      {" V5 ", "v4DriverScript", true, "@H", {"lp1-9", "joe@host", "report ###1", "2", "duplex", "@J"}, {}, "", 0,
       "driver",
       "@A\n-dlp1|-ujoe|-t|report|-t|@J|\nDISPLAY=:0.0;OptList=duplex;PATH=/usr/sbin:/usr/bin:/bin;PRINTER=lp1;"
       "TavloCopies=-o Copies=2;TavloRequest_id=-o JobID=lp1-9;Title=-t report -t ;UserName=-ujoe;\n\n"},
      {" AIX ", "KanduQMF", false, "@H", {"a"}, {}, "", 0, "qmf", "@A\na|\n@P\n\n"},
      // The filter under LPRng collects the files of every -f option.
      {" LPRng ", "KanduQMF", false, "@Q", {"-Plp1", "-f", "@J", "-Jtitle", "-f", "/x/b"}, {}, "", 0, "qmf",
       "@Q\n@J|/x/b|\n@P\n\n"},
      // V5 passes the job in the environment.
      {" V5 ", "KanduQMF", true, "@H", {"9", "joe", "t ###1", "1", "o", "f 1"}, {}, "", 0, "qmf",
       "@A\nf 1|\n@STavloCopies=1;TavloOption_list=o;TavloPrinter=lp1;TavloRequest_id=9;TavloTitle=t ###1;"
       "TavloUser_name=joe;\n\n"},
      // The launcher records where it was started and runs the tool from D with its arguments
      // as they were given (a blank kept, a * not expanded).
      {" V5 ", "tvadmin", false, "@H", {"my report.txt", "*"}, {}, "", 5, "driver", "@A\nmy report.txt|[*]|\n@PTavloFileSourceDir=@H;\n\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.script) + " with" + r.flags);
    const std::string calls = rec + "/" + r.tool;
    std::system(("rm -f " + calls + " " + calls + ".n " + app + "/.tv_cfg " + dir / "lp1").c_str());
    ASSERT_TRUE(r.flags == std::string("none") || WriteFile(app + "/.tv_cfg", r.flags));
    ASSERT_EQ(symlink((app + "/" + r.script).c_str(), (dir / "lp1").c_str()), 0);  // the printer lp1
    std::vector<std::string> words = r.env;
    words.insert(words.end(), {"PATH=/usr/bin:/bin", GetParam(), r.asQueue ? dir / "lp1" : app + "/" + r.script});
    words.insert(words.end(), r.args.begin(), r.args.end());
    for (std::string& w : words) w = Expand(w, names);
    EXPECT_EQ(RunScript(Expand(r.cwd, names), words, r.in.empty() ? "/dev/null" : Expand(r.in, names)), r.status);
    const std::string got = ReadFile(calls), call = Expand(r.call, names);
    EXPECT_TRUE(Matches(std::string(r.tool) == "qmf" ? call + call + call : call, got)) << got;
  }
}

}  // namespace
