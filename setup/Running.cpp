// Running.cpp - refuses to go on while programs of the suite run: a menu lets the
// operator wait for them or quit the installation.
#include "setup/setup.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

constexpr unsigned kPauseSeconds = 5;  // between two checks while waiting
constexpr int kChecksPerWait = 6;      // 30 seconds for one choice of waiting

constexpr int kMsgRunning = 66;
constexpr int kMsgWouldYou = 67;
constexpr int kMsgWait = 68;
constexpr int kMsgQuit = 69;
constexpr int kMsgSelection = 70;

struct {
  RunningPause pause = nullptr;  // null: sleep
  int waits = 0;                 // choices of waiting made for TVNN_RUNNING=wait
  std::string quitReason;        // why the last call quit
} S;

void Pause(unsigned seconds) {
  if (S.pause != nullptr) {
    S.pause(seconds);
  } else {
    sleep(seconds);
  }
}

// The names of the programs in a report ("tvqadmin ( 471 )\n..."), separated by ", ".
std::string NamesOf(const char* report) {
  std::string names;
  for (const char* line = report; *line != '\0';) {
    const char* end = line + std::strcspn(line, " \n");
    if (end > line) names += (names.empty() ? "" : ", ") + std::string(line, end);
    line = std::strchr(line, '\n');
    if (line == nullptr) break;
    ++line;
  }
  return names;
}

// The choice TVNN_RUNNING makes, shown after the menu as if typed: '1' while it
// waits and waits are left in the run, '2' otherwise. 0 when the operator answers.
int SetChoice() {
  if (Unattended.answerRunning == RunningAnswer::Ask) return 0;
  const bool wait = Unattended.answerRunning == RunningAnswer::Wait && S.waits < RUNNING_WAITS_MOST;
  if (wait) ++S.waits;
  std::printf("%c\n", wait ? '1' : '2');
  std::fflush(stdout);
  return wait ? '1' : '2';
}

// The operator's choice at the menu: one character, and the character after it (the
// line feed of the answer) is read and let go. End of input gives EOF.
int ReadChoice() {
  std::fflush(stdout);
  const int choice = std::getchar();
  if (choice == EOF) return EOF;
  std::getchar();
  return choice;
}

// True when some program of list still runs after waiting up to 30 seconds.
bool StillRunningAfterWait(const char* list) {
  for (int check = 0; check < kChecksPerWait; ++check) {
    Pause(kPauseSeconds);
    char* report = CheckProcTableForExecs(list);
    if (report == nullptr) return false;
    PutMem(report);
  }
  return true;
}

}  // namespace

// 0 when none of the programs of the comma list runs, at once or after waiting;
// QUIT_CHOSEN (1) when the operator chose to quit (choice 2), QUIT_END_OF_INPUT (2)
// at the end of standard input, which counts as that choice. While
// any runs, shows them with the menu: 1 waits up to 30 seconds, 2 quits.
// TVNN_RUNNING answers instead of standard input: quit is 2; wait is 1, as long as
// fewer than RUNNING_WAITS_MOST waits were chosen in the run, and 2 after that.
int QuitForRunningProcesses(const char* list) {
  const char* running = nlsSetupStrCvt(kMsgRunning);
  const char* wouldYou = nlsSetupStrCvt(kMsgWouldYou);
  const char* wait = nlsSetupStrCvt(kMsgWait);
  const char* quit = nlsSetupStrCvt(kMsgQuit);
  const char* selection = nlsSetupStrCvt(kMsgSelection);
  for (;;) {
    char* report = CheckProcTableForExecs(list);
    if (report == nullptr) return 0;
    std::fputs(running, stdout);
    std::printf("%s\n", report);
    std::fputs(wouldYou, stdout);
    std::fputs(wait, stdout);
    std::fputs(quit, stdout);
    std::fputs(selection, stdout);
    const std::string names = NamesOf(report);
    PutMem(report);
    const int set = SetChoice();
    switch (set != 0 ? set : ReadChoice()) {
      case '1':
        if (!StillRunningAfterWait(list)) return 0;
        break;
      case '2':
        if (set == 0) {
          S.quitReason = "quit while suite programs run: " + names;
        } else if (Unattended.answerRunning == RunningAnswer::Quit) {
          S.quitReason = "quit while suite programs run (TVNN_RUNNING=quit): " + names;
        } else {
          S.quitReason = "suite programs still run after " + std::to_string(RUNNING_WAITS_MOST) +
                         " waits (TVNN_RUNNING=wait): " + names;
        }
        return QUIT_CHOSEN;
      case EOF:
        // Nothing more can be read: waiting could go on for ever, so the run ends
        // as if the operator had chosen to quit.
        PutLogMsg("end of input at the running-programs menu: quitting the installation\n");
        S.quitReason = "end of input at the running-programs menu: " + names;
        return QUIT_END_OF_INPUT;
      default:
        break;
    }
  }
}

const char* RunningQuitReason() { return S.quitReason.c_str(); }

void SetRunningPause(RunningPause pause) { S.pause = pause; }
