// Running.cpp - refuses to go on while programs of the suite run: a menu lets the
// operator wait for them or quit the installation.
#include "setup/setup.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

#include <cstdio>

#include <unistd.h>

namespace {

constexpr unsigned kPauseSeconds = 5;  // between two checks while waiting
constexpr int kChecksPerWait = 6;      // 30 seconds for one choice of waiting

constexpr int kMsgRunning = 66;
constexpr int kMsgWouldYou = 67;
constexpr int kMsgWait = 68;
constexpr int kMsgQuit = 69;
constexpr int kMsgSelection = 70;

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
    sleep(kPauseSeconds);
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
    PutMem(report);
    switch (ReadChoice()) {
      case '1':
        if (!StillRunningAfterWait(list)) return 0;
        break;
      case '2':
        return QUIT_CHOSEN;
      case EOF:
        // Nothing more can be read: waiting could go on for ever, so the run ends
        // as if the operator had chosen to quit.
        PutLogMsg("end of input at the running-programs menu: quitting the installation\n");
        return QUIT_END_OF_INPUT;
      default:
        break;
    }
  }
}
