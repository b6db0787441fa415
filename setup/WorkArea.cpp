// WorkArea.cpp - the installer's private places: a work area no one else can touch,
// and the lock that keeps two runs apart.
#include "setup/setup.h"

#include "utils/utils.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

const char* pRunLockPath = nullptr;

namespace {

// Where the lock may live, in order: a folder only root may write to.
constexpr const char* kLockPaths[] = {"/run/tvnn-setup.lock", "/var/lock/tvnn-setup.lock"};

// Ends the run: the work area cannot be trusted.
[[noreturn]] void NotSafe(const char* workArea, const std::string& reason) {
  PutLogMsg("ERROR: the work area %s is not safe: %s\n", workArea, reason.c_str());
  ErrorMsg(ERR_FATAL, 1, "the work area %s is not safe: %s; choose another work-area base", workArea, reason.c_str());
  std::abort();  // not reached: ErrorMsg's mode 2 ends the run
}

// The process id written in the lock file fd, or 0.
long HolderOf(int fd) {
  char text[32] = {0};
  const ssize_t got = pread(fd, text, sizeof text - 1, 0);
  return got > 0 ? std::strtol(text, nullptr, 10) : 0;
}

}  // namespace

void makeWorkArea(const char* workArea) {
  DeleteFile(workArea, nullptr);
  if (mkdir(workArea, 0700) != 0) {
    NotSafe(workArea, errno == EEXIST ? "it still exists after its removal" : std::strerror(errno));
  }
  struct stat st;
  if (lstat(workArea, &st) != 0) NotSafe(workArea, std::strerror(errno));
  if (!S_ISDIR(st.st_mode)) NotSafe(workArea, "it is not a folder");
  if (st.st_uid != geteuid()) NotSafe(workArea, "it is owned by uid " + std::to_string(st.st_uid));
  if ((st.st_mode & 077) != 0) {
    char mode[16];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    NotSafe(workArea, std::string("other users may use it (mode ") + mode + ")");
  }
  PutLogMsg("made the work area %s (mode 0700)\n", workArea);
}

void lockRun() {
  for (const char* path : kLockPaths) {
    std::string folder(path);
    folder.resize(folder.rfind('/'));
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    // No link is followed, and the file must be this user's own plain file: a lock
    // planted by another user could otherwise keep every run out.
    const int fd = open(path, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
      PutLogMsg("WARNING_MSG: cannot use the lock %s: %s; the run is not locked\n", path,
                fd < 0 ? std::strerror(errno) : "not a plain file of this user");
      if (fd >= 0) close(fd);
      return;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const long holder = HolderOf(fd);
      const std::string why = "another run of setup (process id " + std::to_string(holder) + ") is installing";
      PutLogMsg("%s\n", why.c_str());
      std::printf("%s; try again when it has ended\n", why.c_str());
      removeCreatedWorkAreaBases();  // the other run may be using them: rmdir leaves a full one
      EndRun(RunOutcome::Busy, 0, why.c_str());
    }
    char pid[32];
    const int n = std::snprintf(pid, sizeof pid, "%ld\n", static_cast<long>(getpid()));
    if (ftruncate(fd, 0) != 0 || pwrite(fd, pid, static_cast<size_t>(n), 0) != n) {
      PutLogMsg("WARNING_MSG: cannot write the process id into %s\n", path);
    }
    pRunLockPath = path;  // the descriptor stays open: the kernel drops the lock when the run ends
    return;
  }
  PutLogMsg("WARNING_MSG: neither /run nor /var/lock is there; the run is not locked\n");
}
