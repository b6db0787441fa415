// SysCmdFixture.h - stand-ins for host commands: the table entries a test names point
// at scripts in a scratch directory that note their arguments and answer as told.
#pragma once

#include "SysCmd/SysCmd.h"

#include "MemMgr/MemMgr.h"
#include "testutil.h"

#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace syscmdtest {

using testutil::Matches;
using testutil::Take;

// Indexes of the table entries the tests use.
constexpr int CANCEL = 2, LS = 23, MV = 25, RM = 29, RM_RF = 30, SH = 31, DU = 41, LPD = 43, PS = 55, DF = 57,
              LSALLQ = 70, MKQUE = 71, LSQUE = 78, LSSRC = 81, GPGV = 82;

// A stand-in command: appends its arguments to <name>.args, prints <name>.out on
// standard output and <name>.err on standard error, and exits with <name>.status.
constexpr const char* kStandIn =
    "#!/bin/sh\nprintf '%s\\n' \"$*\" >>\"$0.args\"\ncat \"$0.out\" 2>/dev/null\n"
    "cat \"$0.err\" >&2 2>/dev/null\nexit $(cat \"$0.status\" 2>/dev/null || echo 0)\n";

// The names of a list " n1 n2 ... ", sorted, each followed by a blank; "(form)" when the
// list does not begin and end with a blank or holds two blanks in a row.
inline std::string Names(const std::string& list) {
  std::istringstream in(list);
  std::multiset<std::string> names{std::istream_iterator<std::string>(in), {}};
  const bool form = list.size() >= 2 && list.front() == ' ' && list.back() == ' ' && list.find("  ") == list.npos;
  std::string s = form ? "" : "(form)";
  for (const std::string& n : names) s += n + " ";
  return s;
}

// The entries a test fakes are restored when it ends.
class Fakes : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& [index, path] : saved_) ComList[index].pPath = path;
  }
  void Fake(int index) {
    ASSERT_TRUE(testutil::WriteTool(dir_ / ComList[index].pName, kStandIn));
    saved_.emplace(index, ComList[index].pPath);
    ComList[index].pPath = path_.data();
  }
  void Set(const std::string& file, const std::string& text) { ASSERT_TRUE(testutil::WriteFile(dir_ / file, text)); }
  std::string Get(const std::string& file) { return testutil::ReadFile(dir_ / file); }

  testutil::ScratchDir dir_;
  std::string path_ = dir_.path();
  std::map<int, char*> saved_;
};

}  // namespace syscmdtest
