// Previous_test.cpp - finding a previous installation through /usr/Kandu/tvnn and
// reducing product paths to their installation directory.
#include "SetupFixture.h"

namespace {

using namespace setuptest;

TEST(StripToBaseName, ReducesAProductPathToItsInstallationDirectory) {
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
TEST(PreviousInstallation, IsTheDirectoryWhereUsrKanduTvnnLeads) {
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
