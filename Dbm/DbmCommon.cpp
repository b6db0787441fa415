// DbmCommon.cpp - the record database's common ground: scrambling, lengths, paths,
// record checks, and replacing a database file through a new file and a rename.
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Dbm/Dbm.h"
#include "Dbm/DbmPrivate.h"
#include "MemMgr/MemMgr.h"

char* pToolPath = nullptr;

namespace dbm {

void Scramble(char* p, size_t n) {
  for (size_t i = 0; i + 1 < n; i++) p[i] = static_cast<char>(p[i] ^ p[i + 1]);
}

void Unscramble(char* p, size_t n) {
  if (n < 2) return;
  for (size_t i = n - 1; i-- > 0;) p[i] = static_cast<char>(p[i] ^ p[i + 1]);
}

uint16_t Load16(const char* p, bool swap) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return swap ? static_cast<uint16_t>((v >> 8) | (v << 8)) : v;
}

void Store16(char* p, uint16_t v, bool swap) {
  if (swap) v = static_cast<uint16_t>((v >> 8) | (v << 8));
  std::memcpy(p, &v, 2);
}

bool LittleEndianHost() {
  const unsigned char bytes[4] = {1, 2, 3, 4};
  uint32_t v;
  std::memcpy(&v, bytes, 4);
  return v != 0x01020304u;
}

const char* ToolDir() { return pToolPath && *pToolPath ? pToolPath : "."; }

bool DbPath(char* out, size_t size, const char* name, const char* ext) {
  int n = std::snprintf(out, size, "%s/db/%s.%s", ToolDir(), name, ext);
  if (n >= 0 && static_cast<size_t>(n) < size) return true;
  out[0] = '\0';
  return false;
}

void EnsureCwdDb() {
  struct stat st;
  if (lstat("db", &st) == 0 || errno != ENOENT) return;
  if (mkdir("db", 0777) == 0) chmod("db", 0777);
}

bool LegacyPayloadOk(const char* payload, unsigned L) {
  if (L < 3) return false;
  unsigned k = Load16(payload, false);
  return k >= 1 && k <= L - 2 && payload[2 + k - 1] == '\0';
}

unsigned RecordPayload(const char* db, const char* key, size_t valueLen) {
  size_t total = std::strlen(key) + 1 + valueLen + 2;
  if (total <= static_cast<size_t>(DBM_MAX_PAYLOAD)) return static_cast<unsigned>(total);
  std::fprintf(stderr, kTooLarge, key, db, static_cast<unsigned long>(total), DBM_MAX_PAYLOAD);
  return 0;
}

ReadResult ReadRecord(FILE* f, char* rec, long* at) {
  *at = std::ftell(f);
  size_t got = std::fread(rec, 1, 2, f);
  if (got == 0) return ReadResult::End;
  if (got < 2) return ReadResult::Corrupt;
  unsigned L = Load16(rec, false);
  if (L > static_cast<unsigned>(DBM_MAX_PAYLOAD)) return ReadResult::Corrupt;
  if (std::fread(rec + 2, 1, L, f) != L) return ReadResult::Corrupt;
  Unscramble(rec + 2, L);
  return LegacyPayloadOk(rec + 2, L) ? ReadResult::Record : ReadResult::Corrupt;
}

bool Transient(int err) {
  switch (err) {
    case ENOENT: case EACCES: case EPERM: case EISDIR: case ENOTDIR: case ELOOP:
    case ENAMETOOLONG: case EROFS: case EINVAL:
      return false;
    default:
      return true;
  }
}

FILE* OpenReplacement(const char* tmp, const char* target, int newMode) {
  struct stat st;
  mode_t mode;
  bool replaces = stat(target, &st) == 0;
  if (replaces) {
    mode = st.st_mode & 07777;
  } else if (newMode >= 0) {
    mode = static_cast<mode_t>(newMode);
  } else {
    mode_t mask = umask(022);
    umask(mask);
    mode = 0666 & ~mask;
  }
  // A leftover of an earlier failed write, or anything planted under this name, goes.
  if (unlink(tmp) != 0 && errno != ENOENT) {
    std::fprintf(stderr, kCantOpen, tmp);
    return nullptr;
  }
  int fd = open(tmp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::fprintf(stderr, kCantOpen, tmp);
    return nullptr;
  }
  fchmod(fd, mode);
  // Rewritten by root, a file of another owner keeps its owner and group; should that
  // fail, it belongs to root with the same mode, and nothing is lost.
  if (replaces && geteuid() == 0) {
    int owned = fchown(fd, st.st_uid, st.st_gid);
    (void)owned;
  }
  FILE* f = fdopen(fd, "wb");
  if (!f) {
    close(fd);
    unlink(tmp);
    std::fprintf(stderr, kCantOpen, tmp);
  }
  return f;
}

int CommitReplacement(FILE* f, const char* tmp, const char* target, const char* name,
                      FileStamp* stamp) {
  bool ok = std::fflush(f) == 0 && !std::ferror(f) && fsync(fileno(f)) == 0;
  struct stat st;
  if (ok && stamp && fstat(fileno(f), &st) == 0) {
    stamp->Sec = st.st_mtim.tv_sec;
    stamp->Nsec = st.st_mtim.tv_nsec;
    stamp->Ino = st.st_ino;
    stamp->Size = st.st_size;
  }
  if (std::fclose(f) != 0) ok = false;
  if (!ok) {
    std::fprintf(stderr, kCantWrite, name);
    unlink(tmp);
    return 0;
  }
  if (rename(tmp, target) != 0) {
    std::fprintf(stderr, kCantRename, tmp, target, std::strerror(errno));
    unlink(tmp);
    return 0;
  }
  return 1;
}

void DropReplacement(FILE* f, const char* tmp) {
  if (f) std::fclose(f);
  unlink(tmp);
}

bool AppendText(char** buf, size_t* len, std::string_view text) {
  char* grown = static_cast<char*>(AdjustMem(*buf, *len + text.size() + 1));
  if (!grown) return false;
  std::memcpy(grown + *len, text.data(), text.size());
  *len += text.size();
  grown[*len] = '\0';
  *buf = grown;
  return true;
}

}  // namespace dbm
