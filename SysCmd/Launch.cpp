// Launch.cpp - starts the command lines of table commands: plain lines without any
// shell, other lines through the table's shell alone, the rest through system(3).
#include "SysCmd/Launch.h"

#include "SysCmd/SysCmd.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace syscmd {
namespace {

constexpr size_t kShellPathSize = 4096;

// The last shell compared with the host's /bin/sh, and the outcome.
struct {
  char shell[kShellPathSize] = "";
  bool isSystemShell = false;
} S;

bool IsLetterOrDigit(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// True for a character that a shell takes as itself: no quoting, expansion, globbing,
// separating or redirecting. '#' starts a comment and '~' a home directory only at
// the start of a word.
bool IsPlain(unsigned char c, bool wordStart) {
  if (IsLetterOrDigit(c)) return true;
  switch (c) {
    case '%': case '+': case ',': case '-': case '.': case '/': case ':': case '=': case '@': case '_':
      return true;
    case '#': case '~':
      return !wordStart;
    default:
      return false;
  }
}

// True when every character of the word is plain.
bool IsPlainWord(const char* word) {
  for (const char* p = word; *p != '\0'; ++p) {
    if (!IsPlain(static_cast<unsigned char>(*p), p == word)) return false;
  }
  return *word != '\0';
}

// The length of the redirection operator that word begins with (">", ">>", "1>",
// "1>>", "2>", "2>>"), filling in r's descriptor and kind; 0 when it begins with none.
size_t ReadRedirect(const char* word, Redirect* r) {
  const bool digit = word[0] == '1' || word[0] == '2';
  const char* op = digit ? word + 1 : word;
  if (op[0] != '>') return 0;
  r->fd = digit ? word[0] - '0' : 1;
  r->append = op[1] == '>';
  return static_cast<size_t>(op - word) + (r->append ? 2 : 1);
}

// True when a shell would pass the text between double quotes on unchanged: no
// variable, command substitution, escape or quote in it.
bool PassesQuotedUnchanged(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '"' || text[i] == '$' || text[i] == '`' || text[i] == '\\' || text[i] == '\0') return false;
  }
  return true;
}

// True when shell is the host's own /bin/sh (the same file), the shell whose reading
// of a plain line is known. Another shell may do more than split words, so every
// line goes through it.
bool IsSystemShell(const char* shell) {
  if (std::strcmp(S.shell, shell) == 0) return S.isSystemShell;
  struct stat mine {};
  struct stat system {};
  S.isSystemShell = stat(shell, &mine) == 0 && stat("/bin/sh", &system) == 0 && mine.st_dev == system.st_dev &&
                    mine.st_ino == system.st_ino;
  if (std::strlen(shell) < sizeof S.shell) {
    std::strcpy(S.shell, shell);
  } else {
    S.shell[0] = '\0';  // too long to remember: asked again next time
  }
  return S.isSystemShell;
}

// Starts path with argv as the C library's system starts its shell, and waits for
// it: SIGINT and SIGQUIT ignored and SIGCHLD blocked here meanwhile, the child with
// the dispositions and mask from before. Returns 0 with the wait status in *status,
// or the error number when the process could not be started.
int SpawnAndWait(const char* path, char* const argv[], const posix_spawn_file_actions_t* actions, int* status) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  struct sigaction oldInt {};
  struct sigaction oldQuit {};
  sigaction(SIGINT, &ignore, &oldInt);
  sigaction(SIGQUIT, &ignore, &oldQuit);
  sigset_t chld;
  sigset_t oldMask;
  sigemptyset(&chld);
  sigaddset(&chld, SIGCHLD);
  sigprocmask(SIG_BLOCK, &chld, &oldMask);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  if (oldInt.sa_handler != SIG_IGN) sigaddset(&defaults, SIGINT);
  if (oldQuit.sa_handler != SIG_IGN) sigaddset(&defaults, SIGQUIT);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setsigmask(&attr, &oldMask);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t pid = 0;
  int err = posix_spawn(&pid, path, actions, &attr, argv, environ);
  posix_spawnattr_destroy(&attr);
  if (err == 0) {
    while (waitpid(pid, status, 0) < 0) {
      if (errno != EINTR) {
        *status = -1;
        break;
      }
    }
  }
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGQUIT, &oldQuit, nullptr);
  sigprocmask(SIG_SETMASK, &oldMask, nullptr);
  return err;
}

// Starts a plain command with its redirections; false when it could not be started
// (nothing of it ran).
bool RunDirect(PlainCommand& c, int* status) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int i = 0; i < c.redirectCount; ++i) {
    const Redirect& r = c.redirects[i];
    const int flags = O_WRONLY | O_CREAT | (r.append ? O_APPEND : O_TRUNC);
    posix_spawn_file_actions_addopen(&actions, r.fd, r.path, flags, 0666);
  }
  const int err = SpawnAndWait(c.words[0], c.words, &actions, status);
  posix_spawn_file_actions_destroy(&actions);
  return err == 0;
}

// Starts the shell with -c and the command text; false when it could not be started.
bool RunShell(const char* shell, char* command, int* status) {
  char dashC[] = "-c";
  char* argv[] = {const_cast<char*>(shell), dashC, command, nullptr};
  return SpawnAndWait(shell, argv, nullptr, status) == 0;
}

}  // namespace

bool SplitPlainCommand(char* text, PlainCommand* out) {
  out->count = 0;
  out->redirectCount = 0;
  char* p = text;
  // The next word, ended in place; null at the end of the line or of what a comment leaves.
  const auto nextWord = [&p]() -> char* {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0' || *p == '#') return nullptr;  // a comment runs to the end of the line
    char* word = p;
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
    if (*p != '\0') *p++ = '\0';
    return word;
  };
  while (char* word = nextWord()) {
    Redirect r{};
    if (const size_t op = ReadRedirect(word, &r)) {
      // The target follows the operator, in the same word or as the next one.
      r.path = word[op] != '\0' ? word + op : nextWord();
      if (r.path == nullptr || !IsPlainWord(r.path) || out->redirectCount == kMaxRedirects) return false;
      out->redirects[out->redirectCount++] = r;
      continue;
    }
    if (!IsPlainWord(word) || out->count == kMaxWords) return false;
    out->words[out->count++] = word;
  }
  out->words[out->count] = nullptr;
  // An absolute path is run as it stands: no search, no built-in, no assignment.
  return out->count > 0 && out->words[0][0] == '/';
}

int RunTableCommand(const char* line, const char* shell, const char* command, size_t length) {
  char text[SYS_CMD_LINE_SIZE];
  if (shell == nullptr || !IsPlainWord(shell) || length >= sizeof text || !PassesQuotedUnchanged(command, length)) {
    return std::system(line);
  }
  std::memcpy(text, command, length);
  text[length] = '\0';
  int status = -1;
  if (IsSystemShell(shell)) {
    char words[SYS_CMD_LINE_SIZE];
    std::memcpy(words, text, length + 1);
    PlainCommand plain;
    if (SplitPlainCommand(words, &plain)) return RunDirect(plain, &status) ? status : std::system(line);
  }
  return RunShell(shell, text, &status) ? status : std::system(line);
}

}  // namespace syscmd
