// PkgList_test.cpp - the package-list interpreter: every command and attribute, release
// conditions, the idempotent link, the safe sed edit and launcher, lines it skips and
// lines that end the run, read back from the log and the files.
#include "SetupFixture.h"

#include <functional>

#include <sys/utsname.h>

namespace {

using namespace setuptest;

// The work area with the package pkg (@W) and the product directory @D, in the
// scratch directory @S of the sandbox (the interpreter writes /tmp/setup.log and
// /tmp/setup.tmp). Each list runs in a child, with @D and the link places emptied
// first. The operator's answers at checkps and a failed copy-back are whole-run cases.
TEST(PkgList, CarriesOutSkipsOrEndsOnEachLine) {
  REQUIRE_SANDBOX();
  InitCommandLayer();
  ScratchDir dir;
  const std::string pkg = dir / "W/pkg", d = dir / "D", tmp = "/tmp/setup.tmp";
  ASSERT_EQ(std::system(("mkdir -p " + pkg + "/tree/sub").c_str()), 0);
  for (const char* name : {"tool", "the", "x"}) ASSERT_TRUE(WriteFile(pkg + "/" + name, "a c\n"));
  ASSERT_TRUE(WriteFile(pkg + "/tree/sub/f", "f\n"));
  pKanduInstallDir = SaveStr_((dir / "W").c_str());
  pAppDir = SaveStr_(d.c_str());
  pTargetInstallDir = SaveStr_(dir.path().c_str());
  struct utsname host;
  ASSERT_EQ(uname(&host), 0);
  const std::string r = host.release;
  ASSERT_TRUE(r[0] >= '2' && r[0] <= '9') << "the byte-wise case needs a release from 2 to 9: " << r;
  ASSERT_TRUE(WriteFile(dir / "victim", "victim\n"));
  const std::string cp = "$ cp -p @W/tool @D\n", sed = " @D/tool > /tmp/setup.tmp 2>>/tmp/setup.log #\n";
  const std::string warn = "WARNING: pkg.list: ", failed = "ERROR: command exited with status 1\n", n600(600, 'n');
  const std::string planted =
      cp + "removing /tmp/setup.tmp before the edit\n$ rm -rf /tmp/setup.tmp\n$ sed  s/a/b/" + sed;
  // What a row plants runs in the child, before the list.
  const auto plantLink = [](const std::string& target, const std::string& link) {
    return [=] { std::remove(link.c_str()), symlink(target.c_str(), link.c_str()); };
  };
  using Files = std::vector<std::pair<std::string, std::string>>;  // a path and its State (a pattern)
  const struct { const char* what; std::function<void()> prep; std::string list, result, log; Files files = {}; }
      rows[] = {
      {"comments and empty lines run nothing; a hash glued to a word copies the next word; a tab joins words", {},
       "# copy the tools\n\n   \n#\n# c tool\n#copy the tools\nc\ttool x\n", "0",
       "$ cp -p @W/the @D\n$ cp -p @W/x @D\n", {{"@D/the", "644 a c\n"}, {"@D/tool", "-"}}},
      {"c, owner, group, mode, name", {}, "c tool owner root group root mode 700 name tool2\n", "0",
       cp + "$ chown  -R root @D/tool\n$ chgrp  -R root @D/tool\n$ chmod  700 @D/tool\n$ mv -f @D/tool @D/tool2\n",
       {{"@D/tool2", "700 a c\n"}, {"@D/tool", "-"}}},
      {"dir and dirto; the attributes work on the product copy", {}, "dir tree\ndirto tree @S/opt/x mode 700\n", "0",
       "$ cp -pr @W/tree @D\n$ cp -pr @W/tree @S/opt/x\n$ chmod  700 @D/tree\n",
       {{"@S/opt/x/sub/f", "644 f\n"}, {"@D/tree", "700/"}}},
      {"m and s work on a file in place, else skip", [&] { WriteFile(d + "/name", "n"); },
       "m other mode 700\ns name mode 750\ns other mode 700\nm name mode 700\n", "0",
       "$ chmod  750 @D/name\n$ chmod  700 @D/name\n", {{"@D/name", "700 n"}, {"@D/other", "-"}}},
      {"t touches; newdir makes the directory once", {}, "t new\nnewdir etc mode 770\nnewdir etc mode 777\n", "0",
       "$ touch  @D/new\n$ mkdir -p @D/etc\n$ chmod  775 @D/etc\n$ chmod  770 @D/etc\n",
       {{"@D/etc", "770/"}, {"@D/new", "644 "}}},
      {"checkps with nothing running goes on", [&] { WriteFile(d + "/,tvnothing,", ""); },
       "checkps ,tvnothing, mode 700\nc tool\n", "0", "$ chmod  700 @D/,tvnothing,\n" + cp},
      {"an attribute without value or unknown runs nothing; a continued line reads as one", {},
       "c tool mode\nc tool color red \\\n  mode 700\n", "0", cp + cp + "$ chmod  700 @D/tool\n"},
      {"a command lacking a word is skipped", {}, "c\ndirto tree\nv\nv >=\ncheckps\nnewdir\nm  \nc tool\n", "0",
       warn + "'c' lacks its name, line skipped: c\n*'dirto' lacks its destination*'v' lacks its operator*"
              "'v' lacks its release*'checkps' lacks*'newdir' lacks*'m' lacks its name, line skipped: m  \n" + cp},
      {"a line longer than the reader takes is skipped whole", {}, "c tool mode 700 " + n600 + " mode 777\nc tool\n",
       "0",
       warn + "line longer than 510 characters skipped: c tool mode 700 " + n600.substr(0, 44) + "...\n" + cp,
       {{"@D/tool", "644 a c\n"}}},
      {"bytes outside ASCII and controls in a name reach the commands as they are", {}, "c qm\001\377f mode 755\n",
       "exit 1", "$ cp -p @W/qm\001\377f @D\n*\n$ chmod  755 @D/qm\001\377f\n*\n" + failed},
      {"release conditions compare byte-wise and chain", {},
       "v = @R c tool\nv >= @R c the\nv <= @R c x\nv < @R c no\nv > @R c no\nv ~ @R c no\nv > 10 c tool\nv >= @R\n"
       "v >= @R v <= @R c x mode 700\nv >= @R v < @R c no\n",
       "0", cp + "$ cp -p @W/the @D\n$ cp -p @W/x @D\n" + cp + "$ cp -p @W/x @D\n$ chmod  700 @D/x\n"},
      {"the first sed takes the rest of the line; the file keeps its mode", {}, "c tool sed -e s/a/b/ -e s/c/d/\n", "0",
       cp + "$ sed  -e s/a/b/ -e s/c/d/" + sed, {{"@D/tool", "644 b d\n"}, {tmp, "-"}}},
      {"a later sed takes one word", {}, "c tool mode 751 sed s/a/b/ group root\n", "0",
       cp + "$ chmod  751 @D/tool\n$ sed  s/a/b/" + sed + "$ chgrp  -R root @D/tool\n", {{"@D/tool", "751 b c\n"}}},
      {"a link planted at the sed file is removed, never written through", plantLink(dir / "victim", tmp),
       "c tool sed s/a/b/\n", "0", planted, {{"@S/victim", "644 victim\n"}, {"@D/tool", "644 b c\n"}, {tmp, "-"}}},
      {"so is a fifo", [&] { mkfifo(tmp.c_str(), 0666); }, "c tool sed s/a/b/\n", "0", planted,
       {{"@D/tool", "644 b c\n"}, {tmp, "-"}}},
      {"sed errors end the run with the file unchanged", {}, "c tool sed -e s/a/b\n", "exit 1",
       cp + "$ sed  -e s/a/b" + sed + "*unterminated `s' command\n" + failed, {{"@D/tool", "644 a c\n"}}},
      {"a link is made", {}, "c tool link @S/at\n", "0", cp + "$ ln  -s @D/tool @S/at\n", {{"@S/at", "-> @D/tool"}}},
      {"a link in place is kept", plantLink(d + "/tool", dir / "at"), "c tool link @S/at\n", "0",
       cp + "link @S/at -> @D/tool is in place\n", {{"@S/at", "-> @D/tool"}}},
      {"a link pointing elsewhere is replaced", plantLink("/old/Kandu/tvnn/tool", dir / "at"), "c tool link @S/at\n",
       "0", cp + "link @S/at points elsewhere: replaced\n$ rm -f @S/at\n$ ln  -s @D/tool @S/at\n",
       {{"@S/at", "-> @D/tool"}}},
      {"a link into a directory stands there under the last component", plantLink(d + "/tree", dir / "opt/tree"),
       "dir tree link @S/opt\ndir tree link @S/opt/tree\n", "0",
       "$ cp -pr @W/tree @D\nlink @S/opt/tree -> @D/tree is in place\n$ cp -pr @W/tree @D\n"
       "link @S/opt/tree -> @D/tree is in place\n",
       {{"@D/tree/tree", "-"}}},
      {"a link over anything but a link ends the run", [&] { WriteFile(dir / "at", "mine\n"); }, "c tool link @S/at\n",
       "exit 1", cp + "$ ln  -s @D/tool @S/at\n*" + failed, {{"@S/at", "644 mine\n"}}},
      {"bat writes the launcher", {}, "c tool bat tvfake\n", "0", cp,
       {{"/usr/bin/tvfake", "755 #!/bin/sh\n*\ncd @D\nexec @D/tool \"$@\"\n"}}},
      {"bat replaces a link, never writes through it, refuses names outside /usr/bin",
       plantLink(dir / "victim", "/usr/bin/tvfake2"), "c tool bat tvfake2 bat ../evil bat .hidden bat a/b mode 700\n",
       "0",
       cp + "launcher /usr/bin/tvfake2 was a link: replaced\n$ rm -f /usr/bin/tvfake2\n" + warn +
           "launcher name '../evil' refused*'.hidden' refused*'a/b' refused, it would not stand in /usr/bin\n"
           "$ chmod  700 @D/tool\n",
       {{"@S/victim", "644 victim\n"}, {"/usr/bin/tvfake2", "755 #!/bin/sh*"}, {"/usr/evil", "-"},
        {"/usr/bin/.hidden", "-"}}},
      {"a fifo at the launcher is replaced", [] { std::remove("/usr/bin/tvfake3"), mkfifo("/usr/bin/tvfake3", 0666); },
       "c tool bat tvfake3\n", "0",
       cp + "launcher /usr/bin/tvfake3 was not a regular file: replaced\n$ rm -f /usr/bin/tvfake3\n",
       {{"/usr/bin/tvfake3", "755 #!/bin/sh*"}}},
      {"a command line too long for the runner ends the run with nothing run",
       [&] { pAppDir = SaveStr_((d + "/" + std::string(8300, 'x')).c_str()); }, "c tool\n", "exit 1",
       "ERROR: command line too long, not run: cp @W/tool @D/xxx*\n", {{"@D/tool", "-"}}},
  };
  const std::vector<std::pair<std::string, std::string>> names{{"@S", dir.path()}, {"@D", d}, {"@W", pkg}, {"@R", r}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string places = tmp + " " + d + " " + dir / "at " + dir / "opt";
    std::system(("rm -rf " + places + " && mkdir " + d + " " + dir / "opt").c_str());
    unlink(kLog);
    ASSERT_TRUE(WriteFile(pkg + "/pkg.list", Expand(row.list, names)));
    const testutil::Child c = testutil::RunChild([&] {
      if (row.prep) row.prep();
      return ProcessPkgList("pkg");
    });
    const int exit = WEXITSTATUS(c.status);
    EXPECT_EQ(c.value != -9999 ? std::to_string(c.value) : "exit " + std::to_string(exit), row.result);
    const std::string log = ReadFile(kLog), expected = Expand(row.log, names);
    EXPECT_TRUE(Matches(expected, log)) << "log:\n" << log << "expected:\n" << expected;
    for (const auto& [path, state] : row.files) {
      const std::string got = State(Expand(path, names));
      EXPECT_TRUE(Matches(Expand(state, names), got)) << path << ": " << got;
    }
  }
}

}  // namespace
