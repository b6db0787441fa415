// PkgTestUtil.h - helpers of the package-list, queue-script and package-upgrade
// tests: the command layer, the log, expected command lines and stand-in tools.
#pragma once

#include "testutil.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"
#include "utils/utils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pkgtest {

constexpr const char* kLog = "/tmp/setup.log";

// Resolves the command table once per process and sets the program's name. Inside
// the sandbox logging is on (the log is /tmp/setup.log); outside it is off, so a
// test never writes the machine's /tmp.
inline void InitCommandLayer() {
  my_name = SaveStr_("setup");
  if (flInitSysCmd) InitSysCmdList();
  flUseLog = testutil::InSandbox() ? 1 : 0;
  flSysCmdLog = flUseLog;
}

// Empties the log (inside the sandbox only).
inline void ClearLog() {
  if (testutil::InSandbox()) ::truncate(kLog, 0);
}

inline std::string LogText() { return testutil::ReadFile(kLog); }

// The line the runner logs for table entry index with the argument text args.
inline std::string CmdLine(int index, const std::string& args) {
  const ComListEntry& sh = ComList[31];
  const ComListEntry& e = ComList[index];
  return std::string(sh.pPath) + "/" + sh.pName + " -c \"" + e.pPath + "/" + e.pName + " " +
         e.pFlags + " " + args;
}

// Points a table entry at another directory (null: unresolved) for one test.
class EntryAt {
 public:
  EntryAt(int index, const std::string* dir) : index_(index), saved_(ComList[index].pPath) {
    ComList[index].pPath = dir != nullptr ? SaveStr_(dir->c_str()) : nullptr;
  }
  ~EntryAt() { ComList[index_].pPath = saved_; }
  EntryAt(const EntryAt&) = delete;
  EntryAt& operator=(const EntryAt&) = delete;

 private:
  int index_;
  char* saved_;
};

// Writes an executable file (mode 755).
inline bool WriteTool(const std::string& path, const std::string& text) {
  return testutil::WriteFile(path, text) && ::chmod(path.c_str(), 0755) == 0;
}

inline int Mode(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

inline std::string LinkText(const std::string& path) {
  char buf[4096];
  const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
  return n < 0 ? std::string() : std::string(buf, static_cast<size_t>(n));
}

// What path itself is: 0 nothing, 1 directory, 2 symbolic link, 3 anything else.
inline int GetFileTypeOf(const std::string& path) { return GetFileType(path.c_str()); }

inline bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// Runs program with args in dir, with exactly the environment env, standard input
// read from the file in and standard output written to the file out; returns the
// wait status.
inline int RunIn(const std::string& dir, const std::vector<std::string>& argv,
                 const std::vector<std::string>& env, const std::string& in = "/dev/null",
                 const std::string& out = "/dev/null") {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(in.c_str(), O_RDONLY);
    const int ofd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ofd < 0 || ::dup2(fd, 0) < 0 || ::dup2(ofd, 1) < 0 || ::chdir(dir.c_str()) != 0)
      ::_exit(126);
    std::vector<char*> a;
    for (const std::string& s : argv) a.push_back(const_cast<char*>(s.c_str()));
    a.push_back(nullptr);
    std::vector<char*> e;
    for (const std::string& s : env) e.push_back(const_cast<char*>(s.c_str()));
    e.push_back(nullptr);
    ::execve(a[0], a.data(), e.data());
    ::_exit(127);
  }
  int status = -1;
  ::waitpid(pid, &status, 0);
  return status;
}

// The exit status of a wait status (-1 when the process did not exit).
inline int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace pkgtest
