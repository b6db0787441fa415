// Encoding.cpp - the terminal's encoding: whether the locale names UTF-8, and the
// Latin-1 texts of the message tables and help pages written in that encoding.
#include "utils/utils.h"

#include "MemMgr/MemMgr.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <strings.h>
#include <unistd.h>

namespace {

struct {
  int outputUtf8 = -1;  // the decision of OutputIsUtf8: -1 until the first call
} S;

// Length of the well-formed UTF-8 sequence of 2 to 4 bytes at p (n bytes readable),
// 0 when none begins there.
size_t Utf8SequenceAt(const unsigned char* p, size_t n) {
  const unsigned char c = p[0];
  size_t len = 0;
  unsigned char low = 0x80;   // the range of the second byte
  unsigned char high = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
  } else {
    return 0;
  }
  if (n < len || p[1] < low || p[1] > high) return 0;
  for (size_t i = 2; i < len; ++i) {
    if (p[i] < 0x80 || p[i] > 0xBF) return 0;
  }
  return len;
}

// Writes all n bytes to fd, across short writes and interruptions. False on an error.
bool WriteAll(int fd, const char* data, size_t n) {
  while (n > 0) {
    const ssize_t done = write(fd, data, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    n -= static_cast<size_t>(done);
  }
  return true;
}

// The write function of the converting standard output: each piece stdio hands
// over is converted and written to descriptor 1.
ssize_t WriteConverted(void*, const char* data, size_t n) {
  std::string out(2 * n + 1, '\0');  // every byte grows to two at most
  const size_t len = Latin1ToUtf8(data, n, out.data(), out.size());
  return WriteAll(STDOUT_FILENO, out.data(), len) ? static_cast<ssize_t>(n) : -1;
}

}  // namespace

// 1 when locale ends in a UTF-8 code set: ".UTF-8" or ".utf8" in any case, a
// modifier ("@euro") after it allowed. Null and "" give 0.
int NamesUtf8(const char* locale) {
  if (locale == nullptr) return 0;
  std::string_view name(locale);
  if (const size_t at = name.find('@'); at != std::string_view::npos) name = name.substr(0, at);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return 0;
  const std::string set(name.substr(dot + 1));
  return strcasecmp(set.c_str(), "utf-8") == 0 || strcasecmp(set.c_str(), "utf8") == 0;
}

// 1 when the terminal's locale names UTF-8: the first of LC_ALL, LC_MESSAGES and
// LANG that is set and not empty decides; none gives 0. Read at each call.
int LocaleIsUtf8() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return NamesUtf8(value);
  }
  return 0;
}

int OutputIsUtf8() {
  if (S.outputUtf8 < 0) S.outputUtf8 = LocaleIsUtf8();
  return S.outputUtf8;
}

// Converts n bytes of Latin-1 text; see utils.h.
size_t Latin1ToUtf8(const char* in, size_t n, char* out, size_t size) {
  const auto* p = reinterpret_cast<const unsigned char*>(in);
  size_t used = 0;     // the length of the whole form so far
  size_t written = 0;  // what stands in out: whole characters only
  auto put = [&](const unsigned char* bytes, size_t len) {
    if (written == used && used + len < size) {
      std::memcpy(out + used, bytes, len);
      written += len;
    }
    used += len;
  };
  for (size_t i = 0; i < n;) {
    size_t len = p[i] < 0x80 ? 1 : Utf8SequenceAt(p + i, n - i);
    if (len > 0) {
      put(p + i, len);
      i += len;
      continue;
    }
    const unsigned char pair[2] = {static_cast<unsigned char>(0xC0 | (p[i] >> 6)),
                                   static_cast<unsigned char>(0x80 | (p[i] & 0x3F))};
    put(pair, 2);
    ++i;
  }
  if (size > 0) out[written] = '\0';
  return used;
}

char* SaveUtf8Text(const char* text) {
  if (text == nullptr) return nullptr;
  const size_t n = std::strlen(text);
  const size_t need = Latin1ToUtf8(text, n, nullptr, 0) + 1;
  auto* copy = static_cast<char*>(GetMem(need));
  if (copy == nullptr) SysError("Unable to allocate memory");
  Latin1ToUtf8(text, n, copy, need);
  return copy;
}

char* SaveOutputText(const char* text) { return OutputIsUtf8() ? SaveUtf8Text(text) : SaveStr_(text); }

// Replaces standard output by a stream that converts on its way to descriptor 1;
// see utils.h.
void UseOutputEncoding() {
  if (!OutputIsUtf8()) return;
  std::fflush(stdout);
  cookie_io_functions_t io{};
  io.write = WriteConverted;
  FILE* converted = fopencookie(nullptr, "w", io);
  if (converted == nullptr) return;  // the output stays as it is: Latin-1
  // A terminal sees each line at once, as with the standard stream.
  setvbuf(converted, nullptr, isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF, BUFSIZ);
  stdout = converted;
}
