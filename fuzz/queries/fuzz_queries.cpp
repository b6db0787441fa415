// fuzz_queries.cpp - fuzz target of the readers of df, du and ps output and of the
// free-space check built on them. The input is
// "<flags>\0<df output>\0<du output>\0<ps output>\0<program list>\0<isize>\0<tsize>";
// on the fake host each query reads its scripted output.
#include "SysCmd/SysCmd.h"
#include "fuzz/support/FuzzSupport.h"
#include "setup/setup.h"

void fuzz::Setup() {
  my_name = SaveStr_("setup");
  pPathToSetup = SaveStr_(InScratch("dist").c_str());
  pKanduInstallDir = SaveStr_(InScratch("dist/KanduInstall").c_str());
  for (int index : {CMD_DU, CMD_PS, CMD_DF}) TestCmd(index);  // resolved on first use, and kept
}

void fuzz::Run(std::string_view input) {
  static const std::string dist = InScratch("dist"), deep = dist + "/no/such/dir";
  const std::vector<std::string> parts = Split(input, 7);
  host = {{}, {{CMD_DF, parts[1]}, {CMD_DU, parts[2]}, {CMD_PS, parts[3]}}, {}};
  WriteFile(dist + "/isize", parts[5]);
  WriteFile(dist + "/tsize", parts[6]);
  CheckReleased("the queries release what they take", [&] {
    DiskSpaceInfo info;
    std::memset(&info, 'x', sizeof info);
    GetDiskSpace("/", &info);
    Check(std::memchr(info.Text, '\0', sizeof info.Text) != nullptr, "the df line fits Text");
    AvailSpace(deep.c_str(), nullptr, 100);
    AvailSpace(dist.c_str(), "isize", 1e9);
    DUPath(deep.c_str());
    for (const char* name : {"TavloD", "tvadmin", "qmf", "0", "-1"}) PutMem(GetSysPsIdList(name));
    char* report = CheckProcTableForExecs(parts[4].c_str());
    Check(report == nullptr || std::strlen(report) <= 1023, "the running-programs report fits 1024 bytes");
    PutMem(report);
  });
  const char* installDir = (parts[0].c_str()[0] & 1) != 0 ? "/usr" : deep.c_str();
  Guard([&] { FreeSpaceForInstall(pKanduInstallDir, installDir, MAKER_NAME); });
}
