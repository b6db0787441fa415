// Prompt.cpp - terminal prompts: messages confirmed with Enter, typed answers, and
// secrets read without echo.
#include "TextMenu/TextMenuPrivate.h"
#include "TextMenu/TextMenuTesting.h"

#include "MemMgr/MemMgr.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

using namespace menu_internal;

namespace {

constexpr int kAnswerSize = 1024;  // an answer returned as a new text
constexpr int kSignals[] = {SIGINT, SIGHUP, SIGQUIT, SIGTERM, SIGTSTP, SIGTTIN, SIGTTOU};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

volatile sig_atomic_t gCaught = 0;  // the signal that arrived during a secret read

extern "C" void RecordSignal(int sig) { gCaught = sig; }

struct PromptState {
  const char* pTty = "/dev/tty";        // the terminal of GetPassPhrase
  int Timeout = PASS_PHRASE_TIMEOUT;    // seconds per character
  char Secret[PASS_PHRASE_SIZE] = {};   // what was typed
};
PromptState S;

// True when the C library holds unread characters of standard input, which a
// read of its descriptor would pass over.
bool StdinBuffered() {
#ifdef __GLIBC__
  return stdin->_IO_read_ptr < stdin->_IO_read_end;
#else
  return false;
#endif
}

// The next character of fd within the timeout: 1 read, 0 timeout or end, -1 failure
// (a signal included).
int NextChar(int fd, bool viaStdio, char* c) {
  if (viaStdio && StdinBuffered()) {
    const int ch = std::getc(stdin);
    if (ch == EOF) return 0;
    *c = static_cast<char>(ch);
    return 1;
  }
  fd_set set;
  FD_ZERO(&set);
  FD_SET(fd, &set);
  timeval tv{S.Timeout, 0};
  const int r = select(fd + 1, &set, nullptr, nullptr, &tv);
  if (r < 0) return -1;
  if (r == 0) return 0;
  const ssize_t n = read(fd, c, 1);
  if (n == 1) return 1;
  return n == 0 ? 0 : -1;
}

// Reads the secret into S.Secret. With the terminal in raw mode (edit true) the
// erase and kill characters edit the text and the end-of-file character ends it.
void ReadSecret(int fd, bool viaStdio, bool edit, const termios& mode) {
  size_t n = 0;
  S.Secret[0] = '\0';
  while (n < PASS_PHRASE_SIZE - 1) {
    char c = 0;
    if (NextChar(fd, viaStdio, &c) != 1) break;
    if (c == '\n' || c == '\r') break;
    if (edit) {
      if (c == static_cast<char>(mode.c_cc[VEOF])) break;
      if (c == static_cast<char>(mode.c_cc[VERASE]) || c == '\b' || c == 0x7f) {
        if (n > 0) --n;
        continue;
      }
      if (c == static_cast<char>(mode.c_cc[VKILL])) {
        n = 0;
        continue;
      }
    }
    S.Secret[n++] = c;
  }
  S.Secret[n] = '\0';
}

void WriteAll(int fd, const char* text) {
  size_t len = std::strlen(text);
  while (len > 0) {
    const ssize_t n = write(fd, text, len);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      return;
    }
    text += n;
    len -= static_cast<size_t>(n);
  }
}

// One attempt: prompt, read without echo, restore. Returns the signal that came.
int ReadOnce(const char* prompt, int* readErrno) {
  gCaught = 0;
  const int tty = open(S.pTty, O_RDWR | O_NOCTTY | O_CLOEXEC);
  const int in = tty >= 0 ? tty : STDIN_FILENO;
  const int out = tty >= 0 ? tty : STDERR_FILENO;
  if (tty < 0) std::fflush(stdout);
  WriteAll(out, prompt != nullptr ? prompt : "");

  struct sigaction sa = {};
  sa.sa_handler = RecordSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no restart: a signal ends the waiting read
  struct sigaction old[kSignalCount];
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &sa, &old[i]);

  termios saved = {};
  bool changed = false;
  if (tcgetattr(in, &saved) == 0) {
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    changed = tcsetattr(in, TCSANOW, &raw) == 0;  // typed-ahead text is kept
  }

  ReadSecret(in, tty < 0, changed, saved);
  *readErrno = errno;

  WriteAll(out, "\n");
  if (changed) tcsetattr(in, TCSANOW, &saved);
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &old[i], nullptr);
  if (tty >= 0) close(tty);
  return gCaught;
}

}  // namespace

void PostMsg(const char* fmt, ...) {
  if (fmt != nullptr) {
    va_list ap;
    va_start(ap, fmt);
    std::vprintf(fmt, ap);
    va_end(ap);
  }
  std::fputs(Msg(NLS_SET_MENU, MSG_PRESS_ENTER), stdout);
  char pause[MENU_LINE_SIZE];
  ReadLine(pause, sizeof pause);
}

char* PromptUser(const char* prompt, char* buf) {
  std::fputs(prompt != nullptr ? prompt : "", stdout);
  if (buf != nullptr) {
    ReadLine(buf, MENU_LINE_SIZE);
    return buf;
  }
  char answer[kAnswerSize];
  ReadLine(answer, sizeof answer);
  return SaveStr_(answer);
}

char* GetPassPhrase(const char* prompt) {
  for (;;) {
    int readErrno = 0;
    const int sig = ReadOnce(prompt, &readErrno);
    if (sig != 0) {
      // The signal goes to the caller's own handling, now restored.
      kill(getpid(), sig);
      // A stop signal: the process was stopped and has been resumed; ask again.
      if (sig == SIGTSTP || sig == SIGTTIN || sig == SIGTTOU) continue;
    }
    char* text = SaveStr_(S.Secret);
    std::memset(S.Secret, 0, sizeof S.Secret);
    errno = readErrno;
    return text;
  }
}

void SetPassPhraseSource(const char* tty, int timeoutSeconds) {
  S.pTty = tty != nullptr ? tty : "/dev/tty";
  S.Timeout = timeoutSeconds > 0 ? timeoutSeconds : PASS_PHRASE_TIMEOUT;
}
