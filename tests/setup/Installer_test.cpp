// Installer_test.cpp - the installer's command line (work-area bases and installation
// directory), the path rule, the distribution's list of disks, and the previous
// installation. The refusal of an unsafe path in each role is a whole-run case of the
// end-to-end suite.
#include "SetupFixture.h"

#include <utility>
#include <vector>

namespace {

using namespace setuptest;

TEST(CommandLine, ChoosesBaseAndInstallationDirectoryByPosition) {
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

// -v ends the run before later words are looked at; a relative word is checked as it
// will be used, below the current directory.
TEST(CommandLineDeathTest, VersionEndsTheRunFirstAndRelativeWordsAreCheckedWhole) {
  my_name = const_cast<char*>("setup");
  EXPECT_EXIT(Parse({"-v", "/a b"}), testing::ExitedWithCode(0), "^setup 4\\.10\\.05\n$");
  ScratchDir dir;
  const std::string unsafe = dir / "a b";
  ASSERT_EQ(mkdir(unsafe.c_str(), 0755), 0);
  EXPECT_EXIT(if (chdir(unsafe.c_str()) == 0) Parse({"work"}), testing::ExitedWithCode(2), "base '.*/a b/work'");
  EXPECT_EXIT(if (chdir(unsafe.c_str()) == 0) (Parse({"install", "inst"})), testing::ExitedWithCode(2),
              "unsafe installation directory '.*/a b/inst'");
}

TEST(PathSafety, AcceptsQuietCharactersOnly) {
  const std::string longest = "/" + std::string(SAFE_PATH_MAX - 1, 'a');
  std::vector<std::pair<std::string, std::string>> rows = {
      {"/usr", ""}, {"/opt/Kandu-2.1/x_y+z,w:v@host", ""}, {"relative/dir.d", ""}, {"/", ""}, {longest, ""},
      {"/tmp/a b", "it contains a blank"}, {"/tmp/a\tb", "it contains a tab"},
      {"/tmp/a\nb", "it contains a line feed"}, {"/tmp/a\rb", "it contains the control character 0x0d"},
      {"/tmp/a\x7f", "it contains the control character 0x7f"},
      {"", "it is empty"}, {longest + "a", "it is longer than 256 characters"},
  };
  for (const char c : std::string("\"$`\\';&|<>()*?[]{}~")) {
    rows.push_back({std::string("/opt/x") + c + "y", std::string("it contains the character ") + c});
  }
  for (const auto& [path, why] : rows) {
    char reason[128] = "unchanged";
    EXPECT_EQ(CheckSafePath(path.c_str(), reason, sizeof reason), why.empty() ? 1 : 0) << path;
    EXPECT_EQ(reason, why) << path;
  }
  EXPECT_EQ(CheckSafePath(nullptr, nullptr, 0), 0);
}

TEST(DisksList, ReadsEitherCaseWithinTheLineBuffer) {
  ScratchDir dist;
  const std::string exact = std::string(4095, 'a') + "\n", head = std::string(4090, 'x') + " ";  // 4091 bytes
  const struct { std::string disks, capitals, read; } rows[] = {
      {"disks pkg_tar.aa pkg_tar.ab\nend_of_list\n", "", "disks pkg_tar.aa pkg_tar.ab\nend_of_list\n"},
      {"", "disks pkg_tar.aa\tpkg_tar.ab\nend_of_list after\n", "DISKS PKG_TAR.AA\tPKG_TAR.AB\nend_of_list after\n"},
      {"a\n", "b\n", "a\n"},  // lower case wins
      {exact, "", exact},
      {head + "pkg_tar.aa end_of_list\n", "", head},  // a name cut by the limit is dropped
      {head + "abcde\nend_of_list\n", "", head + "abcde"},  // one that ends at the limit stays
      {"", "", "status 1: ERROR: can't open file, KanduInstall/disks\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.read.substr(0, 40));
    for (const auto& [name, text] : {std::pair{"disks", r.disks}, {"DISKS", r.capitals}}) {
      std::remove((dist / name).c_str());
      ASSERT_TRUE(text.empty() || WriteFile(dist / name, text));
    }
    const testutil::Child c = testutil::RunChild([&] {
      GetDisksData(dist.path().c_str());
      std::fputs(LineBuf, stdout);
    });
    EXPECT_EQ(c.Exited(0) ? c.out : "status " + std::to_string(WEXITSTATUS(c.status)) + ": " + c.err, r.read);
  }
}

TEST(StripToBaseName, ReducesToInstallationDirectory) {
  const struct { std::string in, out; } rows[] = {
      {"/opt/Kandu/tvnn", "/opt"}, {"/opt/Kandu/", "/opt"}, {"/opt/", "/opt"}, {"/", "/"},
      {"/data/tvnnold/x", "/data"}, {"/usr/../../opt/Kandu/tvnn", "/usr/../../opt"}, {"/a/kandu/TVNN", "/a/kandu/TVNN"},
  };
  for (auto r : rows) {
    EXPECT_EQ(StripToBaseName(r.in.data()), r.in.data());
    EXPECT_STREQ(r.in.c_str(), r.out.c_str());
  }
  EXPECT_EQ(StripToBaseName(nullptr), nullptr);
}

// Each row prepares /usr/Kandu/tvnn with shell commands (in /usr/Kandu, after the
// trees of earlier rows are gone) and looks for the installation from /opt/deep,
// where relative link texts lead nowhere. The removal of a link is a logged command
// (its dot shows).
TEST(PreviousInstallation, FollowsUsrKanduTvnn) {
  REQUIRE_SANDBOX();
  InitCommandLayer();
  const struct { std::string prep, found, left; } rows[] = {
      {"true", "(null)", "-"},
      {"mkdir tvnn", "/usr", "755/"},
      {"mkdir -p /opt/Kandu/tvnn && ln -s /opt/Kandu/tvnn tvnn", "/opt", "-> /opt/Kandu/tvnn"},
      {"mkdir -p /opt/Kandu/tvnn && ln -s ../../opt/Kandu/tvnn tvnn", "/usr/../../opt", "-> ../../opt/Kandu/tvnn"},
      {"mkdir -p /usr/other/Kandu/tvnn && ln -s ../other/Kandu/tvnn tvnn", "/usr/other", "-> ../other/Kandu/tvnn"},
      // A link that leads to no directory is removed; what it points at stays.
      {"ln -s /opt/none tvnn", ".(null)", "-"},
      {"mkdir -p /opt/Kandu && echo x >/opt/Kandu/file && ln -s /opt/Kandu/file tvnn", ".(null)", "-"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.prep);
    const std::string clean = "rm -rf /usr/Kandu /opt/Kandu /usr/other && mkdir -p /usr/Kandu /opt/deep";
    ASSERT_EQ(std::system((clean + " && cd /usr/Kandu && " + r.prep).c_str()), 0);
    EXPECT_EQ(testutil::RunChild([] {
                if (chdir("/opt/deep") == 0) std::fputs(testutil::Take(locatePreviousInstallation()).c_str(), stdout);
              }).out,
              r.found);
    EXPECT_EQ(State("/usr/Kandu/tvnn"), r.left);
  }
  EXPECT_EQ(State("/opt/Kandu/file"), "644 x\n");
}

}  // namespace
