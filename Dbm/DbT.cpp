// DbT.cpp - the typed record database's handle: loading a database file into memory,
// checking it, walking and finding its records, and writing the image back.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Dbm/Dbm.h"
#include "Dbm/DbmPrivate.h"
#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

namespace {

constexpr char kMagic[] = "TXDBAA";
constexpr int kMagicLen = 6;
constexpr int kReadTries = 10;  // a file being replaced is read again, a second apart
constexpr long long kMaxImage = INT32_MAX - 2 * DBM_REC_BUF_SIZE;  // room to grow in int32

// File-scope state.
struct State {
  char Decode[DBT_DECODE_BUF_SIZE + 1];  // unscrambled payload of a legacy record
  char Key[DBM_REC_BUF_SIZE];            // a key being compared, scrambled or plain
} S;

int FirstRecord(const DbTHandle* h) { return h->Type == DBT_LEGACY ? 0 : DBT_HEADER_SIZE; }

// Checks the record at off of an image of size bytes: its lengths fit the rest of
// the image and its key ends with its zero. Returns the record's total length, or 0.
int32_t RecordSpan(const DbTHandle* h, int32_t off, int32_t size) {
  const char* p = h->pImage + off;
  if (size - off < 2) return 0;
  unsigned L = dbm::Load16(p, h->Swap);
  if (L > static_cast<unsigned>(size - off - 2)) return 0;
  if (h->Type == DBT_LEGACY) {
    if (L < 3) return 0;
    // Only the k field and the key's last byte are unscrambled here.
    char k2[2] = {0, 0};
    char acc = 0;
    for (unsigned i = L; i-- > 0;) {
      acc = static_cast<char>(acc ^ p[2 + i]);
      if (i < 2) k2[i] = acc;
    }
    unsigned k = dbm::Load16(k2, false);
    if (k < 1 || k > L - 2) return 0;
    char last = 0;
    for (unsigned i = L; i-- > 2 + k - 1;) last = static_cast<char>(last ^ p[2 + i]);
    return last == '\0' ? static_cast<int32_t>(2 + L) : 0;
  }
  if (L < 3) return 0;
  unsigned k = dbm::Load16(p + 2, h->Swap);
  if (k < 1 || k > L - 2) return 0;
  return p[4 + k - 1] == '\0' ? static_cast<int32_t>(2 + L) : 0;
}

// Finds the end of the readable records of a freshly loaded image. A damaged record
// ends the image; CutAt keeps where, so that the file is never rewritten without the
// records behind it.
void CheckImage(DbTHandle* h) {
  int32_t off = FirstRecord(h);
  if (h->Size < off) {  // a typed header cut short
    h->CutAt = 0;
    h->Size = off;
    return;
  }
  while (off < h->Size) {
    int32_t span = RecordSpan(h, off, h->Size);
    if (!span) {
      h->CutAt = off;
      h->Size = off;
      return;
    }
    off += span;
  }
}

// The record count of a typed header: the decimal digits at offset 6.
int32_t HeaderCount(const char* image, int32_t size) {
  int32_t count = 0;
  for (int32_t i = kMagicLen; i < DBT_HEADER_SIZE && i < size && i < kMagicLen + 9; i++) {
    if (image[i] < '0' || image[i] > '9') break;
    count = count * 10 + (image[i] - '0');
  }
  return count;
}

// The file of the handle: its own path, or "<tool>/db/<name>.xdb".
bool FilePath(const DbTHandle* h, char* out, size_t size) {
  if (h->pPath) {
    int n = std::snprintf(out, size, "%s", h->pPath);
    return n >= 0 && static_cast<size_t>(n) < size;
  }
  return dbm::DbPath(out, size, h->pName, "xdb");
}

void ResetImage(DbTHandle* h) {
  PutMem(h->pImage);
  h->pImage = nullptr;
  h->Size = h->Cursor = h->Walk = h->Count = 0;
  h->MTime = 0;
  h->MTimeNs = 0;
  h->FileId = 0;
  h->FileSize = 0;
  h->CutAt = -1;
}

// Reads the whole file into a new managed buffer (at least a header's size, zero
// padded). 1 with *image and *st set; 0 for an empty file; -1 when it cannot be read.
int ReadWholeFile(const char* path, char** image, struct stat* st) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  int result = -1;
  if (fstat(fd, st) == 0 && S_ISREG(st->st_mode) && st->st_size <= kMaxImage) {
    size_t size = static_cast<size_t>(st->st_size);
    result = 0;
    char* buf = size ? static_cast<char*>(GetMem(size < DBT_HEADER_SIZE ? DBT_HEADER_SIZE : size)) : nullptr;
    size_t got = 0;
    while (buf && got < size) {
      ssize_t n = read(fd, buf + got, size - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    if (size && got == size) {
      *image = buf;
      result = 1;
    } else if (size) {
      PutMem(buf);
      result = -1;
    }
  } else {
    errno = EINVAL;
  }
  int saved = errno;
  close(fd);
  errno = saved;
  return result;
}

void KeepStamp(DbTHandle* h, const struct stat& st) {
  h->MTime = st.st_mtim.tv_sec;
  h->MTimeNs = st.st_mtim.tv_nsec;
  h->FileId = st.st_ino;
  h->FileSize = st.st_size;
}

bool SameFile(const DbTHandle* h, const struct stat& st) {
  return h->MTime == st.st_mtim.tv_sec && h->MTimeNs == st.st_mtim.tv_nsec &&
         h->FileId == st.st_ino && h->FileSize == st.st_size;
}

DbTHandle* NewHandle(const char* name, char* path, int flags) {
  auto* h = static_cast<DbTHandle*>(GetMem(sizeof(DbTHandle)));
  char* copy = CopyText(name);
  if (!h || !copy) {
    PutMem(h);
    PutMem(copy);
    PutMem(path);
    return nullptr;
  }
  h->pName = copy;
  h->pPath = path;
  h->Flags = flags;
  h->CutAt = -1;
  DbTUpDate(h);
  return h;
}

}  // namespace

DbTHandle* DbTOpen(const char* name, int flags) {
  if (!name) return nullptr;
  size_t len = std::strlen(name);
  if (len + sizeof ".xdb_new" > static_cast<size_t>(DBM_PATH_SIZE)) return nullptr;
  // A path names its file; a plain name is a database below the tool directory.
  char* path = nullptr;
  if (name[0] == '/' || name[0] == '.') {
    bool plain = name[0] == '/' && !std::strchr(name, '.');
    path = static_cast<char*>(GetMem(len + sizeof ".xdb"));
    if (!path) return nullptr;
    std::snprintf(path, len + sizeof ".xdb", "%s%s", name, plain ? ".xdb" : "");
  }
  return NewHandle(name, path, flags);
}

DbTHandle* DbTOpenPath(const char* path, int flags) {
  if (!path || !*path) return nullptr;
  if (std::strlen(path) + sizeof ".xdb_new" > static_cast<size_t>(DBM_PATH_SIZE)) return nullptr;
  char* copy = CopyText(path);
  if (!copy) return nullptr;
  return NewHandle(path, copy, flags);
}

void DbTClose(DbTHandle* h) {
  if (!h) return;
  PutMem(h->pImage);
  PutMem(h->pName);
  PutMem(h->pPath);
  PutMem(h);
}

void DbTUpDate(DbTHandle* h) {
  if (!h) return;
  char path[DBM_PATH_SIZE];
  if (!FilePath(h, path, sizeof path)) return;
  struct stat st;
  if (stat(path, &st) != 0) return;
  if (h->pImage && SameFile(h, st)) return;

  char* image = nullptr;
  int got = -1;
  for (int tries = 1; tries <= kReadTries; tries++) {
    got = ReadWholeFile(path, &image, &st);
    if (got >= 0 || !dbm::Transient(errno)) break;
    if (tries < kReadTries) sleep(1);
  }
  if (got == -1 && errno == ENOENT) return;  // removed meanwhile: as for a missing file
  ResetImage(h);
  h->Changed = 1;
  if (got == 1) {
    h->pImage = image;
    h->Size = static_cast<int32_t>(st.st_size);
    bool typed = st.st_size >= kMagicLen && std::memcmp(image, kMagic, kMagicLen) == 0;
    DbTSetDbType(h, typed ? DBT_TYPED : DBT_LEGACY);
    if (typed) h->Count = HeaderCount(image, h->Size);
    KeepStamp(h, st);
    CheckImage(h);
    return;
  }
  // An empty file is an empty database: a header with the count 0. A file that could
  // not be read looks the same but is marked damaged, so that it is never replaced.
  h->pImage = static_cast<char*>(GetMem(DBT_HEADER_SIZE));
  h->Changed = 0;
  if (!h->pImage) return;
  DbTSetDbType(h, DBT_NEW);
  UpdateHeader(h);
  h->Size = DBT_HEADER_SIZE;
  if (got == 0) {
    KeepStamp(h, st);
  } else {
    h->CutAt = 0;
  }
}

void DbTSetDbType(DbTHandle* h, int type) {
  if (!h) return;
  h->Type = static_cast<uint8_t>(type);
  h->Swap = type != DBT_LEGACY && dbm::LittleEndianHost() ? 1 : 0;
}

void UpdateHeader(DbTHandle* h) {
  if (!h || !h->pImage) return;
  char digits[32];
  std::snprintf(digits, sizeof digits, "%li", static_cast<long>(h->Count));
  digits[9] = '\0';
  int n = std::snprintf(h->pImage, DBT_HEADER_SIZE, "%s%s", kMagic, digits);
  if (h->Flags & DBT_KEEP_FILLER) return;
  for (int i = n + 1; i < DBT_HEADER_SIZE; i++) h->pImage[i] = static_cast<char>(std::rand() & 0xff);
}

int DbmTPutData(DbTHandle* h, const void* bytes, int len) {
  if (!h || !bytes || len < 0 || h->Cursor < 0 || len > h->Size - h->Cursor) return 0;
  char* p = h->pImage + h->Cursor;
  std::memcpy(p, bytes, static_cast<size_t>(len));
  dbm::Scramble(p, static_cast<size_t>(len));
  h->Cursor += len;
  return 1;
}

int DbmTGetData(DbTHandle* h, void* dest, int len) {
  if (!h || !dest || len < 0 || h->Cursor < 0 || len > h->Size - h->Cursor) return 0;
  std::memcpy(dest, h->pImage + h->Cursor, static_cast<size_t>(len));
  dbm::Unscramble(static_cast<char*>(dest), static_cast<size_t>(len));
  h->Cursor += len;
  return 1;
}

DbTRec* WalkDbTRecords(DbTHandle* h, DbTRec* rec, int index) {
  if (!h || !rec) return nullptr;
  if (index == 0) h->Walk = FirstRecord(h);
  if (!h->pImage || h->Walk >= h->Size) return nullptr;
  int32_t span = RecordSpan(h, h->Walk, h->Size);
  if (!span) {  // damaged since it was loaded: the image ends here
    if (h->CutAt < 0) h->CutAt = h->Walk;
    h->Size = h->Walk;
    return nullptr;
  }
  const char* p = h->pImage + h->Walk;
  rec->L = dbm::Load16(p, h->Swap);
  if (h->Type == DBT_LEGACY) {
    std::memcpy(S.Decode, p + 2, rec->L);
    dbm::Unscramble(S.Decode, rec->L);
    rec->k = dbm::Load16(S.Decode, false);
    rec->pKey = S.Decode + 2;
    h->Cursor = h->Walk + 2;
  } else {
    rec->k = dbm::Load16(p + 2, h->Swap);
    rec->pKey = nullptr;
    h->Cursor = h->Walk + 4;
  }
  h->Walk += span;
  return rec;
}

int FindTRecord(DbTHandle* h, const char* key, DbTRec* rec) {
  if (!h || !key || !rec) return 0;
  size_t k = std::strlen(key) + 1;
  if (k > sizeof S.Key) return 0;
  // A stored key equals the key exactly when it equals the key scrambled the same way.
  std::memcpy(S.Key, key, k);
  if (h->Type != DBT_LEGACY) dbm::Scramble(S.Key, k);
  for (DbTRec* r = WalkDbTRecords(h, rec, 0); r; r = WalkDbTRecords(h, rec, 1)) {
    if (r->k != k) continue;
    if (h->Type == DBT_LEGACY) {
      if (std::memcmp(r->pKey, S.Key, k) == 0) return 1;
      continue;
    }
    if (std::memcmp(h->pImage + h->Cursor, S.Key, k) == 0) {
      h->Cursor += static_cast<int32_t>(k);
      return 1;
    }
  }
  return 0;
}

int PurgeTRecord(DbTHandle* h, const char* key, int keyLen) {
  return dbm::PurgeImage(h, key, keyLen, true);
}

int dbm::PurgeImage(DbTHandle* h, const char* key, int keyLen, bool shrink) {
  if (!h || !key || !h->pImage) return 0;
  size_t keyN = std::strlen(key);
  size_t n = keyLen > 0 ? static_cast<size_t>(keyLen) : 0;
  if (n > keyN) n = keyN;
  bool removed = false;
  DbTRec rec;
  int32_t start = FirstRecord(h);
  for (DbTRec* r = WalkDbTRecords(h, &rec, 0); r; r = WalkDbTRecords(h, &rec, 1)) {
    const char* stored = r->pKey;
    if (h->Type != DBT_LEGACY) {
      h->Cursor = start + 4;
      DbmTGetData(h, S.Key, r->k);
      stored = S.Key;
    }
    bool match = n == 0 ? r->k == keyN + 1 && std::memcmp(stored, key, r->k) == 0
                        : r->k - 1u >= n && std::memcmp(stored, key, n) == 0;
    if (!match) {
      start = h->Walk;
      continue;
    }
    int32_t span = 2 + r->L;
    std::memmove(h->pImage + start, h->pImage + start + span,
                 static_cast<size_t>(h->Size - start - span));
    h->Size -= span;
    if (h->Count > 0) h->Count--;
    h->Walk = start;
    removed = true;
  }
  if (!removed) return 0;
  h->Changed = 1;
  if (!shrink) return 1;
  size_t keep = h->Size > 0 ? static_cast<size_t>(h->Size) : 1;
  if (char* shrunk = static_cast<char*>(AdjustMem(h->pImage, keep))) h->pImage = shrunk;
  return 1;
}

bool dbm::RefuseDamaged(const DbTHandle* h) {
  if (h->CutAt < 0) return false;
  char path[DBM_PATH_SIZE];
  if (!FilePath(h, path, sizeof path)) std::snprintf(path, sizeof path, "%s", h->pName);
  if (h->CutAt == 0 && !h->FileSize) {  // the file could not be read at all
    std::fprintf(stderr, dbm::kUnreadable, path);
  } else {
    std::fprintf(stderr, dbm::kCorrupt, path, static_cast<long>(h->CutAt));
  }
  return true;
}

int DbmTArchiveDb(DbTHandle* h) {
  if (!h) return 0;
  char path[DBM_PATH_SIZE], tmp[DBM_PATH_SIZE + 16];
  if (!FilePath(h, path, sizeof path) || dbm::RefuseDamaged(h)) return 0;
  if (h->Type != DBT_LEGACY && h->Size < DBT_HEADER_SIZE) {
    // Nothing stored yet: the file becomes an empty database, a header alone.
    char* image = static_cast<char*>(AdjustMem(h->pImage, DBT_HEADER_SIZE));
    if (!image) return 0;
    h->pImage = image;
    h->Size = DBT_HEADER_SIZE;
    UpdateHeader(h);
  }
  if (h->Type == DBT_TYPED) UpdateHeader(h);

  FILE* out;
  if (h->pPath) {
    // A database opened by its path is written back to that very file (through a
    // link to the file the link names).
    char real[PATH_MAX];
    if (realpath(path, real) && std::strlen(real) < sizeof path) std::strcpy(path, real);
    size_t n = std::strlen(path);
    bool ext = n >= 4 && std::strcmp(path + n - 4, ".xdb") == 0;
    std::snprintf(tmp, sizeof tmp, "%s%s", path, ext ? "_new" : ".xdb_new");
    out = dbm::OpenReplacement(tmp, path, -1);
  } else {
    dbm::EnsureCwdDb();
    dbm::DbPath(tmp, sizeof tmp, h->pName, "xdb_new");
    out = OpenNewDataBase(h->pName);
  }
  if (!out) return 0;
  if (h->Size > 0 && std::fwrite(h->pImage, 1, static_cast<size_t>(h->Size), out) !=
                         static_cast<size_t>(h->Size)) {
    std::fprintf(stderr, dbm::kCantWrite, h->pName);
    dbm::DropReplacement(out, tmp);
    return 0;
  }
  dbm::FileStamp st{};
  if (!dbm::CommitReplacement(out, tmp, path, h->pName, &st)) return 0;
  // The file now holds the image: no reload of it is needed.
  h->MTime = static_cast<time_t>(st.Sec);
  h->MTimeNs = st.Nsec;
  h->FileId = st.Ino;
  h->FileSize = st.Size;
  return 1;
}
