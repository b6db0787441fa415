// DbmFile.cpp - record database files: reading and writing records, opening a
// database and its replacement, renaming, and copying all records but some.
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "Dbm/Dbm.h"
#include "Dbm/DbmPrivate.h"

namespace {

constexpr int kOpenTries = 10;  // a database being replaced is tried again, a second apart

// File-scope state.
struct State {
  char Rec[DBM_REC_BUF_SIZE];  // PurgeRecord's record buffer
} S;

// Creates dir and its missing parents (mode 777 less the umask); true when it exists.
bool MakeDirs(const char* dir) {
  char path[DBM_PATH_SIZE];
  int n = std::snprintf(path, sizeof path, "%s", dir);
  if (n < 0 || n >= static_cast<int>(sizeof path)) return false;
  for (char* p = path + 1; *p; p++) {
    if (*p != '/') continue;
    *p = '\0';
    if (mkdir(path, 0777) != 0 && errno != EEXIST) return false;
    *p = '/';
  }
  return mkdir(path, 0777) == 0 || errno == EEXIST;
}

// The directory part of path (everything before its last '/'), into out.
void DirOf(const char* path, char* out, size_t size) {
  const char* slash = std::strrchr(path, '/');
  size_t n = slash ? static_cast<size_t>(slash - path) : 0;
  if (n >= size) n = size - 1;
  std::memcpy(out, path, n);
  out[n] = '\0';
  if (n == 0) std::snprintf(out, size, "%s", slash ? "/" : ".");
}

// True when the unscrambled payload's key is the one looked for: exactly (keyLen 0)
// or, for keyLen above 0, beginning with the first keyLen bytes of key.
bool KeyMatches(const char* payload, const char* key, size_t keyLen) {
  size_t k = dbm::Load16(payload, false);
  if (keyLen == 0) return k == std::strlen(key) + 1 && std::memcmp(payload + 2, key, k) == 0;
  return k - 1 >= keyLen && std::memcmp(payload + 2, key, keyLen) == 0;
}

}  // namespace

int PutData(FILE* f, char* rec) {
  if (!f || !rec) return 0;
  unsigned L = dbm::Load16(rec, false);
  if (L > static_cast<unsigned>(DBM_MAX_PAYLOAD)) return 0;
  dbm::Scramble(rec + 2, L);
  return std::fwrite(rec, 1, 2 + L, f) == 2 + L ? 1 : 0;
}

int GetData(FILE* f, char* rec) {
  if (!f || !rec) return 0;
  long at;
  return dbm::ReadRecord(f, rec, &at) == dbm::ReadResult::Record ? 1 : 0;
}

FILE* OpenDataBase(const char* name, const char* ext, const char* mode, int report) {
  if (!name || !ext || !mode) return nullptr;
  char path[DBM_PATH_SIZE];
  if (!dbm::DbPath(path, sizeof path, name, ext)) return nullptr;
  struct stat st;
  if (stat(path, &st) != 0) return nullptr;
  for (int tries = 1;; tries++) {
    if (FILE* f = std::fopen(path, mode)) return f;
    if (tries >= kOpenTries || !dbm::Transient(errno)) break;
    sleep(1);
  }
  if (report == 1) std::fprintf(stderr, dbm::kCantOpen, path);
  return nullptr;
}

FILE* OpenNewDataBase(const char* name) {
  if (!name) return nullptr;
  char tmp[DBM_PATH_SIZE], target[DBM_PATH_SIZE], dir[DBM_PATH_SIZE];
  if (!dbm::DbPath(tmp, sizeof tmp, name, "xdb_new") ||
      !dbm::DbPath(target, sizeof target, name, "xdb")) {
    std::fprintf(stderr, dbm::kCantOpen, name);
    return nullptr;
  }
  DirOf(tmp, dir, sizeof dir);
  if (!MakeDirs(dir)) {
    std::fprintf(stderr, dbm::kCantOpen, tmp);
    return nullptr;
  }
  return dbm::OpenReplacement(tmp, target, 0666);
}

int RenameDataBase(const char* name, const char* from, const char* to) {
  if (!name || !from || !to) return 0;
  char src[DBM_PATH_SIZE], dst[DBM_PATH_SIZE];
  if (!dbm::DbPath(src, sizeof src, name, from) || !dbm::DbPath(dst, sizeof dst, name, to)) {
    return 0;
  }
  if (rename(src, dst) == 0) return 1;
  std::fprintf(stderr, dbm::kCantRename, src, dst, std::strerror(errno));
  return 0;
}

int PurgeRecord(const char* name, FILE* in, FILE* out, const char* key, int keyLen) {
  if (!name || !in || !out || !key) return 0;
  // A prefix is at most the key itself; an empty one matches the empty key only.
  size_t n = keyLen > 0 ? static_cast<size_t>(keyLen) : 0;
  if (n > std::strlen(key)) n = std::strlen(key);
  char* rec = S.Rec;
  for (;;) {
    long at;
    dbm::ReadResult r = dbm::ReadRecord(in, rec, &at);
    if (r == dbm::ReadResult::End) return 1;
    if (r == dbm::ReadResult::Corrupt) {
      char path[DBM_PATH_SIZE];
      dbm::DbPath(path, sizeof path, name, "xdb");
      std::fprintf(stderr, dbm::kCorrupt, path, at);
      return 0;
    }
    if (KeyMatches(rec + 2, key, n)) continue;
    if (!PutData(out, rec)) {
      std::fprintf(stderr, dbm::kCantWrite, name);
      return 0;
    }
  }
}
