// ComList.cpp - the table of host commands and where each lives on this host: the
// system directories first, then the user's PATH.
#include "SysCmd/SysCmd.h"

#include "MemMgr/MemMgr.h"

#include <cstdlib>
#include <cstring>

// Callers name a command by its index, so the indexes never change.
ComListEntry ComList[COM_LIST_SIZE] = {
    {"", "", nullptr, 0},                   // 0
    {"", "", nullptr, 0},                   // 1
    {"cancel", "", nullptr, 2},             // 2
    {"cat", "", nullptr, 0},                // 3
    {"chgrp", "", nullptr, 0},              // 4
    {"chmod", "", nullptr, 0},              // 5
    {"chown", "", nullptr, 0},              // 6
    {"clear", "", nullptr, 0},              // 7
    {"compress", "", nullptr, 0},           // 8
    {"cp", "-p", nullptr, 0},               // 9
    {"cp", "-pr", nullptr, 0},              // 10
    {"cupsd", "", nullptr, 0},              // 11
    {"id", "", nullptr, 0},                 // 12
    {"echo", "", nullptr, 0},               // 13
    {"eject", "-f", nullptr, 1},            // 14
    {"eject", "-q", nullptr, 1},            // 15
    {"file", "", nullptr, 0},               // 16
    {"ln", "", nullptr, 0},                 // 17
    {"lp", "", nullptr, 0},                 // 18
    {"lpc", "", nullptr, 1},                // 19
    {"lpr", "", nullptr, 0},                // 20
    {"lprm", "", nullptr, 1},               // 21
    {"lpstat", "", nullptr, 1},             // 22
    {"ls", "", nullptr, 0},                 // 23
    {"kill", "-KILL", nullptr, 0},          // 24
    {"mv", "-f", nullptr, 0},               // 25
    {"mkdir", "-p", nullptr, 0},            // 26
    {"more", "", nullptr, 0},               // 27
    {"ping", "", nullptr, 0},               // 28
    {"rm", "-f", nullptr, 0},               // 29
    {"rm", "-rf", nullptr, 0},              // 30
    {"sh", "", nullptr, 0},                 // 31
    {"sleep", "", nullptr, 0},              // 32
    {"tar", "cvfp", nullptr, 0},            // 33
    {"tar", "xvfp", nullptr, 0},            // 34
    {"touch", "", nullptr, 0},              // 35
    {"uncompress", "", nullptr, 0},         // 36
    {"whoami", "", nullptr, 0},             // 37
    {"zcat", "", nullptr, 0},               // 38
    {"uname", "", nullptr, 0},              // 39
    {"sed", "", nullptr, 0},                // 40
    {"du", "-s", nullptr, 0},               // 41
    {"checkpc", "", nullptr, 0},            // 42
    {"lpd", "", nullptr, 0},                // 43
    {"pkgadd", "", nullptr, 1},             // 44
    {"pkginfo", "", nullptr, 0},            // 45
    {"pkgrm", "", nullptr, 1},              // 46
    {"accept", "", nullptr, 1},             // 47
    {"disable", "", nullptr, 1},            // 48
    {"enable", "", nullptr, 1},             // 49
    {"lpadmin", "", nullptr, 1},            // 50
    {"lpfilter", "", nullptr, 1},           // 51
    {"lpsched", "", nullptr, 1},            // 52
    {"lpshut", "", nullptr, 1},             // 53
    {"lpsystem", "", nullptr, 1},           // 54
    {"ps", "-ace", nullptr, 0},             // 55
    {"bar", "", nullptr, 0},                // 56
    {"df", "", nullptr, 0},                 // 57
    {"lpq", "-P", nullptr, 0},              // 58
    {"ypcat", "", nullptr, 0},              // 59
    {"reject", "", nullptr, 1},             // 60
    {"pmadm", "", nullptr, 1},              // 61
    {"sacadm", "", nullptr, 1},             // 62
    {"volcheck", "", nullptr, 0},           // 63
    {"capture", "", nullptr, 0},            // 64
    {"lpset", "", nullptr, 1},              // 65
    {"instnetpr", "", nullptr, 1},          // 66
    {"piomkpq", "", nullptr, 0},            // 67
    {"piomisc_ext", "", nullptr, 0},        // 68
    {"piomisc_base", "", nullptr, 0},       // 69
    {"lsallq", "", nullptr, 0},             // 70
    {"mkque", "", nullptr, 0},              // 71
    {"mkquedev", "", nullptr, 0},           // 72
    {"rmque", "", nullptr, 0},              // 73
    {"rmquedev", "", nullptr, 0},           // 74
    {"piochdfq", "", nullptr, 0},           // 75
    {"enq", "", nullptr, 0},                // 76
    {"lsquedev", "", nullptr, 0},           // 77
    {"lsque", "", nullptr, 0},              // 78
    {"startsrc", "", nullptr, 1},           // 79
    {"stopsrc", "", nullptr, 0},            // 80
    {"lssrc", "", nullptr, 0},              // 81
    {"gpgv", "", nullptr, 0},               // 82: checks a distribution's signature
    {nullptr, nullptr, nullptr, 0},         // 83: end of the table
};

char SearchPaths[] = "/usr/sbin:/usr/bin:/bin:/sbin:/etc:/usr/etc";
char* FullSearchPath = nullptr;
char flInitSysCmd = 1;
char flSysCmdLog = 0;

namespace {

constexpr size_t kDirSize = 4096;   // one element of the search path

struct {
  bool scanned = false;  // SearchPaths has been split by the bulk scan
} S;

// Closes a directory stream when the scope ends.
struct DirCloser {
  DIR* d;
  ~DirCloser() {
    if (d != nullptr) closedir(d);
  }
};

// Builds FullSearchPath once: the system directories, ':', then PATH (an unset
// PATH counts as empty). Must run before the bulk scan splits SearchPaths.
void BuildFullSearchPath() {
  if (FullSearchPath != nullptr) return;
  char* path = GetEnv("PATH");
  FullSearchPath = SaveStr("%s:%s", SearchPaths, path != nullptr ? path : "");
  PutMem(path);
}

// Runs FillCmdPaths over the ':'-separated directories of list (split in place,
// empty elements skipped) while some entry is unresolved. Returns the last result.
int ScanDirectories(char* list, int pending) {
  char* save = nullptr;
  for (char* dir = strtok_r(list, ":", &save); dir != nullptr && pending;
       dir = strtok_r(nullptr, ":", &save)) {
    pending = FillCmdPaths(dir);
  }
  return pending;
}

// True for an index of a named entry (2 to 82).
bool IsCommandIndex(int index) { return index > 1 && index <= CMD_LAST; }

// The lookup that precedes every use of an index while entries still resolve
// lazily (before InitSysCmdList).
void ResolveLazily(int index) {
  if (flInitSysCmd && IsCommandIndex(index) && ComList[index].pPath == nullptr) FillCmdPath(index);
}

}  // namespace

// Resolves every entry once: the system directories in order, then the elements
// of PATH; sets SHELL to "<dir>/sh " (left alone when sh is nowhere) and, with
// logging on, switches command logging on and logs "initializing system".
void InitSysCmdList() {
  flInitSysCmd = 0;
  if (!S.scanned) {
    S.scanned = true;
    char* path = GetEnv("PATH");
    BuildFullSearchPath();
    // Resolved entries point into SearchPaths and into this copy of PATH, so
    // neither is ever released.
    int pending = ScanDirectories(SearchPaths, 1);
    if (pending && path != nullptr) ScanDirectories(path, pending);
    const ComListEntry& sh = ComList[CMD_SH];
    if (sh.pPath != nullptr) putenv(SaveStr("SHELL=%s/%s ", sh.pPath, sh.pName));
  }
  if (flUseLog) {
    flSysCmdLog = 1;
    PutLogMsg("initializing system\n");
  }
}

// Resolves the unresolved entries that dir lists; dir is stored, not copied, so it
// must live for the rest of the run. 1 when dir cannot be listed or some entry
// from index 2 on is still unresolved, else 0.
int FillCmdPaths(char* dir) {
  char* list = GetDirFileList(dir);
  if (list == nullptr) return 1;
  int pending = 0;
  for (int i = 2; i <= CMD_LAST; ++i) {
    ComListEntry& e = ComList[i];
    if (e.pPath == nullptr && FindToken(e.pName, list) > 0) e.pPath = dir;
    if (e.pPath == nullptr) pending = 1;
  }
  PutMem(list);
  return pending;
}

// Resolves one entry along FullSearchPath (built on first need): the first
// directory listing the command's name wins and a managed copy of it is kept.
// 1 when found, 0 when not (or for an index without a name).
int FillCmdPath(int index) {
  if (!IsCommandIndex(index)) return 0;
  BuildFullSearchPath();
  ComListEntry& e = ComList[index];
  for (const char* p = FullSearchPath; *p != '\0';) {
    const size_t len = std::strcspn(p, ":");
    if (len > 0 && len < kDirSize) {
      char dir[kDirSize];
      std::memcpy(dir, p, len);
      dir[len] = '\0';
      if (FindFile(dir, e.pName)) {
        e.pPath = SaveStr_(dir);
        return 1;
      }
    }
    p += len;
    if (*p == ':') ++p;
  }
  return 0;
}

// 1 when the index is above 1 and its entry is resolved (looked up first while
// entries still resolve lazily), else 0.
int TestCmd(int index) {
  if (!IsCommandIndex(index)) return 0;
  ResolveLazily(index);
  return ComList[index].pPath != nullptr ? 1 : 0;
}

// New managed "<dir>/<name> <flags>" (one blank at the end for an entry without
// default arguments), or null when unresolved; the caller releases it with PutMem.
char* GetCmd(int index) {
  if (!IsCommandIndex(index)) return nullptr;
  ResolveLazily(index);
  const ComListEntry& e = ComList[index];
  if (e.pPath == nullptr) return nullptr;
  return SaveStr("%s/%s %s", e.pPath, e.pName, e.pFlags);
}

// New managed "<dir>/<name>" for a resolved entry up to index 82, else null; the
// caller releases it with PutMem.
char* GetCmdNoFlags(int index) {
  if (!IsCommandIndex(index)) return nullptr;
  ResolveLazily(index);
  const ComListEntry& e = ComList[index];
  if (e.pPath == nullptr) return nullptr;
  return SaveStr("%s/%s", e.pPath, e.pName);
}

// Name of the stream's next entry (valid until the next read), or null at the end.
char* ReadDir(DIR* dir) {
  if (dir == nullptr) return nullptr;
  struct dirent* entry = readdir(dir);
  return entry != nullptr ? entry->d_name : nullptr;
}

// New managed " n1 n2 ... " of every entry of dir, "." and ".." included, in the
// stream's order; null when dir cannot be opened or memory runs out. The caller
// releases it with PutMem.
char* GetDirFileList(const char* dir) {
  if (dir == nullptr) return nullptr;
  DirCloser d{opendir(dir)};
  if (d.d == nullptr) return nullptr;
  size_t total = 0;
  while (const char* name = ReadDir(d.d)) total += std::strlen(name) + 1;
  const size_t size = total + 3;
  char* list = static_cast<char*>(GetMem(size));
  if (list == nullptr) return nullptr;
  rewinddir(d.d);
  // Names that appeared since the first pass are left out rather than written
  // past the end; the final blank always has its place.
  size_t used = 0;
  while (const char* name = ReadDir(d.d)) {
    const size_t len = std::strlen(name);
    if (used + 1 + len + 2 > size) continue;
    list[used++] = ' ';
    std::memcpy(list + used, name, len);
    used += len;
  }
  list[used++] = ' ';
  list[used] = '\0';
  return list;
}
