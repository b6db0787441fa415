// main.cpp - setup, the console installer of the Tavlo printing suite: the run from
// start-up to clean-up.
#include "setup/setup.h"

#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

// One run: language, command line and the unattended settings, the run lock and the distribution's checksums,
// previous installation, free space, running programs and relocation, the
// distribution and its installation, the clean-up. Every end goes through EndRun.
// Exit status 0 at the end and at every orderly refusal (another run holding the
// lock among them); 1 for a failed fatal command, a missing list, a damaged
// distribution or a work area that is not safe; 2 for a work-area base that cannot
// be made or that other users could change, a path that cannot safely stand in a
// command line, a word that is no option or a setting of the environment that is not
// allowed. Under TVNN_STATUS=detailed each outcome has its own status (EndRun).
int main(int argc, char** argv) {
  OpenClosedStandardStreams();
  flUseLog = 1;
  pKanduInstallDir = SaveStr("%s/%sInstall", DEFAULT_WORK_AREA_BASE, MAKER_NAME);
  LineBuf[0] = '\0';
  const char* invocation = argc > 0 && argv[0] != nullptr ? argv[0] : "setup";
  pPathToSetup = GetToolPath(invocation);
  my_name = SaveStr_(StripPath(invocation));
  EndRunOnFatalReports();
  checkCommandLineOptions(argc, argv);
  readUnattendedSettings();
  InitSysCmdList();
  nlsSetupStrCvt(0);
  parseCommandLineOptions(argc, argv);
  lockRun();
  verifyDistribution(pPathToSetup);

  pCurrentInstallDir = locatePreviousInstallation();
  if (pCmdLineInstallDir != nullptr) {
    pTargetInstallDir = pCmdLineInstallDir;
  } else if (pCurrentInstallDir != nullptr) {
    pTargetInstallDir = pCurrentInstallDir;
  } else {
    pTargetInstallDir = SaveStr_(DEFAULT_INSTALL_DIR);
  }
  pAppDir = SaveStr("%s/%s/%s", pTargetInstallDir, MAKER_NAME, PRODUCT_NAME);

  FreeSpaceForInstall(pKanduInstallDir, pTargetInstallDir, MAKER_NAME);
  RunOutcome outcome = pCurrentInstallDir != nullptr ? RunOutcome::Updated : RunOutcome::Installed;
  if (pCurrentInstallDir != nullptr) {
    if (QuitForRunningProcesses(pBinaryInstanceCheckList) != 0) EndRun(RunOutcome::Busy, 0, RunningQuitReason());
    if (std::strcmp(pTargetInstallDir, pCurrentInstallDir) != 0) {
      relocatePreviousInstallation();
      outcome = RunOutcome::Relocated;
    }
  }
  const int installed = installFromSite(pKanduInstallDir);
  KanduClean(pKanduInstallDir);
  if (installed == INSTALL_NOT_ROOT) EndRun(RunOutcome::NotRoot, 0, "not run by root");
  if (installed == INSTALL_STOPPED) {
    const std::string why = std::string(RunningQuitReason()) + "; the package list stopped part-way";
    EndRun(RunOutcome::Stopped, 0, why.c_str());
  }
  // Commands whose failure the run goes on after (a copy of the package list, the
  // final modes) were only logged: the operator must not take the end for success.
  if (const int failed = SysCmdLoggedFailures(); failed > 0) {
    char warning[256];
    std::snprintf(warning, sizeof warning,
                  "WARNING: %d command%s failed; the installation may be incomplete: see /tmp/%s.log\n",
                  failed, failed == 1 ? "" : "s", my_name);
    PutLogMsg("%s", warning);
    std::fflush(stdout);
    std::fputs(warning, stderr);
  }
  EndRun(outcome, 0, nullptr);
}
