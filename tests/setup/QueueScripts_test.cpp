// QueueScripts_test.cpp - the flags file, the printconf link, and the generated queue
// scripts and launcher at work: every branch, under dash and bash, against stand-ins
// that record how they were called.
#include "SetupFixture.h"

#include <ctime>
#include <functional>
#include <vector>

namespace {

using namespace setuptest;
using testutil::Child;

constexpr int kLpd = 43, kPs = 55;

// Runs argv in the directory cwd with exactly the environment env and standard input
// from the file in; its exit status.
int RunScript(const std::string& cwd, std::vector<std::string> argv, const std::vector<std::string>& env,
              const std::string& in) {
  const Child c = testutil::RunChild([&] {
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    clearenv();
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    if (chdir(cwd.c_str()) == 0 && std::freopen(in.c_str(), "r", stdin)) execv(args[0], args.data());
    _exit(127);
  });
  return WIFEXITED(c.status) ? WEXITSTATUS(c.status) : -1;
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
  // A stand-in tool: it appends its directory, its arguments (each followed by '|'),
  // the environment the scripts set and its standard input to rec/<name>; it prints
  // one line and ends with status fail until its call number succeed.
  void Recorder(const std::string& name, int fail, int succeed) {
    ASSERT_TRUE(testutil::WriteTool(app + "/" + name,
        "#!/bin/sh\nr=" + rec + "/" + name + "\nn=$(($(cat $r.n 2>/dev/null || echo 0) + 1)); echo $n >$r.n\n"
        "{ pwd; printf '%s|' \"$@\"; echo; env | LC_ALL=C sort | grep -E '^(Tavlo|PRINTER=|UserName=|Title=|OptList="
        "|DISPLAY=|PANGO_|GTK_|GDK_|PATH=)' | tr '\\n' ';'; echo; cat; echo; } >>$r\necho 'tool output'\n"
        "[ $n -ge " + std::to_string(succeed) + " ] || exit " + std::to_string(fail) + "\n"));
  }
  // Writes the flags file, or removes it for "none".
  void Flags(const std::string& text) {
    std::remove((app + "/.tv_cfg").c_str());
    EXPECT_TRUE(text == "none" || WriteFile(app + "/.tv_cfg", text));
  }
  // Points lpd and ps at stand-ins: lpd says version on its error output ("": no lpd),
  // ps shows cupsd when it runs.
  void Host(const std::string& version, bool cupsd) {
    if (!version.empty()) testutil::WriteTool(bin + "/lpd", "#!/bin/sh\necho '" + version + "' >&2\n");
    testutil::WriteTool(bin + "/ps", cupsd ? "#!/bin/sh\necho '  7 TS 19 ? 00:00:00 cupsd'\n" : "#!/bin/sh\n");
    ComList[kLpd].pPath = version.empty() ? nullptr : SaveStr_(bin.c_str());
    ComList[kPs].pPath = SaveStr_(bin.c_str());
  }

  ScratchDir dir;
  const std::string app = dir / "Kandu/tvnn", rec = dir / "rec", bin = dir / "bin", spool = dir / "spool",
                    queue = dir / "lpd/lp1", util = "/usr/share/printconf/util";
};

TEST_F(QueueScripts, FlagsFileNamesThePrintSystemOfTheHost) {
  ASSERT_TRUE(WriteFile(app + "/.tv_cfg", " LPRng  CUPS and a long leftover line\n"));
  const struct { std::string lpd; bool cupsd; std::string flags; } rows[] = {
      {"", false, " BSD "},
      {"lpd (BSD) 4.4, lprng lookalike", false, " BSD "},  // the word is case-sensitive
      {"lpd (LPRng-3.8.28) 2004", false, " LPRng "},
      {"lpd (LPRng-3.8.28) 2004", true, " CUPS "},  // a running cupsd wins
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.flags + r.lpd);
    testutil::RunChild([&] {
      Host(r.lpd, r.cupsd);
      createPrintingSubsystemFile(app.c_str());
    });
    EXPECT_EQ(State(app + "/.tv_cfg"), "644 " + r.flags);
  }
  EXPECT_EQ(testutil::RunChild([&] { createPrintingSubsystemFile((dir / "none").c_str()); }).err,
            "ERROR: couldn't open " + dir / "none/.tv_cfg" + "\n");
}

TEST_F(QueueScripts, OnlyAnLPRngHostWithTheUtilityDirectoryGetsThePrintconfLink) {
  const std::string link = util + "/KanduPrinttvnn", lprng = "lpd (LPRng-3.8.28)", made = "-> " + app + "/KanduPrinttvnn";
  ASSERT_EQ(mkdir((app + "/KanduPrinttvnn").c_str(), 0755), 0);  // in the way: reported, the others are written
  const struct { std::string lpd; bool utilDir; std::function<void()> prep; std::string log, state; } rows[] = {
      {lprng, false, {}, "", "-"},
      {"", true, {}, "", "-"},
      {lprng, true, {}, CmdLine(17, "-s " + app + "/KanduPrinttvnn " + link), made},
      {lprng, true, [&] { symlink("/nowhere", link.c_str()); }, "", "-> /nowhere"},  // an entry there stays
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.log);
    std::system(("rm -rf /usr/share/printconf " + app + "/v4DriverScript " + app + "/KanduQMF").c_str());
    EXPECT_EQ(std::system(((r.utilDir ? "mkdir -p " : "true ") + util).c_str()), 0);
    unlink(kLog);
    const Child c = testutil::RunChild([&] {
      Host(r.lpd, false);
      if (r.prep) r.prep();
      createQueueScripts(spool.c_str());
    });
    EXPECT_EQ(c.err, "ERROR: can't open file, " + app + "/KanduPrinttvnn\n");
    EXPECT_EQ(ReadFile(kLog), r.log);
    EXPECT_EQ(State(link), r.state);
    EXPECT_TRUE(Matches("755 *SpoolDir=\"" + spool + "/tvnn\"\n*", State(app + "/KanduQMF")));
    EXPECT_EQ(State(app + "/v4DriverScript").substr(0, 4), "755 ");
  }
  EXPECT_FALSE(generateKanduPrinttvnnScript((app + "/KanduPrinttvnn").c_str(), ScriptShShell, KanduPrinttvnnScript));
  std::system("rm -rf /usr/share/printconf");
}

INSTANTIATE_TEST_SUITE_P(Shells, QueueScripts, ::testing::Values("/bin/dash", "/bin/bash"));

// Each row: the flags, the script run by its name or as the queue lp1 (a System V
// spooler starts it under the printer's name), its directory, arguments, environment
// and input, its exit status and the call its tool recorded (three calls for qmf,
// which succeeds at its third).
TEST_P(QueueScripts, EachScriptDrivesItsToolForEverySpooler) {
  for (const char* name : {"KanduPrinttvnn", "v4DriverScript", "KanduQMF", "tvadmin"}) {
    ASSERT_TRUE(WriteFile(app + "/" + name, std::string(20000, 'x')));  // rewritten whole
  }
  ASSERT_TRUE(generateKanduPrinttvnnScript((app + "/KanduPrinttvnn").c_str(), ScriptShShell, KanduPrinttvnnScript));
  ASSERT_TRUE(generatev4DriverScript((app + "/v4DriverScript").c_str(), ScriptShShell, pv4DriverScript));
  ASSERT_TRUE(generateKanduQMFScript((app + "/KanduQMF").c_str(), ScriptShShell, KanduQMFScript, (spool + "/tvnn").c_str()));
  GenSimpleScript((app + "/tvadmin").c_str(), ScriptShShell, SimpleScript, app.c_str(), app.c_str(), "driver");
  const std::time_t now = std::time(nullptr);
  const std::string year = std::to_string(std::localtime(&now)->tm_year + 1900);
  for (const char* name : {"KanduPrinttvnn", "v4DriverScript", "KanduQMF", "tvadmin"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(Matches("755 #!/bin/sh\n#*#\n##  Copyright (c) " + year + " Kandu. All rights reserved.           ##\n*",
                        State(app + "/" + name)));
    EXPECT_EQ(RunScript(app, {GetParam(), "-n", name}, {}, "/dev/null"), 0);
  }
  Recorder("tvrtvnntty", 3, 1000);
  Recorder("AixInterface", 4, 1000);
  Recorder("driver", 5, 1000);
  Recorder("qmf", 1, 3);
  ASSERT_TRUE(WriteFile(dir / "job", "job data\n"));
  const std::string job = dir / "job", home = dir / "home", lp1 = dir / "lp1", p = "PATH=/usr/bin:/bin;";
  const std::string sv = "PATH=/usr/sbin:/usr/bin;", modules = app + "/lib/gtk/modules/etc/";
  const std::vector<std::string> lprng = {"-Plp1", "-d/sp/lp1", "-edfA1,dfB2", "-Zduplex,a4", "-njoe", "-hhost1"};
  const std::string lprngCall = "-dlp1|-oduplex|-oa4|/sp/lp1/dfA1|/sp/lp1/dfB2|\n" + p + "TavloFileSourceDir=" + home +
                                ";\n\n";
  const struct { const char* flags; const char* script; bool asQueue; std::string cwd; std::vector<std::string> args, env;
                 std::string in; int status; const char* tool; std::string call; } rows[] = {
      {" AIX ", "KanduPrinttvnn", false, home, {"-Pq", "two words", "x"}, {}, "/dev/null", 4, "AixInterface",
       app + "\n-Pq|two|words|x|\n" + p + "\n\n"},
      // BSD: the job on standard input for the queue of the current directory.
      {" BSD ", "KanduPrinttvnn", false, queue, {"-w132", "-l66"}, {}, job, 3, "tvrtvnntty",
       queue + "\n-dlp1|-f|\n" + p + "\njob data\n\n"},
      // LPRng: options and full paths of the job's files; the tool's failure is not passed on.
      {" LPRng ", "KanduPrinttvnn", false, home, lprng, {}, "/dev/null", 0, "tvrtvnntty",
       app + "\n-dlp1|-f|-oduplex|-oa4|/sp/lp1/dfA1|/sp/lp1/dfB2|\n" + p + "TavloFileSourceDir=" + home + ";\n\n"},
      // V5 cuts the title at "###" and takes the files from the sixth argument.
      {" V5 ", "KanduPrinttvnn", true, home, {"lp1-12", "joe", "report ###123", "2", "nobanner duplex", job, "f2"}, {},
       "/dev/null", 3, "tvrtvnntty", app + "\n-dlp1|-i|" + job + "|f2|\n" + sv + "TavloCopies=2;TavloOption_list=nobanner "
       "duplex;TavloPrinter=lp1;TavloRequest_id=lp1-12;TavloTitle=report ;TavloUser_name=joe;\n\n"},
      // CUPS takes the printer from the environment and keeps the title.
      {" BSD  CUPS ", "KanduPrinttvnn", true, home, {"7", "ann", "report ###123", "1", "media=A4", job}, {"PRINTER=laser"},
       "/dev/null", 3, "tvrtvnntty", app + "\n-dlaser|-i|" + job + "|\n" + sv + "PRINTER=laser;TavloCopies=1;"
       "TavloOption_list=media=A4;TavloPrinter=laser;TavloRequest_id=7;TavloTitle=report ###123;TavloUser_name=ann;\n\n"},
      // No flags file (an inherited flConfig does not count), no recognised word: V5.
      {"none", "KanduPrinttvnn", true, home, {"1", "u", "t", "1", "o"}, {"flConfig=CUPS", "PRINTER=p"}, "/dev/null", 3,
       "tvrtvnntty", app + "\n-dlp1|-i|\n" + sv + "PRINTER=p;TavloCopies=1;TavloOption_list=o;TavloPrinter=lp1;"
       "TavloRequest_id=1;TavloTitle=t;TavloUser_name=u;\n\n"},
      {" LPD ", "KanduPrinttvnn", true, home, {"1", "u", "t", "1", "o"}, {}, "/dev/null", 3, "tvrtvnntty",
       app + "\n-dlp1|-i|\n" + sv + "TavloCopies=1;TavloOption_list=o;TavloPrinter=lp1;TavloRequest_id=1;TavloTitle=t;"
       "TavloUser_name=u;\n\n"},
      // The driver under AIX gets the module files.
      {" AIX ", "v4DriverScript", false, home, {"a", "b"}, {}, "/dev/null", 0, "driver",
       app + "\n-f|AIX|a|b|\nGDK_PIXBUF_MODULE_FILE=" + modules + "gtk-2.0/gdk-pixbuf.loaders;GTK_IM_MODULE_FILE=" +
       modules + "gtk-2.0/gtk.immodules;PANGO_RC_FILE=" + modules + "pango/pangorc;" + p + "\n\n"},
      // V5 passes user and title and sets the display, unless one is given.
      {" V5 ", "v4DriverScript", true, home, {"lp1-9", "joe@host", "report ###1", "2", "duplex", job}, {}, "/dev/null", 0,
       "driver", app + "\n-dlp1|-ujoe|-t|report|-t|" + job + "|\nDISPLAY=:0.0;OptList=duplex;PATH=/usr/sbin:/usr/bin:/bin;"
       "PRINTER=lp1;TavloCopies=-o Copies=2;TavloRequest_id=-o JobID=lp1-9;Title=-t report -t ;UserName=-ujoe;\n\n"},
      {" V5 ", "v4DriverScript", true, home, {"1", "u", "t", "1", ""}, {"DISPLAY=host:1"}, "/dev/null", 0, "driver",
       app + "\n-dlp1|-uu|-t|t|\nDISPLAY=host:1;OptList=;PATH=/usr/sbin:/usr/bin:/bin;PRINTER=lp1;TavloCopies=-o Copies=1;"
       "TavloRequest_id=-o JobID=1;Title=-t t;UserName=-uu;\n\n"},
      // CUPS builds options without quotes and forces the display.
      {" CUPS ", "v4DriverScript", true, home, {"7", "ann", "t", "1", "media=\"A4\" sides=two", job},
       {"PRINTER=laser", "DISPLAY=other:3"}, "/dev/null", 0, "driver",
       app + "\n-dlaser|-o|media=A4|-o|sides=two|" + job + "|\nDISPLAY=:0.0;PATH=/usr/sbin:/usr/bin:/bin;PRINTER=laser;\n\n"},
      {" LPRng ", "v4DriverScript", false, home, lprng, {}, "/dev/null", 0, "driver", app + "\n" + lprngCall},
      {" BSD ", "v4DriverScript", false, home, lprng, {}, "/dev/null", 0, "driver", app + "\n" + lprngCall},
      {" AIX ", "KanduQMF", false, home, {"a"}, {}, "/dev/null", 0, "qmf", app + "\na|\n" + p + "\n\n"},
      // The filter under LPRng collects the files of every -f option.
      {" LPRng ", "KanduQMF", false, queue, {"-Plp1", "-f", job, "-Jtitle", "-f", "/x/b"}, {}, "/dev/null", 0, "qmf",
       queue + "\n" + job + "|/x/b|\n" + p + "\n\n"},
      // BSD and LPRng print standard input through a job file of the queue's spool, then remove it.
      {" BSD ", "KanduQMF", false, queue, {}, {}, job, 0, "qmf", queue + "\n" + spool + "/tvnn/lp1/lp1.*|\n" + p + "\n\n"},
      {" LPRng ", "KanduQMF", false, queue, {"-Plp1", "-f", "(stdin)"}, {"SPOOL_DIR=" + dir / "lpd"}, job, 0, "qmf",
       queue + "\n" + dir / "lpd/lp1.*|\n" + p + "\n\n"},
      // V5 and CUPS pass the job in the environment.
      {" V5 ", "KanduQMF", true, home, {"9", "joe", "t ###1", "1", "o", "f1"}, {}, "/dev/null", 0, "qmf",
       app + "\nf1|\n" + sv + "TavloCopies=1;TavloOption_list=o;TavloPrinter=lp1;TavloRequest_id=9;TavloTitle=t ###1;"
       "TavloUser_name=joe;\n\n"},
      {" CUPS ", "KanduQMF", true, home, {"9", "joe", "t", "1", "o", "f1"}, {"PRINTER=laser"}, "/dev/null", 0, "qmf",
       app + "\nf1|\n" + sv + "PRINTER=laser;TavloCopies=1;TavloOption_list=o;TavloPrinter=laser;TavloRequest_id=9;"
       "TavloTitle=t;TavloUser_name=joe;\n\n"},
      // The launcher records where it was started and runs the tool from D with its arguments.
      {" V5 ", "tvadmin", false, home, {"a", "b"}, {}, "/dev/null", 5, "driver",
       app + "\na|b|\n" + p + "TavloFileSourceDir=" + home + ";\n\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.script) + " with" + r.flags);
    std::remove((rec + "/" + r.tool).c_str());
    std::remove((rec + "/" + r.tool + ".n").c_str());
    Flags(r.flags);
    std::remove(lp1.c_str());
    ASSERT_EQ(symlink((app + "/" + r.script).c_str(), lp1.c_str()), 0);
    std::vector<std::string> argv{GetParam(), r.asQueue ? lp1 : app + "/" + r.script};
    argv.insert(argv.end(), r.args.begin(), r.args.end());
    std::vector<std::string> env = r.env;
    env.push_back("PATH=/usr/bin:/bin");
    EXPECT_EQ(RunScript(r.cwd, argv, env, r.in), r.status);
    const std::string calls = ReadFile(rec + "/" + r.tool);
    EXPECT_TRUE(Matches(std::string(r.tool) == "qmf" ? r.call + r.call + r.call : r.call, calls)) << calls;
  }
  EXPECT_EQ(ReadFile(queue + "/tavlotvnn.log"), "tool output\n");  // the BSD print branch's log
  EXPECT_EQ(std::system(("for f in " + spool + "/tvnn/lp1/* " + dir / "lpd/lp1.*; do [ -e \"$f\" ] && exit 1; done; exit 0").c_str()), 0)
      << "a job file is left";
}

}  // namespace
