// FuzzSupport.h - what every fuzz target shares: ends of the program caught as
// results, a scratch folder, input split into parts, files written, and checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// Thrown in place of ending the process while an input runs: the code under test
// ends the program on fatal errors (exit_app), which for a fuzz target is a result.
struct Exit {
  int status;
};

// Once per process: standard input from /dev/null (a question gets the end of
// input at once), standard output to /dev/null, LANG unset.
void Init();

// Runs f; an end of the program inside it comes back as its status, -1 when f
// returned normally.
int GuardRun(void (*f)(void*), void* arg);
template <typename F>
int Guard(F&& f) {
  return GuardRun([](void* p) { (*static_cast<F*>(p))(); }, &f);
}

// The process's scratch folder (made once below $TMPDIR or /tmp), emptied of
// everything but the named folders by Reset.
const std::string& Scratch();
// A path below the scratch folder.
std::string InScratch(std::string_view name);
// Makes the folder and its parents; writes a file whole (parents made).
void MakeDirs(const std::string& path);
void WriteFile(const std::string& path, std::string_view data);
// Removes everything below path (path itself stays).
void EmptyDir(const std::string& path);

// The input as up to n parts separated by NUL bytes; the last part runs to the end
// of the input (NUL bytes included). Missing parts are empty.
std::vector<std::string> Split(const uint8_t* data, size_t size, size_t n);

// Ends the run with a report when an expected property of the code does not hold.
void Check(bool ok, const char* what, std::string_view detail = {});

}  // namespace fuzz

namespace fuzz {

// Bytes of managed memory (the memory manager's) handed out and not released: the
// sanitizer's leak check does not see that memory, so targets compare this figure
// before and after an input.
long ManagedInUse();

// Runs f twice and checks that the second run leaves the managed memory in use as
// it found it: the first run may fill what the code keeps for good (a resolved
// command, a cached message).
template <typename F>
void CheckBalanced(const char* what, F&& f) {
  f();
  const long before = ManagedInUse();
  f();
  Check(ManagedInUse() == before, what);
}

}  // namespace fuzz
