// Unattended_test.cpp - the settings of unattended runs: the values each variable
// takes, the waits TVNN_RUNNING=wait chooses, and the exit status of each outcome.
#include "SetupFixture.h"

#include <csignal>
#include <cstdlib>

namespace {

using namespace setuptest;

TEST(UnattendedSettings, TakeTheirWordsAndRefuseTheRest) {
  ScratchDir dir;
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  ASSERT_EQ(mkdir((dir / "folder").c_str(), 0755), 0);
  const struct { const char* name; std::string value, refusal; } rows[] = {
      {"TVNN_CONTINUE", "yes", ""}, {"TVNN_CONTINUE", "no", ""}, {"TVNN_RUNNING", "wait", ""},
      {"TVNN_RUNNING", "quit", ""}, {"TVNN_STATUS", "detailed", ""}, {"TVNN_RESULT", dir / "r", ""},
      {"TVNN_RESULT", "r.json", ""}, {"TVNN_RESULT", "folder/r", ""},
      {"TVNN_CONTINUE", "y", "TVNN_CONTINUE must be yes or no, not 'y'"}, {"TVNN_CONTINUE", "YES", "not 'YES'"},
      {"TVNN_CONTINUE", "yes,no", "not 'yes,no'"}, {"TVNN_CONTINUE", "yes\n", "not 'yes\\n'"},
      {"TVNN_RUNNING", "2", "TVNN_RUNNING must be wait or quit, not '2'"},
      {"TVNN_STATUS", "1", "TVNN_STATUS must be detailed, not '1'"},
      {"TVNN_RESULT", "/tmp/a b", "not '/tmp/a b': it contains a blank"},
      {"TVNN_RESULT", dir / "none/r", ": there is no folder " + dir / "none"},
      {"TVNN_RESULT", "folder", ": it names a folder"}, {"TVNN_RESULT", "folder/", ": it names a folder"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.name) + "=" + r.value);
    const std::string refusal = UnattendedRefusal(r.name, r.value.c_str());
    EXPECT_EQ(refusal.empty(), r.refusal.empty()) << refusal;
    EXPECT_NE(refusal.find(r.refusal), std::string::npos) << refusal;
  }
  // From the environment: an empty value counts as unset; a relative result path is
  // taken from the current directory. (A refused one ends the run: an end-to-end case.)
  for (const char* setting : {"TVNN_CONTINUE=", "TVNN_RUNNING=quit", "TVNN_STATUS=detailed", "TVNN_RESULT=folder/r"})
    putenv(const_cast<char*>(setting));
  readUnattendedSettings();
  EXPECT_EQ(Unattended.answerContinue, ContinueAnswer::Ask);
  EXPECT_EQ(Unattended.answerRunning, RunningAnswer::Quit);
  EXPECT_TRUE(Unattended.detailedStatus);
  EXPECT_EQ(Unattended.resultPath, dir / "folder/r");
  ASSERT_EQ(chdir("/"), 0);
}

struct Waiting {
  int pauses = 0;
  int endAt = 0;  // the pause after which the program ends; 0: it runs on
  pid_t pid = -1;
} W;

// A copy of sleep named kandu-waitee that runs for a minute.
pid_t StartWaitee(const ScratchDir& dir) {
  const std::string prog = dir / "kandu-waitee";
  if (std::system(("cp /bin/sleep " + prog).c_str()) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) _exit(execl(prog.c_str(), "kandu-waitee", "60", static_cast<char*>(nullptr)));
  return pid;
}

void EndWaitee() {
  kill(W.pid, SIGKILL);
  waitpid(W.pid, nullptr, 0);
}

// TVNN_RUNNING=wait chooses to wait while the program runs, 10 times in the whole run,
// each wait 6 checks 5 seconds apart; then it quits.
TEST(UnattendedSettings, WaitChoosesToWaitTenTimesInTheWholeRun) {
  InitCommandLayer();
  ScratchDir dir;
  Unattended.answerRunning = RunningAnswer::Wait;
  SetRunningPause([](unsigned seconds) {
    EXPECT_EQ(seconds, 5u);
    if (++W.pauses == W.endAt) EndWaitee();
  });
  const char* list = ",tvqadmin,kandu-waitee,";
  const struct { int endAt, result, pauses; const char* reason; } rows[] = {
      {15, 0, 15, ""},  // ends in the third wait
      {0, QUIT_CHOSEN, 15 + 7 * 6, "after 10 waits (TVNN_RUNNING=wait): kandu-waitee"},
      {0, QUIT_CHOSEN, 57, "after 10 waits"},  // none left for a later check
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.pauses);
    W.endAt = r.endAt;
    ASSERT_GT(W.pid = StartWaitee(dir), 0);
    EXPECT_EQ(QuitForRunningProcesses(list), r.result);
    EXPECT_EQ(W.pauses, r.pauses);
    EXPECT_NE(std::string(RunningQuitReason()).find(r.reason), std::string::npos) << RunningQuitReason();
    if (r.endAt == 0) EndWaitee();
  }
  SetRunningPause(nullptr);
}

TEST(UnattendedSettings, DetailedStatusesFollowTheOutcome) {
  using enum RunOutcome;
  const struct { RunOutcome outcome; int given, detailed; const char* name; } rows[] = {
      {Installed, 0, 0, "installed"}, {Updated, 0, 0, "updated"}, {Relocated, 0, 0, "relocated"},
      {Failed, 2, 1, "failed"},       {Refused, 2, 2, "refused"}, {NoSpace, 0, 3, "no-space"},
      {Busy, 0, 4, "busy"},           {Stopped, 0, 4, "busy"},    {Declined, 0, 5, "declined"},
      {NotRoot, 0, 6, "not-root"},    {Incomplete, 1, 7, "incomplete"},
  };
  for (const auto& r : rows) {
    Unattended.detailedStatus = false;
    EXPECT_EQ(ExitStatusOf(r.outcome, r.given), r.given) << r.name;
    Unattended.detailedStatus = true;
    EXPECT_EQ(ExitStatusOf(r.outcome, r.given), r.detailed) << r.name;
    EXPECT_STREQ(ResultOutcomeName(r.outcome), r.name);
  }
}

}  // namespace
