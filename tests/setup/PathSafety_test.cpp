// PathSafety_test.cpp - which paths may stand in the installer's command lines.
#include "setup/setup.h"

#include "utils/utils.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The reason CheckSafePath gives, "" when it accepts the path.
std::string Reason(const std::string& path) {
  char reason[128] = "unchanged";
  const int safe = CheckSafePath(path.c_str(), reason, sizeof reason);
  EXPECT_EQ(safe, reason[0] == '\0' ? 1 : 0) << path;
  return reason;
}

TEST(PathSafety, AcceptsQuietCharactersUpTo256AndRefusesBlanksControlsShellCharactersAndEmptyPaths) {
  const std::string longest = "/" + std::string(SAFE_PATH_MAX - 1, 'a');
  const struct { std::string path, reason; } rows[] = {
      {"/usr", ""}, {"/opt/Kandu-2.1/x_y+z,w:v@host", ""}, {"relative/dir.d", ""}, {"/", ""}, {longest, ""},
      {"/tmp/a b", "it contains a blank"}, {"/tmp/a\tb", "it contains a tab"},
      {"/tmp/a\nb", "it contains a line feed"}, {"/tmp/a\rb", "it contains the control character 0x0d"},
      {"", "it is empty"}, {longest + "a", "it is longer than 256 characters"},
  };
  for (const auto& r : rows) EXPECT_EQ(Reason(r.path), r.reason) << r.path;
  for (const char c : std::string("\"$`\\';&|<>()*?[]{}~"))
    EXPECT_EQ(Reason(std::string("/opt/x") + c + "y"), std::string("it contains the character ") + c);
  EXPECT_EQ(CheckSafePath(nullptr, nullptr, 0), 0);
  RequireSafePath("work-area base", "/var/tmp");  // returns for a safe path
}

TEST(PathSafetyDeathTest, RequireSafePathEndsTheRunWithStatus2NamingWordAndReason) {
  EXPECT_EXIT(RequireSafePath("installation directory", "/opt/a;rm"), testing::ExitedWithCode(2),
              "ERROR: unsafe installation directory '/opt/a;rm': it contains the character ;; a path "
              "may hold only letters, digits and / \\. _ - \\+ , : @");
  // A line feed in the word is shown as \n, so the message stays on one line.
  EXPECT_EXIT(RequireSafePath("work-area base", "/tmp/a\nb"), testing::ExitedWithCode(2),
              "unsafe work-area base '/tmp/a\\\\nb': it contains a line feed");
}

}  // namespace
