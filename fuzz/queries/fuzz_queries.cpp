// fuzz_queries.cpp - fuzz target of the readers of df, du and ps output and of the
// free-space check built on them. The input is
// "<flags>\0<df output>\0<du output>\0<ps output>\0<program list>\0<isize>\0<tsize>";
// the recording runner gives each query its scripted output.
#include "fuzz/support/FakeRunner.h"
#include "fuzz/support/FuzzSupport.h"
#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"
#include "utils/utils.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kDu = 41;
constexpr int kPs = 55;
constexpr int kDf = 57;

struct {
  std::string dist;
} S;

void Disk(const std::string& deep) {
  DiskSpaceInfo info;
  std::memset(&info, 'x', sizeof info);
  GetDiskSpace("/", &info);
  fuzz::Check(std::memchr(info.Text, '\0', sizeof info.Text) != nullptr, "the df line fits Text");
  AvailSpace(deep.c_str(), nullptr, 100);
  AvailSpace(S.dist.c_str(), "isize", 1e9);
  AvailSpace("relative/dir", nullptr, 0);
  DUPath(deep.c_str());
}

void Processes(const std::string& list) {
  for (const char* name : {"TavloD", "tvadmin", "qmf", "0", "-1"}) {
    char* ids = GetSysPsIdList(name);
    if (ids != nullptr) {
      const size_t n = std::strlen(ids);
      fuzz::Check(n >= 3 && ids[0] == ' ' && ids[n - 1] == ' ', "an id list is blank-delimited", ids);
    }
    PutMem(ids);
  }
  char* report = CheckProcTableForExecs(list.c_str());
  if (report != nullptr)
    fuzz::Check(std::strlen(report) <= 1023, "the running-programs report fits 1024 bytes");
  PutMem(report);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Init();
  flUseLog = 0;
  my_name = SaveStr_("setup");
  S.dist = fuzz::InScratch("dist");
  fuzz::MakeDirs(S.dist);
  pPathToSetup = SaveStr_(S.dist.c_str());
  pKanduInstallDir = SaveStr_((S.dist + "/KanduInstall").c_str());
  // The command table resolves an entry on first use and keeps its place.
  for (int index : {kDu, kPs, kDf}) TestCmd(index);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> parts = fuzz::Split(data, size, 7);
  fuzz::ResetRunner();
  fuzz::ScriptOutput(kDf, parts[1]);
  fuzz::ScriptOutput(kDu, parts[2]);
  fuzz::ScriptOutput(kPs, parts[3]);
  fuzz::WriteFile(S.dist + "/isize", parts[5]);
  fuzz::WriteFile(S.dist + "/tsize", parts[6]);
  const long before = fuzz::ManagedInUse();

  const std::string deep = S.dist + "/no/such/dir";
  Disk(deep);
  Processes(parts[4]);
  fuzz::Check(fuzz::ManagedInUse() == before, "the queries release what they take");

  const bool onUsr = !parts[0].empty() && (parts[0][0] & 1) != 0;
  const int status =
      fuzz::Guard([&] { FreeSpaceForInstall(pKanduInstallDir, onUsr ? "/usr" : deep.c_str(), MAKER_NAME); });
  fuzz::Check(status == -1 || status == 0, "the free-space check ends the run only with status 0");
  return 0;
}
