// testutil.h - helpers shared by the tests: scratch directories and sandbox checks.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <ftw.h>
#include <unistd.h>

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

}  // namespace testutil
