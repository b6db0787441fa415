// SetupFixture.h - helpers of the installer's tests: the command layer and its log, the
// logged command lines, and what stands at a path.
#pragma once

#include "testutil.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"
#include "utils/utils.h"

#include <fnmatch.h>

#include <string>
#include <vector>

namespace setuptest {

using testutil::ReadFile;
using testutil::ScratchDir;
using testutil::WriteFile;

constexpr const char* kLog = "/tmp/setup.log";

// Resolves the command table once per process and names the program setup, logging
// to /tmp/setup.log (the callers run in the sandbox).
inline void InitCommandLayer() {
  my_name = SaveStr_("setup");
  if (flInitSysCmd) InitSysCmdList();
  flUseLog = flSysCmdLog = 1;
}

// The line the runner logs for table entry index with the argument text args.
inline std::string CmdLine(int index, const std::string& args) {
  const ComListEntry &sh = ComList[31], &e = ComList[index];
  return std::string(sh.pPath) + "/sh -c \"" + e.pPath + "/" + e.pName + " " + e.pFlags + " " + args + "\n";
}

// What stands at path: "-" for nothing, "-> <target>" for a link, "<mode>/" for a
// directory, "<mode>|" for a fifo or other special file, "<mode> <content>" for a
// regular file (mode in octal).
inline std::string State(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return "-";
  char text[4096];
  const ssize_t n = readlink(path.c_str(), text, sizeof text);
  if (S_ISLNK(st.st_mode)) return "-> " + std::string(text, n > 0 ? static_cast<size_t>(n) : 0);
  const std::string mode = (std::ostringstream() << std::oct << (st.st_mode & 07777)).str();
  if (!S_ISREG(st.st_mode)) return mode + (S_ISDIR(st.st_mode) ? "/" : "|");
  return mode + " " + ReadFile(path);
}

// parseCommandLineOptions on "setup" followed by words, from the state main() leaves
// before it: the default work area, no installation directory, the installer in dist.
inline void Parse(std::vector<std::string> words, const char* dist = "/dist") {
  pKanduInstallDir = SaveStr_("/tmp/KanduInstall");
  pCmdLineInstallDir = nullptr;
  flCreatedTmpDir = 0;
  pPathToSetup = SaveStr_(dist);
  std::vector<char*> argv{const_cast<char*>("setup")};
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  parseCommandLineOptions(static_cast<int>(argv.size()) - 1, argv.data());
}

// True when text is pattern, each '*' of which stands for any text.
inline bool Matches(const std::string& pattern, const std::string& text) {
  return fnmatch(pattern.c_str(), text.c_str(), 0) == 0;
}

}  // namespace setuptest
