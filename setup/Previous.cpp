// Previous.cpp - finds a previous installation through /usr/Kandu/tvnn, reduces a
// product path to its installation directory, and cleans up at the end of a run.
#include "setup/setup.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kLinkSize = 256;     // the link text, at most 255 bytes
constexpr size_t kCommandSize = 512;  // the tvqadmin command lines

// True when a and b name the same directory on disk.
bool SameDirectory(const char* a, const char* b) {
  struct stat sa;
  struct stat sb;
  return stat(a, &sa) == 0 && stat(b, &sb) == 0 && S_ISDIR(sa.st_mode) && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// Runs "<product dir>/tvqadmin <option>" through the shell, its output on the
// terminal, then writes a progress dot. The status is not examined.
void RunQueueAdmin(const char* option) {
  char command[kCommandSize];
  const int n = std::snprintf(command, sizeof command, "%s/tvqadmin %s", pAppDir, option);
  if (n >= 0 && static_cast<size_t>(n) < sizeof command) {
    std::fflush(stdout);
    if (std::system(command) == -1) PutLogMsg("WARNING_MSG: could not start %s\n", command);
  } else {
    PutLogMsg("WARNING_MSG: %s/tvqadmin: path too long, not run\n", pAppDir);
  }
  std::fputs(".", stdout);
}

}  // namespace

// The installation directory of the previous installation, found through the
// fixed product path /usr/Kandu/tvnn, as a managed text; null when there is none.
// A link there that leads to no directory is removed (logged). A link target that
// is unsafe in command lines ends the run with status 2.
char* locatePreviousInstallation() {
  char fixed[kCommandSize];
  std::snprintf(fixed, sizeof fixed, "%s/%s/%s", DEFAULT_INSTALL_DIR, MAKER_NAME, PRODUCT_NAME);
  struct stat st;
  if (lstat(fixed, &st) != 0) return nullptr;
  char link[kLinkSize] = {};
  if (readlink(fixed, link, kLinkSize - 1) < 0) return SaveStr_(DEFAULT_INSTALL_DIR);
  // The link is followed from where it stands, so a relative target counts from
  // /usr/Kandu whatever the installer's own current directory is.
  if (stat(fixed, &st) != 0 || !S_ISDIR(st.st_mode)) {
    SysCmd(CMD_RM_F, SYS_LOG, "%s/%s/%s", DEFAULT_INSTALL_DIR, MAKER_NAME, PRODUCT_NAME);
    return nullptr;
  }
  char* copy = nullptr;
  if (link[0] == '/') {
    copy = SaveStr("%s", link);
  } else {
    copy = SaveStr("%s/%s", DEFAULT_INSTALL_DIR, link);
    // "/usr/<text>" names the product directory for the usual "../../opt/..." link;
    // for any other relative link the directory the link really leads to is taken.
    if (!SameDirectory(copy, fixed)) {
      char real[PATH_MAX];
      if (realpath(fixed, real) != nullptr) {
        PutMem(copy);
        copy = SaveStr_(real);
      }
    }
  }
  RequireSafePath("previous installation", copy);
  return StripToBaseName(copy);
}

// Reduces path in place to its installation directory: cut at the first "tvnn",
// then at the first "Kandu", then one trailing '/' is dropped from a path of two
// characters or more. Returns path (null gives null).
char* StripToBaseName(char* path) {
  if (path == nullptr) return nullptr;
  if (char* p = std::strstr(path, PRODUCT_NAME)) *p = '\0';
  if (char* p = std::strstr(path, MAKER_NAME)) *p = '\0';
  const size_t len = std::strlen(path);
  if (len >= 2 && path[len - 1] == '/') path[len - 1] = '\0';
  return path;
}

// The last step of a run: removes the work area (and the work-area bases this run
// made, when empty), then starts the product's tvqadmin with -upgrade and -clean,
// printing a dot after each and a line feed at the end. Failures are logged only.
void KanduClean(const char* workArea) {
  if (chdir("/") != 0) PutLogMsg("WARNING_MSG: cannot change to /\n");
  SysCmd(CMD_RM_RF, SYS_LOG, " %s", workArea);
  if (flCreatedTmpDir) {
    if (chdir(DEFAULT_INSTALL_DIR) != 0) PutLogMsg("WARNING_MSG: cannot change to /usr\n");
    SysCmd(CMD_RM_RF, SYS_LOG, " %s", pKanduInstallDir);
    removeCreatedWorkAreaBases();
  }
  RunQueueAdmin("-upgrade");
  RunQueueAdmin("-clean");
  std::fputs("\n", stdout);
  std::fflush(stdout);
}
