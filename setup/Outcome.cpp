// Outcome.cpp - the one way a run ends: its outcome in the log, the reason and the
// log's place on standard error, the result file, the exit status.
#include "setup/setup.h"
#include "setup/SetupPrivate.h"

#include "utils/utils.h"

#include <cstdio>

namespace {

// What each outcome is called and the exit status it has under TVNN_STATUS=detailed.
struct OutcomeNames {
  const char* log;     // in the log's last line
  const char* result;  // in the result file
  int detailed;        // the exit status
};

OutcomeNames NamesOf(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Installed: return {"installed", "installed", 0};
    case RunOutcome::Updated: return {"installed", "updated", 0};
    case RunOutcome::Relocated: return {"installed", "relocated", 0};
    case RunOutcome::Failed: return {"failed", "failed", 1};
    case RunOutcome::Refused: return {"refused", "refused", 2};
    case RunOutcome::NoSpace: return {"not enough space", "no-space", 3};
    case RunOutcome::Busy: return {"suite programs running", "busy", 4};
    case RunOutcome::Declined: return {"declined", "declined", 5};
    case RunOutcome::NotRoot: return {"not root", "not-root", 6};
    case RunOutcome::Incomplete: return {"incomplete", "incomplete", 7};
    case RunOutcome::Stopped: return {"incomplete", "busy", 4};
  }
  return {"ended", "failed", 1};
}

bool Succeeded(RunOutcome outcome) {
  return outcome == RunOutcome::Installed || outcome == RunOutcome::Updated ||
         outcome == RunOutcome::Relocated;
}

struct {
  bool ending = false;  // EndRun has begun: a second call only ends the process
} S;

}  // namespace

int ExitStatusOf(RunOutcome outcome, int status) {
  return Unattended.detailedStatus ? NamesOf(outcome).detailed : status;
}

const char* ResultOutcomeName(RunOutcome outcome) { return NamesOf(outcome).result; }

void EndRun(RunOutcome outcome, int status, const char* reason) {
  status = ExitStatusOf(outcome, status);
  if (S.ending) exit_app(status);
  S.ending = true;
  if (reason == nullptr) reason = "";
  const char* name = setup_internal::RunName();
  std::fflush(stdout);
  if (!Succeeded(outcome)) {
    PutLogMsg("run ended: %s%s%s (exit status %d)\n", NamesOf(outcome).log,
              *reason != '\0' ? ": " : "", reason, status);
    if (outcome == RunOutcome::Incomplete || outcome == RunOutcome::Stopped) {
      std::fprintf(stderr, "%s: installation incomplete: %s\n", name, reason);
    } else if (outcome != RunOutcome::Failed) {
      std::fprintf(stderr, "%s: nothing installed: %s\n", name, reason);
    }
  }
  writeRunResult(outcome, status, Succeeded(outcome) ? "" : reason);
  if (!Succeeded(outcome)) std::fprintf(stderr, "%s: see %s/%s.log\n", name, pLogPath, name);
  exit_app(status);
}

// The library ends with status 0 only where the host or the distribution lacks
// something the installation needs; every other fatal report is a failure.
void EndRunOnFatalReports() {
  SetFatalEndHook([](int status, const char* reason) {
    EndRun(status == 0 ? RunOutcome::Incomplete : RunOutcome::Failed, status, reason);
  });
}
