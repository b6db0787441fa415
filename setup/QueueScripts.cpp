// QueueScripts.cpp - the print-system flags file .tv_cfg, the three queue interface
// scripts of the product directory, the launchers of /usr/bin and the printconf link.
#include "setup/setup.h"
#include "setup/SetupPrivate.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

#include <cstdio>
#include <cstring>
#include <ctime>

using setup_internal::Text;

namespace {

constexpr size_t kBannerSize = 1024;  // the launcher's banner is formatted first

constexpr char kPrintconfUtil[] = "/usr/share/printconf/util";
constexpr char kPrintScriptName[] = "KanduPrinttvnn";
constexpr char kDriverScriptName[] = "v4DriverScript";

// The current year in local time, for the banner.
int CurrentYear() {
  const std::time_t now = std::time(nullptr);
  struct tm local {};
  if (localtime_r(&now, &local) == nullptr) return 1900;
  return local.tm_year + 1900;
}

// Closes a script just written and, when all of it reached the disk, makes it
// executable (mode 755, quietly). False, reported on standard error, when writing
// failed: a truncated script must not look like a good one.
bool FinishScript(FILE* f, const char* path) {
  const bool written = std::ferror(f) == 0;
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    std::fflush(stdout);
    std::fprintf(stderr, "ERROR: couldn't write %s\n", path);
    return false;
  }
  SysCmd(CMD_CHMOD, SYS_QUIET, "755 %s", path);
  return true;
}

// The templates are the system's own printf formats, kept as constant texts of
// ScriptTemplates.cpp; their conversions are checked by the tests, not here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"

// Opens path ("w+", truncating; a failure is reported on standard error) and
// writes the shell line and the banner with this year. Null when it can't be opened.
FILE* StartQueueScript(const char* path, const char* shell) {
  FILE* f = OpenFile(nullptr, path, "w+", 1);
  if (f == nullptr) return nullptr;
  std::fprintf(f, "%s\n", Text(shell));
  std::fprintf(f, ScriptCopyRight, CurrentYear());
  return f;
}

}  // namespace

// Writes path from templ (the print queue script: D, "tvnn", "tavlotvnn",
// "tavlotvnn", "tvnn", "tvnn" and a seventh "tvnn" it does not use) and makes it
// executable. False when the file could not be opened or written (reported).
bool generateKanduPrinttvnnScript(const char* path, const char* shell, const char* templ) {
  FILE* f = StartQueueScript(path, shell);
  if (f == nullptr) return false;
  std::fprintf(f, Text(templ), Text(pAppDir), PRODUCT_NAME, "tavlotvnn", "tavlotvnn",
               PRODUCT_NAME, PRODUCT_NAME, PRODUCT_NAME);
  return FinishScript(f, path);
}

// Writes the driver queue script (D) to path; as generateKanduPrinttvnnScript.
bool generatev4DriverScript(const char* path, const char* shell, const char* templ) {
  FILE* f = StartQueueScript(path, shell);
  if (f == nullptr) return false;
  std::fprintf(f, Text(templ), Text(pAppDir));
  return FinishScript(f, path);
}

// Writes the filter-tool queue script (D, spoolDir) to path; as above.
bool generateKanduQMFScript(const char* path, const char* shell, const char* templ,
                            const char* spoolDir) {
  FILE* f = StartQueueScript(path, shell);
  if (f == nullptr) return false;
  std::fprintf(f, Text(templ), Text(pAppDir), Text(spoolDir));
  return FinishScript(f, path);
}

// Writes a script from templ with three string values after the shell line and
// the banner, and makes it executable (mode 755). A file that can't be opened is
// reported as "ERROR: can't open file, <path>" on standard error; nothing else happens.
void GenSimpleScript(const char* path, const char* shell, const char* templ, const char* s1,
                     const char* s2, const char* s3) {
  char banner[kBannerSize];
  std::snprintf(banner, sizeof banner, ScriptCopyRight, CurrentYear());
  FILE* f = OpenFile(nullptr, path, "w+", 1);
  if (f == nullptr) return;
  std::fprintf(f, "%s\n%s", Text(shell), banner);
  std::fprintf(f, Text(templ), Text(s1), Text(s2), Text(s3));
  FinishScript(f, path);
}

#pragma GCC diagnostic pop

// True when the host's lpd says LPRng in its version text (error output included).
// A host without lpd runs nothing and gives false.
bool SniffLprng() {
  if (!TestCmd(CMD_LPD)) return false;
  CmdResponse* lines = GetCmdResponse(CMD_LPD, "LPRng", " -V 2>&1");
  const bool lprng = lines != nullptr;
  FreeResponseList(lines);
  return lprng;
}

// True when a program named cupsd runs.
bool SniffCUPS() {
  char* report = CheckProcTableForExecs("cupsd");
  const bool running = report != nullptr;
  PutMem(report);
  return running;
}

// Writes dir/.tv_cfg (mode 0644, no line feed): " CUPS " when cupsd runs, else
// " LPRng " for an LPRng lpd, else " BSD ". A file that can't be written is
// reported on standard error; the scripts then take their V5 branch.
void createPrintingSubsystemFile(const char* dir) {
  const char* flags = " BSD ";
  if (SniffLprng()) flags = " LPRng ";
  if (SniffCUPS()) flags = " CUPS ";
  char* path = SaveStr("%s/.tv_cfg", Text(dir));
  CreateTextFile(path, "wt", 0644, "%s", flags);
  PutMem(path);
}

// Writes the print, driver and filter-tool queue scripts into the product
// directory (one that fails does not stop the others) and, on an LPRng host with a
// printconf utility directory that has no KanduPrinttvnn yet, links the print
// queue script there (logged; a failure does not stop the installer).
void createQueueScripts(const char* spoolBase) {
  const char* appDir = Text(pAppDir);
  char* spoolDir = SaveStr("%s/%s", Text(spoolBase), PRODUCT_NAME);
  char* printScript = SaveStr("%s/%s", appDir, kPrintScriptName);
  char* driverScript = SaveStr("%s/%s", appDir, kDriverScriptName);
  char* filterScript = SaveStr("%s/%s%s", appDir, MAKER_NAME, "QMF");

  generateKanduPrinttvnnScript(printScript, ScriptShShell, KanduPrinttvnnScript);
  generatev4DriverScript(driverScript, ScriptShShell, pv4DriverScript);
  generateKanduQMFScript(filterScript, ScriptShShell, KanduQMFScript, spoolDir);

  if (SniffLprng() && FindFile(kPrintconfUtil, nullptr) &&
      !FindFile(kPrintconfUtil, kPrintScriptName)) {
    SysCmd(CMD_LN, SYS_LOG, "-s %s/%s/%s/%s %s/%s", Text(pTargetInstallDir), MAKER_NAME,
           PRODUCT_NAME, kPrintScriptName, kPrintconfUtil, kPrintScriptName);
  }
  PutMem(filterScript);
  PutMem(driverScript);
  PutMem(printScript);
  PutMem(spoolDir);
}
