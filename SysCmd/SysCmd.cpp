// SysCmd.cpp - runs the host commands of the table: the logged command line, the
// redirection of their output, failure reports, settling, and captured output.
#include "SysCmd/SysCmd.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/Launch.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kSettleRetries = 10;     // pauses while waiting for a process to show
constexpr size_t kReasonSize = 256;    // the words of a failure report
constexpr size_t kShellSize = 4096;    // the path of the table's shell

struct {
  int loggedFailures = 0;  // mode-1 commands that failed and went on
  int loggedRuns = 0;      // commands run in modes 1 and 2
  int failedRuns = 0;      // of those, the ones that failed
} S;

// A text built piece by piece in a fixed buffer. Once a piece does not fit, the
// text is marked cut and nothing more is added: the caller refuses it.
struct LineBuilder {
  char* buf;
  size_t size;
  size_t used = 0;
  bool fits = true;

  LineBuilder(char* b, size_t n) : buf(b), size(n) { buf[0] = '\0'; }

  void AddV(const char* fmt, va_list ap) KANDU_PRINTF(2, 0) {
    if (!fits) return;
    const int n = std::vsnprintf(buf + used, size - used, fmt, ap);
    if (n < 0 || static_cast<size_t>(n) >= size - used) {
      fits = false;  // the cut text stays only for the refusal message
      return;
    }
    used += static_cast<size_t>(n);
  }

  void Add(const char* fmt, ...) KANDU_PRINTF(2, 3) {
    va_list ap;
    va_start(ap, fmt);
    AddV(fmt, ap);
    va_end(ap);
  }
};

// The name of the program for the log file's name, as the log writer takes it.
const char* LogName() {
  return my_name != nullptr && *my_name != '\0' ? my_name : program_invocation_short_name;
}

// True for a mode that logs the line and reports failures.
bool Logged(int mode) { return mode == SYS_LOG || mode == SYS_FATAL; }

// The table entry of index after the lazy lookup; an index outside the named
// entries or an unresolved one ends the program with exit status 0.
const ComListEntry& LocatedEntry(int index) {
  char reason[kReasonSize];
  if (index > 1 && index <= CMD_LAST) {
    TestCmd(index);
    const ComListEntry& e = ComList[index];
    if (e.pPath != nullptr) return e;
    std::snprintf(reason, sizeof reason, "unable to locate system command '%s'", e.pName);
  } else {
    std::snprintf(reason, sizeof reason, "unable to locate system command '%d'", index);
  }
  std::fflush(stdout);
  std::fprintf(stderr, "ERROR: %s\n", reason);
  EndAfterFatal(0, reason);
}

// Words for the wait status of a command run by system(3): empty for success.
void DescribeStatus(int status, int err, char* reason) {
  reason[0] = '\0';
  if (status == -1) {
    std::snprintf(reason, kReasonSize, "command could not be started: %s", std::strerror(err));
  } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
    std::snprintf(reason, kReasonSize, "command exited with status %d", WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    const int sig = WTERMSIG(status);
    const char* name = strsignal(sig);
    std::snprintf(reason, kReasonSize, "command killed by signal %d (%s)", sig,
                  name != nullptr ? name : "unknown signal");
  }
}

// The non-zero result of a failed run: the exit status, 128 + the signal number,
// or -1 when the command could not be started.
int FailureValue(int status) {
  if (status == -1) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Words for a wait status; returns 0 for success, else the failure value.
int Outcome(int status, int err, char* reason) {
  DescribeStatus(status, err, reason);
  return reason[0] == '\0' ? 0 : FailureValue(status);
}

// Runs line with system(3). Returns 0 on success, else the failure value with the
// reason in words.
int RunLine(const char* line, char* reason) {
  std::fflush(stdout);  // the progress dot and earlier output come first
  const int status = std::system(line);
  return Outcome(status, errno, reason);
}

// The failure report of SysCmd: logged in modes 1 and 2 ("WARNING_MSG" or
// "ERROR"); mode 2 also prints it on standard output, followed by the failing
// command line as it ran but without its redirection, and ends with status 1.
void ReportFailure(int mode, const char* reason, const std::string& shown) {
  if (!Logged(mode)) return;
  const char* level = mode == SYS_FATAL ? "ERROR" : "WARNING_MSG";
  PutLogMsg("%s: %s\n", level, reason);
  if (mode != SYS_FATAL) {
    ++S.loggedFailures;
    return;
  }
  std::printf("%s: %s\n%s\n", level, reason, shown.c_str());
  EndAfterFatal(1, reason);
}

// A command line that does not fit its buffer is never run: the refusal goes to
// standard error in every mode, to the log in modes 1 and 2, and ends the
// program with status 1 in mode 2. Returns the failure value -1.
int RefuseLongLine(int mode, const char* what, size_t size) {
  char reason[kReasonSize];
  std::snprintf(reason, sizeof reason,
                "command line of '%.60s' longer than %zu characters, not run", what, size - 1);
  std::fflush(stdout);
  std::fprintf(stderr, "ERROR: %s\n", reason);
  if (Logged(mode)) PutLogMsg("%s: %s\n", mode == SYS_FATAL ? "ERROR" : "WARNING_MSG", reason);
  if (mode == SYS_FATAL) EndAfterFatal(1, reason);
  return -1;
}

// Lets a command settle as its entry says: wait for a process of its name to
// show (at most 10 pauses of a second; a time-out is only logged), or pause the
// given seconds.
void Settle(const ComListEntry& e) {
  if (e.Wait > 0) {
    sleep(static_cast<unsigned>(e.Wait));
    return;
  }
  if (e.Wait != -1 || e.pName == nullptr || *e.pName == '\0') return;
  char* ids = GetSysPsIdList(e.pName);
  for (int retry = 0; ids == nullptr && retry < kSettleRetries; ++retry) {
    sleep(1);
    ids = GetSysPsIdList(e.pName);
  }
  if (ids != nullptr) {
    PutMem(ids);
    return;
  }
  PutLogMsg("ERROR: Time out for command %s\n", e.pName);
}

// Runs the pipe command of a table entry ("<dir>/<name> <flags> " and the
// formatted arguments; the arguments alone for index 0 or 1) and hands take()
// every output piece of up to 4095 characters that holds filter. False, with
// nothing run, when the line does not fit (reported) or the pipe cannot be opened.
template <typename Take>
bool ReadCommandOutput(int index, const char* filter, const char* fmt, va_list ap, Take take)
    KANDU_PRINTF(3, 0);
template <typename Take>
bool ReadCommandOutput(int index, const char* filter, const char* fmt, va_list ap, Take take) {
  char line[CMD_RESPONSE_LINE_SIZE];
  LineBuilder cmd(line, sizeof line);
  const char* name = "";
  if (index > 1 || index < 0) {
    const ComListEntry& e = LocatedEntry(index);
    name = e.pName;
    cmd.Add("%s/%s %s ", e.pPath, e.pName, e.pFlags);
  }
  cmd.AddV(fmt, ap);
  if (!cmd.fits) {
    RefuseLongLine(SYS_QUIET, *name != '\0' ? name : line, sizeof line);
    return false;
  }
  std::fflush(stdout);
  FILE* pipe = popen(line, "r");
  if (pipe == nullptr) return false;
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    if (filter == nullptr || *filter == '\0' || std::strstr(line, filter) != nullptr) take(line);
  }
  pclose(pipe);
  return true;
}

}  // namespace

// Runs table entry index (entry -index without logging or redirection for a
// negative index; the caller's text alone for 0 and 1) with the formatted
// arguments, in mode 0 quiet, 1 logged, 2 logged and fatal. Returns 0 on success,
// non-zero on failure (mode 2 ends the program with status 1 instead). An
// unresolved command ends the program with status 0.
int SysCmd(int index, int mode, const char* fmt, ...) {
  bool logging = true;
  if (index < 0) {
    logging = false;
    index = index < -CMD_LAST ? CMD_LAST + 1 : -index;  // beyond the table either way
  }
  if (index == 0) logging = false;

  char line[SYS_CMD_LINE_SIZE];
  LineBuilder cmd(line, sizeof line);
  const ComListEntry* entry = nullptr;
  char shell[kShellSize];  // the table's shell, for a table command
  bool shellFits = false;
  size_t quoted = 0;       // where the quoted command begins in the line
  if (index > 1) {
    entry = &LocatedEntry(index);
    const ComListEntry& sh = LocatedEntry(CMD_SH);
    LineBuilder path(shell, sizeof shell);
    path.Add("%s/%s", sh.pPath, sh.pName);
    shellFits = path.fits;
    cmd.Add("%s/%s -c \"", sh.pPath, sh.pName);
    quoted = cmd.used;
    cmd.Add("%s/%s %s ", entry->pPath, entry->pName, entry->pFlags);
  }
  va_list ap;
  va_start(ap, fmt);
  cmd.AddV(fmt, ap);
  va_end(ap);

  const bool logs = logging && Logged(mode);
  char redirect[SYS_CMD_REDIRECT_SIZE];
  LineBuilder red(redirect, sizeof redirect);
  if (mode == SYS_QUIET) {
    red.Add(" 1>/dev/null 2>/dev/null");
  } else if (logs && flUseLog) {
    red.Add(" 1>>/tmp/%s.log 2>>/tmp/%s.log", LogName(), LogName());
  } else if (logs) {
    red.Add(" 1>>/dev/null 2>>/dev/null");
  }
  // The whole line must fit before anything is shown or run.
  const size_t closing = index > 1 ? 1 : 0;
  if (!cmd.fits || !red.fits || cmd.used + red.used + closing >= sizeof line) {
    return RefuseLongLine(mode, entry != nullptr ? entry->pName : line, sizeof line);
  }

  if (logs && flSysCmdLog) {
    std::fputc('.', stdout);
    std::fflush(stdout);
    PutLogMsg("%s\n", line);
  } else if (logs && flUseLog) {
    PutLogMsg("%s", "");  // the log is made safe before the shell appends to it
  }
  if (logs) ++S.loggedRuns;
  const size_t shownLength = cmd.used;  // the line as logged, before its redirection
  cmd.Add("%s%s", redirect, closing != 0 ? "\"" : "");

  char reason[kReasonSize];
  int result = 0;
  if (entry != nullptr) {
    std::fflush(stdout);  // the progress dot and earlier output come first
    // A shell path too long to hold leaves the line to system(3) as it stands.
    const int status =
        syscmd::RunTableCommand(line, shellFits ? shell : nullptr, line + quoted, cmd.used - quoted - closing);
    result = Outcome(status, errno, reason);
  } else {
    result = RunLine(line, reason);
  }
  if (result != 0) {
    if (logs) ++S.failedRuns;
    ReportFailure(mode, reason, std::string(line, shownLength) + (closing != 0 ? "\"" : ""));
  }
  if (entry != nullptr) Settle(*entry);
  return result;
}

// The output lines of a table command (run through a pipe, nothing logged or
// redirected) that hold filter (every line for a null or empty filter), in
// order; null when none was kept. The caller releases it with FreeResponseList.
CmdResponse* GetCmdResponse(int index, const char* filter, const char* fmt, ...) {
  CmdResponse* head = nullptr;
  CmdResponse** tail = &head;
  va_list ap;
  va_start(ap, fmt);
  ReadCommandOutput(index, filter, fmt, ap, [&tail](const char* piece) {
    const size_t len = std::strlen(piece);
    auto* node = static_cast<CmdResponse*>(GetMem(sizeof(CmdResponse) + len + 1));
    if (node == nullptr) return;  // dropped; reading goes on
    node->pLine = reinterpret_cast<char*>(node + 1);
    std::memcpy(node->pLine, piece, len + 1);
    *tail = node;
    tail = &node->pNext;
  });
  va_end(ap);
  return head;
}

// As GetCmdResponse, the kept lines joined in one new managed text, each ending
// in LF; null when none was kept. When memory runs out part-way, the text holds
// the lines gathered until then. The caller releases it with PutMem.
char* GetCmdResponseStr(int index, const char* filter, const char* fmt, ...) {
  char* text = nullptr;
  size_t used = 0;
  bool full = false;
  va_list ap;
  va_start(ap, fmt);
  ReadCommandOutput(index, filter, fmt, ap, [&](const char* piece) {
    if (full) return;  // the rest of the output is read and let go
    const size_t len = std::strlen(piece);
    auto* grown = static_cast<char*>(AdjustMem(text, used + len + 2));
    if (grown == nullptr) {
      full = true;
      return;
    }
    text = grown;
    std::memcpy(text + used, piece, len);
    used += len;
    if (len == 0 || piece[len - 1] != '\n') text[used++] = '\n';
    text[used] = '\0';
  });
  va_end(ap);
  return text;
}

// Releases every node of a list from GetCmdResponse; null is allowed.
void FreeResponseList(CmdResponse* list) {
  while (list != nullptr) {
    CmdResponse* next = list->pNext;
    PutMem(list);
    list = next;
  }
}

int SysCmdLoggedFailures() { return S.loggedFailures; }

int SysCmdLoggedRuns() { return S.loggedRuns; }

int SysCmdFailedRuns() { return S.failedRuns; }

// Runs the formatted command line (at most 511 characters) as it stands, then
// pauses a second. Modes 1 and 2 show the line on standard output and report a
// failure as "ERROR: <reason>" on standard error; mode 2 then ends with status 1.
void SysCmdP(int mode, const char* fmt, ...) {
  char line[SYS_CMD_P_LINE_SIZE];
  LineBuilder cmd(line, sizeof line);
  va_list ap;
  va_start(ap, fmt);
  cmd.AddV(fmt, ap);
  va_end(ap);
  if (!cmd.fits) {
    RefuseLongLine(mode, line, sizeof line);
    return;
  }
  if (Logged(mode)) std::printf("%s\n", line);
  char reason[kReasonSize];
  if (RunLine(line, reason) != 0 && Logged(mode)) {
    std::fprintf(stderr, "ERROR: %s\n", reason);
    if (mode == SYS_FATAL) EndAfterFatal(1, reason);
  }
  sleep(1);
}
