// Log.cpp - the program's log file in /tmp and the error reporters of the terminal.
#include "utils/utils.h"

#include "SysCmd/SysCmd.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

char flUseLog = 0;
char* my_name = nullptr;
const char* pLogPath = "/tmp";

namespace {

constexpr size_t kLogPathSize = 4096;

struct {
  bool firstCall = true;         // cleared by the first log line of the process
  FatalEndHook fatalEnd = nullptr;  // the program's end after a fatal report
  bool ending = false;           // the hook runs: a fatal report inside it just exits
} S;

// The program's name for the log file and the reports; the C library's short
// invocation name stands in while the program has not set my_name.
const char* ProgramName() {
  if (my_name != nullptr && *my_name != '\0') return my_name;
  return program_invocation_short_name;
}

// True when what stands at path may take the log's lines: a regular file with a
// single name and, for root, root's own. Anything else (a link, a fifo, a
// directory, a hard link to some other file, a file another user could swap for
// a link between two lines) is removed before the first line of a run.
bool IsSafeLog(const struct stat& st) {
  if (!S_ISREG(st.st_mode)) return false;
  if (st.st_nlink > 1) return false;
  if (geteuid() == 0 && st.st_uid != 0) return false;
  return true;
}

// Removes whatever unsafe thing stands at path. True when path is free afterwards.
bool RemoveUnsafe(const char* path) {
  struct stat st;
  if (lstat(path, &st) != 0) return errno == ENOENT;
  if (IsSafeLog(st)) return true;
  if (S_ISDIR(st.st_mode)) return rmdir(path) == 0;
  return unlink(path) == 0;
}

// Creates a missing log file without following a link and without racing one
// planted meanwhile (the file is made exclusively, mode 666 whatever the umask).
// True when this call made it.
bool CreateMissing(const char* path) {
  int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return false;  // already there (checked at the open) or not creatable
  fchmod(fd, 0666);
  close(fd);
  return true;
}

// True when name holds only letters, digits and . _ - + , : @, so that it stands as
// one plain word in a shell command line.
bool IsPlainWord(const char* name) {
  static constexpr const char* kPlain =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-+,:@";
  return *name != '\0' && name[std::strspn(name, kPlain)] == '\0';
}

// The new log is also touched and made world-writable with the table's touch and
// chmod, quietly, as the host's own tools see it. They act on the regular file
// just made, which nobody else may replace in the sticky /tmp. A log named after a
// program started under a name with blanks or shell characters (refused later by the
// installer) is left as made: such a name in a command line would act on other files
// or run other commands.
void TouchNewLog(const char* dir, const char* file) {
  if (!IsPlainWord(file)) return;
  if (!TestCmd(CMD_TOUCH) || !TestCmd(CMD_CHMOD) || !TestCmd(CMD_SH)) return;
  SysCmd(CMD_TOUCH, SYS_QUIET, "%s/%s", dir, file);
  SysCmd(CMD_CHMOD, SYS_QUIET, "666 %s/%s", dir, file);
}

// Opens the log for one line: never through a link, never anything but a safe
// regular file (a fifo is opened without blocking and then refused). The file is
// emptied only once it is known to be the log itself.
FILE* OpenLog(const char* path, bool truncate) {
  int fd = open(path, O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !IsSafeLog(st) || (truncate && ftruncate(fd, 0) != 0)) {
    close(fd);
    return nullptr;
  }
  fcntl(fd, F_SETFL, O_APPEND);  // drop the non-blocking flag
  FILE* f = fdopen(fd, "a");
  if (f == nullptr) close(fd);
  return f;
}

}  // namespace

// Appends the formatted text to /tmp/<my_name>.log while logging is on; the first
// line of the process empties the file. A log that cannot be opened is reported
// as "ERROR: couldn't open <path>" on standard error and the program goes on.
void PutLogMsg(const char* fmt, ...) {
  if (!flUseLog) return;
  pLogPath = "/tmp";
  const bool first = S.firstCall;
  S.firstCall = false;

  char path[kLogPathSize];
  const int n = std::snprintf(path, sizeof path, "%s/%s.log", pLogPath, ProgramName());
  if (n < 0 || static_cast<size_t>(n) >= sizeof path) {
    std::fprintf(stderr, "ERROR: couldn't open %s/%s.log\n", pLogPath, ProgramName());
    return;
  }
  if (first) RemoveUnsafe(path);
  if (CreateMissing(path)) TouchNewLog(pLogPath, path + std::strlen(pLogPath) + 1);

  FILE* log = OpenLog(path, first);
  if (log == nullptr) {
    std::fprintf(stderr, "ERROR: couldn't open %s\n", path);
    return;
  }
  va_list ap;
  va_start(ap, fmt);
  std::vfprintf(log, fmt, ap);
  va_end(ap);
  std::fclose(log);
}

// "\n<my_name>: <message> : <system error text>\n" on standard error, then the
// process ends with exit status 1. The error number is the one current at the call.
void SysError(const char* fmt, ...) {
  const int err = errno;
  char message[kLogPathSize];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(message, sizeof message, fmt, ap);
  va_end(ap);
  std::fflush(stdout);
  std::fprintf(stderr, "\n%s: %s : %s\n", ProgramName(), message, std::strerror(err));
  const size_t used = std::strlen(message);
  std::snprintf(message + used, sizeof message - used, " : %s", std::strerror(err));
  EndAfterFatal(1, message);
}

// Formats the message into Line; mode 1 warns on standard error, mode 2 reports
// "ERROR: <message>" there and ends the process with exitStatus, other modes are
// silent. The message stays in Line (cut to its size) for the caller.
void ErrorMsg(int mode, int exitStatus, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(Line, sizeof Line, fmt, ap);
  va_end(ap);
  if (mode == ERR_WARNING) {
    std::fprintf(stderr, "WARNING: %s\n", Line);
    return;
  }
  if (mode == ERR_FATAL) {
    std::fflush(stdout);
    std::fprintf(stderr, "ERROR: %s\n", Line);
    EndAfterFatal(exitStatus, Line);
  }
}

// "<my_name>: <message>\n" on standard error.
void errormsg(const char* fmt, ...) {
  std::fprintf(stderr, "%s: ", ProgramName());
  va_list ap;
  va_start(ap, fmt);
  std::vfprintf(stderr, fmt, ap);
  va_end(ap);
  std::fputc('\n', stderr);
}

// Ends the process with the given status; standard streams are flushed.
void exit_app(int status) { std::exit(status); }

void SetFatalEndHook(FatalEndHook hook) { S.fatalEnd = hook; }

// Through the hook once; a fatal report made while the hook runs ends the process
// at once, so a failing end cannot loop.
void EndAfterFatal(int status, const char* reason) {
  if (S.fatalEnd != nullptr && !S.ending) {
    S.ending = true;
    S.fatalEnd(status, reason != nullptr ? reason : "");
  }
  exit_app(status);
}
