// utils.h - the common utilities: tokenizer, strings and paths, files, logging,
// in-place editing, file creation, environment and identity.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <ctime>
#include <string>

// Marks a printf-like function so that the compiler checks its callers.
#define KANDU_PRINTF(fmt, first) __attribute__((format(printf, fmt, first)))

// ===== Tokenizer and keyword lists =====

// The input marker of same-line mode: continue the scan, stop at a token ended by LF.
#define TOKEN_SAME_LINE (reinterpret_cast<char*>(-1))

constexpr int TOKEN_BUF_SIZE = 255;      // GetTokenBuf, terminator included
constexpr int FIND_TOKEN_MAX_WORD = 509; // longest word FindToken/FindTokenC accept

extern char* szIn;                       // the scan cursor
extern char* szTokenIn;                  // cursor at the end of the last completed scan
extern char chTokenDel;                  // last delimiter consumed, 0 when none
extern char GetTokenBuf[TOKEN_BUF_SIZE]; // text of the last token GetToken collected

// Next token of input (a text, null to continue, TOKEN_SAME_LINE) split at any
// character of delims, with backslash escapes. Returns GetTokenBuf, or null when
// no token remains. A token longer than 254 characters is cut to 254.
char* GetToken(char* input, const char* delims);
// GetToken on the caller's cursor and output buffer (outSize bytes, terminator
// included; a longer token is cut). Leaves the shared scan state alone except chTokenDel.
char* GetTokenD(char* input, const char* delims, char** cursor, char* out,
                size_t outSize = TOKEN_BUF_SIZE);
// In-place scan: overwrites the delimiter ending the token with NUL and returns a
// pointer into the text, or null. No escape translation.
char* GetTokenParse(char* input, const char* delims);
// Splits text in place into at most capacity fields; returns the number found.
int ParseStr(char* text, const char* delims, char** fields, int capacity);
// The n-th token (n below 1 acts as 1) in GetTokenBuf, or null when fewer exist.
char* GetTokenN(char* input, const char* delims, int n);
// Number of tokens; the shared scan state is saved and restored.
int GetTokenCount(char* input, const char* delims);
// Sets szIn and szTokenIn to text.
void SetTokenBuf(char* text);
// The current scan cursor szIn.
char* GetTokenBufInput();
// 1-based position of word in a keyword list (first character = delimiter), exact
// and case-sensitive; 0 when absent, when either is null or the word is too long.
int FindToken(const char* word, const char* list);
// As FindToken, ignoring case.
int FindTokenC(const char* word, const char* list);
// 1-based position of word among the d-delimited items of list, 0 when absent.
int FindTokenWithDelim(const char* list, const char* word, char d);
// Sorts the d-delimited list in place (selection sort); the result always ends
// with d, so the list's storage must hold one character more.
void SortTokens(char* list, char d, int ignoreCase);
// Reads one line of standard input into buf (at most size - 1 characters, LF not
// stored); returns buf, terminated, also when input ends early.
char* Gets(char* buf, int size);

// ===== Strings and path names =====

// New managed text formatted like printf (the caller releases it with PutMem).
// Running out of memory ends the process through SysError.
char* SaveStr(const char* fmt, ...) KANDU_PRINTF(1, 2);
// As SaveStr with a 65536-byte scratch area; null when fmt is null.
char* SaveStr__(const char* fmt, ...) KANDU_PRINTF(1, 2);
// New managed copy of text (no formatting); text must not be null.
char* SaveStr_(const char* text);
// As SaveStr_, but running out of memory gives null instead of ending the process.
char* CopyText(const char* text);

// Path splitters: each returns its own static buffer, valid until its next call.
char* StripFn(const char* path);       // directory part (256 bytes); "." when none
char* StripPath(const char* path);     // last component (128 bytes)
char* StripPathExt(const char* path);  // last component without extension (128), null when none
char* StripExt(const char* name);      // text before its first non-leading dot (128)
char* StripPathName(const char* path); // see the documentation (128)
char* SkipSpace(char* text);           // first non-white-space character; null for null

int StrLen(const char* text);
char* StrChr(const char* text, int c);           // first unescaped c, or null
char* StrNChr(const char* text, int c, int n);   // n-th c, or null
char* StrStr(const char* text, const char* pat); // null for an empty pattern
char* StrNStr(const char* text, const char* pat, int n);
char* StrCaseStr(const char* text, const char* pat);
char* StripAllBackslashes(char* text);
char* StripNonPrint(char* text, int flag);
char* GenName(const char* text);                 // static 255-byte result
void SetVarContent(void* dst, const void* src, int count, int reverse);

double MaxD(double a, double b);
// Converts between inch (0), centimetre (1) and point (2).
float CvtFloatFormat(float value, int from, int to);

// ===== Opening, reading and finding files =====

constexpr int LINE_BUF_SIZE = 4096;
constexpr int LINE_SIZE = 262143;
constexpr int INPUT_FILE_NAME_SIZE = 256;

extern FILE* pIn;                              // current input file of the line reader
extern char InputFileName[INPUT_FILE_NAME_SIZE];
extern int FileStatus;                         // 0 opened, 1 closed or ran out, 2 open failed
extern char LineBuf[LINE_BUF_SIZE + 1];        // current line; general scratch line
extern int LineLen;
extern char Line[LINE_SIZE];                   // GetLine's line; ErrorMsg's message buffer
extern int LineCnt;
extern long InPos;
extern char flInputFilterState;                // GetLine removes comments while set
extern long SavedFileSize;

// Error modes of the openers: 0 silent, 1 report and go on, 2 report and end.
FILE* OpenFile(FILE* old, const char* path, const char* mode, int errMode);
FILE* OpenFileF(FILE* old, const char* mode, int errMode, const char* fmt, ...) KANDU_PRINTF(4, 5);
int OpenRawFile(const char* path, int flags);
char* FileSearch(const char* path, const char* text, int errMode);
char* fgetsp(char* buf, int size, FILE* f, long offset);

int OpenInputFile(const char* path, int errMode);
int OpenInputFileF(int errMode, const char* fmt, ...) KANDU_PRINTF(2, 3);
int GetFileLine();
int GetFileTextLine(const char* delims);
// 1 when the line GetFileLine just left in LineBuf was cut by the reader's limit
// (it has no line end and the file goes on): its rest arrives as further lines.
int GetFileLineCut();
void CloseInputFile();

int GetLine();
int GetLineN(int n);
int GetLinePos(long offset);

int GetFileContent(const char* dir, const char* name);
char* GetSavedFileContent(const char* dir, const char* name);
int GetFileContentR(const char* dir, const char* name, char* buf, int count);

int FindFile(const char* dir, const char* name);
int FindFile_(const char* dir, const char* name);
char* FindExistingPath(const char* path, char* flag);
long GetFileSize(const char* path);
time_t GetFileTime(const char* path);
int GetFileType(const char* path);  // 0 none, 1 directory, 2 symbolic link, 3 other

// ===== Logging and error reporting =====

extern char flUseLog;        // logging to /tmp/<my_name>.log is on
extern char* my_name;        // the program's name (last component of its invocation path)
extern const char* pLogPath; // the log directory, "/tmp"

// Appends the formatted text to /tmp/<my_name>.log when logging is on; the first
// line of a run empties the file. Never writes through a link planted there.
void PutLogMsg(const char* fmt, ...) KANDU_PRINTF(1, 2);
// "\n<my_name>: <message> : <strerror(errno)>\n" on standard error, exit status 1.
[[noreturn]] void SysError(const char* fmt, ...) KANDU_PRINTF(1, 2);
// Modes of ErrorMsg.
constexpr int ERR_QUIET = 0;    // nothing shown; the message is only kept in Line
constexpr int ERR_WARNING = 1;  // "WARNING: %s\n" on standard error; the caller goes on
constexpr int ERR_FATAL = 2;    // "ERROR: %s\n" on standard error, then exit with exitStatus
// Formats the message into Line and reports it as mode says (other modes are silent).
void ErrorMsg(int mode, int exitStatus, const char* fmt, ...) KANDU_PRINTF(3, 4);
// "<my_name>: <message>\n" on standard error.
void errormsg(const char* fmt, ...) KANDU_PRINTF(1, 2);
[[noreturn]] void exit_app(int status);

// How a program ends after a fatal report of the library (ErrorMsg's mode 2,
// SysError, a command of the fatal mode that failed, an unresolved command): the
// report has been printed; hook(status, reason) ends the run the program's own way
// and must not return. Without a hook (or a null one) the process ends with status.
using FatalEndHook = void (*)(int status, const char* reason);
void SetFatalEndHook(FatalEndHook hook);
// Ends the process after a fatal report whose words are reason: through the
// program's hook when one is set, otherwise with exit_app(status).
[[noreturn]] void EndAfterFatal(int status, const char* reason);

// ===== In-place text-file editing =====

constexpr int EDIT_NAME_SIZE = 128;
extern char Fn[EDIT_NAME_SIZE];     // file being edited by OpenIOFiles
extern char FnOut[EDIT_NAME_SIZE];  // its output file
extern FILE* pOut;

int FileChange(const char* base, const char* ext, const char* search, const char* repl);
int FileChangeChar(const char* base, const char* ext, const char* code, const char* repl);
int FileDel(const char* base, const char* ext, int spare, const char* text);
int FileDelLine(const char* base, const char* ext, int spare, const char* text);
int FileDelLinePair(const char* base, const char* ext, int spare, const char* start,
                    const char* end);
int FileDelFormat(const char* base, const char* ext, const char* mode, const char* text);
int FileInsert(const char* base, const char* ext, char* templ);
int FileSearchInsert(const char* base, const char* ext, char* templ, const char* search);
FILE* OpenIOFiles(const char* base, const char* ext);
int ReplaceInputFile();

// ===== Creating, deleting and renaming files; environment and identity =====

int CreateTextFile(const char* path, const char* mode, int perm, const char* fmt, ...)
    KANDU_PRINTF(4, 5);
void CreateFile(const char* dir, const char* name, const char* mode, const char* owner,
                const char* group);
void DeleteFile(const char* dir, const char* name);
void DeleteFile_(const char* path, const char* name);
void RenameFile(const char* dir, const char* oldName, const char* newName);
char* GetEnv(const char* name);
char* GetToolPath(const char* invocation);
char* GetUserName();
char* GetHostname();

// ===== The terminal's encoding =====
// The message tables, catalogues and help pages are Latin-1. When the terminal's
// locale names UTF-8, what the programs print from them is written as UTF-8.

// 1 when the locale name ends in a UTF-8 code set (".UTF-8", ".utf8", any case; a
// modifier "@..." after it allowed), else 0 (also for null and "").
int NamesUtf8(const char* locale);
// 1 when the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty names
// UTF-8 (NamesUtf8); read from the environment at each call.
int LocaleIsUtf8();
// LocaleIsUtf8 as decided at the first call; kept for the rest of the process.
int OutputIsUtf8();
// Writes the UTF-8 form of n bytes of Latin-1 text into out (size bytes; always
// terminated when size is above 0, cut when too small): a byte from 0x80 on
// becomes its two-byte form, except a sequence that already is well-formed UTF-8,
// which is kept. Returns the length of the whole form, as snprintf does.
size_t Latin1ToUtf8(const char* in, size_t n, char* out, size_t size);
// A new managed text (the caller releases it with PutMem): the UTF-8 form of the
// Latin-1 text (Latin1ToUtf8); null for null. Running out of memory ends the
// process through SysError.
char* SaveUtf8Text(const char* text);
// As SaveUtf8Text when the output is UTF-8 (OutputIsUtf8), else a plain copy.
char* SaveOutputText(const char* text);
// When the output is UTF-8, makes standard output a stream that converts the
// Latin-1 text written to it on its way to descriptor 1 (line-buffered on a
// terminal); otherwise nothing changes. Programs call it once, early in main.
void UseOutputEncoding();

// Opens /dev/null on each of the standard descriptors 0, 1 and 2 that the program was
// started without, so that the first file it opens cannot take their place (a prompt
// would read it, a message be written into it). Programs call it first thing in main.
void OpenClosedStandardStreams();

// The command-line conventions of the library's programs (menu, ttyhelp, xdb,
// nlscompile). StandardOption: for "--help" calls usage(stdout), for "--version"
// prints "NAME VERSION"; returns the exit status (0, 1 when standard output could not
// be written) or -1 when arg is neither option (or null).
int StandardOption(const char* arg, const char* name, void (*usage)(FILE*));
// Reports "NAME: FILE: reason" on standard error, the reason strerror(err).
void FileError(const char* name, const char* file, int err);
// Reads the whole file at path ("-": standard input) into *text. False, with
// FileError reported under name, when it cannot be opened or read.
bool ReadWholeFile(const char* name, const char* path, std::string* text);
