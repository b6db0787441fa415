// Files.cpp - opening, reading and finding files: streams, the line reader with
// continuation lines, the comment-filtering reader and the whole-file readers.
#include "utils/utils.h"

#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* pIn = nullptr;
char InputFileName[INPUT_FILE_NAME_SIZE] = "";
int FileStatus = 1;
char LineBuf[LINE_BUF_SIZE + 1] = "";
int LineLen = 0;
char Line[LINE_SIZE] = "";
int LineCnt = 0;
long InPos = 0;
char flInputFilterState = 1;
long SavedFileSize = 0;

namespace {

constexpr int kPieceSize = 511;       // a physical line is read 510 characters at a time
constexpr size_t kFormattedPath = 512;  // OpenFileF, OpenInputFileF
constexpr size_t kJoinedPath = 256;     // GetSavedFileContent
constexpr size_t kLongPath = 4096;      // FindFile and the other joined paths
constexpr size_t kSearchLine = 512;     // FileSearch's result

struct {
  char searchLine[kSearchLine];  // FileSearch's result, valid until its next call
} S;

// Closes a stream when the scope ends.
struct FileCloser {
  FILE* f;
  ~FileCloser() {
    if (f != nullptr) std::fclose(f);
  }
};

// Formats into buf of size bytes. False, with errno ENAMETOOLONG and buf holding
// the cut text, when the result does not fit.
bool FormatPath(char* buf, size_t size, const char* fmt, va_list ap) KANDU_PRINTF(3, 0);
bool FormatPath(char* buf, size_t size, const char* fmt, va_list ap) {
  const int n = std::vsnprintf(buf, size, fmt, ap);
  if (n >= 0 && static_cast<size_t>(n) < size) return true;
  errno = ENAMETOOLONG;
  return false;
}

// Joins dir "/" name into buf (or takes dir alone when name is null, or name
// alone when dir is null). False when nothing is given or the result does not fit.
bool JoinPath(char* buf, size_t size, const char* dir, const char* name) {
  int n;
  if (dir != nullptr && name != nullptr) {
    n = std::snprintf(buf, size, "%s/%s", dir, name);
  } else if (dir != nullptr || name != nullptr) {
    n = std::snprintf(buf, size, "%s", dir != nullptr ? dir : name);
  } else {
    return false;
  }
  if (n >= 0 && static_cast<size_t>(n) < size) return true;
  errno = ENAMETOOLONG;
  return false;
}

// Copies text into buf of size bytes; false (buf empty) when it does not fit.
bool CopyBounded(char* buf, size_t size, const char* text) {
  const size_t n = strnlen(text, size);
  buf[0] = '\0';
  if (n >= size) return false;
  std::memcpy(buf, text, n + 1);
  return true;
}

// The stream-open report of the error modes: 2 ends the process, 1 warns.
FILE* ReportOpenFailure(const char* path, int errMode) {
  if (errMode == 2) SysError("can't open file, %s", path);
  if (errMode == 1) std::fprintf(stderr, "ERROR: can't open file, %s\n", path);
  return nullptr;
}

// The line-reader open report: ErrorMsg with exit status 0, then the failed state.
int InputOpenFailure(const char* path, int errMode) {
  ErrorMsg(errMode, 0, "can't open file, %s", path);
  FileStatus = 2;
  LineBuf[0] = '\0';
  LineLen = 0;
  return 0;
}

// Removes count characters at p from the text that p points into.
void Erase(char* p, size_t count) { std::memmove(p, p + count, std::strlen(p + count) + 1); }

// Cuts text at its first "//" and removes its leading white space.
void StripLineComment(char* text) {
  if (char* c = std::strstr(text, "//")) *c = '\0';
  size_t lead = 0;
  while (text[lead] == ' ' || text[lead] == '\t') ++lead;
  if (lead > 0) Erase(text, lead);
}

// Removes the "/* ... */" comments that close on this line. Returns the start of
// an unclosed "/*" (cut off the text), or null when none remains open.
char* StripBlockComments(char* text) {
  while (char* open = std::strstr(text, "/*")) {
    char* close = std::strstr(open + 2, "*/");
    if (close == nullptr) {
      *open = '\0';
      return open;
    }
    Erase(open, static_cast<size_t>(close + 2 - open));
  }
  return nullptr;
}

// Reads the lines of a block comment that stays open at the end of Line, each
// counted in LineCnt with InPos moved to it, until the line holding its "*/"; the
// text after that is appended to Line (within the 510-character line) and
// filtered again. At the end of the file, Line keeps what stood before the comment.
void SkipOpenComment() {
  char piece[kPieceSize];
  for (;;) {
    InPos = std::ftell(pIn);
    if (std::fgets(piece, sizeof piece, pIn) == nullptr) return;
    ++LineCnt;
    const char* close = std::strstr(piece, "*/");
    if (close == nullptr) continue;
    const size_t have = std::strlen(Line);
    const size_t room = kPieceSize - 1 - have;
    const size_t rest = strnlen(close + 2, room);
    std::memcpy(Line + have, close + 2, rest);
    Line[have + rest] = '\0';
    StripLineComment(Line + have);
    if (StripBlockComments(Line) == nullptr) return;
  }
}

// Splits path (under 4096 characters) into its directory part and last
// component, trailing slashes ignored: "a" gives "." and "a", "/x/" gives "/" and
// "x", "/" gives "/" and the empty name. dir and name hold 4096 bytes each.
void SplitPath(const char* path, char* dir, char* name) {
  size_t len = std::strlen(path);
  while (len > 1 && path[len - 1] == '/') --len;
  size_t slash = len;
  while (slash > 0 && path[slash - 1] != '/') --slash;
  std::memcpy(name, path + slash, len - slash);
  name[len - slash] = '\0';
  if (slash == 0) {
    std::strcpy(dir, ".");
    return;
  }
  size_t end = slash - 1;  // the separator
  while (end > 0 && path[end - 1] == '/') --end;
  if (end == 0) {
    std::strcpy(dir, "/");
    return;
  }
  std::memcpy(dir, path, end);
  dir[end] = '\0';
}

// Opens dir/name (or the path alone for a null name) into a bounded path buffer.
FILE* OpenJoined(const char* dir, const char* name, char* buf, size_t size) {
  if (!JoinPath(buf, size, dir, name)) return nullptr;
  return std::fopen(buf, "r");
}

}  // namespace

// Closes old (when not null) and opens path with the fopen mode. Null on failure:
// error mode 2 ends the process through SysError, 1 reports on standard error.
FILE* OpenFile(FILE* old, const char* path, const char* mode, int errMode) {
  if (old != nullptr) std::fclose(old);
  FILE* f = path != nullptr ? std::fopen(path, mode) : nullptr;
  if (f == nullptr) return ReportOpenFailure(path != nullptr ? path : "", errMode);
  return f;
}

// OpenFile on the formatted path (at most 511 characters; a longer one is refused
// and reported like a file that cannot be opened).
FILE* OpenFileF(FILE* old, const char* mode, int errMode, const char* fmt, ...) {
  char path[kFormattedPath];
  va_list ap;
  va_start(ap, fmt);
  const bool fits = FormatPath(path, sizeof path, fmt, ap);
  va_end(ap);
  if (fits) return OpenFile(old, path, mode, errMode);
  if (old != nullptr) std::fclose(old);
  return ReportOpenFailure(path, errMode);
}

// open(2) of path with the flags (created files get mode 666 less the umask).
// A negative result is reported on standard output without a line end.
int OpenRawFile(const char* path, int flags) {
  const int fd = path != nullptr ? open(path, flags, 0666) : -1;
  if (fd < 0) {
    std::printf("ERROR: can't open file, %s", path != nullptr ? path : "");
    std::fflush(stdout);
  }
  return fd;
}

// The first line of the file containing text (the first line for a null text),
// in a static 512-byte buffer valid until the next call; null when there is none
// or the file cannot be opened (reported as OpenFile reports in errMode).
char* FileSearch(const char* path, const char* text, int errMode) {
  FileCloser f{OpenFile(nullptr, path, "rt", errMode)};
  if (f.f == nullptr) return nullptr;
  while (std::fgets(S.searchLine, kPieceSize, f.f) != nullptr) {
    if (text == nullptr || std::strstr(S.searchLine, text) != nullptr) return S.searchLine;
  }
  return nullptr;
}

// Seeks the stream to offset from its start and reads one line as fgets does.
char* fgetsp(char* buf, int size, FILE* f, long offset) {
  if (f == nullptr || std::fseek(f, offset, SEEK_SET) != 0) return nullptr;
  return std::fgets(buf, size, f);
}

// Makes path the current input file of the line reader; 1 when opened. On
// failure ErrorMsg reports in errMode with exit status 0 (mode 2 ends the
// process), FileStatus is 2 and LineBuf empty. A path of 256 characters or more
// is refused.
int OpenInputFile(const char* path, int errMode) {
  if (pIn != nullptr) std::fclose(pIn);
  pIn = nullptr;
  if (path == nullptr) path = "";
  if (!CopyBounded(InputFileName, sizeof InputFileName, path)) {
    errno = ENAMETOOLONG;
    return InputOpenFailure(path, errMode);
  }
  pIn = std::fopen(path, "r");
  if (pIn == nullptr) return InputOpenFailure(path, errMode);
  FileStatus = 0;
  return 1;
}

// OpenInputFile on the formatted path (at most 511 characters).
int OpenInputFileF(int errMode, const char* fmt, ...) {
  char path[kFormattedPath];
  va_list ap;
  va_start(ap, fmt);
  const bool fits = FormatPath(path, sizeof path, fmt, ap);
  va_end(ap);
  if (fits) return OpenInputFile(path, errMode);
  if (pIn != nullptr) std::fclose(pIn);
  pIn = nullptr;
  InputFileName[0] = '\0';
  return InputOpenFailure(path, errMode);
}

// Next logical line in LineBuf: lines ending in backslash + LF are joined, the
// joints kept, up to 4095 characters. 0 at the end (the file is then closed and
// FileStatus is 1) or with no current file.
int GetFileLine() {
  if (pIn == nullptr) return 0;
  if (std::fgets(LineBuf, kPieceSize, pIn) == nullptr) {
    CloseInputFile();
    return 0;
  }
  LineLen = 0;
  char* piece = LineBuf;
  while (std::strstr(piece, "\\\n") != nullptr) {
    LineLen += static_cast<int>(std::strlen(piece));
    const int room = LINE_BUF_SIZE - LineLen;
    piece = LineBuf + LineLen;
    if (room < 2 || std::fgets(piece, room, pIn) == nullptr) {
      *piece = '\0';
      break;
    }
  }
  return 1;
}

// 1 when the line just read was cut by the reader's limit (no line end, and the
// file goes on): its rest arrives as further lines. 0 otherwise.
int GetFileLineCut() {
  const size_t len = std::strlen(LineBuf);
  if (len > 0 && LineBuf[len - 1] == '\n') return 0;
  if (pIn == nullptr) return 0;
  const int c = std::getc(pIn);
  if (c == EOF) return 0;
  std::ungetc(c, pIn);
  return 1;
}

// The first token (strtok-style, split at delims) of the next line that is not a
// comment ('#' first) and holds a token, moved to the start of LineBuf. 0 at the
// end or for a null set.
int GetFileTextLine(const char* delims) {
  if (delims == nullptr) return 0;
  while (GetFileLine()) {
    if (LineBuf[0] == '#') continue;
    char* save = nullptr;
    char* token = strtok_r(LineBuf, delims, &save);
    if (token == nullptr) continue;
    std::memmove(LineBuf, token, std::strlen(token) + 1);
    return 1;
  }
  return 0;
}

// Closes the current input file, if any; FileStatus becomes 1.
void CloseInputFile() {
  if (pIn != nullptr) std::fclose(pIn);
  pIn = nullptr;
  FileStatus = 1;
}

// Next logical line of pIn in Line, with "//" and "/* */" comments and leading
// white space removed while flInputFilterState is set (raw, line end kept, when
// clear). Returns the physical lines consumed (LineCnt), 0 at the end; InPos
// holds the position of the line's start (of the closing line of a comment).
int GetLine() {
  LineCnt = 0;
  if (pIn == nullptr) return 0;
  InPos = std::ftell(pIn);
  if (std::fgets(Line, kPieceSize, pIn) == nullptr) return 0;
  ++LineCnt;
  if (flInputFilterState) {
    StripLineComment(Line);
    if (StripBlockComments(Line) != nullptr) SkipOpenComment();
    Line[std::strcspn(Line, "\r\n")] = '\0';
  }
  const size_t len = std::strlen(Line);
  std::memset(Line + len, 0, kPieceSize + 1 - len);  // the first 512 bytes
  return LineCnt;
}

// Reads n logical lines with GetLine; the result of the last read, 0 for n < 1.
int GetLineN(int n) {
  int result = 0;
  for (int i = 0; i < n; ++i) {
    result = GetLine();
    if (result == 0) break;
  }
  return result;
}

// Seeks pIn to offset from its start, then as GetLine.
int GetLinePos(long offset) {
  if (pIn == nullptr || std::fseek(pIn, offset, SEEK_SET) != 0) return 0;
  return GetLine();
}

// The first 4096 bytes of dir/name (or of the path dir for a null name) in
// LineBuf, terminated; 1 when the file opened, else 0. A longer file is cut.
int GetFileContent(const char* dir, const char* name) {
  char path[kLongPath];
  FileCloser f{OpenJoined(dir, name, path, sizeof path)};
  if (f.f == nullptr) return 0;
  const size_t n = std::fread(LineBuf, 1, LINE_BUF_SIZE, f.f);
  LineBuf[n] = '\0';
  return 1;
}

// The whole of dir/name (or the path dir) as a new managed text; the caller
// releases it with PutMem. Null for a missing, empty or unreadable file or a
// joined path of 256 characters or more; SavedFileSize holds the measured size.
char* GetSavedFileContent(const char* dir, const char* name) {
  char path[kJoinedPath];
  SavedFileSize = 0;
  if (!JoinPath(path, sizeof path, dir, name)) return nullptr;
  SavedFileSize = GetFileSize(path);
  if (SavedFileSize <= 0) return nullptr;
  const size_t size = static_cast<size_t>(SavedFileSize);
  char* text = static_cast<char*>(GetMem(size + 1));
  if (text == nullptr) {
    ErrorMsg(ERR_WARNING, 0, "Unable to allocate memory");
    return nullptr;
  }
  FileCloser f{std::fopen(path, "r")};
  if (f.f == nullptr) {
    PutMem(text);
    return nullptr;
  }
  const size_t n = std::fread(text, 1, size, f.f);
  text[n] = '\0';
  return text;
}

// Up to count bytes of dir/name (or the path dir) in buf, which holds count + 1
// bytes, terminated after the bytes read. 1 when the file opened, else 0.
int GetFileContentR(const char* dir, const char* name, char* buf, int count) {
  if (buf == nullptr || count < 0) return 0;
  char path[kLongPath];
  FileCloser f{OpenJoined(dir, name, path, sizeof path)};
  if (f.f == nullptr) return 0;
  const size_t n = std::fread(buf, 1, static_cast<size_t>(count), f.f);
  buf[n] = '\0';
  return 1;
}

// 1 when the directory lists an entry named exactly name, found by listing the
// directory (no status is asked: a dangling link counts). A null dir takes name as
// the whole path; a name holding '/' is joined to dir first. 0 otherwise, and for
// a path of 4096 characters or more.
int FindFile(const char* dir, const char* name) {
  if (dir == nullptr && (name == nullptr || *name == '\0')) return 0;
  char joined[kLongPath];
  char where[kLongPath];
  char what[kLongPath];
  const bool simple = dir != nullptr && name != nullptr && *name != '\0' &&
                      std::strchr(name, '/') == nullptr;
  if (simple) {
    if (!CopyBounded(where, sizeof where, dir) || !CopyBounded(what, sizeof what, name)) return 0;
  } else {
    const char* tail = name != nullptr && *name != '\0' ? name : nullptr;
    if (!JoinPath(joined, sizeof joined, dir, tail)) return 0;
    SplitPath(joined, where, what);
  }
  if (std::strchr(what, ' ') != nullptr) return 0;  // never in a blank-delimited listing
  char* list = GetDirFileList(where);
  if (list == nullptr) return 0;
  // An empty name (the root's) matches the empty text after the listing's final blank.
  const int found = what[0] == '\0' || FindToken(what, list) > 0 ? 1 : 0;
  PutMem(list);
  return found;
}

// 1 when dir/name (or whichever of the two is given) can be examined with stat.
int FindFile_(const char* dir, const char* name) {
  char path[kLongPath];
  struct stat st;
  if (!JoinPath(path, sizeof path, dir, name)) return 0;
  return stat(path, &st) == 0 ? 1 : 0;
}

// The longest leading part of path that exists (FindFile), as a new managed text
// the caller releases with PutMem; *flag is set to 1 (never to 0) when that is the
// whole path. A path beyond 4095 characters is taken up to its last '/' that fits.
char* FindExistingPath(const char* path, char* flag) {
  char copy[kLongPath];
  if (path == nullptr) path = "";
  if (!CopyBounded(copy, sizeof copy, path)) {
    std::memcpy(copy, path, sizeof copy - 1);
    copy[sizeof copy - 1] = '\0';
    char* slash = std::strrchr(copy, '/');
    if (slash == nullptr) std::strcpy(copy, ".");
    else if (slash == copy) std::strcpy(copy, "/");
    else *slash = '\0';
  }
  for (;;) {
    char dir[kLongPath];
    char name[kLongPath];
    SplitPath(copy, dir, name);
    if (FindFile(dir, name)) break;
    if (std::strcmp(dir, copy) == 0) break;  // "/" or "." that cannot be listed
    std::strcpy(copy, dir);
  }
  if (flag != nullptr && std::strcmp(copy, path) == 0) *flag = 1;
  return SaveStr_(copy);
}

// Size in bytes of what path names (links followed); 0 when it cannot be examined.
long GetFileSize(const char* path) {
  struct stat st;
  if (path == nullptr || stat(path, &st) != 0) return 0;
  return static_cast<long>(st.st_size);
}

// Last modification time of path in seconds since the epoch; 0 when it cannot be
// examined.
time_t GetFileTime(const char* path) {
  struct stat st;
  if (path == nullptr || stat(path, &st) != 0) return 0;
  return st.st_mtime;
}

// What path itself is (a link is not followed): 0 nothing, 1 directory, 2
// symbolic link, 3 anything else.
int GetFileType(const char* path) {
  struct stat st;
  if (path == nullptr || lstat(path, &st) != 0) return 0;
  if (S_ISDIR(st.st_mode)) return 1;
  if (S_ISLNK(st.st_mode)) return 2;
  return 3;
}
