// xdb_main.cpp - xdb, the record file tool: lists, reads, stores, deletes and dumps the
// records of an .xdb file in either format.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Dbm/Dbm.h"
#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

namespace {

// Exit statuses.
constexpr int kOk = 0;
constexpr int kFailed = 1;  // no such record or file, a damaged file, a failed write
constexpr int kUsage = 2;

// One sub-command: its word, how many arguments follow it, and what runs it.
struct SubCommand {
  const char* Name;
  int MinArgs;
  int MaxArgs;
  const char* Synopsis;
  const char* Summary;
  int (*Run)(char** args, int count);
};

int RunList(char** args, int count);
int RunGet(char** args, int count);
int RunPut(char** args, int count);
int RunDelete(char** args, int count);
int RunDeletePrefix(char** args, int count);
int RunDump(char** args, int count);
int RunLoad(char** args, int count);
int RunCount(char** args, int count);

constexpr SubCommand kCommands[] = {
    {"list", 1, 1, "list DB", "print the keys in file order, one per line (escaped)", RunList},
    {"get", 2, 3, "get [--escaped] DB KEY",
     "write the value of KEY to standard output (escaped, one line)", RunGet},
    {"count", 1, 1, "count DB", "print the number of records", RunCount},
    {"put", 2, 3, "put DB KEY [VALUE]",
     "store VALUE (standard input when absent) under KEY", RunPut},
    {"delete", 2, 2, "delete DB KEY", "remove the record of KEY", RunDelete},
    {"delete-prefix", 2, 2, "delete-prefix DB PREFIX",
     "remove every record whose key begins with PREFIX", RunDeletePrefix},
    {"dump", 1, 1, "dump DB", "show the file's format and every record", RunDump},
    {"load", 1, 2, "load DB [DUMP]",
     "write the new file DB from what dump wrote (DUMP or standard input, \"-\")", RunLoad},
};

void Usage(FILE* out) {
  std::fprintf(out, "usage: xdb COMMAND DB [ARGUMENT...]\n\n");
  for (const SubCommand& c : kCommands) std::fprintf(out, "  xdb %-26s %s\n", c.Synopsis, c.Summary);
  std::fprintf(out,
               "  xdb --help                     this text\n"
               "  xdb --version                  the program's name and version\n\n"
               "DB is the path of the record file. A new file is written in the typed\n"
               "format; a file in the legacy format stays in it. Keys and values are\n"
               "escaped as \\\\, \\n, \\t, \\r and \\xHH where they are no printable ASCII.\n"
               "Exit status: 0 found or done; 1 no such record, a missing, damaged or foreign\n"
               "file, or a failed write; 2 a usage error.\n");
}

int UsageError(const char* message, const char* arg = "") {
  std::fprintf(stderr, "xdb: %s%s\nTry 'xdb --help'.\n", message, arg);
  return kUsage;
}

// True for a file of which not even the first record can be read: no record file.
bool Foreign(const DbTHandle* h) { return h->Type == DBT_LEGACY && h->CutAt == 0 && h->FileSize > 0; }

// Reports the damage of an image whose readable records end early.
int ReportDamage(const DbTHandle* h, const char* path) {
  if (h->CutAt == 0 && h->FileSize == 0) {
    std::fprintf(stderr, "xdb: %s: cannot be read\n", path);
  } else if (Foreign(h)) {
    std::fprintf(stderr, "xdb: %s: not a record database\n", path);
  } else {
    std::fprintf(stderr,
                 "xdb: %s: corrupt record at byte %ld; the records from there on cannot be read\n",
                 path, static_cast<long>(h->CutAt));
  }
  return kFailed;
}

// Opens the record file at path. An existing file must be a readable regular file;
// a missing one is an error unless mayCreate. Null after a report.
DbTHandle* Open(const char* path, bool mayCreate) {
  struct stat st;
  if (stat(path, &st) != 0) {
    if (errno != ENOENT || !mayCreate) {
      FileError("xdb", path, errno);
      return nullptr;
    }
  } else if (!S_ISREG(st.st_mode)) {
    if (S_ISDIR(st.st_mode)) FileError("xdb", path, EISDIR);
    else std::fprintf(stderr, "xdb: %s: not a regular file\n", path);
    return nullptr;
  } else {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      FileError("xdb", path, errno);
      return nullptr;
    }
    close(fd);
  }
  DbTHandle* h = DbTOpenPath(path, DBT_NO_REFRESH | DBT_NO_WRITEBACK);
  if (!h) {
    std::fprintf(stderr, "xdb: %s: cannot be opened\n", path);
    return nullptr;
  }
  if (Foreign(h)) {
    ReportDamage(h, path);
    DbTClose(h);
    return nullptr;
  }
  return h;
}

// Opens a file to change it: refused, after a report, when it is damaged.
DbTHandle* OpenForChange(const char* path, bool mayCreate) {
  DbTHandle* h = Open(path, mayCreate);
  if (h && h->CutAt >= 0) {
    ReportDamage(h, path);
    std::fprintf(stderr, "xdb: %s: left unchanged\n", path);
    DbTClose(h);
    return nullptr;
  }
  return h;
}

// Writes the changed image back; the status to exit with.
int Save(DbTHandle* h, const char* path) {
  int ok = DbmTArchiveDb(h);
  DbTClose(h);
  if (ok) return kOk;
  std::fprintf(stderr, "xdb: %s: could not be written; the file is unchanged\n", path);
  return kFailed;
}

// The key of the record just walked past (typed: read from the image).
const char* KeyOf(DbTHandle* h, const DbTRec& rec, char* buf) {
  if (h->Type == DBT_LEGACY) return rec.pKey;
  DbmTGetData(h, buf, rec.k);
  return buf;
}

// Writes bytes with '\\' and the bytes outside printable ASCII escaped; '"' too,
// and the whole inside double quotes, when quoted.
void PutEscaped(const char* bytes, size_t n, bool quoted = true) {
  if (quoted) std::putchar('"');
  for (size_t i = 0; i < n; i++) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    switch (c) {
      case '"': std::fputs(quoted ? "\\\"" : "\"", stdout); break;
      case '\\': std::fputs("\\\\", stdout); break;
      case '\n': std::fputs("\\n", stdout); break;
      case '\t': std::fputs("\\t", stdout); break;
      case '\r': std::fputs("\\r", stdout); break;
      default:
        if (c >= 0x20 && c < 0x7f) {
          std::putchar(c);
        } else {
          std::printf("\\x%02x", c);
        }
    }
  }
  if (quoted) std::putchar('"');
}

// Standard output must have taken everything.
int Flushed(int status) {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  std::fprintf(stderr, "xdb: cannot write to standard output: %s\n", std::strerror(errno));
  return kFailed;
}

int RunList(char** args, int) {
  DbTHandle* h = Open(args[0], false);
  if (!h) return kFailed;
  static char key[DBM_REC_BUF_SIZE];
  DbTRec rec;
  for (DbTRec* r = WalkDbTRecords(h, &rec, 0); r; r = WalkDbTRecords(h, &rec, 1)) {
    PutEscaped(KeyOf(h, rec, key), rec.k > 0 ? rec.k - 1u : 0, false);
    std::putchar('\n');
  }
  int status = h->CutAt >= 0 ? ReportDamage(h, args[0]) : kOk;
  DbTClose(h);
  return Flushed(status);
}

int RunGet(char** args, int count) {
  const bool escaped = count == 3;
  if (escaped && std::strcmp(args[0], "--escaped") != 0) return UsageError("unknown option: ", args[0]);
  if (escaped) ++args;
  DbTHandle* h = Open(args[0], false);
  if (!h) return kFailed;
  DbTRec rec;
  int status = kOk;
  if (FindTRecord(h, args[1], &rec)) {
    static char value[DBM_REC_BUF_SIZE];
    size_t len = static_cast<size_t>(rec.L - 2 - rec.k);
    if (h->Type == DBT_LEGACY) {
      std::memcpy(value, rec.pKey + rec.k, len);
    } else {
      DbmTGetData(h, value, static_cast<int>(len));
    }
    if (escaped) {
      PutEscaped(value, len, false);
      std::putchar('\n');
    } else {
      std::fwrite(value, 1, len, stdout);
    }
  } else if (h->CutAt >= 0) {
    status = ReportDamage(h, args[0]);
  } else {
    std::fprintf(stderr, "xdb: %s: no record with the key %s\n", args[0], args[1]);
    status = kFailed;
  }
  DbTClose(h);
  return Flushed(status);
}

// Reads all of standard input into value; false after a report.
bool ReadInput(std::string* value) {
  char buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, stdin)) > 0) value->append(buf, n);
  if (!std::ferror(stdin)) return true;
  std::fprintf(stderr, "xdb: cannot read standard input: %s\n", std::strerror(errno));
  return false;
}

int RunPut(char** args, int count) {
  const char* path = args[0];
  const char* key = args[1];
  std::string value;
  if (count == 3) {
    value = args[2];
  } else if (!ReadInput(&value)) {
    return kFailed;
  }
  if (value.empty()) {
    std::fprintf(stderr, "xdb: %s: an empty value cannot be stored\n", path);
    return kFailed;
  }
  size_t payload = std::strlen(key) + 1 + value.size() + 2;
  if (payload > static_cast<size_t>(DBM_MAX_PAYLOAD)) {
    std::fprintf(stderr,
                 "xdb: %s: record too large: key and value take %zu bytes, at most %d fit\n",
                 path, payload - 2, DBM_MAX_PAYLOAD - 2);
    return kFailed;
  }
  DbTHandle* h = OpenForChange(path, true);
  if (!h) return kFailed;
  if (!DbmTPutRecord(h, key, value.data(), static_cast<int>(value.size()))) {
    DbTClose(h);
    std::fprintf(stderr, "xdb: %s: the record was not stored\n", path);
    return kFailed;
  }
  return Save(h, path);
}

int RunDelete(char** args, int) {
  DbTHandle* h = OpenForChange(args[0], false);
  if (!h) return kFailed;
  if (!DbmTDeleteRecord(h, args[1])) {
    std::fprintf(stderr, "xdb: %s: no record with the key %s\n", args[0], args[1]);
    DbTClose(h);
    return kFailed;
  }
  return Save(h, args[0]);
}

int RunDeletePrefix(char** args, int) {
  if (!*args[1]) return UsageError("the prefix must not be empty");
  DbTHandle* h = OpenForChange(args[0], false);
  if (!h) return kFailed;
  int32_t before = h->Size;
  if (!DbmTDeleteRecords(h, args[1])) {
    DbTClose(h);
    return kFailed;
  }
  if (h->Size == before) {  // nothing matched: the file stays as it is
    DbTClose(h);
    return kOk;
  }
  return Save(h, args[0]);
}

int RunDump(char** args, int) {
  const char* path = args[0];
  DbTHandle* h = Open(path, false);
  if (!h) return kFailed;
  long records = 0;
  DbTRec rec;
  for (DbTRec* r = WalkDbTRecords(h, &rec, 0); r; r = WalkDbTRecords(h, &rec, 1)) records++;
  const char* format = h->Type == DBT_LEGACY ? "legacy format (lengths in host byte order)"
                       : h->Type == DBT_TYPED ? "typed format (TXDBAA header, big-endian lengths)"
                                              : "empty (no record yet)";
  std::printf("%s: %s; %lld bytes; %ld record%s", path, format, h->FileSize, records,
              records == 1 ? "" : "s");
  if (h->Type == DBT_TYPED) std::printf("; header count %ld", static_cast<long>(h->Count));
  std::printf("\n");
  if (h->Type == DBT_TYPED && h->pImage != nullptr && h->Size >= DBT_HEADER_SIZE) {
    // The header's own bytes, filler included, so that load writes them back.
    std::printf("0: header ");
    PutEscaped(h->pImage, DBT_HEADER_SIZE);
    std::printf("\n");
  }
  static char key[DBM_REC_BUF_SIZE], value[DBM_REC_BUF_SIZE];
  int32_t at = h->Type == DBT_LEGACY ? 0 : DBT_HEADER_SIZE;
  for (DbTRec* r = WalkDbTRecords(h, &rec, 0); r; r = WalkDbTRecords(h, &rec, 1)) {
    size_t vlen = static_cast<size_t>(rec.L - 2 - rec.k);
    const char* k = KeyOf(h, rec, key);
    const char* v = rec.pKey ? rec.pKey + rec.k : value;
    if (!rec.pKey) DbmTGetData(h, value, static_cast<int>(vlen));
    std::printf("%ld: L %u k %u key ", static_cast<long>(at), rec.L, rec.k);
    PutEscaped(k, rec.k ? rec.k - 1u : 0);
    std::printf(" value ");
    PutEscaped(v, vlen);
    std::printf("\n");
    at = h->Walk;
  }
  int status = kOk;
  if (h->CutAt >= 0) {
    std::printf("%ld: corrupt record; %lld bytes from here on cannot be read\n",
                static_cast<long>(h->CutAt), h->FileSize - h->CutAt);
    status = ReportDamage(h, path);
  }
  DbTClose(h);
  return Flushed(status);
}

int RunCount(char** args, int) {
  DbTHandle* h = Open(args[0], false);
  if (!h) return kFailed;
  long records = 0;
  DbTRec rec;
  for (DbTRec* r = WalkDbTRecords(h, &rec, 0); r; r = WalkDbTRecords(h, &rec, 1)) records++;
  std::printf("%ld\n", records);
  int status = h->CutAt >= 0 ? ReportDamage(h, args[0]) : kOk;
  DbTClose(h);
  return Flushed(status);
}

// ----- load: the lines dump writes, read back -----

// Reads the quoted, escaped text at *p (as PutEscaped wrote it) into out and moves
// *p past it. False when the text is malformed.
bool ReadQuoted(const char** p, std::string* out) {
  const char* q = *p;
  if (*q++ != '"') return false;
  out->clear();
  for (; *q != '"'; ++q) {
    if (*q == '\0') return false;
    if (*q != '\\') {
      out->push_back(*q);
      continue;
    }
    switch (*++q) {
      case '"': out->push_back('"'); break;
      case '\\': out->push_back('\\'); break;
      case 'n': out->push_back('\n'); break;
      case 't': out->push_back('\t'); break;
      case 'r': out->push_back('\r'); break;
      case 'x': {
        unsigned v = 0;
        int used = 0;
        if (std::sscanf(q + 1, "%2x%n", &v, &used) != 1 || used != 2) return false;
        out->push_back(static_cast<char>(v));
        q += 2;
        break;
      }
      default: return false;
    }
  }
  *p = q + 1;
  return true;
}

// What a dump holds: the format, the typed header's bytes, the records in order.
struct Dumped {
  int Type = DBT_NEW;
  std::string Header;
  std::vector<std::pair<std::string, std::string>> Records;
};

// Parses the text dump wrote; false after a report naming the line at fault.
bool ParseDump(const char* source, const std::string& text, Dumped* d) {
  size_t pos = 0;
  int number = 0;
  while (pos < text.size()) {
    const size_t end = std::min(text.find('\n', pos), text.size());
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++number;
    const char* fault = nullptr;
    if (number == 1) {
      if (line.find(": typed format (") != std::string::npos) d->Type = DBT_TYPED;
      else if (line.find(": legacy format (") != std::string::npos) d->Type = DBT_LEGACY;
      else if (line.find(": empty (") == std::string::npos) fault = "the first line names no format";
    } else if (const char* p = std::strstr(line.c_str(), ": header "); p != nullptr && d->Type == DBT_TYPED &&
                                                                          d->Header.empty()) {
      p += 9;
      if (!ReadQuoted(&p, &d->Header) || d->Header.size() != DBT_HEADER_SIZE) fault = "a malformed header";
    } else if (line.find(": corrupt record;") != std::string::npos) {
      fault = "the dump is of a damaged file";
    } else if (const char* k = std::strstr(line.c_str(), " key \""); k != nullptr) {
      const char* r = k + 5;
      std::string key, value;
      if (!ReadQuoted(&r, &key) || std::strncmp(r, " value ", 7) != 0 || (r += 7, !ReadQuoted(&r, &value)))
        fault = "a malformed record";
      else if (key.find('\0') != std::string::npos || value.empty())
        fault = "a key with a zero byte or an empty value";
      else
        d->Records.emplace_back(std::move(key), std::move(value));
    } else if (!line.empty()) {
      fault = "not a line of a dump";
    }
    if (fault != nullptr) {
      std::fprintf(stderr, "xdb: %s:%d: %s\n", source, number, fault);
      return false;
    }
  }
  if (number == 0) {
    std::fprintf(stderr, "xdb: %s: the dump is empty\n", source);
    return false;
  }
  return true;
}

int RunLoad(char** args, int count) {
  const char* path = args[0];
  const char* from = count == 2 ? args[1] : "-";
  struct stat st;
  if (stat(path, &st) == 0 && st.st_size > 0) {
    std::fprintf(stderr, "xdb: %s: exists; load writes a new file only\n", path);
    return kFailed;
  }
  std::string text;
  if (!ReadWholeFile("xdb", from, &text)) return kFailed;
  Dumped d;
  if (!ParseDump(std::strcmp(from, "-") == 0 ? "standard input" : from, text, &d)) return kFailed;
  DbTHandle* h = DbTOpenPath(path, DBT_NO_REFRESH | DBT_NO_WRITEBACK | DBT_KEEP_FILLER);
  if (!h) {
    std::fprintf(stderr, "xdb: %s: cannot be opened\n", path);
    return kFailed;
  }
  // An empty dump gives an empty file, as it was.
  DbTSetDbType(h, d.Type == DBT_TYPED ? DBT_TYPED : DBT_LEGACY);
  for (const auto& [key, value] : d.Records) {
    if (!DbmTPutRecord(h, key.c_str(), value.data(), static_cast<int>(value.size()))) {
      std::fprintf(stderr, "xdb: %s: the record %s was not stored; nothing was written\n", path, key.c_str());
      DbTClose(h);
      return kFailed;
    }
  }
  if (d.Type == DBT_TYPED && h->Size < DBT_HEADER_SIZE) {
    char* image = static_cast<char*>(AdjustMem(h->pImage, DBT_HEADER_SIZE));
    if (image == nullptr) {
      DbTClose(h);
      return kFailed;
    }
    h->pImage = image;
    h->Size = DBT_HEADER_SIZE;
  }
  // The header's filler comes from the dump; the count is the records'.
  if (d.Type == DBT_TYPED && d.Header.size() == DBT_HEADER_SIZE) std::memcpy(h->pImage, d.Header.data(), DBT_HEADER_SIZE);
  return Save(h, path);
}

}  // namespace

int main(int argc, char** argv) {
  OpenClosedStandardStreams();
  if (argc < 2) {
    Usage(stderr);
    return kUsage;
  }
  std::string_view word = argv[1];
  if (word == "-h" || word == "help") {
    Usage(stdout);
    return Flushed(kOk);
  }
  if (const int status = StandardOption(argv[1], "xdb", Usage); status >= 0) return status;
  for (const SubCommand& c : kCommands) {
    if (word != c.Name) continue;
    int count = argc - 2;
    if (count < c.MinArgs || count > c.MaxArgs) {
      std::fprintf(stderr, "usage: xdb %s\nTry 'xdb --help'.\n", c.Synopsis);
      return kUsage;
    }
    return c.Run(argv + 2, count);
  }
  return UsageError("unknown command: ", argv[1]);
}
