// xdb_main.cpp - xdb, the record file tool: lists, reads, stores, deletes and dumps the
// records of an .xdb file in either format.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

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

constexpr SubCommand kCommands[] = {
    {"list", 1, 1, "list DB", "print the keys in file order, one per line", RunList},
    {"get", 2, 2, "get DB KEY", "write the value of KEY to standard output", RunGet},
    {"put", 2, 3, "put DB KEY [VALUE]",
     "store VALUE (standard input when absent) under KEY", RunPut},
    {"delete", 2, 2, "delete DB KEY", "remove the record of KEY", RunDelete},
    {"delete-prefix", 2, 2, "delete-prefix DB PREFIX",
     "remove every record whose key begins with PREFIX", RunDeletePrefix},
    {"dump", 1, 1, "dump DB", "show the file's format and every record", RunDump},
};

void Usage(FILE* out) {
  std::fprintf(out, "usage: xdb COMMAND DB [ARGUMENT...]\n\n");
  for (const SubCommand& c : kCommands) std::fprintf(out, "  xdb %-26s %s\n", c.Synopsis, c.Summary);
  std::fprintf(out,
               "  xdb --help                     this text\n\n"
               "DB is the path of the record file. A new file is written in the typed\n"
               "format; a file in the legacy format stays in it. Exit status: 0 done,\n"
               "1 no such record or file, a damaged file or a failed write, 2 usage.\n");
}

int UsageError(const char* message, const char* arg = "") {
  std::fprintf(stderr, "xdb: %s%s\nTry 'xdb --help'.\n", message, arg);
  return kUsage;
}

// Reports the damage of an image whose readable records end early.
int ReportDamage(const DbTHandle* h, const char* path) {
  if (h->CutAt == 0 && h->FileSize == 0) {
    std::fprintf(stderr, "xdb: %s: cannot be read\n", path);
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
      std::fprintf(stderr, "xdb: %s: %s\n", path, std::strerror(errno));
      return nullptr;
    }
  } else if (!S_ISREG(st.st_mode)) {
    std::fprintf(stderr, "xdb: %s: not a regular file\n", path);
    return nullptr;
  } else {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      std::fprintf(stderr, "xdb: %s: %s\n", path, std::strerror(errno));
      return nullptr;
    }
    close(fd);
  }
  DbTHandle* h = DbTOpenPath(path, DBT_NO_REFRESH | DBT_NO_WRITEBACK);
  if (!h) std::fprintf(stderr, "xdb: %s: cannot be opened\n", path);
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

// Writes bytes with the unprintable ones escaped, inside double quotes.
void PutEscaped(const char* bytes, size_t n) {
  std::putchar('"');
  for (size_t i = 0; i < n; i++) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    switch (c) {
      case '"': std::fputs("\\\"", stdout); break;
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
  std::putchar('"');
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
    std::printf("%s\n", KeyOf(h, rec, key));
  }
  int status = h->CutAt >= 0 ? ReportDamage(h, args[0]) : kOk;
  DbTClose(h);
  return Flushed(status);
}

int RunGet(char** args, int) {
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
    std::fwrite(value, 1, len, stdout);
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

}  // namespace

int main(int argc, char** argv) {
  OpenClosedStandardStreams();
  if (argc < 2) {
    Usage(stderr);
    return kUsage;
  }
  std::string_view word = argv[1];
  if (word == "--help" || word == "-h" || word == "help") {
    Usage(stdout);
    return Flushed(kOk);
  }
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
