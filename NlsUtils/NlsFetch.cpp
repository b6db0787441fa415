// NlsFetch.cpp - catalogue lookups: opening a catalogue of the chosen language,
// fetching texts by numbered or text key, and formatting with a fetched text.
#include "NlsUtils/Nls.h"

#include "Dbm/Dbm.h"
#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>

DbTHandle* pDrvCoreDB = nullptr;
char* pErrBuf = nullptr;
char StrBuf[NLS_REC_SIZE];
char StrVal[NLS_KEY_SIZE];

namespace {

// What a lookup found.
enum class Found { Miss, Hit, Error };

struct FetchState {
  char NumKey[NLS_KEY_SIZE] = {};  // the last numbered key; a miss returns it
  char* pTextKey = nullptr;        // managed copy of the last text key that missed
};
FetchState S;

void MakeErrBuf() {
  if (pErrBuf == nullptr) pErrBuf = SaveStr_("Error");
}

// Copies text into buf of size bytes, cut to size - 1 characters.
void CopyCut(char* buf, size_t size, const char* text) {
  if (buf == nullptr || size == 0) return;
  const size_t n = strnlen(text, size - 1);
  std::memcpy(buf, text, n);
  buf[n] = '\0';
}

// Reads the record of key into StrBuf, terminated; a record longer than the buffer
// is cut to NLS_REC_SIZE - 1 bytes. False when there is none.
bool ReadShort(DbTHandle* db, const char* key) {
  char* p = StrBuf;
  const int n = DbmTGetRecordV(db, key, &p, NLS_REC_SIZE);
  if (n <= 0 || p == nullptr) return false;
  size_t len = static_cast<size_t>(n);
  if (p != StrBuf) {  // the reader made a buffer of its own for a longer record
    std::memcpy(StrBuf, p, NLS_REC_SIZE - 1);
    PutMem(p);
  }
  len = std::min(len, static_cast<size_t>(NLS_REC_SIZE - 1));
  StrBuf[len] = '\0';
  return true;
}

// Reads the record of key whole, as a new managed text; null when there is none.
char* ReadLong(DbTHandle* db, const char* key) {
  char* p = StrBuf;
  const int n = DbmTGetRecordV(db, key, &p, NLS_REC_SIZE);
  if (n <= 0 || p == nullptr) return nullptr;
  const size_t len = static_cast<size_t>(n);
  if (p == StrBuf) return SaveStr("%.*s", n, StrBuf);
  if (p[len - 1] == '\0') return p;
  // A record stored without its zero gets one, so that the text ends.
  char* t = static_cast<char*>(AdjustMem(p, len + 1));
  if (t == nullptr) PutMem(p);
  return t;
}

// The shared part of both kinds of key: kinds 0 to 2 of an existing key text.
char* FetchShort(DbTHandle* db, char* buf, size_t size, const char* key, char* missText) {
  if (db == nullptr || !ReadShort(db, key)) {
    CopyCut(buf, size, missText);
    return missText;
  }
  if (buf == nullptr || size == 0) return SaveStr_(StrBuf);
  CopyCut(buf, size, StrBuf);
  return buf;
}

char* FetchNumbered(DbTHandle* db, char* buf, size_t size, int kind, int set, int num) {
  MakeErrBuf();
  if (kind != NLS_KIND_NUM && kind != NLS_KIND_LONG) return pErrBuf;
  if (db == nullptr && (set == 0 || num == 0)) return pErrBuf;
  std::snprintf(S.NumKey, sizeof S.NumKey, "%d_%d", set, num);
  if (kind == NLS_KIND_NUM) return FetchShort(db, buf, size, S.NumKey, S.NumKey);
  char* t = db ? ReadLong(db, S.NumKey) : nullptr;
  return t ? t : S.NumKey;
}

char* FetchText(DbTHandle* db, char* buf, size_t size, int kind, const char* key) {
  MakeErrBuf();
  if (kind != NLS_KIND_KEY && kind != NLS_KIND_KEY2) return pErrBuf;
  if (db == nullptr || key == nullptr) return pErrBuf;
  // The key is kept before the lookup: the caller's key may be the text of an
  // earlier miss, which the new copy replaces.
  char* copy = SaveStr_(key);
  PutMem(S.pTextKey);
  S.pTextKey = copy;
  return FetchShort(db, buf, size, S.pTextKey, S.pTextKey);
}

// Fetches message set/num for formatting: a new managed copy in *text on a hit.
Found FetchFormat(DbTHandle* db, int set, int num, char** text) {
  *text = nullptr;
  MakeErrBuf();
  char* t = FetchNumbered(db, nullptr, 0, NLS_KIND_NUM, set, num);
  if (t == pErrBuf) return Found::Error;
  if (t == S.NumKey) return Found::Miss;
  *text = t;
  return Found::Hit;
}

// Formats message set/num into buf of size bytes ("Error" for a missing message).
void FormatInto(char* buf, size_t size, DbTHandle* db, int set, int num, va_list ap) {
  if (buf == nullptr || size == 0) return;
  char* text = nullptr;
  if (FetchFormat(db, set, num, &text) != Found::Hit) {
    CopyCut(buf, size, "Error");
    return;
  }
  // The message is the format: catalogue texts are written with the arguments
  // that their callers pass, which the compiler cannot see.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  if (std::vsnprintf(buf, size, text, ap) < 0) buf[0] = '\0';
#pragma GCC diagnostic pop
  PutMem(text);
}

// The path of a catalogue; a relative tool directory is kept relative to the
// current directory, which is how the database layer reads a path with a dot.
std::string CataloguePath(const char* lang, const char* name) {
  const char* tool = (pToolPath && *pToolPath) ? pToolPath : ".";
  const char* prefix = (tool[0] == '/' || tool[0] == '.') ? "" : "./";
  return std::string(prefix) + tool + "/db/" + lang + "/" + name + ".xdb";
}

}  // namespace

// Opens a catalogue of the chosen language; see Nls.h.
DbTHandle* NlsOpenDB(const char* name, int flags) {
  if (name == nullptr) return nullptr;
  const char* lang = GetDesiredNLSLang();
  const std::string path = CataloguePath(lang, name);
  DbTHandle* db = DbTOpen(path.c_str(), flags);
  if (std::strncmp(lang, "en_US", 5) != 0) return db;
  if (db != nullptr && db->Type != DBT_NEW) return db;
  std::fprintf(stderr, "ERROR:  Could not open English database:  %s\n", path.c_str());
  if (db != nullptr) DbTClose(db);
  return nullptr;
}

// Fetches a text by set and number; see Nls.h.
char* NlsFetchString(DbTHandle* db, char* buf, int kind, int set, int num) {
  return FetchNumbered(db, buf, buf ? NLS_REC_SIZE : 0, kind, set, num);
}

// Fetches a text by text key; see Nls.h.
char* NlsFetchString(DbTHandle* db, char* buf, int kind, const char* key) {
  return FetchText(db, buf, buf ? NLS_REC_SIZE : 0, kind, key);
}

char* NlsFetchStringN(DbTHandle* db, char* buf, size_t size, int kind, int set, int num) {
  return FetchNumbered(db, buf, size, kind, set, num);
}

char* NlsFetchStringN(DbTHandle* db, char* buf, size_t size, int kind, const char* key) {
  return FetchText(db, buf, size, kind, key);
}

// Prints message set/num as a format; see Nls.h.
int Nlsfprintf(FILE* stream, DbTHandle* db, int set, int num, ...) {
  if (stream == nullptr) return -1;
  char* text = nullptr;
  if (FetchFormat(db, set, num, &text) != Found::Hit) return std::fputs("Error", stream) < 0 ? -1 : 5;
  if ((stream == stdout || stream == stderr) && OutputIsUtf8()) {
    char* converted = SaveOutputText(text);  // the terminal's encoding; files keep Latin-1
    PutMem(text);
    text = converted;
  }
  va_list ap;
  va_start(ap, num);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"  // the format is a catalogue text
  const int n = std::vfprintf(stream, text, ap);
#pragma GCC diagnostic pop
  va_end(ap);
  PutMem(text);
  return n;
}

// Formats message set/num into a buffer of NLS_REC_SIZE bytes; see Nls.h.
char* Nlssprintf(char* buf, DbTHandle* db, int set, int num, ...) {
  va_list ap;
  va_start(ap, num);
  FormatInto(buf, NLS_REC_SIZE, db, set, num, ap);
  va_end(ap);
  return buf;
}

char* Nlssnprintf(char* buf, size_t size, DbTHandle* db, int set, int num, ...) {
  va_list ap;
  va_start(ap, num);
  FormatInto(buf, size, db, set, num, ap);
  va_end(ap);
  return buf;
}

// Fills a template's "%s" with the messages of a set; see Nls.h.
char* NlsGuiStrCvt(const char* templ, int set, char* out, int size) {
  if (out == nullptr || size <= 0) return out;
  std::memset(out, 0, static_cast<size_t>(size));
  if (templ == nullptr) return out;
  const size_t room = static_cast<size_t>(size) - 1;
  size_t len = 0;
  int num = 1;
  for (const char* p = templ; *p != '\0' && len < room;) {
    if (p[0] != '%' || p[1] != 's') {
      out[len++] = *p++;
      continue;
    }
    char msg[NLS_GUI_MSG_SIZE] = {};
    const char* text = NlsFetchStringN(pDrvCoreDB, msg, sizeof msg, NLS_KIND_NUM, set, num++);
    const size_t n = strnlen(text, room - len);
    std::memcpy(out + len, text, n);
    len += n;
    p += 2;
  }
  return out;
}

// The text key of a text; see Nls.h.
char* NlsCalcStrVal(const char* text) {
  uint32_t weighted = 0;
  uint32_t sum = 0;
  uint32_t i = 1;
  for (const char* p = text ? text : ""; *p != '\0'; ++p, ++i) {
    const uint32_t c = static_cast<unsigned char>(*p);
    weighted += c * i * i;
    sum += c;
  }
  std::snprintf(StrVal, sizeof StrVal, "%08X%08X", static_cast<unsigned>(weighted),
                static_cast<unsigned>(sum));
  return StrVal;
}
