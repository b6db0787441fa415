// Strings.cpp - managed texts, path-name splitters, text searches and filters.
#include "utils/utils.h"

#include "MemMgr/MemMgr.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr size_t kFnSize = 256;    // StripFn
constexpr size_t kNameSize = 128;  // StripPath, StripPathExt, StripExt, StripPathName
constexpr size_t kGenNameSize = 255;

// Each splitter has a result buffer of its own, so that a caller may hold the
// directory part and the last component of one path at the same time.
struct {
  char fn[kFnSize];
  char path[kNameSize];
  char pathExt[kNameSize];
  char ext[kNameSize];
  char pathName[kNameSize];
  char genName[kGenNameSize];
} S;

// Copies text into buf of size bytes, cut to size - 1 characters; null copies as
// the empty text. Returns buf.
char* CopyCut(char* buf, size_t size, const char* text) {
  const size_t n = text ? strnlen(text, size - 1) : 0;
  if (n > 0) std::memcpy(buf, text, n);
  buf[n] = '\0';
  return buf;
}

// A new managed text of len characters plus terminator; ends the process when
// memory runs out.
char* NewText(size_t len) {
  char* t = static_cast<char*>(GetMem(len + 1));
  if (t == nullptr) SysError("Unable to allocate memory");
  return t;
}

// Formats into a new managed text of exactly the result's size. The result is
// measured first, so it is never cut, however long.
char* FormatText(const char* fmt, va_list ap) KANDU_PRINTF(1, 0);
char* FormatText(const char* fmt, va_list ap) {
  va_list measure;
  va_copy(measure, ap);
  const int n = std::vsnprintf(nullptr, 0, fmt, measure);
  va_end(measure);
  if (n < 0) return NewText(0);  // a format the C library cannot render gives ""
  char* t = NewText(static_cast<size_t>(n));
  std::vsnprintf(t, static_cast<size_t>(n) + 1, fmt, ap);
  return t;
}

// Puts the last component of the path (in buf, already holding the cut copy)
// at the start of buf. False, with buf unchanged, when the path has no component.
bool KeepLastComponent(char* buf) {
  char* end = buf + std::strlen(buf);
  while (end > buf && end[-1] == '/') --end;
  if (end == buf) return false;
  char* start = end;
  while (start > buf && start[-1] != '/') --start;
  const size_t n = static_cast<size_t>(end - start);
  std::memmove(buf, start, n);
  buf[n] = '\0';
  return true;
}

}  // namespace

// New managed text formatted like printf; the caller releases it with PutMem.
// Null for a null format. Running out of memory ends the process (SysError).
char* SaveStr(const char* fmt, ...) {
  if (fmt == nullptr) return nullptr;
  va_list ap;
  va_start(ap, fmt);
  char* t = FormatText(fmt, ap);
  va_end(ap);
  return t;
}

// As SaveStr; null when the format is null. The result is never cut.
char* SaveStr__(const char* fmt, ...) {
  if (fmt == nullptr) return nullptr;
  va_list ap;
  va_start(ap, fmt);
  char* t = FormatText(fmt, ap);
  va_end(ap);
  return t;
}

// New managed copy of text, "%" not interpreted; null for a null text. Running out
// of memory ends the process (SysError).
char* SaveStr_(const char* text) {
  if (text == nullptr) return nullptr;
  char* t = CopyText(text);
  if (t == nullptr) SysError("Unable to allocate memory");
  return t;
}

// New managed copy of text; null for a null text or when memory runs out.
char* CopyText(const char* text) {
  if (text == nullptr) return nullptr;
  const size_t n = std::strlen(text) + 1;
  char* t = static_cast<char*>(GetMem(n));
  if (t != nullptr) std::memcpy(t, text, n);
  return t;
}

// Directory part of path in a 256-byte static buffer (a longer path is cut first):
// "." when there is no '/', "/" when the only '/' leads; a trailing '/' counts as
// the separator ('a/b/' gives 'a/b').
char* StripFn(const char* path) {
  CopyCut(S.fn, sizeof S.fn, path);
  char* p = S.fn + std::strlen(S.fn);
  while (p > S.fn && p[-1] != '/') --p;
  if (p == S.fn) return CopyCut(S.fn, sizeof S.fn, ".");
  if (p - 1 == S.fn) return CopyCut(S.fn, sizeof S.fn, "/");
  p[-1] = '\0';
  return S.fn;
}

// Last component of path in a 128-byte static buffer (a longer path is cut first).
// A path with no component ("/", "") comes back as copied; null gives "".
char* StripPath(const char* path) {
  CopyCut(S.path, sizeof S.path, path);
  KeepLastComponent(S.path);
  return S.path;
}

// Last component of path without its extension (cut at its first '.' after any
// leading dots), in a 128-byte static buffer. Null when the path has no component;
// a null path gives "".
char* StripPathExt(const char* path) {
  CopyCut(S.pathExt, sizeof S.pathExt, path);
  if (path == nullptr) return S.pathExt;
  if (!KeepLastComponent(S.pathExt)) return nullptr;
  char* p = S.pathExt;
  while (*p == '.') ++p;
  if (char* dot = std::strchr(p, '.')) *dot = '\0';
  return S.pathExt;
}

// name cut at its first '.' that follows a character other than '.', in a 128-byte
// static buffer ('a.b.c' gives "a", '.profile' stays). Null gives "".
char* StripExt(const char* name) {
  CopyCut(S.ext, sizeof S.ext, name);
  for (char* p = S.ext; *p != '\0'; ++p) {
    if (*p == '.' && p > S.ext && p[-1] != '.') {
      *p = '\0';
      break;
    }
  }
  return S.ext;
}

// The path up to the end of its first component, or the last '.'-separated piece
// of the rest before one that is a one-character directory ("dir/name.ext" gives
// "ext", "a/b.c/d" gives "b"); in a 128-byte static buffer, "" for null, "." or "..".
char* StripPathName(const char* path) {
  if (path == nullptr || FindToken(path, ";.;..;") != 0) return CopyCut(S.pathName, sizeof S.pathName, "");
  char* buf = CopyCut(S.pathName, sizeof S.pathName, path);
  char* p = buf;
  while (*p == '/') ++p;
  while (*p != '\0' && *p != '/') ++p;
  char* candidate = buf;
  if (*p == '/') {
    *p++ = '\0';
    // The rest is walked in pieces split at '.', the empty ones skipped.
    while (*p != '\0') {
      while (*p == '.') ++p;
      if (*p == '\0') break;
      char* piece = p;
      while (*p != '\0' && *p != '.') ++p;
      if (*p == '.') *p++ = '\0';
      if (piece[1] == '/') break;
      candidate = piece;
    }
  }
  std::memmove(buf, candidate, std::strlen(candidate) + 1);
  return buf;
}

// First character of text that is not white space; null for null.
char* SkipSpace(char* text) {
  if (text == nullptr) return nullptr;
  while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text))) ++text;
  return text;
}

// Number of characters before the terminator; 0 for null.
int StrLen(const char* text) { return text ? static_cast<int>(std::strlen(text)) : 0; }

// First occurrence of c that is not backslash-escaped, or null (also for null text
// and for c of NUL). A backslash is never found; a final lone backslash ends the walk.
char* StrChr(const char* text, int c) {
  if (text == nullptr) return nullptr;
  const char ch = static_cast<char>(c);
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '\\') {
      if (p[1] == '\0') return nullptr;
      ++p;
      continue;
    }
    if (*p == ch) return const_cast<char*>(p);
  }
  return nullptr;
}

// The n-th occurrence of c (from 1), or null when fewer, when n is below 1 or the
// text is null.
char* StrNChr(const char* text, int c, int n) {
  if (text == nullptr || n < 1) return nullptr;
  const char ch = static_cast<char>(c);
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == ch && --n == 0) return const_cast<char*>(p);
  }
  return nullptr;
}

// First occurrence of pat in text; null when absent, when either is null, or for
// the empty pattern.
char* StrStr(const char* text, const char* pat) {
  if (text == nullptr || pat == nullptr || *pat == '\0') return nullptr;
  return const_cast<char*>(std::strstr(text, pat));
}

// The n-th occurrence of pat, overlapping ones counted; null when fewer, when n is
// below 1 or the text is null or empty.
char* StrNStr(const char* text, const char* pat, int n) {
  if (text == nullptr || *text == '\0' || n < 1) return nullptr;
  char* hit = StrStr(text, pat);
  while (hit != nullptr && --n > 0) hit = StrStr(hit + 1, pat);
  return hit;
}

// As StrStr, ignoring case.
char* StrCaseStr(const char* text, const char* pat) {
  if (text == nullptr || pat == nullptr || *pat == '\0') return nullptr;
  for (const char* t = text; *t != '\0'; ++t) {
    size_t i = 0;
    while (pat[i] != '\0' && std::toupper(static_cast<unsigned char>(t[i])) ==
                                 std::toupper(static_cast<unsigned char>(pat[i])))
      ++i;
    if (pat[i] == '\0') return const_cast<char*>(t);
  }
  return nullptr;
}

// Removes every backslash from text in place; returns text (null for null).
char* StripAllBackslashes(char* text) {
  if (text == nullptr) return nullptr;
  char* end = std::remove(text, text + std::strlen(text), '\\');
  *end = '\0';
  return text;
}

// Keeps only the printable characters of text, in place; CR, LF and TAB go too,
// whatever the flag. Returns text, null for null.
char* StripNonPrint(char* text, int flag) {
  (void)flag;  // accepted for its callers; it never lets CR or LF through
  if (text == nullptr) return nullptr;
  char* end = std::remove_if(text, text + std::strlen(text),
                             [](char c) { return !std::isprint(static_cast<unsigned char>(c)); });
  *end = '\0';
  return text;
}

// A name of capitalised words from the alphanumeric runs of text, starting at its
// first letter ('  my printer-2 name' gives 'MyPrinter2Name'), in a 255-byte static
// buffer; a longer name is cut to 254 characters. Null gives "".
char* GenName(const char* text) {
  size_t n = 0;
  const auto isAlnum = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
  const char* p = text ? text : "";
  while (*p != '\0' && !std::isalpha(static_cast<unsigned char>(*p))) ++p;
  while (*p != '\0' && n < kGenNameSize - 1) {
    bool first = true;
    for (; isAlnum(*p) && n < kGenNameSize - 1; ++p) {
      const unsigned char c = static_cast<unsigned char>(*p);
      S.genName[n++] = static_cast<char>(first ? std::toupper(c) : std::tolower(c));
      first = false;
    }
    while (*p != '\0' && !isAlnum(*p)) ++p;
  }
  S.genName[n] = '\0';
  return S.genName;
}

// Copies count bytes from src to dst, in reverse order when reverse is set. The
// two may overlap, or be the same (an in-place byte swap).
void SetVarContent(void* dst, const void* src, int count, int reverse) {
  if (dst == nullptr || src == nullptr || count <= 0) return;
  auto* d = static_cast<unsigned char*>(dst);
  std::memmove(d, src, static_cast<size_t>(count));
  if (reverse) std::reverse(d, d + count);
}

// a when a is greater than b, otherwise b.
double MaxD(double a, double b) { return a > b ? a : b; }

// value converted from one unit to another (0 inch, 1 centimetre, 2 point),
// computed in double precision; any other pair returns value unchanged.
float CvtFloatFormat(float value, int from, int to) {
  constexpr double kCmPerInch = 2.54;
  constexpr double kPointsPerInch = 72.0;
  const double v = value;
  double r = v;
  if (from == 1 && to == 0) r = v / kCmPerInch;
  else if (from == 2 && to == 0) r = v / kPointsPerInch;
  else if (from == 0 && to == 1) r = v * kCmPerInch;
  else if (from == 2 && to == 1) r = v / kPointsPerInch * kCmPerInch;
  else if (from == 0 && to == 2) r = v * kPointsPerInch;
  else if (from == 1 && to == 2) r = v / kCmPerInch * kPointsPerInch;
  return static_cast<float>(r);
}
