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
  bool running = false;  // an input is being run: exit becomes Exit
  std::string scratch;
  int reportFd = 2;  // standard error as it was before libFuzzer closed it
} S;

// Bytes of managed memory handed out and not released.
long ManagedInUse() {
  long bytes = 0;
  for (const MemBlock* b = pMemB; b != nullptr; b = b->pNext)
    bytes += b->Size > MEM_BLOCK_SIZE ? b->Used : static_cast<long>(MEM_BLOCK_NODES - b->FreeNodes) * MEM_NODE_SIZE;
  return bytes;
}

// Thrown in place of ending the process while an input runs.
struct Exit { int status; };

}  // namespace

// Every fuzz target is linked with --wrap=exit: while an input runs, the program's own
// end (exit_app) returns to Guard as Exit; otherwise exit works as always.
extern "C" void __wrap_exit(int status) {
  if (S.running) throw Exit{status};
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
  const uint8_t byte = input.empty() ? 0 : static_cast<uint8_t>(input[0]);
  input.remove_prefix(input.empty() ? 0 : 1);
  return byte;
}

std::vector<std::string> Split(std::string_view input, size_t n) {
  std::vector<std::string> parts(n);
  for (size_t i = 0; i < n; ++i) {
    const size_t nul = i + 1 < n ? input.find('\0') : std::string_view::npos;
    parts[i] = input.substr(0, nul);
    input.remove_prefix(nul == std::string_view::npos ? input.size() : nul + 1);
  }
  return parts;
}

int Guard(const std::function<void()>& f) {
  S.running = true;
  int status = -1;
  try {
    f();
  } catch (const Exit& e) {
    status = e.status;
  }
  S.running = false;
  return status;
}

std::string InScratch(std::string_view name) {
  if (S.scratch.empty()) {
    char templ[] = "/tmp/kandu-fuzz-XXXXXX";  // the sandbox's private /tmp
    Check(mkdtemp(templ) != nullptr, "the scratch folder can be made");
    S.scratch = templ;
  }
  return name.empty() ? S.scratch : S.scratch + "/" + std::string(name);
}

void WriteFile(const std::string& path, std::string_view data) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  Check(static_cast<bool>(out.write(data.data(), static_cast<std::streamsize>(data.size()))),
        "the scratch file can be written", path);
}

void Check(bool ok, const char* what, std::string_view detail) {
  if (ok) return;
  std::string text = "\n==fuzz== property broken: " + std::string(what) + "\n";
  std::string shown(detail);  // a line of the input may hold any byte: '?' for those not printable
  for (char& c : shown) c = c >= 0x20 && c < 0x7f ? c : '?';
  if (!detail.empty()) text += "==fuzz== detail: " + shown + "\n";
  // When even this fails nothing more can be said; the abort still ends the run as a crash.
  [[maybe_unused]] const ssize_t written = write(S.reportFd, text.data(), text.size());
  std::abort();
}

void CheckReleased(const char* what, const std::function<void()>& f, bool twice) {
  if (twice) f();
  const long before = ManagedInUse();
  f();
  Check(ManagedInUse() == before, what);
}

}  // namespace fuzz
