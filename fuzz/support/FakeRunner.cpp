// FakeRunner.cpp - the host of the fuzz targets that run the installer's code: linked
// with --wrap for SysCmd, system, posix_spawn, popen, pclose and sleep, it records each table command
// the code asks for and lets the real runner compose its line, checks that the line
// would reach the shell intact, and runs nothing; pipes read scripted output and the
// pauses of the main thread take no time.
#include "SysCmd/SysCmd.h"
#include "fuzz/support/FuzzSupport.h"

#include <cerrno>
#include <cstdarg>

#include <spawn.h>

int RealSysCmd(int index, int mode, const char* fmt, ...) __asm__("__real__Z6SysCmdiiPKcz") KANDU_PRINTF(3, 4);
int FakeSysCmd(int index, int mode, const char* fmt, ...) __asm__("__wrap__Z6SysCmdiiPKcz") KANDU_PRINTF(3, 4);
extern "C" unsigned __real_sleep(unsigned seconds);

namespace {

std::string piped;  // the output of the open pipe

}  // namespace

fuzz::FakeHost fuzz::host;

int FakeSysCmd(int index, int mode, const char* fmt, ...) {
  static char args[1 << 17];  // far beyond every line the runner accepts
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(args, sizeof args, fmt, ap);
  va_end(ap);
  fuzz::host.commands.emplace_back(index, args);
  const int result = RealSysCmd(index, mode, "%s", args);
  // The fake rm removes a path the target allowed, when the command names it alone.
  const char* path = args + std::strspn(args, " ");
  if ((index == CMD_RM_F || index == CMD_RM_RF) && !fuzz::host.removable.empty() && fuzz::host.removable == path) unlink(path);
  return result;
}

extern "C" int __wrap_system(const char* command) {
  const std::string line = command != nullptr ? command : "";
  const ComListEntry& sh = ComList[CMD_SH];
  const std::string quoted = sh.pPath != nullptr ? std::string(sh.pPath) + "/" + sh.pName + " -c \"" : "";
  if (quoted.empty() || line.rfind(quoted, 0) != 0) return 0;
  // A table command is one double-quoted word of "sh -c": a double quote inside it, or a
  // backslash that escapes the closing quote, would let the rest reach the shell outside it.
  const std::string inside = line.substr(quoted.size(), line.size() - quoted.size() - 1);
  fuzz::Check(line.back() == '"' && inside.find('"') == std::string::npos,
              "no double quote reaches a quoted command line", line);
  const size_t backslashes = inside.size() - (inside.find_last_not_of('\\') + 1);  // npos + 1 is 0
  fuzz::Check(backslashes % 2 == 0, "the closing quote of a command line is never escaped", line);
  return 0;
}

// No process is started: the runner, refused a direct start, hands the line to system,
// whose wrapper above checks it.
extern "C" int __wrap_posix_spawn(pid_t*, const char*, const posix_spawn_file_actions_t*, const posix_spawnattr_t*,
                                  char* const[], char* const[]) {
  return ENOSYS;
}

// A pipe gives the scripted output of the table command it runs, nothing for others.
extern "C" FILE* __wrap_popen(const char* command, const char*) {
  piped.clear();
  for (const auto& [index, text] : fuzz::host.outputs) {
    const ComListEntry& e = ComList[index];
    const std::string start = e.pPath != nullptr ? std::string(e.pPath) + "/" + e.pName + " " + e.pFlags + " " : "";
    if (!start.empty() && std::string(command).rfind(start, 0) == 0) piped = text;
  }
  return piped.empty() ? std::fopen("/dev/null", "r") : fmemopen(piped.data(), piped.size(), "r");
}

extern "C" int __wrap_pclose(FILE* pipe) { return std::fclose(pipe); }

// libFuzzer's own threads keep their pauses.
extern "C" unsigned __wrap_sleep(unsigned seconds) { return gettid() == getpid() ? 0 : __real_sleep(seconds); }
