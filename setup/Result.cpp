// Result.cpp - the result file of an unattended run: one JSON object that says what
// the run did, written whole or not at all.
//
// The file is written to a new name in its folder, opened so that nothing standing
// there (a link above all) is followed or reused, and then renamed over the path:
// a reader sees the old file or the whole new one, and a link planted at the path is
// replaced, never written through. Only the C library is used here, so a failure
// while the run ends after a fatal report cannot end in another fatal report.
#include "setup/setup.h"
#include "setup/SetupPrivate.h"

#include "SysCmd/SysCmd.h"
#include "utils/utils.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The start of the run, for its length in seconds.
const auto kStart = std::chrono::steady_clock::now();

constexpr int kTemporaryTries = 20;  // names tried for the new file

// The length of the well-formed UTF-8 sequence at p (its code point in *code), or 0
// when the bytes there are no such sequence (overlong forms, surrogates and values
// past U+10FFFF are not).
int Utf8Sequence(const unsigned char* p, unsigned* code) {
  int length = 0;
  unsigned value = 0;
  unsigned least = 0;
  if (p[0] >= 0xc2 && p[0] <= 0xdf) {
    length = 2, value = p[0] & 0x1fu, least = 0x80;
  } else if (p[0] >= 0xe0 && p[0] <= 0xef) {
    length = 3, value = p[0] & 0x0fu, least = 0x800;
  } else if (p[0] >= 0xf0 && p[0] <= 0xf4) {
    length = 4, value = p[0] & 0x07u, least = 0x10000;
  } else {
    return 0;
  }
  for (int i = 1; i < length; ++i) {
    if ((p[i] & 0xc0) != 0x80) return 0;  // the terminator stops here too
    value = value << 6 | (p[i] & 0x3fu);
  }
  if (value < least || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) return 0;
  *code = value;
  return length;
}

void AppendEscape(std::string& out, unsigned code) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "\\u%04x", code);
  out += hex;
}

// The product directory of the previous installation, or null.
std::string PreviousProductDir() {
  if (pCurrentInstallDir == nullptr) return "null";
  return JsonString((std::string(pCurrentInstallDir) + "/" + MAKER_NAME + "/" + PRODUCT_NAME).c_str());
}

// The JSON object of the run.
std::string ResultText(RunOutcome outcome, int status, const char* reason) {
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - kStart).count();
  const std::string name = setup_internal::RunName();
  char figures[160];
  std::snprintf(figures, sizeof figures, "\"commands\": %d, \"failed_commands\": %d, ", SysCmdLoggedRuns(),
                SysCmdFailedRuns());
  char time[64];
  std::snprintf(time, sizeof time, "\"seconds\": %.3f, ", seconds);
  return std::string("{\"version\": ") + JsonString(SETUP_VERSION) + ", \"outcome\": " +
         JsonString(ResultOutcomeName(outcome)) + ", \"status\": " + std::to_string(status) +
         ", \"product_dir\": " + JsonString(pAppDir != nullptr ? pAppDir : "") +
         ", \"previous_dir\": " + PreviousProductDir() + ", " + figures +
         "\"log\": " + JsonString((std::string(pLogPath) + "/" + name + ".log").c_str()) + ", " + time +
         "\"message\": " + JsonString(reason) + "}\n";
}

// Writes text whole to fd; false on a failure (errno set).
bool WriteWhole(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes text to path through a new file beside it; "" when done, else why not.
std::string ReplaceFile(const std::string& path, const std::string& text) {
  std::string temporary;
  int fd = -1;
  for (int n = 0; fd < 0 && n < kTemporaryTries; ++n) {
    temporary = path + "." + std::to_string(getpid()) + "-" + std::to_string(n) + ".tmp";
    fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return std::string("cannot make a new file beside it: ") + std::strerror(errno);
  std::string why;
  if (fchmod(fd, 0644) != 0 || !WriteWhole(fd, text) || fsync(fd) != 0) why = std::strerror(errno);
  if (close(fd) != 0 && why.empty()) why = std::strerror(errno);
  if (why.empty() && rename(temporary.c_str(), path.c_str()) != 0) why = std::strerror(errno);
  if (why.empty()) return "";
  unlink(temporary.c_str());
  return why;
}

}  // namespace

std::string JsonString(const char* text) {
  std::string out = "\"";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text != nullptr ? text : ""); *p != '\0';) {
    unsigned code = 0;
    const int length = *p >= 0x80 ? Utf8Sequence(p, &code) : 0;
    if (length > 0) {
      if (code > 0xffff) {  // a pair of surrogates
        code -= 0x10000;
        AppendEscape(out, 0xd800 + (code >> 10));
        AppendEscape(out, 0xdc00 + (code & 0x3ff));
      } else {
        AppendEscape(out, code);
      }
      p += length;
      continue;
    }
    if (*p == '"' || *p == '\\') {
      out += '\\';
      out += static_cast<char>(*p);
    } else if (*p == '\n') {
      out += "\\n";
    } else if (*p == '\t') {
      out += "\\t";
    } else if (*p < 0x20 || *p >= 0x7f) {
      AppendEscape(out, *p);  // a control character, or a Latin-1 one
    } else {
      out += static_cast<char>(*p);
    }
    ++p;
  }
  return out + "\"";
}

int writeRunResult(RunOutcome outcome, int status, const char* reason) {
  if (Unattended.resultPath.empty()) return 0;
  const std::string why = ReplaceFile(Unattended.resultPath, ResultText(outcome, status, reason));
  if (why.empty()) return 1;
  const char* name = setup_internal::RunName();
  PutLogMsg("WARNING_MSG: cannot write the result file %s: %s\n", Unattended.resultPath.c_str(), why.c_str());
  std::fflush(stdout);
  std::fprintf(stderr, "%s: cannot write the result file %s: %s\n", name, Unattended.resultPath.c_str(),
               why.c_str());
  return 0;
}
