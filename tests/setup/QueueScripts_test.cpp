// QueueScripts_test.cpp - the flags file, the banner, the generated queue scripts
// and launcher (golden files, shell syntax) and every branch of the scripts run
// against stand-in tools.
#include "PkgTestUtil.h"

#include <ctime>
#include <tuple>
#include <utility>

namespace {

using pkgtest::RunIn;
using testutil::ReadFile;
using testutil::ScratchDir;
using testutil::WriteFile;

std::string Year() {
  const std::time_t now = std::time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  return std::to_string(local.tm_year + 1900);
}

// The banner filled with a year.
std::string Banner(int year) {
  char banner[1024];
  // The banner is the system's own format with one conversion, the year.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::snprintf(banner, sizeof banner, ScriptCopyRight, year);
#pragma GCC diagnostic pop
  return banner;
}

// ----- the banner (its lines and the templates are compared whole through the golden files) -----

TEST(ScriptBanner, TheYearIsWrittenInFourDigitsAndTheLinesKeep63Columns) {
  for (const auto& [year, text] : {std::pair{2031, "2031 Kandu"}, std::pair{987, "0987"}}) {
    const std::vector<std::string> lines = testutil::Lines(Banner(year));
    ASSERT_EQ(lines.size(), 6u) << year;
    EXPECT_EQ(lines[2].size(), 63u) << year;
    EXPECT_NE(lines[2].find(text), std::string::npos) << year;
  }
}

// ----- the flags file -----

class FlagsFile : public ::testing::Test {
 protected:
  void SetUp() override { pkgtest::InitCommandLayer(); }

  // A stand-in lpd in the scratch directory whose -V text goes to standard error.
  void FakeLpd(const std::string& version) {
    ASSERT_TRUE(pkgtest::WriteTool(dir / "lpd", "#!/bin/sh\necho \"" + version + "\" >&2\n"));
  }
  std::string Flags() {
    createPrintingSubsystemFile(dir.path().c_str());
    EXPECT_EQ(pkgtest::Mode(dir / ".tv_cfg"), 0644);
    return ReadFile(dir / ".tv_cfg");
  }

  ScratchDir dir;
};

TEST_F(FlagsFile, NamesLPRngWhenLpdSaysSoOnItsErrorOutputElseBSDReplacingTheOldContent) {
  ASSERT_TRUE(WriteFile(dir / ".tv_cfg", " LPRng  CUPS and a long leftover line\n"));
  {
    pkgtest::EntryAt lpd(43, nullptr);  // no lpd at all
    EXPECT_FALSE(SniffLprng());
    EXPECT_EQ(Flags(), " BSD ");
  }
  pkgtest::EntryAt lpd(43, &dir.path());
  FakeLpd("lpd (BSD) 4.4, lprng lookalike");
  EXPECT_FALSE(SniffLprng());
  EXPECT_EQ(Flags(), " BSD ");
  FakeLpd("lpd (LPRng-3.8.28) 2004");
  EXPECT_TRUE(SniffLprng());
  EXPECT_EQ(Flags(), " LPRng ");
  // A directory that cannot be written is reported.
  testing::internal::CaptureStderr();
  createPrintingSubsystemFile((dir / "missing").c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: couldn't open " + dir / "missing/.tv_cfg" + "\n");
}

// ----- the generated files -----

// The golden files hold the scripts for D = /usr/Kandu/tvnn and the spool
// directory /var/spool/Kandu/tvnn, with YYYY for the year.
std::string Golden(const std::string& name) {
  return std::string(KANDU_SOURCE_DIR) + "/tests/setup/golden/" + name;
}

void ExpectGolden(const std::string& path, const std::string& name) {
  std::string text = ReadFile(path);
  const std::string year = "Copyright (c) " + Year();
  const size_t at = text.find(year);
  ASSERT_NE(at, std::string::npos) << "no banner with this year in " << path;
  text.replace(at, year.size(), "Copyright (c) YYYY");
  if (std::getenv("KANDU_UPDATE_GOLDEN") != nullptr) WriteFile(Golden(name), text);
  EXPECT_EQ(text, ReadFile(Golden(name))) << name;
}

class ScriptFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    pkgtest::InitCommandLayer();
    pAppDir = SaveStr_("/usr/Kandu/tvnn");
  }
  // Writes the three queue scripts and a launcher as print, driver, qmf and launcher.
  void Generate(const char* spool, const char* d, const char* tool) {
    EXPECT_TRUE(generateKanduPrinttvnnScript((dir / "print").c_str(), ScriptShShell, KanduPrinttvnnScript));
    EXPECT_TRUE(generatev4DriverScript((dir / "driver").c_str(), ScriptShShell, pv4DriverScript));
    EXPECT_TRUE(generateKanduQMFScript((dir / "qmf").c_str(), ScriptShShell, KanduQMFScript, spool));
    GenSimpleScript((dir / "launcher").c_str(), ScriptShShell, SimpleScript, d, d, tool);
  }
  ScratchDir dir;
};

TEST_F(ScriptFiles, QueueScriptsAndLauncherMatchTheGoldenFilesAndAreValidForDashAndBash) {
  // Leftovers longer than the scripts show that the files are rewritten whole.
  const char* const names[] = {"print", "driver", "qmf", "launcher"};
  for (const char* name : names) ASSERT_TRUE(WriteFile(dir / name, std::string(20000, 'x')));
  Generate("/var/spool/Kandu/tvnn", "/usr/Kandu/tvnn", "tool");
  ExpectGolden(dir / "print", "KanduPrinttvnn");
  ExpectGolden(dir / "driver", "v4DriverScript");
  ExpectGolden(dir / "qmf", "KanduQMF");
  ExpectGolden(dir / "launcher", "launcher");
  for (const char* name : names) {
    EXPECT_EQ(pkgtest::Mode(dir / name), 0755) << name;
    for (const char* shell : {"/bin/sh", "/bin/dash", "/bin/bash"})
      EXPECT_EQ(RunIn(dir.path(), {shell, "-n", dir / name}, {"PATH=/usr/bin:/bin"}), 0) << shell << " -n " << name;
  }
}

TEST_F(ScriptFiles, ScriptThatCannotBeOpenedIsReportedAndTheOthersAreWritten) {
  pAppDir = SaveStr_(dir.path().c_str());
  ASSERT_EQ(mkdir((dir / "KanduPrinttvnn").c_str(), 0755), 0);  // in the way
  pkgtest::EntryAt lpd(43, nullptr);
  testing::internal::CaptureStderr();
  createQueueScripts((dir / "spool").c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: can't open file, " + dir / "KanduPrinttvnn" + "\n");
  EXPECT_EQ(pkgtest::Mode(dir / "KanduPrinttvnn"), 0755);  // the directory, untouched
  EXPECT_EQ(pkgtest::Mode(dir / "v4DriverScript"), 0755);
  EXPECT_EQ(pkgtest::Mode(dir / "KanduQMF"), 0755);
  EXPECT_NE(ReadFile(dir / "KanduQMF").find("SpoolDir=\"" + dir / "spool/tvnn" + "\"\n"), std::string::npos);
  EXPECT_FALSE(
      generateKanduPrinttvnnScript((dir / "KanduPrinttvnn").c_str(), ScriptShShell, KanduPrinttvnnScript));
}

// ----- the printconf link -----

class PrintconfLink : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_SANDBOX();
    pkgtest::InitCommandLayer();
    pkgtest::ClearLog();
    pAppDir = SaveStr_((dir / "Kandu/tvnn").c_str());
    pTargetInstallDir = SaveStr_(dir.path().c_str());
    ASSERT_EQ(std::system(("mkdir -p " + dir / "Kandu/tvnn " + dir / "bin").c_str()), 0);
    ASSERT_TRUE(pkgtest::WriteTool(dir / "bin/lpd", "#!/bin/sh\necho 'lpd (LPRng-3.8.28)'\n"));
  }
  void TearDown() override { std::system("rm -rf /usr/share/printconf"); }
  // The queue scripts written with lpd found in bin (LPRng) or not at all.
  void Create(bool lprng) {
    pkgtest::EntryAt lpd(43, lprng ? &bin : nullptr);
    createQueueScripts("/var/spool/Kandu");
  }

  const std::string util = "/usr/share/printconf/util";
  ScratchDir dir;
  const std::string bin = dir / "bin";
};

TEST_F(PrintconfLink, OnlyAnLPRngHostWithTheUtilityDirectoryGetsTheLinkAndAnEntryThereIsLeftAlone) {
  Create(true);
  ASSERT_EQ(std::system(("mkdir -p " + util).c_str()), 0);
  Create(false);
  EXPECT_EQ(pkgtest::LogText(), "");
  EXPECT_FALSE(pkgtest::Exists(util + "/KanduPrinttvnn"));
  Create(true);
  const std::string args = "-s " + dir / "Kandu/tvnn/KanduPrinttvnn " + util + "/KanduPrinttvnn";
  EXPECT_EQ(pkgtest::LogText(), pkgtest::CmdLine(17, args) + "\n");
  EXPECT_EQ(pkgtest::LinkText(util + "/KanduPrinttvnn"), dir / "Kandu/tvnn/KanduPrinttvnn");
  ASSERT_EQ(unlink((util + "/KanduPrinttvnn").c_str()), 0);
  ASSERT_EQ(symlink("/nowhere", (util + "/KanduPrinttvnn").c_str()), 0);
  pkgtest::ClearLog();
  Create(true);
  EXPECT_EQ(pkgtest::LogText(), "");
  EXPECT_EQ(pkgtest::LinkText(util + "/KanduPrinttvnn"), "/nowhere");
}

// ----- the scripts at work -----

// A stand-in for one of the suite's tools: it appends what it was given (current
// directory, arguments and the content of those that are files, the environment
// the scripts set, standard input) to rec/<name>.calls, prints one line, and ends
// with status 0 from call succeedAt on, with failStatus before.
std::string Recorder(const std::string& rec, const std::string& name, int failStatus,
                     int succeedAt) {
  return "#!/bin/sh\n"
         "r=" + rec + "/" + name + "\n"
         "n=$(cat $r.count 2>/dev/null || echo 0)\n"
         "n=$((n + 1))\n"
         "echo $n > $r.count\n"
         "{\n"
         "  echo \"cwd=$(pwd)\"\n"
         "  for a in \"$@\"; do\n"
         "    echo \"arg=$a\"\n"
         "    if [ -f \"$a\" ]; then echo \"content=$(cat \"$a\")\"; fi\n"
         "  done\n"
         "  env | LC_ALL=C sort | grep -E "
         "'^(Tavlo|PRINTER=|UserName=|Title=|OptList=|DISPLAY=|PANGO_|GTK_|GDK_|PATH=)'\n"
         "  echo \"stdin=$(cat)\"\n"
         "} >> $r.calls\n"
         "echo \"tool output\"\n"
         "if [ $n -ge " + std::to_string(succeedAt) + " ]; then exit 0; fi\n"
         "exit " + std::to_string(failStatus) + "\n";
}

// The first argument a stand-in recorded ("" when none).
std::string FirstArg(const std::string& calls) {
  const size_t at = calls.find("\narg=");
  if (at == std::string::npos) return "";
  const size_t begin = at + 5;
  return calls.substr(begin, calls.find('\n', begin) - begin);
}

// The product directory with the three scripts and stand-ins of the four tools;
// each test names the flags and runs one script with the shell of its parameter.
class ScriptRun : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    pkgtest::InitCommandLayer();
    ASSERT_EQ(std::system(("mkdir -p " + app + " " + rec + " " + spool + "/lp1 " + queue + " " +
                           dir / "interface " + dir / "home/u").c_str()), 0);
    pAppDir = SaveStr_(app.c_str());
    ASSERT_TRUE(generateKanduPrinttvnnScript((app + "/KanduPrinttvnn").c_str(), ScriptShShell, KanduPrinttvnnScript));
    ASSERT_TRUE(generatev4DriverScript((app + "/v4DriverScript").c_str(), ScriptShShell, pv4DriverScript));
    ASSERT_TRUE(generateKanduQMFScript((app + "/KanduQMF").c_str(), ScriptShShell, KanduQMFScript, spool.c_str()));
    for (const auto& [name, failStatus, succeedAt] :
         {std::tuple{"tvrtvnntty", 3, 1000}, {"AixInterface", 4, 1000}, {"driver", 5, 1000}, {"qmf", 1, 3}})
      ASSERT_TRUE(pkgtest::WriteTool(app + "/" + name, Recorder(rec, name, failStatus, succeedAt)));
    ASSERT_TRUE(WriteFile(dir / "job", "job data\n"));
  }

  void Flags(const std::string& text) { ASSERT_TRUE(WriteFile(app + "/.tv_cfg", text)); }

  // Runs the script under the queue name lp1 as a System V spooler does (the
  // name under which it is started is the printer's).
  std::string AsQueue(const std::string& script) {
    const std::string link = dir / "interface/lp1";
    unlink(link.c_str());
    EXPECT_EQ(symlink((app + "/" + script).c_str(), link.c_str()), 0);
    return link;
  }

  int Run(const std::string& cwd, const std::string& script, std::vector<std::string> args,
          std::vector<std::string> env = {}, const std::string& in = "/dev/null") {
    args.insert(args.begin(), {GetParam(), script});
    env.push_back("PATH=/usr/bin:/bin");
    return RunIn(cwd, args, env, in);
  }

  std::string Calls(const std::string& tool) { return ReadFile(rec + "/" + tool + ".calls"); }
  // Forgets what a stand-in recorded, its count of calls too.
  void Forget(const std::string& tool) {
    unlink((rec + "/" + tool + ".calls").c_str());
    unlink((rec + "/" + tool + ".count").c_str());
  }

  ScratchDir dir;
  const std::string app = dir / "Kandu/tvnn", rec = dir / "rec", spool = dir / "spool/Kandu/tvnn",
                    queue = dir / "lpd/lp1";
};

INSTANTIATE_TEST_SUITE_P(Shells, ScriptRun, ::testing::Values("/bin/dash", "/bin/bash"));

// Each row: the flags, the script run under its own name or as the queue lp1, the
// directory it starts in, its arguments, environment and input, its exit status and
// what the tool it runs recorded (once, or three times for qmf, which succeeds at its
// third call).
TEST_P(ScriptRun, EachScriptDrivesItsToolForEverySpooler) {
  const std::string job = dir / "job", home = dir / "home/u", modules = app + "/lib/gtk/modules/etc/";
  const struct {
    const char* flags;
    const char* script;
    bool asQueue;
    std::string cwd;
    std::vector<std::string> args, env;
    std::string in;
    int status;
    const char* tool;
    std::string call;
    std::string queueLog = {};  // what the BSD branch leaves in the queue's tavlotvnn.log
  } rows[] = {
      {" AIX ", "KanduPrinttvnn", false, dir.path(), {"-Pq", "two words", "x"}, {}, "/dev/null", 4, "AixInterface",
       "cwd=" + app + "\narg=-Pq\narg=two\narg=words\narg=x\nPATH=/usr/bin:/bin\nstdin=\n"},
      // BSD: standard input for the queue of the current directory.
      {" BSD ", "KanduPrinttvnn", false, queue, {"-w132", "-l66"}, {}, job, 3, "tvrtvnntty",
       "cwd=" + queue + "\narg=-dlp1\narg=-f\nPATH=/usr/bin:/bin\nstdin=job data\n", "tool output\n"},
      // LPRng: the spooler's arguments become options and full paths; the tool failed
      // with 3, the script ends with 0.
      {" LPRng ", "KanduPrinttvnn", false, home,
       {"-Plp1", "-d/var/spool/lpd/lp1", "-edfA001,dfB002", "-Zduplex,landscape", "-njoe", "-hhost1"}, {}, "/dev/null",
       0, "tvrtvnntty",
       "cwd=" + app + "\narg=-dlp1\narg=-f\narg=-oduplex\narg=-olandscape\narg=/var/spool/lpd/lp1/dfA001"
       "\narg=/var/spool/lpd/lp1/dfB002\nPATH=/usr/bin:/bin\nTavloFileSourceDir=" + home + "\nstdin=\n"},
      // V5 cuts the title and takes the files from the sixth argument.
      {" V5 ", "KanduPrinttvnn", true, dir.path(), {"lp1-12", "joe", "report ###123", "2", "nobanner duplex", job, "f2"},
       {}, "/dev/null", 3, "tvrtvnntty",
       "cwd=" + app + "\narg=-dlp1\narg=-i\narg=" + job + "\ncontent=job data\narg=f2\nPATH=/usr/sbin:/usr/bin"
       "\nTavloCopies=2\nTavloOption_list=nobanner duplex\nTavloPrinter=lp1\nTavloRequest_id=lp1-12"
       "\nTavloTitle=report \nTavloUser_name=joe\nstdin=\n"},
      // CUPS takes the printer from the environment and keeps the title.
      {" CUPS ", "KanduPrinttvnn", true, dir.path(), {"7", "ann", "report ###123", "1", "media=A4", job},
       {"PRINTER=laser"}, "/dev/null", 3, "tvrtvnntty",
       "cwd=" + app + "\narg=-dlaser\narg=-i\narg=" + job + "\ncontent=job data\nPATH=/usr/sbin:/usr/bin\nPRINTER=laser"
       "\nTavloCopies=1\nTavloOption_list=media=A4\nTavloPrinter=laser\nTavloRequest_id=7\nTavloTitle=report ###123"
       "\nTavloUser_name=ann\nstdin=\n"},
      // The driver under AIX gets the module files and ends with 0.
      {" AIX ", "v4DriverScript", false, dir.path(), {"a", "b"}, {}, "/dev/null", 0, "driver",
       "cwd=" + app + "\narg=-f\narg=AIX\narg=a\narg=b\nGDK_PIXBUF_MODULE_FILE=" + modules +
       "gtk-2.0/gdk-pixbuf.loaders\nGTK_IM_MODULE_FILE=" + modules + "gtk-2.0/gtk.immodules\nPANGO_RC_FILE=" + modules +
       "pango/pangorc\nPATH=/usr/bin:/bin\nstdin=\n"},
      // The driver under V5 passes user and title and sets the display.
      {" V5 ", "v4DriverScript", true, dir.path(), {"lp1-9", "joe@host", "report ###1", "2", "duplex", job}, {},
       "/dev/null", 0, "driver",
       "cwd=" + app + "\narg=-dlp1\narg=-ujoe\narg=-t\narg=report\narg=-t\narg=" + job + "\ncontent=job data"
       "\nDISPLAY=:0.0\nOptList=duplex\nPATH=/usr/sbin:/usr/bin:/bin\nPRINTER=lp1\nTavloCopies=-o Copies=2"
       "\nTavloRequest_id=-o JobID=lp1-9\nTitle=-t report -t \nUserName=-ujoe\nstdin=\n"},
      // The driver under CUPS builds options without quotes and forces the display.
      {" CUPS ", "v4DriverScript", true, dir.path(), {"7", "ann", "t", "1", "media=\"A4\" sides=two", job},
       {"PRINTER=laser", "DISPLAY=other:3"}, "/dev/null", 0, "driver",
       "cwd=" + app + "\narg=-dlaser\narg=-o\narg=media=A4\narg=-o\narg=sides=two\narg=" + job +
       "\ncontent=job data\nDISPLAY=:0.0\nPATH=/usr/sbin:/usr/bin:/bin\nPRINTER=laser\nstdin=\n"},
      {" AIX ", "KanduQMF", false, dir.path(), {"a"}, {}, "/dev/null", 0, "qmf",
       "cwd=" + app + "\narg=a\nPATH=/usr/bin:/bin\nstdin=\n"},
      // The filter under LPRng collects the files of every -f option.
      {" LPRng ", "KanduQMF", false, queue, {"-Plp1", "-f", job, "-Jtitle", "-f", "/x/b"}, {}, "/dev/null", 0, "qmf",
       "cwd=" + queue + "\narg=" + job + "\ncontent=job data\narg=/x/b\nPATH=/usr/bin:/bin\nstdin=\n"},
      // The filter under V5 and CUPS passes the job in the environment and the files.
      {" V5 ", "KanduQMF", true, dir.path(), {"9", "joe", "t ###1", "1", "o", "f1"}, {}, "/dev/null", 0, "qmf",
       "cwd=" + app + "\narg=f1\nPATH=/usr/sbin:/usr/bin\nTavloCopies=1\nTavloOption_list=o\nTavloPrinter=lp1"
       "\nTavloRequest_id=9\nTavloTitle=t ###1\nTavloUser_name=joe\nstdin=\n"},
      {" CUPS ", "KanduQMF", true, dir.path(), {"9", "joe", "t", "1", "o", "f1"}, {"PRINTER=laser"}, "/dev/null", 0,
       "qmf",
       "cwd=" + app + "\narg=f1\nPATH=/usr/sbin:/usr/bin\nPRINTER=laser\nTavloCopies=1\nTavloOption_list=o"
       "\nTavloPrinter=laser\nTavloRequest_id=9\nTavloTitle=t\nTavloUser_name=joe\nstdin=\n"},
      // A launcher records the start directory and runs the tool with its arguments.
      {" V5 ", "mytool", false, home, {"a", "b"}, {}, "/dev/null", 5, "driver",
       "cwd=" + app + "\narg=a\narg=b\nPATH=/usr/bin:/bin\nTavloFileSourceDir=" + home + "\nstdin=\n"},
  };
  GenSimpleScript((app + "/mytool").c_str(), ScriptShShell, SimpleScript, app.c_str(), app.c_str(), "driver");
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.script) + " with" + r.flags);
    Forget(r.tool);
    Flags(r.flags);
    const std::string script = r.asQueue ? AsQueue(r.script) : app + "/" + r.script;
    EXPECT_EQ(Run(r.cwd, script, r.args, r.env, r.in), r.status);
    EXPECT_EQ(Calls(r.tool), std::string(r.tool) == "qmf" ? r.call + r.call + r.call : r.call);
    if (!r.queueLog.empty()) {
      EXPECT_EQ(ReadFile(queue + "/tavlotvnn.log"), r.queueLog);
    }
  }
}

TEST_P(ScriptRun, PrintTakesTheLastRecognisedFlagAndWithoutOneIsV5) {
  const auto printer = [&](const char* flags, std::vector<std::string> env) {
    Forget("tvrtvnntty");
    if (flags != nullptr) Flags(flags);
    Run(dir.path(), AsQueue("KanduPrinttvnn"), {"1", "u", "t", "1", "o"}, std::move(env));
    const std::string calls = Calls("tvrtvnntty");
    const size_t at = calls.find("TavloPrinter=");
    return at == std::string::npos ? calls : calls.substr(at, calls.find('\n', at) - at);
  };
  // Without a flags file an inherited flConfig chooses nothing; then V5.
  EXPECT_EQ(printer(nullptr, {"flConfig=CUPS"}), "TavloPrinter=lp1");
  EXPECT_EQ(printer("", {}), "TavloPrinter=lp1");
  EXPECT_EQ(printer(" BSD  CUPS ", {"PRINTER=p"}), "TavloPrinter=p");  // CUPS
  EXPECT_EQ(printer(" LPD ", {"PRINTER=p"}), "TavloPrinter=lp1");     // no recognised word: V5
}

TEST_P(ScriptRun, DriverDrivesLprngAndBsdAlike) {
  const std::vector<std::string> args = {"-Plp1", "-d/sp/lp1", "-edfA1,dfA2", "-Zcopies=2,a4", "-njoe", "-hh"};
  for (const char* flags : {" LPRng ", " BSD "}) {
    Forget("driver");
    Flags(flags);
    EXPECT_EQ(Run(queue, app + "/v4DriverScript", args), 0) << flags;
    EXPECT_EQ(Calls("driver"), "cwd=" + app +
                                   "\narg=-dlp1\narg=-ocopies=2\narg=-oa4\narg=/sp/lp1/dfA1"
                                   "\narg=/sp/lp1/dfA2\nPATH=/usr/bin:/bin\nTavloFileSourceDir=" + queue +
                                   "\nstdin=\n") << flags;
  }
}

TEST_P(ScriptRun, DriverV5KeepsAGivenDisplay) {
  Flags(" V5 ");
  Run(dir.path(), AsQueue("v4DriverScript"), {"1", "u", "t", "1", ""}, {"DISPLAY=host:1"});
  EXPECT_NE(Calls("driver").find("\nDISPLAY=host:1\n"), std::string::npos);
}

TEST_P(ScriptRun, FilterBsdAndLprngPrintStandardInputThroughAJobFileTheyRemove) {
  const struct { const char* flags; std::vector<std::string> args, env; std::string jobs; } rows[] = {
      {" BSD ", {}, {}, spool + "/lp1/lp1."},
      {" LPRng ", {"-Plp1", "-f", "(stdin)"}, {"SPOOL_DIR=" + dir / "lpd"}, dir / "lpd/lp1."},
  };
  for (const auto& r : rows) {
    Forget("qmf");
    Flags(r.flags);
    EXPECT_EQ(Run(queue, app + "/KanduQMF", r.args, r.env, dir / "job"), 0) << r.flags;
    const std::string calls = Calls("qmf"), job = FirstArg(calls);
    EXPECT_EQ(job.substr(0, job.rfind('.') + 1), r.jobs);
    const std::string call = "cwd=" + queue + "\narg=" + job + "\ncontent=job data\nPATH=/usr/bin:/bin\nstdin=\n";
    EXPECT_EQ(calls, call + call + call);
    EXPECT_FALSE(pkgtest::Exists(job));
  }
}


}  // namespace
