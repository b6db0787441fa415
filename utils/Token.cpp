// Token.cpp - the tokenizer with backslash escapes, and the keyword-list lookups.
#include "utils/utils.h"

#include "MemMgr/MemMgr.h"

#include <cassert>
#include <cstring>
#include <strings.h>

// The process-wide scan state shared by GetToken, GetTokenParse and their kin.
char* szIn = nullptr;
char* szTokenIn = nullptr;
char chTokenDel = 0;
char GetTokenBuf[TOKEN_BUF_SIZE] = {};

namespace {

// True when c is one of the delimiter characters; the terminator never is.
bool IsDelim(const char* delims, char c) {
  return c != '\0' && delims != nullptr && std::strchr(delims, c) != nullptr;
}

// The character an escape stands for: \n, \r and \t name the control characters,
// any other escaped character stands for itself.
char Unescape(char c) {
  switch (c) {
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return c;
  }
}

// Collects the next token at cursor into out (outSize bytes, terminator included)
// and leaves cursor after what it consumed. Characters past the room of out are
// consumed but not kept. Returns false when, in same-line mode, the token was ended
// by an LF: the token text then stays in out and cursor stands after the LF.
bool CollectToken(char*& cursor, const char* delims, bool sameLine, char* out,
                  size_t outSize) {
  assert(out != nullptr && outSize > 0);
  const size_t room = outSize - 1;
  size_t kept = 0;
  size_t count = 0;  // characters of the token, kept or not
  out[0] = '\0';
  for (;;) {
    char c = *cursor;
    if (c == '\0') break;  // the cursor stays on the terminator
    if (c == '\\') {
      ++cursor;
      if (*cursor == '\0') break;  // a lone backslash at the very end is dropped
      c = Unescape(*cursor++);
    } else if (IsDelim(delims, c)) {
      ++cursor;
      chTokenDel = c;
      if (count == 0) continue;  // a leading delimiter
      if (sameLine && c == '\n') {
        out[kept] = '\0';
        return false;
      }
      break;
    } else {
      ++cursor;
    }
    if (kept < room) out[kept++] = c;
    ++count;
  }
  assert(kept <= room);
  out[kept] = '\0';
  return true;
}

// One keyword-list pattern: the delimiter, the word, the delimiter.
struct Pattern {
  char text[FIND_TOKEN_MAX_WORD + 3];
  size_t len;
};

// Builds d + word + d; false when the word is longer than FindToken accepts.
bool MakePattern(Pattern& p, char d, const char* word) {
  const size_t n = std::strlen(word);
  if (n > static_cast<size_t>(FIND_TOKEN_MAX_WORD)) return false;
  p.text[0] = d;
  std::memcpy(p.text + 1, word, n);
  p.text[n + 1] = d;
  p.text[n + 2] = '\0';
  p.len = n + 2;
  return true;
}

// Number of characters equal to d in list[0..end], end included.
int CountDelims(const char* list, const char* end, char d) {
  int n = 0;
  for (const char* p = list; p <= end; ++p) {
    if (*p == d) ++n;
  }
  return n;
}

// One item of a delimited list: up to and including the next unescaped d, or to
// the end of the text when no d follows.
struct Item {
  char* text;
  size_t len;      // its delimiter included
  bool delimited;  // it ends with its own, unescaped d
};

Item ItemAt(char* text, char d) {
  char* end = StrChr(text, d);
  if (end == nullptr) return {text, std::strlen(text), false};
  return {text, static_cast<size_t>(end - text) + 1, true};
}

}  // namespace

// Next token of input (text, null to continue, TOKEN_SAME_LINE) into GetTokenBuf.
// Returns GetTokenBuf, or null when no token remains (or, in same-line mode, when
// the token was ended by LF). A token longer than 254 characters is cut to 254.
char* GetToken(char* input, const char* delims) {
  const bool sameLine = input == TOKEN_SAME_LINE;
  if (input != nullptr && !sameLine) szIn = input;
  chTokenDel = 0;
  GetTokenBuf[0] = '\0';
  if (szIn == nullptr) return nullptr;  // no scan was ever started
  if (!CollectToken(szIn, delims, sameLine, GetTokenBuf, sizeof GetTokenBuf)) return nullptr;
  szTokenIn = szIn;
  return GetTokenBuf[0] != '\0' ? GetTokenBuf : nullptr;
}

// GetToken on the caller's cursor and output buffer of outSize bytes. Returns out,
// or null when no token remains; the shared state is untouched except chTokenDel.
char* GetTokenD(char* input, const char* delims, char** cursor, char* out, size_t outSize) {
  const bool sameLine = input == TOKEN_SAME_LINE;
  chTokenDel = 0;
  if (out == nullptr || outSize == 0) return nullptr;
  out[0] = '\0';
  char* p = (input != nullptr && !sameLine) ? input : (cursor ? *cursor : nullptr);
  if (p == nullptr) return nullptr;
  const bool complete = CollectToken(p, delims, sameLine, out, outSize);
  if (cursor != nullptr) *cursor = p;
  if (!complete) return nullptr;
  return out[0] != '\0' ? out : nullptr;
}

// In-place scan of the shared input: the delimiter ending the token is overwritten
// with NUL. Returns a pointer to the token inside the text, or null. Escapes stay
// as they are and count as token text, a lone final backslash included.
char* GetTokenParse(char* input, const char* delims) {
  const bool sameLine = input == TOKEN_SAME_LINE;
  chTokenDel = 0;
  if (input != nullptr && !sameLine) szIn = input;
  if (szIn == nullptr) return nullptr;
  char* start = szIn;
  bool seen = false;
  for (;;) {
    const char c = *szIn;
    if (c == '\0') break;
    if (c == '\\') {
      seen = true;
      ++szIn;
      if (*szIn != '\0') ++szIn;  // never past the terminator
      continue;
    }
    if (!IsDelim(delims, c)) {
      seen = true;
      ++szIn;
      continue;
    }
    chTokenDel = c;
    *szIn++ = '\0';
    if (!seen) {
      start = szIn;
      continue;
    }
    if (sameLine && c == '\n') return nullptr;
    break;
  }
  szTokenIn = szIn;
  return *start != '\0' ? start : nullptr;
}

// Splits text in place into at most capacity fields (all entries set first, to
// null); returns the number found. Text after the last field that fits stays.
int ParseStr(char* text, const char* delims, char** fields, int capacity) {
  if (fields == nullptr || capacity <= 0) return 0;
  for (int i = 0; i < capacity; ++i) fields[i] = nullptr;
  if (text == nullptr) return 0;
  int n = 0;
  char* p = text;
  while (*p != '\0' && n < capacity) {
    while (IsDelim(delims, *p)) ++p;
    if (*p == '\0') break;
    fields[n++] = p;
    while (*p != '\0' && !IsDelim(delims, *p)) ++p;
    if (*p != '\0') *p++ = '\0';
  }
  return n;
}

// The n-th token of input (n below 1 acts as 1) in GetTokenBuf; null when fewer.
char* GetTokenN(char* input, const char* delims, int n) {
  char* token = GetToken(input, delims);
  for (int i = 1; i < n && token != nullptr; ++i) token = GetToken(nullptr, delims);
  return token;
}

// Counts the tokens of input; szIn, szTokenIn and GetTokenBuf are restored after,
// so a scan under way goes on undisturbed (chTokenDel is not restored).
int GetTokenCount(char* input, const char* delims) {
  char* const savedIn = szIn;
  char* const savedTokenIn = szTokenIn;
  char savedBuf[TOKEN_BUF_SIZE];
  std::memcpy(savedBuf, GetTokenBuf, sizeof savedBuf);
  int n = 0;
  for (char* t = GetToken(input, delims); t != nullptr; t = GetToken(nullptr, delims)) ++n;
  szIn = savedIn;
  szTokenIn = savedTokenIn;
  std::memcpy(GetTokenBuf, savedBuf, sizeof savedBuf);
  return n;
}

// Starts a shared scan on text.
void SetTokenBuf(char* text) {
  szIn = text;
  szTokenIn = text;
}

// The shared scan cursor.
char* GetTokenBufInput() { return szIn; }

// 1-based position of word in the keyword list (exact, case-sensitive), matched as
// the text d+word+d, or as the text after the list's last d. 0 when absent, when
// either is null, when the list is empty or the word is longer than 509 characters.
int FindToken(const char* word, const char* list) {
  if (word == nullptr || list == nullptr || list[0] == '\0') return 0;
  const char d = list[0];
  Pattern pat;
  if (!MakePattern(pat, d, word)) return 0;
  const char* match = StrStr(list, pat.text);
  if (match == nullptr) {
    const char* last = std::strrchr(list, d);
    if (std::strcmp(last + 1, word) == 0) match = last;
  }
  return match ? CountDelims(list, match, d) : 0;
}

// As FindToken, ignoring case: the item must be followed by d or end the list.
int FindTokenC(const char* word, const char* list) {
  if (word == nullptr || list == nullptr || list[0] == '\0') return 0;
  const char d = list[0];
  Pattern pat;
  if (!MakePattern(pat, d, word)) return 0;
  const size_t len = pat.len - 1;  // d + word
  int count = 0;
  for (const char* p = list; *p != '\0'; ++p) {
    if (*p != d) continue;
    ++count;
    if (strncasecmp(p, pat.text, len) != 0) continue;
    if (p[len] == d || p[len] == '\0') return count;
  }
  return 0;
}

// 1-based position of word among the d-delimited items of list (one leading d is
// skipped, the last item runs to the end); 0 when absent or either is null.
int FindTokenWithDelim(const char* list, const char* word, char d) {
  if (list == nullptr || word == nullptr) return 0;
  if (list[0] == d && d != '\0') ++list;
  const size_t wlen = std::strlen(word);
  for (int pos = 1;; ++pos) {
    const char* end = std::strchr(list, d);
    const size_t ilen = end && d != '\0' ? static_cast<size_t>(end - list) : std::strlen(list);
    if (ilen == wlen && std::memcmp(list, word, wlen) == 0) return pos;
    if (end == nullptr || d == '\0') return 0;
    list = end + 1;
  }
}

// Sorts the d-delimited list in place by selection; leading delimiters stay. The
// result ends with d, so a list that did not needs one character more of storage.
// An item runs to the next unescaped d, which takes part in the comparison.
void SortTokens(char* list, char d, int ignoreCase) {
  if (list == nullptr || d == '\0') return;
  char* out = list;
  while (*out == d) ++out;
  if (*out == '\0') return;
  char* copy = SaveStr_(out);
  while (*copy != '\0') {
    Item min = ItemAt(copy, d);
    for (char* next = copy + min.len; *next != '\0';) {
      const Item item = ItemAt(next, d);
      const int cmp = ignoreCase ? strncasecmp(item.text, min.text, item.len)
                                 : std::strncmp(item.text, min.text, item.len);
      if (cmp < 0) min = item;
      next += item.len;
    }
    std::memcpy(out, min.text, min.len);
    out += min.len;
    // The last item of the list may lack its delimiter; every item written gets one
    // (one that merely ends in an escaped d too, so that items never run together).
    if (!min.delimited) *out++ = d;
    std::memmove(min.text, min.text + min.len, std::strlen(min.text + min.len) + 1);
  }
  *out = '\0';
  PutMem(copy);
}

// Reads one line of standard input into buf: at most size - 1 characters, the LF
// not stored, the rest of a longer line left unread. Returns buf, always terminated
// (holding what was read when input ends early; empty when nothing).
char* Gets(char* buf, int size) {
  if (buf == nullptr || size <= 0) return buf;
  int n = 0;
  while (n < size - 1) {
    const int c = std::getchar();
    if (c == EOF || c == '\n') break;
    buf[n++] = static_cast<char>(c);
  }
  buf[n] = '\0';
  return buf;
}
