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

using testutil::Exists;
using testutil::Mode;
using testutil::RunIn;
using testutil::WriteTool;

inline std::string LinkText(const std::string& path) {
  char buf[4096];
  const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
  return n < 0 ? std::string() : std::string(buf, static_cast<size_t>(n));
}

// A process of the given name (a copy of sleep in dir) that the process table
// shows; its id, or -1 when it did not show up. End it with testutil::EndSpawned.
inline pid_t SpawnShown(const std::string& dir, const std::string& name) {
  const pid_t pid = testutil::SpawnNamed(dir, name);
  for (int i = 0; pid > 0 && i < 50; ++i, ::usleep(100000)) {
    if (char* ids = GetSysPsIdList(name.c_str())) {
      PutMem(ids);
      return pid;
    }
  }
  testutil::EndSpawned(pid);
  return -1;
}

}  // namespace pkgtest
