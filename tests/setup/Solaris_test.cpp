// Solaris_test.cpp - the System V package upgrade against a stand-in installf and a
// package record in the sandbox's /var/sadm/pkg.
#include "PkgTestUtil.h"

#include <gmock/gmock.h>

namespace {

using pkgtest::CmdLine;
using pkgtest::Exists;
using pkgtest::Mode;
using testing::HasSubstr;
using testutil::ReadFile;
using testutil::ScratchDir;
using testutil::WriteFile;

constexpr const char* kCalls = "/tmp/installf.calls";
constexpr const char* kRecord = "/var/sadm/pkg/OVNStvnn";

// A work area W holding the package OVNStvnn, the new package in G, the product
// directory D, the installation directory T and a stand-in installf that notes
// its arguments.
class SolarisUpgrade : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_SANDBOX();
    pkgtest::InitCommandLayer();
    w = dir / "W";
    g = dir / "G";
    t = dir / "T";
    d = t + "/Kandu/tvnn";
    ASSERT_EQ(std::system(("mkdir -p " + w + "/OVNStvnn/root/etc/init.d " + w +
                           "/OVNStvnn/reloc/bin " + g + "/OVNStvnn " + d + " " + t +
                           "/Kandu/bin /etc/init.d " + kRecord)
                              .c_str()),
              0);
    ASSERT_TRUE(WriteFile(w + "/OVNStvnn/root/etc/init.d/sample", "sample\n"));
    ASSERT_TRUE(WriteFile(w + "/OVNStvnn/reloc/bin/tool", "tool\n"));
    ASSERT_TRUE(pkgtest::WriteTool(pPathToInstallf,
                                   std::string("#!/bin/sh\necho \"$*\" >> ") + kCalls + "\n"));
    ASSERT_TRUE(WriteFile(std::string(kRecord) + "/pkginfo",
                          "PKG=OVNStvnn\nVERSION=4.9\nNAME=Tavlo VERSION=1.0 x\nX=VERSION=beta\n"));
    pKanduInstallDir = SaveStr_(w.c_str());
    pTargetInstallDir = SaveStr_(t.c_str());
    pAppDir = SaveStr_(d.c_str());
    std::remove(kCalls);
    pkgtest::ClearLog();
  }

  void TearDown() override {
    std::remove(pPathToInstallf);
    std::system((std::string("rm -rf /etc/init.d/sample ") + kRecord).c_str());
  }

  void Map(const std::string& text) { ASSERT_TRUE(WriteFile(g + "/OVNStvnn/pkgmap", text)); }

  // The upgrade with its standard output.
  std::string Upgrade() {
    testing::internal::CaptureStdout();
    EXPECT_EQ(upgradeSolarisPackage("OVNStvnn", g.c_str()), 1);
    return testing::internal::GetCapturedStdout();
  }

  // The log lines of the version rewrite.
  static std::string VersionLines() {
    return CmdLine(29, std::string(kRecord) + "/pkginfo.tmp") + "\n" +
           CmdLine(25, std::string(kRecord) + "/pkginfo.tmp " + kRecord + "/pkginfo") + "\n";
  }

  ScratchDir dir;
  std::string w, g, t, d;
};

TEST_F(SolarisUpgrade, RegistersAndCopiesEveryRegularFileOfTheMapAndRewritesTheVersion) {
  ASSERT_EQ(mkdir((d + "/lib").c_str(), 0755), 0);
  Map(": 1 3000\n"
      "1 d none /etc/init.d 0755 root sys\n"
      "1 f none /etc/init.d/sample 0755 root sys 1234 5678 9012\n"
      "1 i pkginfo 100 200 300 4 5\n"
      "1\tf\tnone\tbin/tabbed\t0755\tbin\tbin\t1\t2\t3\n"
      "1 f none bin/short 0755 bin\n"
      "1 f none bin/tool 0755 bin bin 10 20 30\n");
  // A dot per file, one for the version and one per logged command (rm, mv).
  EXPECT_EQ(Upgrade(), ".....");
  EXPECT_EQ(ReadFile(kCalls), "-c none OVNStvnn /etc/init.d/sample f 0755 root sys\n"
                              "-c none OVNStvnn " + t + "/Kandu/bin/tool f 0755 bin bin\n"
                              "-f OVNStvnn\n");
  EXPECT_EQ(ReadFile("/etc/init.d/sample"), "sample\n");
  EXPECT_EQ(ReadFile(t + "/Kandu/bin/tool"), "tool\n");
  EXPECT_EQ(pkgtest::LogText(), VersionLines());
  // The version becomes the installer's only where a digit or a point follows.
  EXPECT_EQ(ReadFile(std::string(kRecord) + "/pkginfo"),
            "PKG=OVNStvnn\nVERSION=4.10.05\nNAME=Tavlo VERSION=4.10.05\nX=VERSION=beta\n");
  EXPECT_FALSE(Exists(std::string(kRecord) + "/pkginfo.tmp"));
}

TEST_F(SolarisUpgrade, LibraryTreeIsMadeOnlyWhenLibIsMissing) {
  Map("");
  Upgrade();
  std::string expected = CmdLine(26, d + "/lib") + "\n" + CmdLine(5, "755 " + d + "/lib") + "\n";
  for (const char* sub :
       {"gtk", "gtk/modules", "gtk/modules/2.2.0", "gtk/modules/2.2.0/engines",
        "gtk/modules/2.2.0/immodules", "gtk/modules/2.2.0/loaders", "gtk/modules/etc",
        "gtk/modules/etc/gtk-2.0", "gtk/modules/etc/pango", "gtk/modules/include",
        "gtk/modules/modules", "gtk/modules/pango", "gtk/modules/pango/1.2.0",
        "gtk/modules/pango/1.2.0/modules"}) {
    expected += CmdLine(26, d + "/lib/" + sub) + "\n";
    EXPECT_EQ(GetFileType((d + "/lib/" + sub).c_str()), 1) << sub;
  }
  EXPECT_EQ(pkgtest::LogText(), expected + VersionLines());
  EXPECT_EQ(Mode(d + "/lib"), 0755);
  pkgtest::ClearLog();
  Upgrade();
  EXPECT_EQ(pkgtest::LogText(), VersionLines());
}

TEST_F(SolarisUpgrade, PathTooLongForTheCommandBufferIsRefused) {
  ASSERT_EQ(mkdir((d + "/lib").c_str(), 0755), 0);
  const std::string path = "bin/" + std::string(470, 'p');
  Map("1 f none " + path + " 0755 bin bin 1 2 3\n1 f none bin/tool 0755 bin bin 1 2 3\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(Upgrade(), "....");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ERROR: command line longer than 511 characters, not run: " + path.substr(0, 200) + "\n");
  EXPECT_EQ(ReadFile(kCalls), "-c none OVNStvnn " + t + "/Kandu/bin/tool f 0755 bin bin\n"
                              "-f OVNStvnn\n");
  EXPECT_THAT(pkgtest::LogText(), HasSubstr("ERROR: command line longer than 511 characters, not run: " + path + "\n"));
}

TEST_F(SolarisUpgrade, MapLineLongerThanTheReaderTakesIsSkippedWhole) {
  ASSERT_EQ(mkdir((d + "/lib").c_str(), 0755), 0);
  // The second piece of the long line would read as a map line of its own.
  Map("1 f none bin/" + std::string(500, 'p') + " 1 f none bin/tool 0755 bin bin 1 2 3\n" +
      "1 f none /etc/init.d/sample 0755 root sys 1 2 3\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(Upgrade(), "....");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ERROR: pkgmap line longer than 510 characters skipped: 1 f none bin/" +
                std::string(47, 'p') + "...\n");
  EXPECT_EQ(ReadFile(kCalls), "-c none OVNStvnn /etc/init.d/sample f 0755 root sys\n-f OVNStvnn\n");
}

TEST_F(SolarisUpgrade, MapThatCannotBeOpenedEndsTheProgramWithStatus0) {
  ASSERT_EQ(mkdir((d + "/lib").c_str(), 0755), 0);
  EXPECT_EXIT(upgradeSolarisPackage("OVNStvnn", (dir / "none").c_str()), testing::ExitedWithCode(0),
              "ERROR: can't open file, " + dir / "none/OVNStvnn/pkgmap");
}

}  // namespace
