// fuzz_disks.cpp - fuzz target of the distribution's list: the input is the text of
// disks (or, with the first byte 'U', of DISKS), read for the copy into the work area
// and again for the joining of the archive pieces, on the fake host. Every name that
// reaches a command line must be one the installer's path rule accepts.
#include "SysCmd/SysCmd.h"
#include "fuzz/support/FuzzSupport.h"
#include "setup/setup.h"

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
  for (const char* name : {"/disks", "/DISKS"}) unlink((dist + name).c_str());
  WriteFile(dist + (!input.empty() && input[0] == 'U' ? "/DISKS" : "/disks"), input);
  host = {};
  const int status = Guard([] { installFromSite(dist.c_str()); });
  Check(status == -1 || status == 1, "the list ends the run only with status 1");
  for (const auto& [index, args] : host.commands) {
    // The name between the folder and the rest of a copy or join command must be safe.
    const std::string end = index == CMD_CP_P ? " " + dist : index == -CMD_CAT ? " >> " + dist + "/LinuxppcTvnn.tar.Z" : "";
    if (end.empty()) continue;
    const bool form = args.size() > dist.size() + end.size() && args.starts_with(dist + "/") && args.ends_with(end);
    Check(form, "a list command has the expected form", args);
    const std::string name = args.substr(dist.size() + 1, args.size() - dist.size() - 1 - end.size());
    char reason[128];
    Check(CheckSafePath(name.c_str(), reason, sizeof reason) == 1, "a listed name in a command is safe", args);
  }
}
