// PathSafety_test.cpp - which paths may stand in the installer's command lines, and
// the refusal of an unsafe one in every role it can come from.
#include "SetupFixture.h"

#include <functional>

namespace {

using namespace setuptest;

// The reason CheckSafePath gives, "" when it accepts the path.
std::string Reason(const std::string& path) {
  char reason[128] = "unchanged";
  const int safe = CheckSafePath(path.c_str(), reason, sizeof reason);
  EXPECT_EQ(safe, reason[0] == '\0' ? 1 : 0) << path;
  return reason;
}

TEST(PathSafety, AcceptsQuietCharactersUpTo256AndRefusesBlanksControlsShellCharactersAndEmptyPaths) {
  const std::string longest = "/" + std::string(SAFE_PATH_MAX - 1, 'a');
  const struct { std::string path, reason; } rows[] = {
      {"/usr", ""}, {"/opt/Kandu-2.1/x_y+z,w:v@host", ""}, {"relative/dir.d", ""}, {"/", ""}, {longest, ""},
      {"/tmp/a b", "it contains a blank"}, {"/tmp/a\tb", "it contains a tab"},
      {"/tmp/a\nb", "it contains a line feed"}, {"/tmp/a\rb", "it contains the control character 0x0d"},
      {"/tmp/a\x7f", "it contains the control character 0x7f"},
      {"", "it is empty"}, {longest + "a", "it is longer than 256 characters"},
  };
  for (const auto& r : rows) EXPECT_EQ(Reason(r.path), r.reason) << r.path;
  for (const char c : std::string("\"$`\\';&|<>()*?[]{}~"))
    EXPECT_EQ(Reason(std::string("/opt/x") + c + "y"), std::string("it contains the character ") + c);
  EXPECT_EQ(CheckSafePath(nullptr, nullptr, 0), 0);
}

// Each role ends the run with its status and names the path as it is shown (a line
// feed as \n, so the message stays on one line) before anything is made.
TEST(PathSafety, AnUnsafePathEndsTheRunInEveryRole) {
  REQUIRE_SANDBOX();  // writes /usr/Kandu and a work area in /tmp
  ScratchDir dir;
  const std::string unsafe = dir / "a b", dist = dir / "dist", work = dir / "work";
  ASSERT_EQ(std::system(("mkdir -p '" + unsafe + "/Kandu/tvnn' " + dist + " /usr/Kandu").c_str()), 0);
  std::remove("/usr/Kandu/tvnn");
  ASSERT_TRUE(WriteFile(dist + "/disks", "pkg_tar.aa a;b\n"));
  my_name = const_cast<char*>("setup");
  const struct { std::function<void()> run; int status; std::string message; } rows[] = {
      {[] { Parse({"/tmp/$(reboot)"}); }, 2,
       "ERROR: unsafe work-area base '/tmp/$(reboot)': it contains the character $; "
       "a path may hold only letters, digits and / . _ - + , : @\n"},
      // A relative word is checked as it will be used, below the current directory.
      {[&] { if (chdir(unsafe.c_str()) == 0) Parse({"work"}); }, 2, "unsafe work-area base '" + unsafe + "/work'"},
      {[&] { Parse({dir / "base", "install", "/opt/a\nb"}); }, 2,
       "unsafe installation directory '/opt/a\\nb': it contains a line feed"},
      {[&] { if (chdir(unsafe.c_str()) == 0) Parse({"install", "inst"}); }, 2,
       "unsafe installation directory '" + unsafe + "/inst'"},
      {[] { Parse({}, "/home/u/my dist"); }, 2, "unsafe installer directory '/home/u/my dist': it contains a blank"},
      {[] { my_name = const_cast<char*>("set;up"); Parse({}); }, 2, "unsafe program name 'set;up'"},
      {[&] { if (symlink((unsafe + "/Kandu/tvnn").c_str(), "/usr/Kandu/tvnn") == 0) locatePreviousInstallation(); }, 2,
       "unsafe previous installation '" + unsafe + "/Kandu/tvnn': it contains a blank"},
      {[&] { pPathToSetup = SaveStr_(dist.c_str()); installFromSite(work.c_str()); }, 1,
       "unsafe name 'a;b' in the list of " + dist + ": it contains the character ;"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.message);
    const testutil::Child c = testutil::RunChild(r.run);
    EXPECT_TRUE(c.Exited(r.status));
    EXPECT_NE(c.err.find(r.message), std::string::npos) << c.err;
  }
  EXPECT_EQ(State(dir / "base") + State(unsafe + "/work") + State(work + "/pkg_tar.aa"), "---");  // nothing made
  unlink("/usr/Kandu/tvnn");
}

}  // namespace
