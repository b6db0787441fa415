// Outcome.cpp - the one way a run ends: its outcome in the log, the reason and the
// log's place on standard error, the exit status.
#include "setup/setup.h"

#include "utils/utils.h"

#include <cstdio>

namespace {

// The outcome's name in the log.
const char* OutcomeName(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Installed:
    case RunOutcome::Updated:
    case RunOutcome::Relocated: return "installed";
    case RunOutcome::Failed: return "failed";
    case RunOutcome::Refused: return "refused";
    case RunOutcome::NoSpace: return "not enough space";
    case RunOutcome::Busy: return "suite programs running";
    case RunOutcome::Declined: return "declined";
    case RunOutcome::NotRoot: return "not root";
    case RunOutcome::Incomplete: return "incomplete";
  }
  return "ended";
}

bool Succeeded(RunOutcome outcome) {
  return outcome == RunOutcome::Installed || outcome == RunOutcome::Updated ||
         outcome == RunOutcome::Relocated;
}

}  // namespace

void EndRun(RunOutcome outcome, int status, const char* reason) {
  if (reason == nullptr) reason = "";
  const char* name = my_name != nullptr && *my_name != '\0' ? my_name : "setup";
  std::fflush(stdout);
  if (!Succeeded(outcome)) {
    PutLogMsg("run ended: %s%s%s (exit status %d)\n", OutcomeName(outcome),
              *reason != '\0' ? ": " : "", reason, status);
    if (outcome == RunOutcome::Incomplete) {
      std::fprintf(stderr, "%s: installation incomplete: %s\n", name, reason);
    } else if (outcome != RunOutcome::Failed) {
      std::fprintf(stderr, "%s: nothing installed: %s\n", name, reason);
    }
    std::fprintf(stderr, "%s: see %s/%s.log\n", name, pLogPath, name);
  }
  exit_app(status);
}

void EndRunOnFatalReports() {
  SetFatalEndHook([](int status, const char* reason) { EndRun(RunOutcome::Failed, status, reason); });
}
