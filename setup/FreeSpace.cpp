// FreeSpace.cpp - checks that the work area and the installation directory have room
// for the distribution, as its size records isize and tsize ask.
#include "setup/setup.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr double kMargin = 40;              // added to each size record's figure
constexpr double kFullPartition = 17;       // a probe with this much or less is full
constexpr int kMsgWorkArea = 49;            // work area too small
constexpr int kMsgInstallArea = 55;         // installation directory too small
constexpr int kMsgSamePartition = 56;       // one file system too small (or full)
constexpr int kMsgMissingSize = 65;         // a size record is missing

// The need of the size record name in the installer's directory: its leading
// number plus the margin. A record that cannot be read ends the run with message 65
// and exit status 0.
double SizeNeed(const char* name) {
  if (!GetFileContent(pPathToSetup, name)) {
    PrintSetupMessage(kMsgMissingSize);
    const std::string why = std::string("the size record ") + name + " is missing";
    EndRun(RunOutcome::Incomplete, 0, why.c_str());
  }
  return std::strtod(LineBuf, nullptr) + kMargin;
}

// Ends the run after a space message.
[[noreturn]] void NotEnoughSpace(const char* where) {
  const std::string why = std::string("not enough space in ") + where;
  EndRun(RunOutcome::NoSpace, 0, why.c_str());
}

}  // namespace

// Returns when the work area and the installation directory have room for the
// distribution; otherwise prints message 49, 55, 56 (or 65 for a missing size
// record) on standard output and ends the run with exit status 0. Two places on
// one file system share its free space; old work areas and product trees, which
// the installation replaces, count as free.
void FreeSpaceForInstall(const char* workArea, const char* installDir, const char* maker) {
  const double installNeed = SizeNeed("isize");
  const double workNeed = SizeNeed("tsize");
  const std::string product = std::string(installDir) + "/" + maker + "/" + PRODUCT_NAME;

  // The work side: the nearest existing part of the work area.
  char whole = 0;
  char* workPart = FindExistingPath(workArea, &whole);
  DiskSpaceInfo work{};
  const int workMeasured = GetDiskSpace(workPart, &work);
  PutMem(workPart);
  if (!workMeasured) return;  // df gives no figure: no check is made
  if (whole) work.Avail += DUPath(workArea);

  // The installation side: the product directory when it exists (its old tree is
  // replaced), otherwise its nearest existing ancestor, which is probed as well.
  whole = 0;
  char* installPart = FindExistingPath(product.c_str(), &whole);
  DiskSpaceInfo install{};
  GetDiskSpace(installPart, &install);
  if (whole) {
    install.Avail += DUPath(product.c_str());
  } else {
    DiskSpaceInfo probe{};
    GetDiskSpace(installPart, &probe);
    if (probe.Avail <= kFullPartition) {
      // The probed place, the installation directory, and all the run needs.
      PrintSetupMessage(kMsgSamePartition, installPart, installDir, installNeed + workNeed);
      std::fputs("\n", stdout);  // message 56 ends without a line feed
      NotEnoughSpace(installPart);
    }
  }

  if (std::strcmp(work.Text, install.Text) == 0) {
    DiskSpaceInfo raw{};
    GetDiskSpace(installPart, &raw);
    const double available = raw.Avail < work.Avail || raw.Avail < install.Avail
                                 ? work.Avail + (install.Avail - raw.Avail)
                                 : MaxD(work.Avail, install.Avail);
    if (available < installNeed + workNeed) {
      PrintSetupMessage(kMsgSamePartition, workArea, installDir, installNeed + workNeed);
      std::fputs("\n", stdout);  // message 56 ends without a line feed
      NotEnoughSpace(installDir);
    }
  } else {
    if (work.Avail < workNeed) {
      PrintSetupMessage(kMsgWorkArea, pKanduInstallDir, workNeed);
      NotEnoughSpace(pKanduInstallDir);
    }
    if (install.Avail < installNeed) {
      PrintSetupMessage(kMsgInstallArea, installDir, installNeed);
      NotEnoughSpace(installDir);
    }
  }
  PutMem(installPart);
}
