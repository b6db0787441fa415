// PkgList_test.cpp - the package-list interpreter: every command and attribute, release
// conditions, the idempotent link, the safe sed edit and launcher, lines it skips and
// lines that end the run, read back from the log and the files.
#include "SetupFixture.h"

#include <functional>
#include <utility>
#include <vector>

#include <sys/utsname.h>

namespace {

using namespace setuptest;

constexpr int kChgrp = 4, kChmod = 5, kChown = 6, kCp = 9, kCpTree = 10, kLn = 17, kMv = 25, kMkdir = 26, kRm = 29,
              kRmTree = 30, kTouch = 35, kSed = 40, kPs = 55;

// The work area W with the package pkg and the product directory D, in the sandbox
// (the interpreter writes /tmp/setup.log and /tmp/setup.tmp). Each list runs in a
// child, with D and the link places emptied first and the operator's answer "2" on
// standard input.
class PkgList : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_SANDBOX();
    InitCommandLayer();
    ASSERT_EQ(std::system(("mkdir -p " + pkg + "/tree/sub " + dir / "bin").c_str()), 0);
    for (const char* name : {"tool", "the", "x"}) ASSERT_TRUE(WriteFile(pkg + "/" + name, "a c\n"));
    ASSERT_TRUE(WriteFile(pkg + "/tree/sub/f", "f\n"));
    // ps shows tvfake running; cp fails to copy the edited text back.
    ASSERT_TRUE(testutil::WriteTool(dir / "bin/ps", "#!/bin/sh\necho '  42 TS 19 ? 00:00:00 tvfake'\n"));
    ASSERT_TRUE(WriteFile(dir / "bin/quit", "2\n"));  // the answer at the running-programs menu
    ASSERT_TRUE(testutil::WriteTool(dir / "bin/cp", "#!/bin/sh\n[ \"$2\" = /tmp/setup.tmp ] && exit 1\nexec /bin/cp \"$@\"\n"));
    pKanduInstallDir = SaveStr_(w.c_str());
    pAppDir = SaveStr_(d.c_str());
    pTargetInstallDir = SaveStr_(dir.path().c_str());
  }
  testutil::Child Run(const std::function<void()>& prep, const std::string& list) {
    std::system(("rm -rf /tmp/setup.tmp " + d + " " + dir / "opt " + dir / "at && mkdir " + d + " " + dir / "opt").c_str());
    unlink(kLog);
    EXPECT_TRUE(WriteFile(pkg + "/pkg.list", list));
    return testutil::RunChild([&] {
      std::freopen((dir / "bin/quit").c_str(), "r", stdin);
      if (prep) prep();
      return ProcessPkgList("pkg");
    });
  }
  // The logged line of copying pkg/name into D.
  std::string Copy(const std::string& name) { return CmdLine(kCp, pkg + "/" + name + " " + d); }

  ScratchDir dir;
  const std::string w = dir / "W", pkg = w + "/pkg", d = dir / "D";
};

TEST_F(PkgList, CarriesOutEachLineOrSkipsItOrEndsTheRun) {
  struct utsname host;
  ASSERT_EQ(uname(&host), 0);
  const std::string r = host.release, at = dir / "at", opt = dir / "opt", tmp = "/tmp/setup.tmp", bin = dir / "bin";
  ASSERT_TRUE(r[0] >= '2' && r[0] <= '9') << "the byte-wise case needs a release from 2 to 9: " << r;
  const std::string sed = " " + d + "/tool > /tmp/setup.tmp 2>>/tmp/setup.log #", warn = "WARNING: pkg.list: ";
  const std::string failed = "ERROR: command exited with status 1\n", long600(600, 'n'), victim = dir / "victim";
  const std::string quote = "ERROR: a double quote cannot stand in a command line, not run: ";
  const std::string planted = Copy("tool") + "removing /tmp/setup.tmp before the edit\n" + CmdLine(kRmTree, tmp) +
                              CmdLine(kSed, "s/a/b/" + sed);
  ASSERT_TRUE(WriteFile(victim, "victim\n"));
  // What a row plants runs in the child, before the list.
  const auto plantLink = [](const std::string& target, const std::string& link) {
    return [=] { std::remove(link.c_str()), symlink(target.c_str(), link.c_str()); };
  };
  using Files = std::vector<std::pair<std::string, std::string>>;  // path (in the scratch directory) and its State
  const struct { const char* what; std::function<void()> prep; std::string list; int code, value; std::string log; Files files = {}; }
      rows[] = {
          {"comments and empty lines run nothing", {}, "# copy the tools\n\n   \n#\n# c tool\n", 0, 0, "",
           {{"D/tool", "-"}}},
          {"a hash glued to a word copies the next word; a tab joins words", {}, "#copy the tools\nc\ttool x\n", 0, 0,
           Copy("the") + Copy("x"), {{"D/the", "644 a c\n"}}},
          {"c with owner, group, mode, then name", {}, "c tool owner root group root mode 700 name tool2\n", 0, 0,
           Copy("tool") + CmdLine(kChown, "-R root " + d + "/tool") + CmdLine(kChgrp, "-R root " + d + "/tool") +
               CmdLine(kChmod, "700 " + d + "/tool") + CmdLine(kMv, d + "/tool " + d + "/tool2"),
           {{"D/tool2", "700 a c\n"}, {"D/tool", "-"}}},
          {"dir and dirto; the attributes work on the product copy", {}, "dir tree\ndirto tree " + opt + "/x mode 700\n",
           0, 0, CmdLine(kCpTree, pkg + "/tree " + d) + CmdLine(kCpTree, pkg + "/tree " + opt + "/x") +
               CmdLine(kChmod, "700 " + d + "/tree"),
           {{"opt/x/sub/f", "644 f\n"}, {"D/tree", "700/"}}},
          {"t touches", {}, "t new\n", 0, 0, CmdLine(kTouch, d + "/new"), {{"D/new", "644 "}}},
          {"m and s skip a file not in place", {}, "m name mode 700\ns name mode 700\n", 0, 0, "", {{"D/name", "-"}}},
          {"m and s with the file in place", [&] { WriteFile(d + "/name", "n"); }, "m name mode 700\ns name mode 750\n", 0,
           0, CmdLine(kChmod, "700 " + d + "/name") + CmdLine(kChmod, "750 " + d + "/name"), {{"D/name", "750 n"}}},
          {"newdir makes the directory once", {}, "newdir etc mode 770\nnewdir etc mode 777\n", 0, 0,
           CmdLine(kMkdir, d + "/etc") + CmdLine(kChmod, "775 " + d + "/etc") + CmdLine(kChmod, "770 " + d + "/etc"),
           {{"D/etc", "770/"}}},
          {"checkps with nothing running goes on", [&] { WriteFile(d + "/,tvnothing,", ""); }, "checkps ,tvnothing, mode 700\nc tool\n", 0, 0,
           CmdLine(kChmod, "700 " + d + "/,tvnothing,") + Copy("tool")},
          {"quitting at checkps stops the list", [&] { ComList[kPs].pPath = SaveStr_(bin.c_str()); },
           "c tool\ncheckps ,tvfake,\nc tool mode 700\n", 0, 1, Copy("tool")},
          {"so does the end of input there", [&] { ComList[kPs].pPath = SaveStr_(bin.c_str()), std::freopen("/dev/null", "r", stdin); },
           "c tool\ncheckps ,tvfake,\nc tool mode 700\n", 0, 1,
           Copy("tool") + "end of input at the running-programs menu: quitting the installation\n"},
          {"an attribute without value or unknown runs nothing", {}, "c tool mode\nc tool color red mode 700\n", 0, 0,
           Copy("tool") + Copy("tool") + CmdLine(kChmod, "700 " + d + "/tool")},
          {"a continued line reads as one", {}, "c tool \\\n  mode 700\n", 0, 0,
           Copy("tool") + CmdLine(kChmod, "700 " + d + "/tool")},
          {"a command lacking a word is skipped", {}, "c\ndirto tree\nv\nv >=\ncheckps\nnewdir\nm  \nc tool\n", 0, 0,
           warn + "'c' lacks its name, line skipped: c\n" + warn +
               "'dirto' lacks its destination, line skipped: dirto tree\n" + warn +
               "'v' lacks its operator, line skipped: v\n" + warn + "'v' lacks its release, line skipped: v >=\n" +
               warn + "'checkps' lacks its list of programs, line skipped: checkps\n" + warn +
               "'newdir' lacks its name, line skipped: newdir\n" + warn + "'m' lacks its name, line skipped: m  \n" +
               Copy("tool")},
          {"a line longer than the reader takes is skipped whole", {}, "c tool mode 700 " + long600 + " mode 777\nc tool\n",
           0, 0, warn + "line longer than 510 characters skipped: c tool mode 700 " + long600.substr(0, 44) + "...\n" +
               Copy("tool"),
           {{"D/tool", "644 a c\n"}}},
          {"a failed copy is logged and the list goes on", {}, "c missing\nc tool\n", 0, 0,
           Copy("missing") + "*\nWARNING_MSG: command exited with status 1\n" + Copy("tool"), {{"D/tool", "644 a c\n"}}},
          {"release conditions compare byte-wise and chain", {},
           "v = " + r + " c tool\nv >= " + r + " c the\nv <= " + r + " c x\nv < " + r + " c no\nv > " + r + " c no\nv ~ " +
               r + " c no\nv > 10 c tool\nv >= " + r + "\nv >= " + r + " v <= " + r + " c x mode 700\nv >= " + r +
               " v < " + r + " c no\n",
           0, 0, Copy("tool") + Copy("the") + Copy("x") + Copy("tool") + Copy("x") + CmdLine(kChmod, "700 " + d + "/x")},
          {"the first sed takes the rest of the line; the file keeps its mode", {}, "c tool sed -e s/a/b/ -e s/c/d/\n",
           0, 0, Copy("tool") + CmdLine(kSed, "-e s/a/b/ -e s/c/d/" + sed), {{"D/tool", "644 b d\n"}, {tmp, "-"}}},
          {"a later sed takes one word", {}, "c tool mode 751 sed s/a/b/ group root\n", 0, 0,
           Copy("tool") + CmdLine(kChmod, "751 " + d + "/tool") + CmdLine(kSed, "s/a/b/" + sed) +
               CmdLine(kChgrp, "-R root " + d + "/tool"),
           {{"D/tool", "751 b c\n"}}},
          {"a link planted at the sed file is removed, never written through", plantLink(victim, tmp),
           "c tool sed s/a/b/\n", 0, 0, planted, {{"victim", "644 victim\n"}, {"D/tool", "644 b c\n"}, {tmp, "-"}}},
          {"so is a fifo", [&] { mkfifo(tmp.c_str(), 0666); }, "c tool sed s/a/b/\n", 0, 0, planted,
           {{"D/tool", "644 b c\n"}, {tmp, "-"}}},
          {"sed errors end the run with the file unchanged", {}, "c tool sed -e s/a/b\n", 1, -9999,
           Copy("tool") + CmdLine(kSed, "-e s/a/b" + sed) + "*unterminated `s' command\n" + failed,
           {{"D/tool", "644 a c\n"}}},
          {"an edit not copied back ends the run and stays in /tmp", [&] { ComList[kCp].pPath = SaveStr_(bin.c_str()); },
           "c tool sed s/a/b/\n", 1, -9999,
           "*" + CmdLine(kSed, "s/a/b/" + sed) + "ERROR: the edited text of " + d +
               "/tool could not be copied back; it is kept in /tmp/setup.tmp\n",
           {{"D/tool", "644 a c\n"}, {tmp, "644 b c\n"}}},
          {"a link is made", {}, "c tool link " + at + "\n", 0, 0, Copy("tool") + CmdLine(kLn, "-s " + d + "/tool " + at),
           {{"at", "-> " + d + "/tool"}}},
          {"a link in place is kept", plantLink(d + "/tool", at), "c tool link " + at + "\n", 0, 0,
           Copy("tool") + "link " + at + " -> " + d + "/tool is in place\n", {{"at", "-> " + d + "/tool"}}},
          {"a link pointing elsewhere is replaced", plantLink("/old/Kandu/tvnn/tool", at), "c tool link " + at + "\n", 0,
           0, Copy("tool") + "link " + at + " points elsewhere: replaced\n" + CmdLine(kRm, at) +
               CmdLine(kLn, "-s " + d + "/tool " + at),
           {{"at", "-> " + d + "/tool"}}},
          {"a link into a directory stands there under the last component", plantLink(d + "/tree", opt + "/tree"),
           "dir tree link " + opt + "\ndir tree link " + opt + "/tree\n", 0, 0,
           CmdLine(kCpTree, pkg + "/tree " + d) + "link " + opt + "/tree -> " + d + "/tree is in place\n" +
               CmdLine(kCpTree, pkg + "/tree " + d) + "link " + opt + "/tree -> " + d + "/tree is in place\n",
           {{"D/tree/tree", "-"}}},
          {"a link over anything but a link ends the run", [&] { WriteFile(at, "mine\n"); }, "c tool link " + at + "\n", 1,
           -9999, Copy("tool") + CmdLine(kLn, "-s " + d + "/tool " + at) + "*" + failed, {{"at", "644 mine\n"}}},
          {"bat writes the launcher", {}, "c tool bat tvfake\n", 0, 0, Copy("tool"),
           {{"/usr/bin/tvfake", "755 #!/bin/sh\n*\ncd " + d + "\nexec " + d + "/tool $*\n"}}},
          {"bat replaces a link, never writes through it, refuses names outside /usr/bin",
           plantLink(victim, "/usr/bin/tvfake2"), "c tool bat tvfake2 bat ../evil bat .hidden bat a/b mode 700\n", 0, 0,
           Copy("tool") + "launcher /usr/bin/tvfake2 was a link: replaced\n" + CmdLine(kRm, "/usr/bin/tvfake2") + warn +
               "launcher name '../evil' refused, it would not stand in /usr/bin\n" + warn +
               "launcher name '.hidden' refused, it would not stand in /usr/bin\n" + warn +
               "launcher name 'a/b' refused, it would not stand in /usr/bin\n" + CmdLine(kChmod, "700 " + d + "/tool"),
           {{"victim", "644 victim\n"}, {"/usr/bin/tvfake2", "755 #!/bin/sh*"}, {"/usr/evil", "-"}, {"/usr/bin/.hidden", "-"}}},
          {"a fifo at the launcher is replaced", [&] { std::remove("/usr/bin/tvfake3"), mkfifo("/usr/bin/tvfake3", 0666); },
           "c tool bat tvfake3\n", 0, 0, Copy("tool") + "launcher /usr/bin/tvfake3 was not a regular file: replaced\n" + CmdLine(kRm, "/usr/bin/tvfake3"),
           {{"/usr/bin/tvfake3", "755 #!/bin/sh*"}}},
          {"a double quote in a command line ends the run with nothing run", {}, "c tool\nc tool sed -e \"s/a/b/\"\n", 1,
           -9999, Copy("tool") + Copy("tool") + quote + "sed -e \"s/a/b/\"" + sed + "\n", {{"D/tool", "644 a c\n"}, {tmp, "-"}}},
          {"or made", {}, "newdir a\"b mode 777\n", 1, -9999, quote + "mkdir " + d + "/a\"b\n", {{"D/a", "-"}}},
          {"a command line too long for the runner ends the run with nothing run",
           [&] { pAppDir = SaveStr_((d + "/" + std::string(8300, 'x')).c_str()); }, "c tool\n", 1, -9999,
           "ERROR: command line too long, not run: cp " + pkg + "/tool " + d + "/xxx*\n", {{"D/tool", "-"}}},
          {"a list that cannot be opened ends the program", [&] { pKanduInstallDir = SaveStr_("/none"); }, "", 0, -9999,
           "ERROR: can't open file, /none/pkg/pkg.list\n"},
      };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const testutil::Child c = Run(row.prep, row.list);
    EXPECT_TRUE(c.Exited(row.code));
    EXPECT_EQ(c.value, row.value);
    const std::string log = ReadFile(kLog);
    EXPECT_TRUE(Matches(row.log, log)) << "log:\n" << log << "expected:\n" << row.log;
    for (const auto& [name, state] : row.files) {
      const std::string got = State(name[0] == '/' ? name : dir / name);
      EXPECT_TRUE(Matches(state, got)) << name << ": " << got;
    }
  }
}

}  // namespace
