// FuzzSupport.cpp - the shared part of the fuzz targets: exit caught while an input
// runs, the scratch folder, input parts and the property checks.
#include "fuzz/support/FuzzSupport.h"

#include "MemMgr/MemMgr.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" void __real_exit(int status) __attribute__((noreturn));
extern "C" void __wrap_exit(int status) __attribute__((noreturn));

namespace {

struct {
  bool running = false;  // an input is being run: exit becomes fuzz::Exit
  std::string scratch;
  int reportFd = 2;  // standard error as it was before libFuzzer closed it
} S;

void RemoveTree(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    fuzz::EmptyDir(path);
    rmdir(path.c_str());
    return;
  }
  unlink(path.c_str());
}

}  // namespace

// Every fuzz target is linked with --wrap=exit: while an input runs, the program's
// own end (exit_app) returns to the target as fuzz::Exit; otherwise, libFuzzer's
// own ends included, exit works as always.
extern "C" void __wrap_exit(int status) {
  if (S.running) throw fuzz::Exit{status};
  __real_exit(status);
}

namespace fuzz {

void Init() {
  static bool done = false;
  if (done) return;
  done = true;
  // libFuzzer's -close_fd_mask closes standard error after this: the reports of
  // Check keep a descriptor of their own.
  const int report = fcntl(2, F_DUPFD_CLOEXEC, 3);
  if (report >= 0) S.reportFd = report;
  int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  int out = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (in >= 0) dup2(in, 0);
  if (out >= 0) dup2(out, 1);
  if (in > 1) close(in);
  if (out > 1) close(out);
  unsetenv("LANG");
}

int GuardRun(void (*f)(void*), void* arg) {
  S.running = true;
  int status = -1;
  try {
    f(arg);
  } catch (const Exit& e) {
    status = e.status;
  }
  S.running = false;
  std::fflush(stdout);
  return status;
}

const std::string& Scratch() {
  if (!S.scratch.empty()) return S.scratch;
  const char* tmp = std::getenv("TMPDIR");
  std::string templ = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kandu-fuzz-XXXXXX";
  if (mkdtemp(templ.data()) == nullptr) {
    std::perror("fuzz: cannot make a scratch folder");
    __real_exit(1);
  }
  S.scratch = templ;
  return S.scratch;
}

std::string InScratch(std::string_view name) { return Scratch() + "/" + std::string(name); }

void MakeDirs(const std::string& path) {
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos == path.size() || path[pos] == '/') mkdir(path.substr(0, pos).c_str(), 0755);
  }
}

void WriteFile(const std::string& path, std::string_view data) {
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) MakeDirs(path.substr(0, slash));
  FILE* f = std::fopen(path.c_str(), "wb");
  Check(f != nullptr, "the scratch file can be written", path);
  if (!data.empty()) std::fwrite(data.data(), 1, data.size(), f);
  std::fclose(f);
}

void EmptyDir(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return;
  std::vector<std::string> names;
  while (dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
  }
  closedir(dir);
  for (const std::string& name : names) RemoveTree(path + "/" + name);
}

std::vector<std::string> Split(const uint8_t* data, size_t size, size_t n) {
  std::vector<std::string> parts;
  const char* p = reinterpret_cast<const char*>(data);
  const char* end = p + size;
  while (parts.size() + 1 < n && p < end) {
    const char* nul = static_cast<const char*>(std::memchr(p, '\0', static_cast<size_t>(end - p)));
    if (nul == nullptr) break;
    parts.emplace_back(p, static_cast<size_t>(nul - p));
    p = nul + 1;
  }
  parts.emplace_back(p, static_cast<size_t>(end - p));
  parts.resize(n);
  return parts;
}

void Check(bool ok, const char* what, std::string_view detail) {
  if (ok) return;
  std::string text = "\n==fuzz== property broken: " + std::string(what) + "\n";
  if (!detail.empty()) {
    // The detail as C escapes: a line of the input may hold any byte.
    text += "==fuzz== detail: ";
    for (const char c : detail) {
      const auto u = static_cast<unsigned char>(c);
      if (c == '\n') {
        text += "\\n";
      } else if (c == '\\' || u < 0x20 || u >= 0x7f) {
        char esc[8];
        std::snprintf(esc, sizeof esc, "\\x%02x", u);
        text += esc;
      } else {
        text += c;
      }
    }
    text += "\n";
  }
  if (write(S.reportFd, text.data(), text.size()) < 0) {
    // Nothing more can be said; the abort below still ends the run as a crash.
  }
  std::abort();
}

long ManagedInUse() {
  long bytes = 0;
  for (const MemBlock* b = pMemB; b != nullptr; b = b->pNext) {
    bytes += b->Size > MEM_BLOCK_SIZE ? b->Used
                                      : static_cast<long>(MEM_BLOCK_NODES - b->FreeNodes) * MEM_NODE_SIZE;
  }
  return bytes;
}

}  // namespace fuzz
