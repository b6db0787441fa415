// Solaris_test.cpp - the System V package upgrade against a stand-in installf and a
// package record in the sandbox's /var/sadm/pkg.
#include "SetupFixture.h"

namespace {

using namespace setuptest;

const std::string kRecord = "/var/sadm/pkg/OVNStvnn", kCalls = "/tmp/installf.calls";

// A work area W holding the package OVNStvnn, the new package's map in G, the product
// directory D below the installation directory T, and a stand-in installf that notes
// its arguments. Each upgrade runs in a child.
TEST(SolarisUpgrade, RegistersAndCopiesTheRegularFilesOfTheMapAndRewritesTheVersion) {
  REQUIRE_SANDBOX();
  InitCommandLayer();
  ScratchDir dir;
  const std::string w = dir / "W", g = dir / "G", t = dir / "T", d = t + "/Kandu/tvnn", lib = d + "/lib";
  const std::string dirs = w + "/OVNStvnn/root/etc/init.d " + w + "/OVNStvnn/reloc/bin " + g + "/OVNStvnn " + d;
  ASSERT_EQ(std::system(("mkdir -p " + dirs + " " + t + "/Kandu/bin /etc/init.d " + kRecord).c_str()), 0);
  ASSERT_TRUE(WriteFile(w + "/OVNStvnn/root/etc/init.d/sample", "sample\n"));
  ASSERT_TRUE(WriteFile(w + "/OVNStvnn/reloc/bin/tool", "tool\n"));
  ASSERT_TRUE(testutil::WriteTool(pPathToInstallf, "#!/bin/sh\necho \"$*\" >> " + kCalls + "\n"));
  pKanduInstallDir = SaveStr_(w.c_str());
  pTargetInstallDir = SaveStr_(t.c_str());
  pAppDir = SaveStr_(d.c_str());
  const std::string sample = "-c none OVNStvnn /etc/init.d/sample f 0755 root sys\n", closing = "-f OVNStvnn\n";
  const std::string tool = "-c none OVNStvnn " + t + "/Kandu/bin/tool f 0755 bin bin\n";
  const std::string longPath = "bin/" + std::string(470, 'p'), pkginfo = kRecord + "/pkginfo";
  const std::string version = Expand("$ rm -f @P.tmp\n$ mv -f @P.tmp @P\n", {{"@P", pkginfo}});
  const std::string refused = "ERROR: command line longer than 511 characters, not run: ";
  const std::string skipped =
      "ERROR: pkgmap line longer than 510 characters skipped: 1 f none bin/" + std::string(47, 'p') + "...\n";
  const struct { const char* what; bool haveLib; std::string map, dots, calls, err, log; } rows[] = {
      {"a map that cannot be opened ends the program", true, "-", "", "",
       "ERROR: can't open file, " + g + "/OVNStvnn/pkgmap\n", ""},
      // A dot per file, one for the version and one per logged command (mkdir, chmod, rm, mv).
      {"regular files with all seven words", true,
       ": 1 3000\n1 d none /etc/init.d 0755 root sys\n1 f none /etc/init.d/sample 0755 root sys 1234 5678 9012\n"
       "1 i pkginfo 100 200 300 4 5\n1\tf\tnone\tbin/tabbed\t0755\tbin\tbin\t1\t2\t3\n1 f none bin/short 0755 bin\n"
       "1 f none bin/tool 0755 bin bin 10 20 30\n",
       ".....", sample + tool + closing, "", version},
      {"the library tree is made when lib is missing", false, "", std::string(19, '.'), closing, "",
       Expand("$ mkdir -p @L\n$ chmod  755 @L\n$ mkdir -p @L/gtk\n*", {{"@L", lib}}) + version},
      {"a path too long for the command buffer is refused", true,
       "1 f none " + longPath + " 0755 bin bin 1 2 3\n1 f none bin/tool 0755 bin bin 1 2 3\n", "....", tool + closing,
       refused + longPath.substr(0, 200) + "\n", refused + longPath + "\n" + version},
      {"a map line longer than the reader takes is skipped whole", true,  // its second piece would read as a line
       "1 f none bin/" + std::string(500, 'p') + " 1 f none bin/tool 0755 bin bin 1 2 3\n"
       "1 f none /etc/init.d/sample 0755 root sys 1 2 3\n", "....", sample + closing, skipped, skipped + version},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    ASSERT_EQ(std::system(("rm -rf " + lib + " " + kCalls + " " + g + "/OVNStvnn/pkgmap " + kLog).c_str()), 0);
    ASSERT_TRUE(!r.haveLib || mkdir(lib.c_str(), 0755) == 0);
    ASSERT_TRUE(r.map == "-" || WriteFile(g + "/OVNStvnn/pkgmap", r.map));
    ASSERT_TRUE(WriteFile(pkginfo, "PKG=OVNStvnn\nVERSION=4.9\nNAME=Tavlo VERSION=1.0 x\nX=VERSION=beta\n"));
    const testutil::Child c = testutil::RunChild([&] { return upgradeSolarisPackage("OVNStvnn", g.c_str()); });
    EXPECT_EQ(c.value, r.map == "-" ? -9999 : 1);
    EXPECT_EQ(c.out + "|" + ReadFile(kCalls) + "|" + c.err, r.dots + "|" + r.calls + "|" + r.err);
    EXPECT_TRUE(Matches(r.log, ReadFile(kLog))) << ReadFile(kLog);
  }
  // The version becomes the installer's only where a digit or a point follows; the copies are in place.
  EXPECT_EQ(ReadFile(pkginfo), "PKG=OVNStvnn\nVERSION=4.10.05\nNAME=Tavlo VERSION=4.10.05\nX=VERSION=beta\n");
  EXPECT_EQ(State(pkginfo + ".tmp") + State("/etc/init.d/sample") + State(t + "/Kandu/bin/tool"),
            "-644 sample\n644 tool\n");
  std::system(("rm -rf /etc/init.d/sample " + kRecord + " " + pPathToInstallf).c_str());
}

}  // namespace
