// FuzzSupport.cpp - the shared part of the fuzz targets: the entry points, exit caught
// while an input runs, input parts, the scratch folder and the property checks.
#include "fuzz/support/FuzzSupport.h"

#include <filesystem>
#include <fstream>

#include <fcntl.h>

extern "C" void __real_exit(int status) __attribute__((noreturn));
extern "C" void __wrap_exit(int status) __attribute__((noreturn));

namespace {

struct {
  bool running = false;  // an input is being run: exit becomes fuzz::Exit
  std::string scratch;
  int reportFd = 2;  // standard error as it was before libFuzzer closed it
} S;

}  // namespace

// Every fuzz target is linked with --wrap=exit: while an input runs, the program's own
// end (exit_app) returns to the target as fuzz::Exit; otherwise exit works as always.
extern "C" void __wrap_exit(int status) {
  if (S.running) throw fuzz::Exit{status};
  __real_exit(status);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // libFuzzer's -close_fd_mask closes standard error after this: the reports of Check
  // keep a descriptor of their own.
  if (const int fd = fcntl(2, F_DUPFD_CLOEXEC, 3); fd >= 0) S.reportFd = fd;
  if (std::freopen("/dev/null", "r", stdin) == nullptr || std::freopen("/dev/null", "w", stdout) == nullptr)
    fuzz::Check(false, "/dev/null opens");
  unsetenv("LANG");
  my_name = const_cast<char*>("fuzz");
  fuzz::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}

namespace fuzz {

__attribute__((weak)) void Setup() {}

uint8_t TakeByte(std::string_view& input) {
  if (input.empty()) return 0;
  const auto byte = static_cast<uint8_t>(input[0]);
  input.remove_prefix(1);
  return byte;
}

std::vector<std::string> Split(std::string_view input, size_t n) {
  std::vector<std::string> parts;
  for (size_t nul; parts.size() + 1 < n && (nul = input.find('\0')) != std::string_view::npos;) {
    parts.emplace_back(input.substr(0, nul));
    input.remove_prefix(nul + 1);
  }
  parts.emplace_back(input);
  parts.resize(n);
  return parts;
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

std::string InScratch(std::string_view name) {
  if (S.scratch.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kandu-fuzz-XXXXXX";
    Check(mkdtemp(templ.data()) != nullptr, "the scratch folder can be made", templ);
    S.scratch = templ;
  }
  return name.empty() ? S.scratch : S.scratch + "/" + std::string(name);
}

void MakeDirs(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
}

void WriteFile(const std::string& path, std::string_view data) {
  MakeDirs(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  Check(static_cast<bool>(out.write(data.data(), static_cast<std::streamsize>(data.size()))),
        "the scratch file can be written", path);
}

void Check(bool ok, const char* what, std::string_view detail) {
  if (ok) return;
  std::string text = "\n==fuzz== property broken: " + std::string(what) + "\n";
  if (!detail.empty()) text += "==fuzz== detail: ";
  for (const char c : detail) {  // as C escapes: a line of the input may hold any byte
    const auto u = static_cast<unsigned char>(c);
    char esc[8];
    std::snprintf(esc, sizeof esc, "\\x%02x", u);
    text += u >= 0x20 && u < 0x7f && c != '\\' ? std::string(1, c) : std::string(esc);
  }
  text += detail.empty() ? "" : "\n";
  if (write(S.reportFd, text.data(), text.size()) < 0) {
    // Nothing more can be said; the abort below still ends the run as a crash.
  }
  std::abort();
}

long ManagedInUse() {
  long bytes = 0;
  for (const MemBlock* b = pMemB; b != nullptr; b = b->pNext)
    bytes += b->Size > MEM_BLOCK_SIZE ? b->Used : static_cast<long>(MEM_BLOCK_NODES - b->FreeNodes) * MEM_NODE_SIZE;
  return bytes;
}

}  // namespace fuzz
