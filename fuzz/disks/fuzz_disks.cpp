// fuzz_disks.cpp - fuzz target of the distribution's list: the input is the text of
// disks (or, with the first byte 'U', of DISKS), read for the copy into the work area
// and again for the joining of the archive pieces, on the fake host. Every name that
// reaches a command line must be one the installer's path rule accepts.
#include "fuzz/support/FuzzSupport.h"
#include "setup/setup.h"

namespace {

constexpr int kCat = 3, kCopy = 9;

// The name between prefix and suffix of a recorded argument text must be safe.
void CheckName(const std::string& args, const std::string& prefix, const std::string& suffix) {
  fuzz::Check(args.size() >= prefix.size() + suffix.size() && args.rfind(prefix, 0) == 0 &&
                  args.compare(args.size() - suffix.size(), suffix.size(), suffix) == 0,
              "a list command has the expected form", args);
  const std::string name = args.substr(prefix.size(), args.size() - prefix.size() - suffix.size());
  char reason[128];
  fuzz::Check(CheckSafePath(name.c_str(), reason, sizeof reason) == 1, "a listed name in a command is safe", args);
}

}  // namespace

// The installation step after the copy: only the joining of the pieces.
int Install() {
  genZFile();
  return 0;
}

void fuzz::Setup() {
  my_name = SaveStr_("setup");
  for (const char* piece : {"pkg_tar.aa", "pkg_tar.ab", "PKG_TAR.AA", "PKG_TAR.AB"})
    WriteFile(InScratch("dist/") + piece, "x");
  pPathToSetup = SaveStr_(InScratch("dist").c_str());
  pKanduInstallDir = SaveStr_(InScratch("dist").c_str());  // the distribution is the work area
}

void fuzz::Run(std::string_view input) {
  static const std::string dist = InScratch("dist");
  unlink((dist + "/disks").c_str());
  unlink((dist + "/DISKS").c_str());
  WriteFile(dist + (!input.empty() && input[0] == 'U' ? "/DISKS" : "/disks"), input);
  ResetRunner();
  const int status = Guard([] { installFromSite(dist.c_str()); });
  Check(status == -1 || status == 1, "the list ends the run only with status 1");
  for (const RecordedCommand& c : Recorded()) {
    if (c.index == kCopy) CheckName(c.args, dist + "/", " " + dist);
    if (c.index == -kCat) CheckName(c.args, dist + "/", " >> " + dist + "/LinuxppcTvnn.tar.Z");
  }
}
