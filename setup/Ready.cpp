// Ready.cpp - decides whether the installation may go on: only root installs, and an
// earlier print daemon in the product directory needs the operator's consent.
#include "setup/setup.h"

#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace {

constexpr const char* kSuperUser = "root";
constexpr const char* kDaemon = "TavloD";
constexpr const char* kDaemonStop = "TavloDStop";
constexpr const char* kAnswerWords = ",y,yes,n,no,";
constexpr int kAnswerY = 1;
constexpr int kAnswerYes = 2;
constexpr int kAnswerN = 3;
constexpr int kAnswerNo = 4;
constexpr int kAnswerSetNo = 5;  // TVNN_CONTINUE=no

constexpr int kReadingSize = 511;  // one reading: at most 510 characters

constexpr int kMsgNotRoot = 35;
constexpr int kMsgDaemonWarning = 62;
constexpr int kMsgContinue = 63;

// Reads one answer line into LineBuf (the rest of a longer line is read and let
// go, so that it is not taken for further answers). False at the end of input.
bool ReadAnswer() {
  if (std::fgets(LineBuf, kReadingSize, stdin) == nullptr) return false;
  if (std::strchr(LineBuf, '\n') == nullptr) {
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') {
    }
  }
  return true;
}

// The operator's answer to the continue question, as a position in the answer
// words; 0 at the end of input. Other words and empty lines ask again.
// TVNN_CONTINUE answers instead, shown after the question as if typed.
int AskToContinue() {
  if (Unattended.answerContinue != ContinueAnswer::Ask) {
    PrintSetupMessage(kMsgContinue);
    const bool yes = Unattended.answerContinue == ContinueAnswer::Yes;
    std::printf("%s\n", yes ? "yes" : "no");
    return yes ? kAnswerYes : kAnswerSetNo;
  }
  for (;;) {
    PrintSetupMessage(kMsgContinue);
    if (!ReadAnswer()) return 0;
    const char* word = GetToken(LineBuf, " \t\r\n");
    const int answer = word != nullptr ? FindToken(word, kAnswerWords) : 0;
    if (answer != 0) return answer;
  }
}

}  // namespace

// 1 when the installation may go on, 0 when it must not (not run by root: message
// 35). When the product directory holds TavloD or TavloDStop, warns about the print
// queues and asks: "y" and "yes" go on; "n", "no" and the end of input end the run
// with exit status 0, leaving the work area and the old daemon's start and stop
// scripts in /etc/rc2.d as they are (an update in place keeps the daemon where
// they point). TVNN_CONTINUE answers yes or no in the operator's place.
int readyForInstallation() {
  char* user = GetUserName();
  if (user == nullptr || std::strcmp(user, kSuperUser) != 0) {
    char* shown = user != nullptr ? user : SaveStr("User ID:  %d", static_cast<int>(getuid()));
    PrintSetupMessage(kMsgNotRoot, shown, my_name);
    PutMem(shown);
    return 0;
  }
  PutMem(user);
  if (!FindFile(pAppDir, kDaemon) && !FindFile(pAppDir, kDaemonStop)) return 1;

  PrintSetupMessage(kMsgDaemonWarning, MAKER_NAME, MAKER_NAME, MAKER_NAME, PRODUCT_NAME);
  switch (AskToContinue()) {
    case kAnswerY:
    case kAnswerYes:
      return 1;
    case kAnswerN:
    case kAnswerNo:
      EndRun(RunOutcome::Declined, 0, "declined at the continue question");
    case kAnswerSetNo:
      EndRun(RunOutcome::Declined, 0, "declined at the continue question (TVNN_CONTINUE=no)");
    default:
      // End of input: no answer can come, so the run ends as after "no".
      std::fputs("\n", stdout);
      PutLogMsg("end of input at the continue question: installation not done\n");
      EndRun(RunOutcome::Declined, 0, "end of input at the continue question");
  }
}
