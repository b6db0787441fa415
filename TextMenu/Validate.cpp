// Validate.cpp - checking typed values: the validation pattern language, length
// and digit checks, and names.
#include "TextMenu/TextMenuPrivate.h"

#include "NlsUtils/Nls.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace menu_internal;

namespace {

constexpr int kSetsSize = 64;  // characters added or forbidden by one element

// The messages of the numeric ranges, fetched on first use.
struct ValidateState {
  const char* pIntRange = nullptr;   // 25/1003
  const char* pHexRange = nullptr;   // 25/1004
  const char* pLongRange = nullptr;  // 25/1024
};
ValidateState S;

void FetchRangeMessages() {
  if (S.pIntRange != nullptr) return;
  S.pIntRange = Msg(NLS_SET_MENU, MSG_INT_RANGE);
  S.pHexRange = Msg(NLS_SET_MENU, MSG_HEX_RANGE);
  S.pLongRange = Msg(NLS_SET_MENU, MSG_LONG_RANGE);
}

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// One element of a pattern with its bounds and its added and forbidden characters.
struct Element {
  char Kind = 0;
  const char* pBounds = nullptr;  // the text from '(' on
  char Added[kSetsSize] = {};
  char Forbidden[kSetsSize] = {};
};

bool InSet(const char* set, char c) { return c != '\0' && std::strchr(set, c) != nullptr; }

// Reads the element at *p ("X(" ... ")" and its "+c"/"-c" pairs); *p moves past it.
Element ReadElement(const char** p) {
  Element e;
  e.Kind = **p;
  e.pBounds = *p + 1;
  const char* q = std::strchr(e.pBounds, ')');
  q = q != nullptr ? q + 1 : e.pBounds + std::strlen(e.pBounds);
  size_t na = 0;
  size_t nf = 0;
  while ((*q == '+' || *q == '-') && q[1] != '\0') {
    if (*q == '+' && na + 1 < sizeof e.Added) e.Added[na++] = q[1];
    if (*q == '-' && nf + 1 < sizeof e.Forbidden) e.Forbidden[nf++] = q[1];
    q += 2;
  }
  *p = q;
  return e;
}

// Reports a wrong length: one length that fits, or the range.
void ReportLength(int min, int max) {
  // Catalogue texts are the formats of these reports.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  if (min == max)
    PostMsg(Msg(NLS_SET_ENTRY, MSG_LENGTH_EXACT), min);
  else
    PostMsg(Msg(NLS_SET_ENTRY, MSG_LENGTH_RANGE), min, max);
#pragma GCC diagnostic pop
}

// Result of one element: 0 accepted, else the failure code; fallible failures may
// be passed over to a later alternative.
struct Outcome {
  int Code = 0;
  bool Reported = false;
};

// A character class or a length element ("A", "a", "p", "L", "t"). quiet: a later
// alternative remains, so a failure is not shown.
Outcome CheckClass(const Element& e, const char* text, size_t* pos, bool quiet) {
  int min = 0;
  const int max = getMinMax(e.pBounds, &min);
  const int len = static_cast<int>(std::strlen(text));
  if (max != 0 && (len < min || len > max)) {
    if (!quiet) ReportLength(min, max);
    return {2, !quiet};
  }
  for (size_t i = *pos; text[i] != '\0'; ++i) {
    const char c = text[i];
    const unsigned char u = static_cast<unsigned char>(c);
    bool ok = true;
    if (e.Kind == 'A') ok = std::isalnum(u) || InSet(e.Added, c);
    if (e.Kind == 'a') ok = std::isalpha(u) || InSet(e.Added, c);
    if (e.Kind == 'p') ok = std::isprint(u) || InSet(e.Added, c);
    if (InSet(e.Forbidden, c)) ok = false;
    if (ok) continue;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    if (!quiet) PostMsg(Msg(NLS_SET_MENU, e.Kind == 'a' ? MSG_CHAR_USE : MSG_CHAR), c, e.Added);
#pragma GCC diagnostic pop
    return {3, !quiet};
  }
  *pos = std::strlen(text);
  return {};
}

// "d": digits only (and added characters), none forbidden, value in the range.
int CheckInt(const Element& e, const char* text, size_t* pos) {
  for (const char* p = text + *pos; *p != '\0'; ++p) {
    if ((IsDigit(*p) || InSet(e.Added, *p)) && !InSet(e.Forbidden, *p)) continue;
    PostMsg("Invalid digit:  %c\n", *p);
    return 3;
  }
  int min = 0;
  const int max = getMinMax(e.pBounds, &min);
  const long v = std::strtol(text + *pos, nullptr, 10);
  *pos = std::strlen(text);
  if (max != 0 && (v < min || v > max)) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    PostMsg(S.pIntRange, min, max);
#pragma GCC diagnostic pop
    return 1;
  }
  return 0;
}

// "x": a hexadecimal number (an optional 0x) whose value lies in the range, the
// bounds written in hexadecimal.
int CheckHex(const Element& e, const char* text, size_t* pos) {
  const char* start = text + *pos;
  const char* digits = (start[0] == '0' && (start[1] == 'x' || start[1] == 'X')) ? start + 2 : start;
  for (const char* p = digits; *p != '\0'; ++p) {
    if (std::isxdigit(static_cast<unsigned char>(*p))) continue;
    PostMsg("Invalid digit:  %c\n", *p);
    return 3;
  }
  unsigned int min = 0;
  unsigned int max = 0;
  std::sscanf(e.pBounds, "(%x,%x", &min, &max);
  const unsigned long v = std::strtoul(digits, nullptr, 16);
  *pos = std::strlen(text);
  if (max != 0 && (v < min || v > max)) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    PostMsg(S.pHexRange, min, max);
#pragma GCC diagnostic pop
    return 1;
  }
  return 0;
}

// "D": digits and a dot (and added characters), none forbidden, read as a long
// double, value in the range.
int CheckLongDouble(const Element& e, const char* text, size_t* pos) {
  for (const char* p = text + *pos; *p != '\0'; ++p) {
    if ((IsDigit(*p) || *p == '.' || InSet(e.Added, *p)) && !InSet(e.Forbidden, *p)) continue;
    PostMsg("Invalid character '%c'\nThis text may contain \"0123456789.\"\n", *p);
    return 3;
  }
  long double min = 0;
  long double max = 0;
  std::sscanf(e.pBounds, "(%Lg,%Lg ", &min, &max);
  long double v = 0;
  std::sscanf(text + *pos, "%Lg", &v);
  *pos = std::strlen(text);
  if (max != 0 && (v < min || v > max)) {
    PostMsg("%s", S.pLongRange);
    return 1;
  }
  return 0;
}

// "f": digits and at most one '.', read as a float, value in the range.
int CheckFloat(const Element& e, const char* text, size_t* pos) {
  int dots = 0;
  for (const char* p = text + *pos; *p != '\0'; ++p) {
    if (IsDigit(*p)) continue;
    if (*p == '.') {
      if (++dots > 1) {
        PostMsg("%s", Msg(NLS_SET_MENU, MSG_ONE_POINT));
        return 1;
      }
      continue;
    }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    PostMsg(Msg(NLS_SET_MENU, MSG_NUMBER_CHAR), *p);
#pragma GCC diagnostic pop
    return 3;
  }
  float min = 0;
  float max = 0;
  std::sscanf(e.pBounds, "(%f,%f)", &min, &max);
  float v = 0;
  std::sscanf(text + *pos, "%f", &v);
  *pos = std::strlen(text);
  if (max != 0 && (v < min || v > max)) {
    PostMsg("This number must be between %f to %f.", static_cast<double>(min), static_cast<double>(max));
    return 1;
  }
  return 0;
}

// Position after the next '|' of the pattern from p, or null when none follows.
const char* NextAlternative(const char* p) {
  const char* bar = std::strchr(p, '|');
  return bar != nullptr ? bar + 1 : nullptr;
}

bool IsElement(const char* p) { return std::strchr("AapLtdxDf", *p) != nullptr && *p != '\0' && p[1] == '('; }

constexpr int kGoOn = -1;  // a step's result when the pattern's check goes on

// "!(word)" at *p: the whole text may not be word. 4, reported, when it is; else kGoOn
// with *p past the element.
int CheckReserved(const char* text, const char** p) {
  const char* word = *p + 2;
  const char* end = std::strchr(word, ')');
  const size_t n = end != nullptr ? static_cast<size_t>(end - word) : std::strlen(word);
  *p = end != nullptr ? end + 1 : word + n;
  if (std::strlen(text) != n || std::strncmp(text, word, n) != 0) return kGoOn;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  PostMsg(Msg(NLS_SET_MENU, MSG_RESERVED), text);
#pragma GCC diagnostic pop
  return 4;
}

// The element at *p checked from text[*pos] by its letter's check. kGoOn when it
// accepts, or when a class or length element fails and a later alternative remains
// (*p and *pos then move to it); else the failure code, reported.
int CheckElement(const char* text, const char** p, size_t* pos) {
  const Element e = ReadElement(p);
  int code = 0;
  switch (e.Kind) {
    case 'd': code = CheckInt(e, text, pos); break;
    case 'x': code = CheckHex(e, text, pos); break;
    case 'D': code = CheckLongDouble(e, text, pos); break;
    case 'f': code = CheckFloat(e, text, pos); break;
    default: {
      const char* alt = NextAlternative(*p);
      const Outcome o = CheckClass(e, text, pos, alt != nullptr);
      if (o.Code == 0) return kGoOn;
      if (alt == nullptr) return o.Code;
      *p = alt;
      *pos = 0;
      return kGoOn;
    }
  }
  // The numeric elements report a failure at once, whatever follows.
  return code != 0 ? code : kGoOn;
}

// The literal character at *p against text[*pos]. kGoOn when it matches or a later
// alternative remains (both positions move on); else 3, reported when some of the
// text matched before it.
int CheckLiteral(const char* text, const char** p, size_t* pos) {
  const char c = **p;
  if (text[*pos] == c) {
    ++*pos;
    ++*p;
    return kGoOn;
  }
  if (const char* alt = NextAlternative(*p + 1)) {
    *p = alt;
    *pos = 0;
    return kGoOn;
  }
  if (*pos > 0) {
    const char got = text[*pos] != '\0' ? text[*pos] : ' ';
    char matched[MENU_LINE_SIZE];
    std::snprintf(matched, sizeof matched, "%.*s", static_cast<int>(*pos), text);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    PostMsg(Msg(NLS_SET_MENU, MSG_CHAR), got, c, matched);
#pragma GCC diagnostic pop
  }
  return 3;
}

}  // namespace

int ValidateEntry(const char* text, const char* pattern) {
  if (pattern == nullptr) return 0;
  if (text == nullptr) text = "";
  FetchRangeMessages();
  size_t pos = 0;
  const char* p = pattern;
  while (*p != '\0') {
    const char c = *p;
    int code = kGoOn;
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      ++p;
    } else if (c == '&') {
      pos = 0;
      ++p;
    } else if (c == '|') {
      return 0;  // everything before it was accepted
    } else if (c == '!' && p[1] == '(') {
      code = CheckReserved(text, &p);
    } else if (IsElement(p)) {
      code = CheckElement(text, &p, &pos);
    } else {
      code = CheckLiteral(text, &p, &pos);
    }
    if (code != kGoOn) return code;
  }
  return 0;
}

int getMinMax(const char* range, int* pMin) {
  int min = 0;
  int max = 0;
  if (range != nullptr && *range != '\0') {
    const char* p = range;
    if (!IsDigit(*p) && *p != '-') ++p;
    min = std::atoi(p);
    if (*p == '-' || *p == '+') ++p;
    while (IsDigit(*p)) ++p;
    if (*p != '\0') max = std::atoi(p + 1);
  }
  if (pMin != nullptr) *pMin = min;
  return max;
}

char* ValidateEntryLen(const char* text, const char* range) {
  int min = 4;
  int max = 4;
  if (range != nullptr) max = getMinMax(range, &min);
  const int len = text != nullptr ? static_cast<int>(std::strlen(text)) : 0;
  if (len >= min && len <= max) return nullptr;
  if (min == max)
    Nlssnprintf(StrBuf, sizeof StrBuf, pDrvCoreDB, NLS_SET_ENTRY, MSG_LENGTH_EXACT, min);
  else
    Nlssnprintf(StrBuf, sizeof StrBuf, pDrvCoreDB, NLS_SET_ENTRY, MSG_LENGTH_RANGE, min, max);
  return StrBuf;
}

int ValidateEntryDigit(const char* text) {
  if (text == nullptr) return 0;
  for (const char* p = text; *p != '\0'; ++p)
    if (!IsDigit(*p)) return static_cast<unsigned char>(*p);
  return 0;
}

int ValidateEntryTty(const char* text, const char* range) {
  OpenCore();  // the length reason is formatted from the core catalogue
  if (const char* reason = ValidateEntryLen(text, range)) {
    PostMsg("%s", reason);
    return 2;
  }
  if (const int c = ValidateEntryDigit(text)) {
    PostMsg("Invalid digit:  %c\n", c);
    return 3;
  }
  return 0;
}

int TestName(const char* text) {
  if (text == nullptr) return 1;
  for (const char* p = text; *p != '\0'; ++p) {
    const unsigned char u = static_cast<unsigned char>(*p);
    if (std::isalnum(u) || *p == '_' || *p == '-') continue;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::printf(Msg(NLS_SET_MENU, MSG_NAME_CHAR), *p);
#pragma GCC diagnostic pop
    PostMsg("%s", Msg(NLS_SET_MENU, MSG_NAME_CHARS));
    return 0;
  }
  return 1;
}
