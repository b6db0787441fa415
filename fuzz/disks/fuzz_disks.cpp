// fuzz_disks.cpp - fuzz target of the distribution's list: the input is the text of
// disks (or, with the first byte 'U', of DISKS), read for the copy into the work
// area and again for the joining of the archive pieces, with the recording runner.
// Every name that reaches a command line must be one the installer's path rule
// accepts.
#include "fuzz/support/FakeRunner.h"
#include "fuzz/support/FuzzSupport.h"
#include "MemMgr/MemMgr.h"
#include "setup/setup.h"
#include "utils/utils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

constexpr int kCat = 3;
constexpr int kCopy = 9;

struct {
  std::string dist;  // the distribution folder, which is also the work area
} S;

// The name between prefix and suffix of a recorded argument text.
std::string NameIn(const std::string& args, const std::string& prefix, const std::string& suffix) {
  fuzz::Check(args.size() >= prefix.size() + suffix.size() && args.compare(0, prefix.size(), prefix) == 0 &&
                  args.compare(args.size() - suffix.size(), suffix.size(), suffix) == 0,
              "a list command has the expected form", args);
  return args.substr(prefix.size(), args.size() - prefix.size() - suffix.size());
}

void CheckName(const std::string& name, const std::string& args) {
  char reason[128];
  fuzz::Check(CheckSafePath(name.c_str(), reason, sizeof reason) == 1, "a listed name in a command is safe",
              args);
}

}  // namespace

// The installation step after the copy: only the joining of the pieces.
int Install() {
  genZFile();
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Init();
  flUseLog = 0;
  my_name = SaveStr_("setup");
  S.dist = fuzz::InScratch("dist");
  fuzz::MakeDirs(S.dist);
  for (const char* piece : {"pkg_tar.aa", "pkg_tar.ab", "PKG_TAR.AA", "PKG_TAR.AB"}) {
    fuzz::WriteFile(S.dist + "/" + piece, "x");
  }
  pPathToSetup = SaveStr_(S.dist.c_str());
  pKanduInstallDir = SaveStr_(S.dist.c_str());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const bool upper = size > 0 && data[0] == 'U';
  const std::string text(reinterpret_cast<const char*>(data), size);
  unlink((S.dist + "/disks").c_str());
  unlink((S.dist + "/DISKS").c_str());
  fuzz::WriteFile(S.dist + (upper ? "/DISKS" : "/disks"), text);
  fuzz::ResetRunner();
  const int status = fuzz::Guard([] { installFromSite(S.dist.c_str()); });
  fuzz::Check(status == -1 || status == 1, "the list ends the run only with status 1");

  const std::string copyPrefix = S.dist + "/";
  const std::string copySuffix = " " + S.dist;
  const std::string joinSuffix = " >> " + S.dist + "/LinuxppcTvnn.tar.Z";
  for (const fuzz::RecordedCommand& c : fuzz::Recorded()) {
    if (c.index == kCopy) CheckName(NameIn(c.args, copyPrefix, copySuffix), c.args);
    if (c.index == -kCat) CheckName(NameIn(c.args, copyPrefix, joinSuffix), c.args);
  }
  return 0;
}
