// SetupFixture.h - helpers of the installer's tests: the command layer and its log, the
// logged command lines, and what stands at a path.
#pragma once

#include "testutil.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "setup/setup.h"
#include "utils/utils.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace setuptest {

using testutil::Matches;
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

// The text with each name of names (such as "@D") replaced by its value, and each line
// "$ <command> <flags> <arguments>" written as the runner logs it: the shell, then the
// command in the directory where it was found.
inline std::string Expand(std::string text, const std::vector<std::pair<std::string, std::string>>& names) {
  for (const auto& [name, value] : names) {
    for (size_t at = 0; (at = text.find(name, at)) != std::string::npos; at += value.size()) {
      text.replace(at, name.size(), value);
    }
  }
  std::string out, line;
  for (std::istringstream in(text); std::getline(in, line); out += line + "\n") {
    for (int i = 2; line.rfind("$ ", 0) == 0 && i < COM_LIST_SIZE - 1; ++i) {
      const std::string name = ComList[i].pName + std::string(" ");
      if (ComList[i].pPath != nullptr && line.compare(2, name.size(), name) == 0)
        line = std::string(ComList[CMD_SH].pPath) + "/sh -c \"" + ComList[i].pPath + "/" + line.substr(2);
    }
  }
  return text.empty() || text.back() == '\n' ? out : out.substr(0, out.size() - 1);
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

}  // namespace setuptest
