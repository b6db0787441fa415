// Install.cpp - the installation step: unpacks the joined archive in the work area
// and builds the product tree, its link, the spool tree and the final modes.
#include "setup/setup.h"

#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

constexpr const char* kArchive = "LinuxppcTvnn";
constexpr const char* kPackage = "pkg";
constexpr const char* kDownloadDir = "__tva_download__";
constexpr const char* kSetUidPrograms[] = {"tvrtvnntty", "qmf"};

// The decompression tools, run directly by the shell with their output in the log.
constexpr const char* kUncompressFormat =
    "/usr/bin/uncompress %s/%s.tar.Z 1>>/tmp/setup.log 2>>/tmp/setup.log";
constexpr const char* kGunzipFormat = "/usr/bin/gzip -dfv %s/%s.tar.Z 1>>/tmp/setup.log 2>>/tmp/setup.log";

constexpr size_t kCommandSize = 512;

// Runs one decompression command line (format filled with the work area and the
// archive's name) through the shell; its status, or -1 when the line does not fit.
int RunDecompression(const char* format) {
  char command[kCommandSize];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"  // one of the two literals above
  const int n = std::snprintf(command, sizeof command, format, pKanduInstallDir, kArchive);
#pragma GCC diagnostic pop
  if (n < 0 || static_cast<size_t>(n) >= sizeof command) return -1;
  std::fflush(stdout);
  return std::system(command);
}

// Turns the joined archive into the tar file: uncompress, or gzip when that fails.
void Decompress() {
  if (RunDecompression(kUncompressFormat) == 0) return;
  RunDecompression(kGunzipFormat);  // its outcome shows in the log and in the unpacking
}

}  // namespace

// Makes the product directory below installDir: mode 755 in /usr; elsewhere mode 775,
// /usr/Kandu (775) when missing, and the link /usr/Kandu/tvnn to it. A failure ends
// the run with status 1.
void createInstallationDirectories(const char* installDir) {
  const std::string product = std::string(installDir) + "/" + MAKER_NAME + "/" + PRODUCT_NAME;
  if (std::strcmp(installDir, DEFAULT_INSTALL_DIR) == 0) {
    CreateFile(product.c_str(), nullptr, "755", nullptr, nullptr);
    return;
  }
  CreateFile(product.c_str(), nullptr, "775", nullptr, nullptr);
  const std::string usrMaker = std::string(DEFAULT_INSTALL_DIR) + "/" + MAKER_NAME;
  if (GetFileType(usrMaker.c_str()) == 0) CreateFile(usrMaker.c_str(), nullptr, "775", nullptr, nullptr);
  SysCmd(CMD_LN, SYS_FATAL, "-s %s/%s/%s %s/%s/%s", installDir, MAKER_NAME, PRODUCT_NAME,
         DEFAULT_INSTALL_DIR, MAKER_NAME, PRODUCT_NAME);
}

// After the readiness check: joins, decompresses and unpacks the archive in the
// work area, then builds a first installation (directories, flags file, queue
// scripts, spool tree, then the package list) or updates one (package list first),
// and sets the final modes. INSTALL_DONE at the end, INSTALL_NOT_ROOT when refused,
// INSTALL_STOPPED when the package list stopped early (the operator quit at a
// running-programs check).
int Install() {
  if (!readyForInstallation()) return INSTALL_NOT_ROOT;
  genZFile();
  Decompress();
  if (chdir(pKanduInstallDir) != 0) PutLogMsg("WARNING_MSG: cannot change to %s\n", pKanduInstallDir);
  SysCmd(CMD_TAR_X, SYS_FATAL, "%s/%s.tar", pKanduInstallDir, kArchive);
  const std::string tarName = std::string(kArchive) + ".tar";
  DeleteFile(pKanduInstallDir, tarName.c_str());

  char* spoolBase = SaveStr("/var/spool/%s", MAKER_NAME);
  char* download = SaveStr("%s/%s/%s", spoolBase, PRODUCT_NAME, kDownloadDir);
  if (pCurrentInstallDir == nullptr) {
    createInstallationDirectories(pTargetInstallDir);
    createPrintingSubsystemFile(pAppDir);
    createQueueScripts(spoolBase);
    CreateFile(spoolBase, nullptr, "775", nullptr, nullptr);
    CreateFile(download, nullptr, "777", nullptr, nullptr);
    if (ProcessPkgList(kPackage) != 0) return INSTALL_STOPPED;
  } else {
    // An update leaves the spool tree as it is. Only a part that is missing, as
    // after an earlier run that stopped between making the product directory and
    // the spool tree, is made, as on a first installation.
    if (GetFileType(spoolBase) == 0) CreateFile(spoolBase, nullptr, "775", nullptr, nullptr);
    if (GetFileType(download) == 0) CreateFile(download, nullptr, "777", nullptr, nullptr);
    if (ProcessPkgList(kPackage) != 0) return INSTALL_STOPPED;
    createPrintingSubsystemFile(pAppDir);
    createQueueScripts(spoolBase);
  }
  SysCmd(CMD_CHMOD, SYS_QUIET, "755 %s/%s", pTargetInstallDir, MAKER_NAME);
  for (const char* program : kSetUidPrograms) SysCmd(CMD_CHMOD, SYS_LOG, "4755 %s/%s", pAppDir, program);
  return INSTALL_DONE;
}
