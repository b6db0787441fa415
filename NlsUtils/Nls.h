// Nls.h - the message catalogue: language choice, catalogue lookups, formatting with
// catalogue texts, menu texts, and the catalogue compiler behind nlscompile.
#pragma once

#include <cstddef>
#include <cstdio>

struct DbTHandle;     // a typed database handle (Dbm/Dbm.h)
struct TextMenuItem;  // one entry of a text menu (TextMenu/TextMenu.h)

// ===== Limits =====

constexpr int NLS_REC_SIZE = 2048;       // StrBuf: a record fetched with kinds 0 to 2
constexpr int NLS_KEY_SIZE = 32;         // a numbered key text, and StrVal
constexpr int NLS_TRANS_SIZE = 8192;     // the normalised translation table, zero included
constexpr int NLS_MENU_TEXT_SIZE = 128;  // menu texts: at most 127 characters
constexpr int NLS_GUI_MSG_SIZE = 1024;   // one message of NlsGuiStrCvt: at most 1023 characters
constexpr int NLS_LONG_TEXT_MAX = 60000; // longest text nlscompile accepts with --long

// Key kinds of NlsFetchString.
constexpr int NLS_KIND_NUM = 0;   // set and number; read into the record buffer
constexpr int NLS_KIND_KEY = 1;   // a text key
constexpr int NLS_KIND_KEY2 = 2;  // a text key, as kind 1
constexpr int NLS_KIND_LONG = 3;  // set and number; a record of any length

// Message sets of the library's own callers.
constexpr int NLS_SET_HELP = 20;   // help navigator
constexpr int NLS_SET_MENU = 25;   // text menu engine: menu lines, prompts, states, entry errors
constexpr int NLS_SET_ENTRY = 30;  // texts chosen by the entry validation; help title
constexpr int NLS_SET_TRANS = 999; // number 1: the translation table of the core catalogue

// ===== Process-wide state =====

extern char* pNLSLang;          // the chosen language (managed), null until first chosen
extern char* pTransBuf;         // the normalised translation table (managed), null until read
extern DbTHandle* pDrvCoreDB;   // the core catalogue of menu, help and entry texts
extern char* pErrBuf;           // the shared error text "Error"; never released
extern char StrBuf[NLS_REC_SIZE];  // the record buffer; a shared scratch line of the catalogue
extern char StrVal[NLS_KEY_SIZE];  // the last result of NlsCalcStrVal

// ===== Tool directory and language =====

// Sets pToolPath to $KANDU_TOOL_PATH, else to <directory of the program>/../share/tvnn
// (the program found from argv0, through PATH for a bare name, else /proc/self/exe),
// made absolute. Returns pToolPath (managed, kept for the process); null only when
// no directory can be named (no variable, no usable argv0 and no /proc).
char* NlsInitToolPath(const char* argv0);

// The normalised translation table of pToolPath/name as a new managed text (the
// caller releases it), or null when the file is missing, empty or unreadable. A
// table over NLS_TRANS_SIZE - 1 bytes is cut after its last whole line, with a warning.
char* ParseTransFile(const char* name);

// The language of the process (for example "en_US"), chosen from LANG through the
// translation table on the first call and kept; owned by the catalogue. An empty
// LANG counts as unset. Never null: "en_US" when nothing else can be chosen.
char* GetDesiredNLSLang();

// ===== Catalogues and lookups =====

// Opens pToolPath/db/<language>/<name>.xdb with DbTOpen and the flags. Returns the
// handle (a missing catalogue of another language still gives one; its lookups
// miss). A missing English catalogue prints "ERROR:  Could not open English
// database:  <path>" on standard error and gives null.
DbTHandle* NlsOpenDB(const char* name, int flags);

// Fetches a text. Kinds 0 and 3 take a set and a number (key "<set>_<number>"),
// kinds 1 and 2 a text key. Results:
// - a miss gives the key text, held by the catalogue until the next fetch (never
//   release it); with a caller buffer the key text is also copied there;
// - a hit with kinds 0 to 2 is copied into the caller's buffer, which is returned,
//   or without a buffer comes back as a new managed copy (the caller releases it).
//   A record longer than NLS_REC_SIZE - 1 bytes is cut to its first 2047 bytes;
// - a hit with kind 3 is always a new managed text, of any length;
// - a call without a handle whose key is not a numbered key with set and number
//   both non-zero, a null text key and a key of the wrong kind give pErrBuf.
// The caller's buffer must hold NLS_REC_SIZE bytes; NlsFetchStringN takes its size.
char* NlsFetchString(DbTHandle* db, char* buf, int kind, int set, int num);
char* NlsFetchString(DbTHandle* db, char* buf, int kind, const char* key);
// As NlsFetchString, writing at most size bytes (the zero included) into buf; a
// longer text is cut. A null buf or a size of 0 fetches without a caller buffer.
char* NlsFetchStringN(DbTHandle* db, char* buf, size_t size, int kind, int set, int num);
char* NlsFetchStringN(DbTHandle* db, char* buf, size_t size, int kind, const char* key);

// Prints message set/num of db to the stream, used as a printf format with the
// further arguments; a missing message prints "Error". Returns the number of
// characters printed, negative on an output error.
int Nlsfprintf(FILE* stream, DbTHandle* db, int set, int num, ...);
// Formats message set/num of db with the further arguments into buf, which must
// hold NLS_REC_SIZE bytes (longer results are cut); a missing message writes
// "Error". Returns buf.
char* Nlssprintf(char* buf, DbTHandle* db, int set, int num, ...);
// As Nlssprintf into a buffer of size bytes (nothing is written when size is 0).
char* Nlssnprintf(char* buf, size_t size, DbTHandle* db, int set, int num, ...);

// Copies templ into out (size bytes, cleared first), each "%s" replaced by the next
// message of the set from pDrvCoreDB, numbered from 1; a missing message gives its
// key text. The result is cut to size - 1 characters. Returns out.
char* NlsGuiStrCvt(const char* templ, int set, char* out, int size);

// The 16-digit text key of a text ("%08X%08X" of the sums of c*i*i and of c) in
// StrVal, overwritten by the next call. A null text is keyed as the empty text.
char* NlsCalcStrVal(const char* text);

// ===== Menu texts (message set 25 of pDrvCoreDB) =====

// Stores a new managed copy of message 25/num in *pp, cut to NLS_REC_SIZE - 1
// characters (the old text is not released).
void NlsTtyMenuCvt(char** pp, int num);
// Store new managed copies of messages 25/first .. 25/first+count-1 in the pLabel,
// pStates or pPrompt fields of items[0] .. items[count-1]; each text is cut to
// NLS_MENU_TEXT_SIZE - 1 characters. The old texts are not released.
void NlsTtyMenuItemCvt(TextMenuItem* items, int first, int count);
void NlsTtyMenuItemStateCvt(TextMenuItem* items, int first, int count);
void NlsTtyMenuItemPromptCvt(TextMenuItem* items, int first, int count);

// ===== The catalogue compiler =====

// Compiles the catalogue source file into toolDir/db/<lang>/<name>.xdb (replacing
// it whole, mode 644). Errors go to standard error as "<source>:<line>: error: ..."
// and nothing is written. allowLong raises the text limit from NLS_REC_SIZE - 1 to
// NLS_LONG_TEXT_MAX bytes. Returns 0 on success, 1 on errors in the source or a
// failed write, 2 for bad arguments. pToolPath and the current directory are
// left as they were.
int NlsCompileCatalog(const char* source, const char* toolDir, const char* lang,
                      const char* name, bool allowLong);
