// PkgList_test.cpp - the package-list interpreter: every command and attribute,
// release conditions, the idempotent link, the safe sed edit, refused lines, with
// the exact command lines read back from the log.
#include "PkgTestUtil.h"

#include <gmock/gmock.h>

#include <cstdio>
#include <utility>
#include <vector>

#include <sys/utsname.h>

namespace {

using pkgtest::CmdLine;
using pkgtest::Exists;
using pkgtest::LinkText;
using pkgtest::Mode;
using testing::HasSubstr;
using testutil::ReadFile;
using testutil::ScratchDir;
using testutil::WriteFile;

constexpr int kChmod = 5, kCp = 9, kCpTree = 10, kLn = 17, kMv = 25, kRm = 29, kRmTree = 30, kSed = 40;

// A work area W with the package pkg, a product directory D and the log, all in
// the sandbox (the interpreter writes /tmp/setup.log and /tmp/setup.tmp).
class PkgList : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_SANDBOX();
    pkgtest::InitCommandLayer();
    w = dir / "W";
    pkg = w + "/pkg";
    d = dir / "D";
    ASSERT_EQ(std::system(("mkdir -p " + pkg + "/tree/sub " + d).c_str()), 0);
    ASSERT_TRUE(WriteFile(pkg + "/tool", "a c\n"));
    ASSERT_TRUE(WriteFile(pkg + "/tree/sub/f", "f\n"));
    pKanduInstallDir = SaveStr_(w.c_str());
    pAppDir = SaveStr_(d.c_str());
    pTargetInstallDir = SaveStr_(dir.path().c_str());
    pkgtest::ClearLog();
  }

  int Run(const std::string& list) {
    EXPECT_TRUE(WriteFile(pkg + "/pkg.list", list));
    return ProcessPkgList("pkg");
  }

  // The logged line of copying pkg/name into D.
  std::string Copy(const std::string& name) { return Line(kCp, pkg + "/" + name + " " + d); }
  static std::string Line(int index, const std::string& args) { return CmdLine(index, args) + "\n"; }

  ScratchDir dir;
  std::string w, pkg, d;
};

// ----- commands and attributes -----

// The sample list of e2e.pkglist_run checks c, dir, t, install, mode, owner, group, the
// first and later sed, newdir and bat in whole installations; these are the other cases.
// Each row runs in an empty product directory D (holding only inD), then the log and
// the files (paths from the scratch directory; "<absent>": nothing there) are compared.
TEST_F(PkgList, EachLineRunsItsCommandsThenItsAttributesOnTheProductFile) {
  const std::string absent = "<absent>", dest = dir / "opt/x", long600(600, 'n');
  using Files = std::vector<std::pair<std::string, std::string>>;
  using Modes = std::vector<std::pair<std::string, int>>;
  const struct {
    const char* what;
    std::string inD, list, log;
    Files files = {};
    Modes modes = {};
  } rows[] = {
      {"comments and empty lines run nothing", "", "# copy the tools\n\n   \n#\n# c tool\n", "", {{"D/tool", absent}}},
      {"a hash glued to a word copies the next word; a tab separates", "", "#copy the tools\nc\ttool x\n",
       Copy("the") + Copy("x"), {{"D/the", "x"}}},
      {"dirto copies elsewhere, its attributes work on the product copy", "",
       "dir tree\ndirto tree " + dest + " mode 700\n",
       Line(kCpTree, pkg + "/tree " + d) + Line(kCpTree, pkg + "/tree " + dest) + Line(kChmod, "700 " + d + "/tree"),
       {{"opt/x/sub/f", "f\n"}}, {{"D/tree", 0700}}},
      {"m and s without the file in place", "", "m name mode 700\ns name mode 700\n", "", {{"D/name", absent}}},
      {"m and s with the file in place", "name", "m name mode 700\ns name mode 750\n",
       Line(kChmod, "700 " + d + "/name") + Line(kChmod, "750 " + d + "/name"), {}, {{"D/name", 0750}}},
      {"checkps with nothing running goes on with the line", ",tvnothing,", "checkps ,tvnothing, mode 700\nc tool\n",
       Line(kChmod, "700 " + d + "/,tvnothing,") + Copy("tool")},
      {"an attribute without value and unknown attributes run nothing", "", "c tool mode\nc tool color red mode 700\n",
       Copy("tool") + Copy("tool") + Line(kChmod, "700 " + d + "/tool")},
      {"a continued line reads as one line", "", "c tool \\\n  mode 700\n",
       Copy("tool") + Line(kChmod, "700 " + d + "/tool")},
      {"a command lacking a word is skipped with a warning", "", "c\ndirto tree\nv\nv >=\ncheckps\nnewdir\nm  \nc tool\n",
       "WARNING: pkg.list: 'c' lacks its name, line skipped: c\n"
       "WARNING: pkg.list: 'dirto' lacks its destination, line skipped: dirto tree\n"
       "WARNING: pkg.list: 'v' lacks its operator, line skipped: v\n"
       "WARNING: pkg.list: 'v' lacks its release, line skipped: v >=\n"
       "WARNING: pkg.list: 'checkps' lacks its list of programs, line skipped: checkps\n"
       "WARNING: pkg.list: 'newdir' lacks its name, line skipped: newdir\n"
       "WARNING: pkg.list: 'm' lacks its name, line skipped: m  \n" + Copy("tool")},
      {"a line longer than the reader takes is skipped whole", "", "c tool mode 700 " + long600 + " mode 777\nc tool\n",
       "WARNING: pkg.list: line longer than 510 characters skipped: c tool mode 700 " + long600.substr(0, 44) +
           "...\n" + Copy("tool"),
       {}, {{"D/tool", 0644}}},
  };
  ASSERT_TRUE(WriteFile(pkg + "/the", "x"));
  ASSERT_TRUE(WriteFile(pkg + "/x", "x"));
  ASSERT_EQ(mkdir((dir / "opt").c_str(), 0755), 0);
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    ASSERT_EQ(std::system(("rm -rf " + d + " " + dest + " && mkdir " + d).c_str()), 0);
    if (!r.inD.empty()) {
      ASSERT_TRUE(WriteFile(d + "/" + r.inD, "n"));
    }
    pkgtest::ClearLog();
    EXPECT_EQ(Run(r.list), 0);
    EXPECT_EQ(pkgtest::LogText(), r.log);
    for (const auto& [name, content] : r.files) {
      const std::string path = name[0] == '/' ? name : dir / name;
      EXPECT_EQ(Exists(path) ? ReadFile(path) : absent, content) << path;
    }
    for (const auto& [name, mode] : r.modes) EXPECT_EQ(Mode(dir / name), mode) << name;
  }
}

TEST_F(PkgList, FailedCopyIsLoggedAndTheListGoesOn) {
  EXPECT_EQ(Run("c missing\nc tool\n"), 0);
  const std::string log = pkgtest::LogText();
  EXPECT_EQ(log.substr(0, Copy("missing").size()), Copy("missing"));
  EXPECT_THAT(log, HasSubstr("No such file or directory\nWARNING_MSG: command exited with status 1\n"));
  EXPECT_EQ(log.substr(log.size() - Copy("tool").size()), Copy("tool"));
  EXPECT_TRUE(Exists(d + "/tool"));
}

TEST_F(PkgList, QuittingAtCheckpsStopsTheList) {
  const pid_t child = pkgtest::SpawnShown(dir.path(), "tvfakeprog");
  ASSERT_GT(child, 0);
  ASSERT_TRUE(WriteFile(dir / "answer", "2\n"));
  ASSERT_NE(std::freopen((dir / "answer").c_str(), "r", stdin), nullptr);
  testing::internal::CaptureStdout();
  const int result = Run("c tool\ncheckps ,tvfakeprog,\nc tool mode 700\n");
  const std::string shown = testing::internal::GetCapturedStdout();
  std::freopen("/dev/null", "r", stdin);
  testutil::EndSpawned(child);
  EXPECT_EQ(result, 1);
  EXPECT_THAT(shown, HasSubstr("tvfakeprog ( "));
  EXPECT_EQ(pkgtest::LogText(), Copy("tool"));
}

TEST_F(PkgList, PairsAfterNameStillWorkOnTheOldNameAndAFailureThereEndsTheRun) {
  EXPECT_EXIT(Run("c tool name tool2 mode 755\n"), testing::ExitedWithCode(1), "");
  const std::string log = pkgtest::LogText();
  const std::string head = Copy("tool") + Line(kMv, d + "/tool " + d + "/tool2") +
                           Line(kChmod, "755 " + d + "/tool");
  EXPECT_EQ(log.substr(0, head.size()), head);
  EXPECT_THAT(log, HasSubstr("ERROR: command exited with status 1\n"));
  EXPECT_TRUE(Exists(d + "/tool2"));
  EXPECT_FALSE(Exists(d + "/tool"));
}

TEST_F(PkgList, LaterSedTakesOneWordAndTheModeOfTheFileIsKept) {
  EXPECT_EQ(Run("c tool mode 751 sed s/a/b/ mode 750\n"), 0);
  EXPECT_EQ(ReadFile(d + "/tool"), "b c\n");
  EXPECT_EQ(pkgtest::LogText(),
            Copy("tool") + Line(kChmod, "751 " + d + "/tool") +
                Line(kSed, "s/a/b/ " + d + "/tool > /tmp/setup.tmp 2>>/tmp/setup.log #") +
                Line(kChmod, "750 " + d + "/tool"));
  EXPECT_EQ(Run("c tool mode 751 sed s/b/x/\n"), 0);
  EXPECT_EQ(Mode(d + "/tool"), 0751);
}

TEST_F(PkgList, SedErrorsGoToTheLogAndEndTheRunWithTheFileUnchanged) {
  EXPECT_EXIT(Run("c tool sed -e s/a/b\n"), testing::ExitedWithCode(1), "");
  const std::string log = pkgtest::LogText();
  EXPECT_THAT(log, HasSubstr("/tool > /tmp/setup.tmp 2>>/tmp/setup.log #\n"));
  EXPECT_THAT(log, HasSubstr("sed: -e expression #1, char 5: unterminated `s' command\n"
                             "ERROR: command exited with status 1\n"));
  EXPECT_EQ(ReadFile(d + "/tool"), "a c\n");
  std::remove("/tmp/setup.tmp");  // left by the run that ended
}

TEST_F(PkgList, EditThatCannotBeCopiedBackEndsTheRunAndKeepsTheEditedText) {
  // A cp that fails to copy the edited text back, and copies everything else.
  const std::string bin = dir / "bin";
  ASSERT_EQ(mkdir(bin.c_str(), 0755), 0);
  ASSERT_TRUE(pkgtest::WriteTool(bin + "/cp", "#!/bin/sh\n[ \"$2\" = /tmp/setup.tmp ] && exit 1\nexec /bin/cp \"$@\"\n"));
  pkgtest::EntryAt fake(kCp, &bin);
  const std::string message = "the edited text of " + d + "/tool could not be copied back; it is kept in /tmp/setup.tmp";
  EXPECT_EXIT(Run("c tool sed s/a/b/\n"), testing::ExitedWithCode(1), "ERROR: " + message + "\n");
  EXPECT_THAT(pkgtest::LogText(), testing::EndsWith(" #\nERROR: " + message + "\n"));
  EXPECT_EQ(ReadFile(d + "/tool"), "a c\n");
  EXPECT_EQ(ReadFile("/tmp/setup.tmp"), "b c\n");
  std::remove("/tmp/setup.tmp");
}

TEST_F(PkgList, SedNeverWritesThroughWhatIsPlantedAtItsTemporaryFile) {
  ASSERT_TRUE(WriteFile(dir / "victim", "victim\n"));
  std::remove("/tmp/setup.tmp");
  ASSERT_EQ(symlink((dir / "victim").c_str(), "/tmp/setup.tmp"), 0);
  EXPECT_EQ(Run("c tool sed s/a/b/\n"), 0);
  EXPECT_EQ(ReadFile(dir / "victim"), "victim\n");
  EXPECT_EQ(ReadFile(d + "/tool"), "b c\n");
  EXPECT_EQ(pkgtest::LogText(),
            Copy("tool") + "removing /tmp/setup.tmp before the edit\n" +
                Line(kRmTree, "/tmp/setup.tmp") +
                Line(kSed, "s/a/b/ " + d + "/tool > /tmp/setup.tmp 2>>/tmp/setup.log #"));
  ASSERT_EQ(mkdir("/tmp/setup.tmp", 0777), 0);
  EXPECT_EQ(Run("c tool sed s/a/b/\n"), 0);
  EXPECT_EQ(ReadFile(d + "/tool"), "b c\n");
  EXPECT_FALSE(Exists("/tmp/setup.tmp"));
}

TEST_F(PkgList, LinkIsMadeOnceKeptOnTheNextRunAndReplacedWhenItPointsElsewhere) {
  const std::string at = dir / "tool-link";
  EXPECT_EQ(Run("c tool link " + at + "\n"), 0);
  EXPECT_EQ(pkgtest::LogText(), Copy("tool") + Line(kLn, "-s " + d + "/tool " + at));
  EXPECT_EQ(LinkText(at), d + "/tool");
  pkgtest::ClearLog();
  EXPECT_EQ(Run("c tool link " + at + "\n"), 0);
  EXPECT_EQ(pkgtest::LogText(), Copy("tool") + "link " + at + " -> " + d + "/tool is in place\n");
  ASSERT_EQ(unlink(at.c_str()), 0);
  pkgtest::ClearLog();
  ASSERT_EQ(symlink("/old/Kandu/tvnn/tool", at.c_str()), 0);
  EXPECT_EQ(Run("c tool link " + at + "\n"), 0);
  EXPECT_EQ(pkgtest::LogText(), Copy("tool") + "link " + at + " points elsewhere: replaced\n" +
                                    Line(kRm, at) + Line(kLn, "-s " + d + "/tool " + at));
  EXPECT_EQ(LinkText(at), d + "/tool");
}

TEST_F(PkgList, LinkIntoADirectoryStandsThereUnderTheLastComponent) {
  const std::string bin = dir / "bin";
  ASSERT_EQ(mkdir(bin.c_str(), 0755), 0);
  EXPECT_EQ(Run("dir tree link " + bin + "\n"), 0);
  EXPECT_EQ(LinkText(bin + "/tree"), d + "/tree");
  pkgtest::ClearLog();
  EXPECT_EQ(Run("dir tree link " + bin + "\ndir tree link " + bin + "/tree\n"), 0);
  EXPECT_EQ(pkgtest::LogText(), Line(kCpTree, pkg + "/tree " + d) + "link " + bin + "/tree -> " + d +
                                    "/tree is in place\n" + Line(kCpTree, pkg + "/tree " + d) +
                                    "link " + bin + "/tree -> " + d + "/tree is in place\n");
  EXPECT_FALSE(Exists(d + "/tree/tree"));
}

TEST_F(PkgList, LinkOverAnythingButALinkEndsTheRun) {
  const std::string at = dir / "taken";
  ASSERT_TRUE(WriteFile(at, "mine\n"));
  EXPECT_EXIT(Run("c tool link " + at + "\n"), testing::ExitedWithCode(1), "");
  EXPECT_EQ(ReadFile(at), "mine\n");
}

TEST_F(PkgList, BatReplacesALinkAtTheLauncherAndRefusesNamesThatWouldLeaveUsrBin) {
  ASSERT_TRUE(WriteFile(dir / "target", "target\n"));
  ASSERT_EQ(symlink((dir / "target").c_str(), "/usr/bin/tvfaketool"), 0);
  EXPECT_EQ(Run("c tool bat tvfaketool\n"), 0);
  const std::string launcher = ReadFile("/usr/bin/tvfaketool");
  const int type = GetFileType("/usr/bin/tvfaketool");
  std::remove("/usr/bin/tvfaketool");
  EXPECT_EQ(ReadFile(dir / "target"), "target\n");
  EXPECT_EQ(type, 3);
  EXPECT_THAT(launcher, HasSubstr("\nexec " + d + "/tool $*\n"));
  EXPECT_EQ(pkgtest::LogText(), Copy("tool") + "launcher /usr/bin/tvfaketool was a link: replaced\n" +
                                    Line(kRm, "/usr/bin/tvfaketool"));
  pkgtest::ClearLog();
  EXPECT_EQ(Run("c tool bat ../evil bat .hidden bat a/b mode 700\n"), 0);
  std::string expected = Copy("tool");
  for (const char* name : {"../evil", ".hidden", "a/b"}) {
    expected += std::string("WARNING: pkg.list: launcher name '") + name +
                "' refused, it would not stand in /usr/bin\n";
  }
  EXPECT_EQ(pkgtest::LogText(), expected + Line(kChmod, "700 " + d + "/tool"));
  EXPECT_FALSE(Exists("/usr/evil"));
  EXPECT_FALSE(Exists("/usr/bin/.hidden"));
}

// ----- release conditions -----

TEST_F(PkgList, ReleaseConditionsCompareByteWiseAndChain) {
  struct utsname host;
  ASSERT_EQ(uname(&host), 0);
  const std::string r = host.release;
  ASSERT_TRUE(r[0] >= '2' && r[0] <= '9') << "the byte-wise case needs a release from 2 to 9: " << r;
  for (const char* name : {"a", "b", "c", "d", "e", "f", "g", "h", "i"})
    ASSERT_TRUE(WriteFile(pkg + "/" + name, name));
  EXPECT_EQ(Run("v = " + r + " c a\nv >= " + r + " c b\nv <= " + r + " c c\nv < " + r +
                " c d\nv > " + r + " c e\nv ~ " + r + " c f\nv > 10 c g\nv >= " + r +
                "\nv >= " + r + " v <= " + r + " c h mode 700\nv >= " + r + " v < " + r +
                " c i\n"),
            0);
  EXPECT_EQ(pkgtest::LogText(), Copy("a") + Copy("b") + Copy("c") + Copy("g") + Copy("h") +
                                    Line(kChmod, "700 " + d + "/h"));
}

// ----- lines that can't be carried out -----

TEST_F(PkgList, CommandLineTooLongForTheRunnerEndsTheRunWithNothingRun) {
  pAppDir = SaveStr_((d + "/" + std::string(8300, 'x')).c_str());
  EXPECT_EXIT(Run("c tool\n"), testing::ExitedWithCode(1),
              "ERROR: command line too long, not run: cp " + pkg + "/tool");
  EXPECT_THAT(pkgtest::LogText(), testing::StartsWith("ERROR: command line too long, not run: cp "));
  EXPECT_FALSE(Exists(d + "/tool"));
}

TEST_F(PkgList, DoubleQuoteInACommandLineEndsTheRunWithNothingRunOrMade) {
  const std::string refused = "ERROR: a double quote cannot stand in a command line, not run: ";
  EXPECT_EXIT(Run("c tool\nc tool sed -e \"s/a/b/\"\n"), testing::ExitedWithCode(1), refused + "sed -e \"s/a/b/\" ");
  EXPECT_FALSE(Exists("/tmp/setup.tmp"));
  EXPECT_EQ(pkgtest::LogText(), Copy("tool") + Copy("tool") + refused + "sed -e \"s/a/b/\" " + d +
                                    "/tool > /tmp/setup.tmp 2>>/tmp/setup.log #\n");
  EXPECT_EQ(ReadFile(d + "/tool"), "a c\n");
  pkgtest::ClearLog();
  EXPECT_EXIT(Run("newdir a\"b mode 777\n"), testing::ExitedWithCode(1), refused + "mkdir " + d + "/a\"b");
  EXPECT_EQ(pkgtest::LogText(), refused + "mkdir " + d + "/a\"b\n");
  EXPECT_FALSE(Exists(d + "/a"));
}

TEST_F(PkgList, ListThatCannotBeOpenedEndsTheProgramWithStatus0) {
  EXPECT_EXIT(ProcessPkgList("nothing"), testing::ExitedWithCode(0),
              "ERROR: can't open file, " + w + "/nothing/pkg.list");
  EXPECT_EQ(pkgtest::LogText(), "ERROR: can't open file, " + w + "/nothing/pkg.list\n");
}

}  // namespace
