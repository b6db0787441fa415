// Driver.cpp - the installer's run state, its command line, the work-area base and
// the relocation of a previous installation.
#include "setup/setup.h"
#include "setup/SetupPrivate.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

char* pPathToSetup = nullptr;
char* pKanduInstallDir = nullptr;
char flCreatedTmpDir = 0;
char* pCmdLineInstallDir = nullptr;
char* pCurrentInstallDir = nullptr;
char* pTargetInstallDir = nullptr;
char* pAppDir = nullptr;
const char pBinaryInstanceCheckList[] = ",tvadmin,tvqadmin,tavlo,tvrtvnntty,TVQ,TVRM,qmf,";
const char pPathToInstallf[] = "/usr/sbin/installf";

namespace {

constexpr const char* kCommandWords = ",install,-v,--version";
constexpr int kInstallWord = 1;
constexpr int kVersionWord = 2;
constexpr int kLongVersionWord = 3;
constexpr const char* kHelpWords = ",-h,--help";
constexpr int kUsageErrorStatus = 2;

// The usage: the command-line forms, the answers of the question, the log, the
// variables of unattended runs. Each %s is the program's name (five of them).
constexpr const char* kUsage =
    "usage: %s [BASE] [install DIR]\n"
    "       %s BASE DIR\n"
    "       %s [BASE] -v | --version\n"
    "       %s -h | --help\n"
    "Installs the Tavlo suite from the distribution beside the program. Run it as root.\n"
    "  BASE          the work area is BASE/KanduInstall (default /tmp/KanduInstall);\n"
    "                a missing BASE is made\n"
    "  install DIR   the product goes to DIR/Kandu/tvnn (default: where the previous\n"
    "                installation is, else /usr); a previous one is moved there\n"
    "  -v, --version print the name and version on standard error and end\n"
    "  -h, --help    print this text and end\n"
    "When a print daemon is installed already, setup asks whether to continue:\n"
    "y or yes continues, n or no ends the run with nothing installed.\n"
    "LANG chooses the language of the messages. Every host command and its output\n"
    "is logged to /tmp/%s.log.\n"
    "Unattended runs (an empty variable counts as unset):\n"
    "  TVNN_CONTINUE=yes|no   answers the continue question\n"
    "  TVNN_RUNNING=wait|quit answers the running-programs menu (wait: 10 times at most)\n"
    "  TVNN_STATUS=detailed   a status of its own for each outcome (see setup(8))\n"
    "  TVNN_RESULT=FILE       writes what the run did to FILE as one JSON object\n";
constexpr int kInstallDirPosition = 2;  // a plain word at argv[2] names the installation directory

constexpr int kMsgCannotOpen = 3;  // "ERROR: couldn't open %s"

constexpr size_t kCommandPathSize = 512;  // the maker directory of the relocation

// A work-area base that this run made, and the nearest part of it that stood before.
struct CreatedBase {
  std::string base;
  std::string existed;
};

struct {
  std::vector<CreatedBase> created;  // in the order they were made
} S;

// The role of a word of the command line.
enum class Role { Base, InstallDir, Version };

// The directory the installer was started in; "" when it cannot be read.
std::string CurrentDirectory() {
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) return "";
  return cwd;
}

// An absolute form of word: a relative word is taken from the directory the
// installer was started in. Runs of '/', "." components and a trailing '/' are
// dropped ("/" stays "/"); ".." stays as written. A relative word that cannot be
// completed (unreadable current directory) is returned as it stands.
std::string CleanPath(std::string_view word) {
  std::string joined;
  if (!word.empty() && word[0] == '/') {
    joined = word;
  } else {
    const std::string cwd = CurrentDirectory();
    if (cwd.empty()) return std::string(word);
    joined = cwd + "/" + std::string(word);
  }
  std::string out;
  size_t pos = 0;
  while (pos <= joined.size()) {
    size_t slash = joined.find('/', pos);
    if (slash == std::string::npos) slash = joined.size();
    std::string_view part(joined.data() + pos, slash - pos);
    if (!part.empty() && part != ".") {
      out += '/';
      out += part;
    }
    pos = slash + 1;
  }
  return out.empty() ? "/" : out;
}

// The work-area base named by word: its clean absolute form, "" for the root (the
// work area is then /KanduInstall).
std::string BaseOf(const char* word) {
  std::string base = CleanPath(word);
  if (base == "/") base.clear();
  return base;
}

// The installation directory named by word: reduced to its installation directory
// (a product path such as /opt/Kandu/tvnn names /opt), then made clean and absolute.
std::string InstallDirOf(const char* word) {
  std::string copy(word);
  StripToBaseName(copy.data());
  copy.resize(std::strlen(copy.c_str()));
  return CleanPath(copy);
}

// Calls visit(role, word) for each word of the command line that takes effect, in
// order, up to and including "-v".
template <typename Visit>
void WalkWords(int argc, char** argv, Visit visit) {
  for (int i = 1; i < argc; ++i) {
    const char* word = argv[i] != nullptr ? argv[i] : "";
    switch (FindToken(word, kCommandWords)) {
      case kInstallWord:
        if (i + 1 < argc) {
          ++i;
          visit(Role::InstallDir, argv[i] != nullptr ? argv[i] : "");
        }
        break;
      case kVersionWord:
      case kLongVersionWord:
        visit(Role::Version, word);
        return;
      default:
        visit(i == kInstallDirPosition ? Role::InstallDir : Role::Base, word);
        break;
    }
  }
}

// Checks, before anything is made, every path the command line and the start-up
// produced: the words that name a work-area base or the installation directory (as
// written and as they will be used), and, unless "-v" ends the run first, the
// installer's own directory and name. An unsafe one ends the run with status 2.
void RefuseUnsafeWords(int argc, char** argv) {
  bool version = false;
  bool based = false;
  WalkWords(argc, argv, [&version, &based](Role role, const char* word) {
    switch (role) {
      case Role::Version:
        version = true;
        return;
      case Role::Base: {
        RequireSafePath("work-area base", word);
        const std::string base = BaseOf(word);
        if (!base.empty()) RequireSafePath("work-area base", base.c_str());
        RequireTrustedBase(base.empty() ? "/" : base.c_str());
        based = true;
        return;
      }
      case Role::InstallDir:
        RequireSafePath("installation directory", word);
        RequireSafePath("installation directory", InstallDirOf(word).c_str());
        return;
    }
  });
  if (version) return;
  if (!based) RequireTrustedBase(DEFAULT_WORK_AREA_BASE);
  RequireSafePath("installer directory", pPathToSetup);
  RequireSafePath("program name", my_name);
}

// Takes word as the installation directory.
void SetInstallDir(const char* word) { pCmdLineInstallDir = SaveStr_(InstallDirOf(word).c_str()); }

// Takes word as the work-area base: the work area becomes <base>/KanduInstall, and a
// missing base is made (with its parents) and remembered as made by this run. A
// base that still does not exist ends the run with message 3 and exit status 2.
void SetWorkAreaBase(const char* word) {
  const std::string base = BaseOf(word);
  pKanduInstallDir = SaveStr("%s/%sInstall", base.c_str(), MAKER_NAME);
  const char* dir = base.empty() ? "/" : base.c_str();
  if (!FindFile(dir, nullptr)) {
    flCreatedTmpDir = 1;
    char* existed = FindExistingPath(dir, nullptr);
    S.created.push_back({base, existed});
    PutMem(existed);
    CreateFile(dir, nullptr, nullptr, nullptr, nullptr);
  }
  if (FindFile(dir, nullptr)) return;
  PrintSetupMessage(kMsgCannotOpen, base.c_str());
  std::printf("\n\n");
  const std::string why = "the work-area base " + base + " cannot be made";
  EndRun(RunOutcome::Refused, 2, why.c_str());
}

// True when the product directory below target is, on disk, the very directory of
// the previous installation below current (the same tree reached by another
// spelling or through a link): moving it onto itself would remove it.
bool SameProductTree(const char* current, const char* target) {
  const std::string from = std::string(current) + "/" + MAKER_NAME + "/" + PRODUCT_NAME;
  const std::string to = std::string(target) + "/" + MAKER_NAME + "/" + PRODUCT_NAME;
  struct stat a;
  struct stat b;
  if (stat(from.c_str(), &a) != 0 || lstat(to.c_str(), &b) != 0) return false;
  return !S_ISLNK(b.st_mode) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Prints the usage to stream.
void PrintUsage(FILE* stream) {
  const char* name = setup_internal::RunName();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"  // kUsage is the literal above
  std::fprintf(stream, kUsage, name, name, name, name, name);
#pragma GCC diagnostic pop
}

}  // namespace

// Looks at every word of the command line before anything is made or logged:
// "-h" or "--help" prints the usage on standard output and ends with status 0;
// any other word beginning with '-' but "-v" and "--version" is refused: a line
// naming it and the usage on standard error, status 2.
void checkCommandLineOptions(int argc, char** argv) {
  bool help = false;
  for (int i = 1; i < argc; ++i) {
    const char* word = argv[i] != nullptr ? argv[i] : "";
    if (word[0] != '-') continue;
    if (FindToken(word, kHelpWords) != 0) {
      help = true;
      continue;
    }
    const int command = FindToken(word, kCommandWords);
    if (command == kVersionWord || command == kLongVersionWord) continue;
    std::fflush(stdout);
    std::fprintf(stderr, "%s: unknown option '%s'\n", setup_internal::RunName(), word);
    PrintUsage(stderr);
    exit_app(kUsageErrorStatus);
  }
  if (!help) return;
  PrintUsage(stdout);
  std::fflush(stdout);
  exit_app(0);
}

// Prints message number of the run's language, filled with the arguments, to
// standard output and flushes it.
void PrintSetupMessage(int number, ...) {
  va_list ap;
  va_start(ap, number);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"  // the table's texts are the formats
  std::vprintf(nlsSetupStrCvt(number), ap);
#pragma GCC diagnostic pop
  va_end(ap);
  std::fflush(stdout);
}

// Reads the command line from left to right: "install" and the word after it, or a
// plain word at argv[2], name the installation directory; "-v" prints the version
// and ends the run with status 0; any other word names a work-area base, made when
// missing. Unsafe paths end the run with status 2 before anything is made.
void parseCommandLineOptions(int argc, char** argv) {
  RefuseUnsafeWords(argc, argv);
  WalkWords(argc, argv, [](Role role, const char* word) {
    switch (role) {
      case Role::Version:
        std::fflush(stdout);
        std::fprintf(stderr, "%s %s\n", setup_internal::RunName(), SETUP_VERSION);
        exit_app(0);
      case Role::InstallDir:
        SetInstallDir(word);
        return;
      case Role::Base:
        SetWorkAreaBase(word);
        return;
    }
  });
}

// Moves the previous product tree C/Kandu/tvnn to T/Kandu/tvnn (C the previous,
// T the new installation directory) and makes /usr/Kandu/tvnn a link to it, unless
// it moves back to /usr. Whatever stood at T/Kandu/tvnn is removed first. Failing
// removals are logged; a failing move or link ends the run with status 1.
void relocatePreviousInstallation() {
  const char* current = pCurrentInstallDir;
  const char* target = pTargetInstallDir;
  if (current == nullptr || target == nullptr) return;
  if (SameProductTree(current, target)) {
    PutLogMsg("%s/%s/%s is the previous installation itself: nothing to move\n", target,
              MAKER_NAME, PRODUCT_NAME);
    return;
  }
  SysCmd(CMD_RM_RF, SYS_LOG, " %s", pAppDir);
  char makerDir[kCommandPathSize];
  const int n = std::snprintf(makerDir, sizeof makerDir, "%s/%s", target, MAKER_NAME);
  if (n < 0 || static_cast<size_t>(n) >= sizeof makerDir) {
    ErrorMsg(ERR_FATAL, 1, "path too long, %s/%s", target, MAKER_NAME);
  }
  CreateFile(makerDir, nullptr, "755", nullptr, nullptr);
  SysCmd(CMD_MV, SYS_FATAL, "-f %s/%s/%s %s/%s", current, MAKER_NAME, PRODUCT_NAME, target, MAKER_NAME);
  char fixed[kCommandPathSize];
  std::snprintf(fixed, sizeof fixed, "%s/%s/%s", DEFAULT_INSTALL_DIR, MAKER_NAME, PRODUCT_NAME);
  if (std::strcmp(pAppDir, fixed) == 0) return;
  SysCmd(CMD_RM_F, SYS_LOG, "%s/%s/%s", DEFAULT_INSTALL_DIR, MAKER_NAME, PRODUCT_NAME);
  SysCmd(CMD_LN, SYS_FATAL, "-s %s/%s/%s %s/%s/%s", target, MAKER_NAME, PRODUCT_NAME,
         DEFAULT_INSTALL_DIR, MAKER_NAME, PRODUCT_NAME);
}

// Removes the work-area bases made by this run, newest first, and the parents made
// with them, each with rmdir: a directory that is not empty (or not there) stops the
// climb for its base. Each removal is logged.
void removeCreatedWorkAreaBases() {
  for (auto it = S.created.rbegin(); it != S.created.rend(); ++it) {
    std::string dir = it->base;
    while (!dir.empty() && dir != it->existed && dir != "/") {
      if (rmdir(dir.c_str()) != 0) break;
      PutLogMsg("removed the empty work-area base %s\n", dir.c_str());
      const size_t slash = dir.rfind('/');
      if (slash == std::string::npos || slash == 0) break;
      dir.resize(slash);
    }
  }
  S.created.clear();
}
