// Solaris.cpp - brings an installed System V package of the suite up to the new
// distribution: library directories, registration of the map's files, the copies
// and the new VERSION in the package's pkginfo.
#include "setup/setup.h"
#include "setup/SetupPrivate.h"

#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using setup_internal::Text;

namespace {

constexpr size_t kCommandSize = 512;  // the command lines run with system(3)
constexpr int kMapWords = 7;          // part, type, class, path, mode, owner, group

// The library tree of the runtime modules below the product directory, made in
// this order after lib itself.
constexpr const char* kLibraryDirs[] = {
    "%s/lib/gtk",
    "%s/lib/gtk/modules",
    "%s/lib/gtk/modules/2.2.0",
    "%s/lib/gtk/modules/2.2.0/engines",
    "%s/lib/gtk/modules/2.2.0/immodules",
    "%s/lib/gtk/modules/2.2.0/loaders",
    "%s/lib/gtk/modules/etc",
    "%s/lib/gtk/modules/etc/gtk-2.0",
    "%s/lib/gtk/modules/etc/pango",
    "%s/lib/gtk/modules/include",
    "%s/lib/gtk/modules/modules",
    "%s/lib/gtk/modules/pango",
    "%s/lib/gtk/modules/pango/1.2.0",
    "%s/lib/gtk/modules/pango/1.2.0/modules",
};

// Formats a command line into the 512-byte buffer line; false when it does not fit.
bool FormatLine(char (&line)[kCommandSize], const char* fmt, ...) KANDU_PRINTF(2, 3);
bool FormatLine(char (&line)[kCommandSize], const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  const int n = std::vsnprintf(line, sizeof line, fmt, ap);
  va_end(ap);
  return n >= 0 && static_cast<size_t>(n) < sizeof line;
}

// Reports, on standard error and in the log, a command line that was not run
// because what it names does not fit the command buffer.
void Refuse(const char* what) {
  std::fflush(stdout);
  std::fprintf(stderr, "ERROR: command line longer than %zu characters, not run: %.200s\n",
               kCommandSize - 1, what);
  PutLogMsg("ERROR: command line longer than %zu characters, not run: %s\n", kCommandSize - 1,
            what);
}

// Runs a command line with system(3); the tools' failures are not examined.
void Execute(const char* line) {
  std::fflush(stdout);
  [[maybe_unused]] const int status = std::system(line);
}

// Makes D/lib (mode 755) and the module directories below it when D/lib is missing.
void MakeLibraryTree(const char* app) {
  char lib[kCommandSize];
  const int n = std::snprintf(lib, sizeof lib, "%s/lib", app);
  if (n < 0 || static_cast<size_t>(n) >= sizeof lib) {
    ErrorMsg(ERR_FATAL, 1, "path too long, %s/lib", app);
    return;
  }
  if (FindFile(lib, "")) return;
  CreateFile(lib, nullptr, "755", nullptr, nullptr);
  // The directory formats are the constant table above, each with one %s.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  for (const char* dir : kLibraryDirs) SysCmd(CMD_MKDIR, SYS_FATAL, dir, app);
#pragma GCC diagnostic pop
}

// Registers one regular file of the map with installf and copies it into place:
// an absolute path as it stands (from W/P/root), a relative one below the maker
// directory of the installation directory (from W/P/reloc). False, with nothing
// run, when either command line would not fit its buffer.
bool InstallMapFile(const char* pkg, char** w) {
  const char* work = Text(pKanduInstallDir);
  const char* target = Text(pTargetInstallDir);
  const char* type = w[1];
  const char* cls = w[2];
  const char* path = w[3];
  const char* mode = w[4];
  const char* owner = w[5];
  const char* group = w[6];
  char registration[kCommandSize];
  char copy[kCommandSize];
  bool fits;
  if (path[0] == '/') {
    fits = FormatLine(registration, "%s -c %s %s %s %s %s %s %s 1>/dev/null 2>/dev/null",
                      pPathToInstallf, cls, pkg, path, type, mode, owner, group) &&
           FormatLine(copy, "cp %s/%s/root%s %s", work, pkg, path, path);
  } else {
    fits = FormatLine(registration, "%s -c %s %s %s/%s/%s %s %s %s %s 1>/dev/null 2>/dev/null",
                      pPathToInstallf, cls, pkg, target, MAKER_NAME, path, type, mode, owner,
                      group) &&
           FormatLine(copy, "cp %s/%s/reloc/%s %s/%s/%s", work, pkg, path, target, MAKER_NAME,
                      path);
  }
  if (!fits) {
    Refuse(path);
    return false;
  }
  Execute(registration);
  Execute(copy);
  return true;
}

// Rewrites VERSION= in /var/sadm/pkg/P/pkginfo to the installer's version through
// pkginfo.tmp. Nothing is changed when the command line can't be formed.
void RewriteVersion(const char* pkg) {
  char edit[kCommandSize];
  if (!FormatLine(edit,
                  "sed -e \"s/VERSION=[0-9.].*/VERSION=%s/\" /var/sadm/pkg/%s/pkginfo >> "
                  "/var/sadm/pkg/%s/pkginfo.tmp",
                  SETUP_VERSION, pkg, pkg)) {
    Refuse(pkg);
    return;
  }
  SysCmd(CMD_RM_F, SYS_LOG, "/var/sadm/pkg/%s/pkginfo.tmp", pkg);
  Execute(edit);
  std::fputs(".", stdout);
  std::fflush(stdout);
  SysCmd(CMD_MV, SYS_LOG, "/var/sadm/pkg/%s/pkginfo.tmp /var/sadm/pkg/%s/pkginfo", pkg, pkg);
}

}  // namespace

// Brings the installed package pkg up to the package in pkgDir (the map
// pkgDir/OVNStvnn/pkgmap): registers and copies every regular file of the map,
// closes the registration and sets VERSION to the installer's version. Returns 1;
// the host tools' failures are not examined, an unreadable map ends the program
// (status 0), a failing mkdir -p ends it (status 1).
int upgradeSolarisPackage(const char* pkg, const char* pkgDir) {
  pkg = Text(pkg);
  MakeLibraryTree(Text(pAppDir));

  if (!OpenInputFileF(2, "%s/OVNStvnn/pkgmap", Text(pkgDir))) return 1;
  bool inLongLine = false;  // the pieces of a line too long for the reader
  while (GetFileLine()) {
    const bool cut = GetFileLineCut();
    if (inLongLine || cut) {
      if (!inLongLine) {
        std::fflush(stdout);
        std::fprintf(stderr, "ERROR: pkgmap line longer than 510 characters skipped: %.60s...\n",
                     LineBuf);
        PutLogMsg("ERROR: pkgmap line longer than 510 characters skipped: %.60s...\n", LineBuf);
      }
      inLongLine = cut;
      continue;
    }
    char copy[LINE_BUF_SIZE + 1];
    std::snprintf(copy, sizeof copy, "%s", LineBuf);
    char* words[kMapWords];
    int count = 0;
    char* save = nullptr;
    for (char* w = strtok_r(copy, " \n\r", &save); w != nullptr && count < kMapWords;
         w = strtok_r(nullptr, " \n\r", &save)) {
      words[count++] = w;
    }
    if (count < kMapWords || FindToken(words[1], ",f,d,i,") != 1) continue;
    if (!InstallMapFile(pkg, words)) continue;
    std::fputs(".", stdout);
    std::fflush(stdout);
  }

  char closing[kCommandSize];
  if (FormatLine(closing, "%s -f %s 1>/dev/null 2>/dev/null", pPathToInstallf, pkg)) {
    Execute(closing);
  } else {
    Refuse(pkg);
  }
  RewriteVersion(pkg);
  return 1;
}
