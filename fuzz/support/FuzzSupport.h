// FuzzSupport.h - what every fuzz target shares: the entry points, input parts, the
// program's end caught as a result, a scratch folder, property checks, and the recording
// runner that takes the place of the system command layer's (FakeRunner.cpp); it also
// brings the headers that every target uses.
#pragma once

#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// Thrown in place of ending the process while an input runs: the code under test ends
// the program on fatal errors (exit_app), which for a fuzz target is a result.
struct Exit {
  int status;
};
// Runs f; an end of the program inside it comes back as its status, -1 when f returned.
int GuardRun(void (*f)(void*), void* arg);
template <typename F>
int Guard(F&& f) {
  return GuardRun([](void* p) { (*static_cast<F*>(p))(); }, &f);
}

// A path below the process's scratch folder (made once below $TMPDIR or /tmp; the
// folder itself for ""); folders
// made with their parents; a file written whole (parents made); a folder emptied.
std::string InScratch(std::string_view name);
void MakeDirs(const std::string& path);
void WriteFile(const std::string& path, std::string_view data);

// Ends the run with a report when an expected property of the code does not hold.
void Check(bool ok, const char* what, std::string_view detail = {});

// Bytes of managed memory handed out and not released (the sanitizer's leak check does
// not see the memory manager's blocks). CheckReleased: f gives back all it takes.
// CheckBalanced runs f twice and checks the second run: the first may fill what the
// code keeps for good (a resolved command, a cached message).
long ManagedInUse();
template <typename F>
void CheckReleased(const char* what, F&& f) {
  const long before = ManagedInUse();
  f();
  Check(ManagedInUse() == before, what);
}
template <typename F>
void CheckBalanced(const char* what, F&& f) {
  f();
  CheckReleased(what, f);
}

// The host of the targets that link FakeRunner.cpp: the table commands the code asks
// for are recorded and their lines composed by the real runner, checked (each must reach
// the shell intact) and never run.
// A command: its table entry (negative: unlogged), run mode and formatted arguments.
struct RecordedCommand {
  int index, mode;
  std::string args;
};
// The commands since the last ResetRunner, which also forgets the scripted outputs.
const std::vector<RecordedCommand>& Recorded();
void ResetRunner();
// The output that a pipe running table entry index (df, du, ps...) reads.
void ScriptOutput(int index, std::string text);
// A path that the rm entries really remove when a command names it alone.
void AllowRemoval(std::string path);

}  // namespace fuzz
