// FileOps.cpp - creating, deleting and renaming files through host commands; the
// program's own directory, environment, user and host names.
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

namespace {

constexpr size_t TARGET_SIZE = 512;     // CreateFile's "<dir>/<name>"
constexpr size_t CWD_SIZE = 512;        // the current directory of GetToolPath
constexpr size_t USER_LINE_SIZE = 256;  // one line of whoami
constexpr size_t HOST_NAME_SIZE = 256;

// The directory part of a path: the text before its last '/' ("/" when that is the
// first character, "." when there is none), as the path splitter gives it.
std::string DirPart(std::string_view path) {
  size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

// An absolute path without empty and "." components, each ".." taking away the
// component before it (the parent of "/" is "/").
std::string Normalise(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    size_t slash = path.find('/');
    std::string_view part = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string result;
  for (std::string_view part : parts) {
    result += '/';
    result += part;
  }
  return result.empty() ? "/" : result;
}

// True when a relative directory part climbs with a ".." component.
bool Climbs(std::string_view dir) {
  for (size_t pos = 0; pos <= dir.size();) {
    size_t slash = dir.find('/', pos);
    if (slash == std::string_view::npos) slash = dir.size();
    if (dir.substr(pos, slash - pos) == "..") return true;
    pos = slash + 1;
  }
  return false;
}

// "root" for user id 0, otherwise "User ID:  <id>".
char* UserIdName() {
  uid_t uid = getuid();
  if (uid == 0) return SaveStr_("root");
  return SaveStr("User ID:  %d", static_cast<int>(uid));
}

}  // namespace

// Writes the formatted text to path, opened with the fopen mode, and gives it the
// permission bits perm (0 leaves them as created). Returns 1 when the file was
// written; 0, with "ERROR: couldn't open %s" or "couldn't write" on standard error,
// when it could not be opened or written.
int CreateTextFile(const char* path, const char* mode, int perm, const char* fmt, ...) {
  FILE* f = path && mode ? fopen(path, mode) : nullptr;
  if (!f) {
    fprintf(stderr, "ERROR: couldn't open %s\n", path ? path : "");
    return 0;
  }
  if (fmt) {
    va_list ap;
    va_start(ap, fmt);
    vfprintf(f, fmt, ap);
    va_end(ap);
  }
  bool failed = ferror(f) != 0;
  if (perm != 0 && fchmod(fileno(f), static_cast<mode_t>(perm)) != 0) failed = true;
  if (fclose(f) != 0) failed = true;
  if (failed) {
    fprintf(stderr, "ERROR: couldn't write %s\n", path);
    return 0;
  }
  return 1;
}

// Makes dir (mkdir -p) when it is missing, then, with a name, touches dir/name, and
// sets the mode, owner and group that are given on the target (dir/name, or dir).
// Every command runs in the fatal mode: a failure ends the process with status 1, as
// does a target longer than 511 characters, before anything is run.
void CreateFile(const char* dir, const char* name, const char* mode, const char* owner,
                const char* group) {
  if (!dir) return;
  if (name && !*name) name = nullptr;
  char target[TARGET_SIZE];
  int length = snprintf(target, sizeof(target), "%s%s%s", dir, name ? "/" : "", name ? name : "");
  if (length < 0 || static_cast<size_t>(length) >= sizeof(target)) {
    ErrorMsg(ERR_FATAL, 1, "path too long, %s%s%s", dir, name ? "/" : "", name ? name : "");
    return;
  }
  if (!FindFile(dir, nullptr)) SysCmd(CMD_MKDIR, SYS_FATAL, "%s", dir);
  if (name) SysCmd(CMD_TOUCH, SYS_FATAL, "%s", target);
  if (mode) SysCmd(CMD_CHMOD, SYS_FATAL, "%s %s", mode, target);
  if (owner) SysCmd(CMD_CHOWN, SYS_FATAL, "%s %s", owner, target);
  if (group) SysCmd(CMD_CHGRP, SYS_FATAL, "%s %s", group, target);
}

// Removes dir/name, or the path dir (or name, when dir is null), with "rm -rf" when it
// exists; a missing path runs nothing. A failing removal is logged as a warning.
void DeleteFile(const char* dir, const char* name) {
  if (!dir) {
    dir = name;
    name = nullptr;
  }
  if (!dir || !FindFile(dir, name)) return;
  SysCmd(CMD_RM_RF, SYS_LOG, "%s%s%s", dir, name ? "/" : "", name ? name : "");
}

// As DeleteFile, except that a null path does nothing.
void DeleteFile_(const char* path, const char* name) {
  if (!path) return;
  if (name) {
    if (!FindFile(path, name)) return;
  } else {
    std::string last = StripPath(path);
    if (!FindFile(DirPart(path).c_str(), last.c_str())) return;
  }
  SysCmd(CMD_RM_RF, SYS_LOG, "%s%s%s", path, name ? "/" : "", name ? name : "");
}

// Moves oldName to newName (both in dir when dir is given) with "mv -f", unlogged,
// when oldName exists; a missing source runs nothing. A failure is not fatal.
void RenameFile(const char* dir, const char* oldName, const char* newName) {
  if (!oldName || !newName) return;
  if (dir) {
    if (FindFile(dir, oldName)) SysCmd(-CMD_MV, SYS_LOG, "%s/%s %s/%s", dir, oldName, dir, newName);
    return;
  }
  if (FindFile(oldName, nullptr)) SysCmd(-CMD_MV, SYS_LOG, "%s %s", oldName, newName);
}

// A new managed copy of the variable's value ("" when set empty); null when unset.
char* GetEnv(const char* name) {
  const char* value = name ? getenv(name) : nullptr;
  return value ? SaveStr_(value) : nullptr;
}

// The directory that holds the program, from its invocation path: the path's own
// directory when it is absolute, otherwise that directory joined to the current one
// and normalised. A new managed text; the relative directory part as it stands when
// the current directory cannot be read (or is longer than 511 characters).
char* GetToolPath(const char* invocation) {
  std::string_view path = invocation ? invocation : "";
  std::string dir = DirPart(path);
  if (!path.empty() && path[0] == '/') return SaveStr_(dir.c_str());
  char cwd[CWD_SIZE];
  if (!getcwd(cwd, sizeof(cwd))) return SaveStr_(dir.c_str());
  std::string joined = std::string(cwd) + "/" + dir;
  if (Climbs(dir)) {
    // ".." goes up from where the link or directory really leads; ask the system.
    char real[PATH_MAX];
    if (realpath(joined.c_str(), real)) return SaveStr_(real);
  }
  return SaveStr_(Normalise(joined).c_str());
}

// The user's name as "whoami" prints it (a new managed text); without a usable
// whoami, "root" for user id 0 and "User ID:  <id>" otherwise. Null when the
// command cannot be started.
char* GetUserName() {
  char* command = GetCmd(CMD_WHOAMI);
  if (!command) return UserIdName();
  FILE* pipe = popen(command, "r");
  PutMem(command);
  if (!pipe) return nullptr;
  char line[USER_LINE_SIZE];
  bool got = fgets(line, sizeof(line), pipe) != nullptr;
  pclose(pipe);
  if (got) line[strcspn(line, "\r\n")] = '\0';
  if (!got || !line[0]) return UserIdName();
  return SaveStr_(line);
}

// The host's name, cut at its first line end; a new managed text, or null when the
// system does not tell it.
char* GetHostname() {
  char name[HOST_NAME_SIZE + 1];
  if (gethostname(name, HOST_NAME_SIZE) != 0) return nullptr;
  name[HOST_NAME_SIZE] = '\0';
  name[strcspn(name, "\r\n")] = '\0';
  return SaveStr_(name);
}

void OpenClosedStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int n = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (n < 0 || n == fd) continue;
    dup2(n, fd);
    close(n);
  }
}
