// FakeRunner.h - the command runner of the fuzz targets: it takes the place of the
// system command layer's runner (SysCmd, GetCmdResponse and kin) at link time,
// records each command line instead of running it, answers output queries from
// scripted texts, and checks that every line would reach the shell intact.
#pragma once

#include <string>
#include <vector>

namespace fuzz {

// One command the code under test asked to run.
struct RecordedCommand {
  int index;         // entry of the command table (negative: unlogged)
  int mode;          // run mode
  std::string args;  // the caller's formatted arguments
  std::string line;  // the whole line the real runner would pass to the shell
};

// The commands recorded since the last ResetRunner.
const std::vector<RecordedCommand>& Recorded();
// Forgets the recorded commands and the scripted outputs.
void ResetRunner();
// The output that GetCmdResponse and GetCmdResponseStr give for table entry index
// (for example df, du, ps), as the command would print it.
void ScriptOutput(int index, std::string text);
// A path that the fake rm entries really remove when a command names it alone
// (the scratch file of the package list's sed attribute).
void AllowRemoval(std::string path);

}  // namespace fuzz
