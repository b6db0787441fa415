// CommandLine_test.cpp - the installer's command line: work-area bases and the
// installation directory by position, -v, and the bases a run made itself.
#include "SetupFixture.h"

namespace {

using namespace setuptest;

TEST(CommandLine, WordsChooseTheWorkAreaBaseAndTheInstallationDirectoryByPosition) {
  my_name = const_cast<char*>("setup");
  ScratchDir scratch;
  const std::string base = scratch.path(), area = scratch / "KanduInstall";
  ASSERT_EQ(mkdir((scratch / "work").c_str(), 0755), 0);
  ASSERT_EQ(chdir(base.c_str()), 0);  // relative words count from here
  const struct { std::vector<std::string> words; std::string workArea, installDir; } rows[] = {
      {{}, "/tmp/KanduInstall", "-"},
      {{"install"}, "/tmp/KanduInstall", "-"},  // install as the last word is ignored
      // install takes the next word, reduced to its installation directory.
      {{"install", "/opt/Kandu/tvnn"}, "/tmp/KanduInstall", "/opt"},
      {{base, "/opt"}, area, "/opt"},
      {{base, "install", "/opt"}, area, "/opt"},
      {{"install", "/opt", base}, area, "/opt"},
      {{base + "/"}, area, "-"},
      {{"/"}, "/KanduInstall", "-"},
      {{"work", "inst/Kandu/tvnn"}, base + "/work/KanduInstall", base + "/inst"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::PrintToString(r.words));
    Parse(r.words);
    EXPECT_EQ(std::string(pKanduInstallDir) + "|" + (pCmdLineInstallDir ? pCmdLineInstallDir : "-"),
              r.workArea + "|" + r.installDir);
    EXPECT_EQ(flCreatedTmpDir, 0);  // every base existed
  }
  removeCreatedWorkAreaBases();
  EXPECT_EQ(State(base + "/work"), "755/");  // a base that existed is never removed, even when empty
  // A missing base is made with its parents, which go with it when it is empty at the end.
  for (const bool keep : {false, true}) {
    Parse({scratch / "made/deeper"});
    EXPECT_EQ(flCreatedTmpDir, 1);
    ASSERT_TRUE(!keep || WriteFile(scratch / "made/deeper/keep", "x"));
    removeCreatedWorkAreaBases();
    EXPECT_EQ(State(scratch / "made"), keep ? "755/" : "-");
  }
  ASSERT_EQ(chdir("/"), 0);
}

TEST(CommandLineDeathTest, VersionEndsTheRunBeforeLaterWordsAreLookedAt) {
  my_name = const_cast<char*>("setup");
  EXPECT_EXIT(Parse({"-v", "/a b"}), testing::ExitedWithCode(0), "^setup 4\\.10\\.05\n$");
}

}  // namespace
