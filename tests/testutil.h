// testutil.h - helpers shared by the tests: scratch directories, files, sandbox checks,
// managed texts and child processes whose output is captured.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "MemMgr/MemMgr.h"

#if KANDU_COVERAGE
extern "C" void __gcov_dump();  // writes the coverage counters of a process that ends with _exit
#endif

namespace testutil {

// Skips the current test unless it runs in the project's sandbox, where /tmp is private
// and /usr, /etc, /var and /opt are overlays, so a test may write to those fixed places;
// the skip says why the sandbox is missing, as its --or-bare fallback tells.
#define REQUIRE_SANDBOX() \
  do { \
    if (!std::getenv("KANDU_SANDBOX")) GTEST_SKIP() << "needs the sandbox: " << std::getenv("KANDU_NO_SANDBOX"); \
  } while (0)

// A new empty directory for one test, removed with its content when the object goes away.
class ScratchDir {
 public:
  ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    path_ = std::string(base && *base ? base : "/tmp") + "/kandu-test-XXXXXX";
    if (!mkdtemp(path_.data())) std::abort();
  }
  ~ScratchDir() { std::filesystem::remove_all(path_, error_); }
  ScratchDir(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::error_code error_;
};

// Whole content of a file ("" when it cannot be read).
inline std::string ReadFile(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

// Writes a file with the given content; true on success.
inline bool WriteFile(const std::string& path, const std::string& content) {
  return static_cast<bool>(std::ofstream(path, std::ios::binary | std::ios::trunc) << content);
}

// Writes an executable file (mode 755); true on success.
inline bool WriteTool(const std::string& path, const std::string& text) {
  return WriteFile(path, text) && ::chmod(path.c_str(), 0755) == 0;
}

// The permission bits of what stands at path (not followed), -1 when nothing does.
inline int Mode(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

// True when anything, a dangling link too, stands at path.
inline bool Exists(const std::string& path) { return Mode(path) != -1; }

// True when text is pattern, each '*' of which stands for any text.
inline bool Matches(const std::string& pattern, const std::string& text) {
  return fnmatch(pattern.c_str(), text.c_str(), 0) == 0;
}

// A managed text as a std::string, released with PutMem; "(null)" for null.
inline std::string Take(char* text) {
  const std::string s = text != nullptr ? text : "(null)";
  PutMem(text);
  return s;
}

// What a child process did: its wait status, standard output, standard error and
// the value its body returned (-9999 when the body did not return).
struct Child {
  int status = -1;
  std::string out, err;
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
    if constexpr (std::is_void_v<decltype(body())>) body();
    else v = body();
    std::fflush(nullptr);
    WriteFile(value, std::to_string(v));
#if KANDU_COVERAGE
    __gcov_dump();
#endif
    _exit(0);
  }
  int status = -1;
  waitpid(pid, &status, 0);
  const std::string v = ReadFile(value);
  return {status, ReadFile(out), ReadFile(err), v.empty() ? -9999 : std::stoi(v)};
}

// Everything f writes to the descriptor fd (1 or 2) while it runs in this process.
template <typename F>
std::string CaptureFd(int fd, F&& f) {
  fd == 1 ? testing::internal::CaptureStdout() : testing::internal::CaptureStderr();
  f();
  std::fflush(nullptr);
  return fd == 1 ? testing::internal::GetCapturedStdout() : testing::internal::GetCapturedStderr();
}

// The lines of a text, without their line feeds.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace testutil
