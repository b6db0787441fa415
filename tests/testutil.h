// testutil.h - helpers shared by the tests: scratch directories, files, sandbox checks,
// managed texts and child processes whose output is captured.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "MemMgr/MemMgr.h"

namespace testutil {

// True inside the project's sandbox, where /tmp is private and /usr, /etc, /var
// and /opt are overlays, so a test may write to those fixed places.
inline bool InSandbox() { return std::getenv("KANDU_SANDBOX") != nullptr; }

// Skips the current test unless it runs in the sandbox.
#define REQUIRE_SANDBOX()                                                              \
  do {                                                                                 \
    if (!testutil::InSandbox()) {                                                      \
      const char* why_ = std::getenv("KANDU_NO_SANDBOX");                              \
      GTEST_SKIP() << "needs the sandbox: " << (why_ ? why_ : "not run by the sandbox"); \
    }                                                                                  \
  } while (0)

// A new empty directory for one test, removed when the object goes away.
class ScratchDir {
 public:
  ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/kandu-test-XXXXXX";
    path_ = tmpl;
    if (!mkdtemp(path_.data())) std::abort();
  }
  ~ScratchDir() {
    nftw(path_.c_str(), [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p); },
         16, FTW_DEPTH | FTW_PHYS);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Whole content of a file ("" when it cannot be read).
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Writes a file with the given content; true on success.
inline bool WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out);
}

// Writes an executable file (mode 755); true on success.
inline bool WriteTool(const std::string& path, const std::string& text) {
  return WriteFile(path, text) && ::chmod(path.c_str(), 0755) == 0;
}

// True when anything, a dangling link too, stands at path.
inline bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The permission bits of what stands at path (not followed), -1 when nothing does.
inline int Mode(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

// A managed text as a std::string, released with PutMem; "(null)" for null.
inline std::string Take(char* text) {
  if (text == nullptr) return "(null)";
  std::string s = text;
  PutMem(text);
  return s;
}

// What a child process did: its wait status, standard output, standard error and
// the value its body returned (-9999 when the body did not return).
struct Child {
  int status = -1;
  std::string out;
  std::string err;
  int value = 0;
  bool Exited(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
};

// Runs body in a child process with standard output and error sent to files, so
// that its changes to the shared state and a process end stay in the child; the
// child ends with status 0 when body returns (an int or nothing). A child that
// blocks is ended after a minute.
template <typename Body>
Child RunChild(Body body) {
  ScratchDir dir;
  const std::string out = dir / "out", err = dir / "err", value = dir / "value";
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    alarm(60);
    int v = 0;
    if constexpr (std::is_void_v<decltype(body())>) {
      body();
    } else {
      v = body();
    }
    std::fflush(nullptr);
    WriteFile(value, std::to_string(v));
    _exit(0);
  }
  Child c;
  waitpid(pid, &c.status, 0);
  c.out = ReadFile(out);
  c.err = ReadFile(err);
  const std::string v = ReadFile(value);
  c.value = v.empty() ? -9999 : std::stoi(v);
  return c;
}

// Everything f writes to the descriptor fd (1 or 2) while it runs in this process.
template <typename F>
std::string CaptureFd(int fd, F&& f) {
  ScratchDir dir;
  const std::string path = dir / "captured";
  std::fflush(nullptr);
  const int saved = dup(fd);
  FILE* out = std::fopen(path.c_str(), "w");
  dup2(fileno(out), fd);
  f();
  std::fflush(nullptr);
  dup2(saved, fd);
  close(saved);
  std::fclose(out);
  return ReadFile(path);
}

// Runs argv[0] with its arguments in dir, with exactly the environment env, standard
// input read from the file in and standard output written to the file out; returns
// the exit status (-1 when the program did not exit).
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
    std::vector<char*> a, e;
    for (const std::string& s : argv) a.push_back(const_cast<char*>(s.c_str()));
    for (const std::string& s : env) e.push_back(const_cast<char*>(s.c_str()));
    a.push_back(nullptr);
    e.push_back(nullptr);
    ::execve(a[0], a.data(), e.data());
    ::_exit(127);
  }
  int status = -1;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A process of the given name (a copy of sleep in dir) that runs for a minute unless
// ended earlier; its id, or -1.
inline pid_t SpawnNamed(const std::string& dir, const std::string& name) {
  const std::string prog = dir + "/" + name;
  if (::access(prog.c_str(), X_OK) != 0 && std::system(("cp /bin/sleep '" + prog + "'").c_str()) != 0)
    return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    execl(prog.c_str(), name.c_str(), "60", static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Ends a process started by SpawnNamed and collects it.
inline void EndSpawned(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// The lines of a text, without their line feeds.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace testutil
