// FuzzSupport.h - what every fuzz target shares: the entry points, input parts, the
// program's end caught as a result, a scratch folder, property checks, and the recording
// runner that takes the place of the system command layer's (FakeRunner.cpp); it also
// brings the headers that every target uses.
#pragma once

#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace fuzz {

// Defined by each target. Setup runs once, after standard input and output were sent
// to /dev/null (a question gets the end of input at once), LANG was unset and the
// program named "fuzz" (my_name); Run runs for each input. A target without a Setup of
// its own gets one that does nothing.
void Setup();
void Run(std::string_view input);

// The first byte of the input (0 when there is none), taken off it.
uint8_t TakeByte(std::string_view& input);
// The input as n parts separated by NUL bytes; the last runs to the end of the input
// (NUL bytes included); missing parts are empty.
std::vector<std::string> Split(std::string_view input, size_t n);

// Runs f. The code under test ends the program on fatal errors (exit_app), which for a
// fuzz target is a result: such an end comes back as its status, -1 when f returned.
int Guard(const std::function<void()>& f);

// A path below the process's scratch folder (made once below /tmp; the folder itself
// for ""); a file written whole (parents made).
std::string InScratch(std::string_view name);
void WriteFile(const std::string& path, std::string_view data);

// Ends the run with a report when an expected property of the code does not hold.
void Check(bool ok, const char* what, std::string_view detail = {});

// Checks that f gives back all the managed memory it takes (the sanitizer's leak check
// does not see the memory manager's blocks). With twice, f runs twice and the second run
// is checked: the first may fill what the code keeps for good (a cached message).
void CheckReleased(const char* what, const std::function<void()>& f, bool twice = false);

// The fake host of the targets that link FakeRunner.cpp: the table commands the code
// asks for are recorded and their lines composed by the real runner, checked (each must
// reach the shell intact) and never run. A target empties it before each input.
struct FakeHost {
  std::vector<std::pair<int, std::string>> commands;  // table entry (negative: unlogged), arguments
  std::map<int, std::string> outputs;  // what a pipe running table entry index (df, du, ps...) reads
  std::string removable;               // the one path that rm removes when a command names it alone
};
extern FakeHost host;

}  // namespace fuzz
