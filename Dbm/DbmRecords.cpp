// DbmRecords.cpp - record operations on database files: every lookup scans the file,
// every change rewrites it whole through a new file and a rename.
#include <cctype>
#include <cstring>
#include <string_view>

#include "Dbm/Dbm.h"
#include "Dbm/DbmPrivate.h"
#include "MemMgr/MemMgr.h"
#include "SysCmd/SysCmd.h"

int Ent2Get = 0;

namespace {

// File-scope state.
struct State {
  char Rec[DBM_REC_BUF_SIZE];  // the record being read or written
} S;

// Parts of an unscrambled record in S.Rec.
unsigned RecL() { return dbm::Load16(S.Rec, false); }
unsigned RecK() { return dbm::Load16(S.Rec + 2, false); }
const char* RecKey() { return S.Rec + 4; }
const char* RecValue() { return S.Rec + 4 + RecK(); }
unsigned RecValueLen() { return RecL() - 2 - RecK(); }

bool IsKey(const char* key) {
  return RecK() == std::strlen(key) + 1 && std::memcmp(RecKey(), key, RecK()) == 0;
}

// Reads the records of the database in file order into S.Rec and calls fn for each
// until it returns true. True when fn stopped the scan; false at the end, at a
// damaged record or when the database cannot be opened.
template <typename Fn>
bool ForEachRecord(const char* name, Fn fn) {
  FILE* f = OpenDataBase(name, "xdb", "rb", 0);
  if (!f) return false;
  bool stopped = false;
  while (!stopped && GetData(f, S.Rec)) stopped = fn();
  std::fclose(f);
  return stopped;
}

// Rewrites the database without the records of key (keyLen as PurgeRecord) and, when
// value is given, with the new record appended. The old file must exist unless a
// value is added. 1 when the new file replaced the old one.
int Rewrite(const char* name, const char* key, int keyLen, const void* value, unsigned L) {
  char tmp[DBM_PATH_SIZE], target[DBM_PATH_SIZE];
  if (!dbm::DbPath(tmp, sizeof tmp, name, "xdb_new") ||
      !dbm::DbPath(target, sizeof target, name, "xdb")) {
    return 0;
  }
  FILE* in = OpenDataBase(name, "xdb", "rb", 0);
  if (!in && !value) return 0;
  FILE* out = OpenNewDataBase(name);
  if (!out) {
    if (in) std::fclose(in);
    return 0;
  }
  bool ok = !in || PurgeRecord(name, in, out, key, keyLen);
  if (in) std::fclose(in);
  if (ok && value) {
    unsigned k = static_cast<unsigned>(std::strlen(key)) + 1;
    dbm::Store16(S.Rec, static_cast<uint16_t>(L), false);
    dbm::Store16(S.Rec + 2, static_cast<uint16_t>(k), false);
    std::memcpy(S.Rec + 4, key, k);
    std::memcpy(S.Rec + 4 + k, value, L - 2 - k);
    ok = PutData(out, S.Rec);
    if (!ok) std::fprintf(stderr, dbm::kCantWrite, name);
  }
  if (!ok) {
    dbm::DropReplacement(out, tmp);
    return 0;
  }
  return dbm::CommitReplacement(out, tmp, target, name, nullptr);
}

}  // namespace

int DbmPutRecord(const char* name, const char* key, const void* value, int len) {
  if (!name || !key || !value || len <= 0) return 0;
  unsigned L = dbm::RecordPayload(name, key, static_cast<size_t>(len));
  if (!L) return 0;
  dbm::EnsureCwdDb();
  return Rewrite(name, key, 0, value, L);
}

int DbmGetRecord(const char* name, const char* key, void* buf) {
  if (!name || !key || !buf) return 0;
  if (!ForEachRecord(name, [&] { return IsKey(key); })) return 0;
  std::memcpy(buf, RecValue(), RecValueLen());
  return static_cast<int>(RecValueLen());
}

int DbmGetRecordSize(const char* name, const char* key) {
  if (!name || !key) return 0;
  if (!ForEachRecord(name, [&] { return IsKey(key); })) return 0;
  return static_cast<int>(RecValueLen());
}

int DbmGetNextRecord(const char* name, void* buf) {
  if (!name || !buf) return 0;
  int pos = 0;
  if (!ForEachRecord(name, [&] { return pos++ == Ent2Get; })) return 0;
  std::memcpy(buf, RecValue(), RecValueLen());
  Ent2Get++;
  return static_cast<int>(RecValueLen());
}

int DbmDeleteRecord(const char* name, const char* key) {
  if (!name || !key) return 0;
  return Rewrite(name, key, 0, nullptr, 0);
}

int DbmDeleteRecords(const char* name, const char* prefix) {
  if (!name || !prefix || !*prefix) return 0;
  return Rewrite(name, prefix, static_cast<int>(std::strlen(prefix)), nullptr, 0);
}

int DbmCopyRecord(const char* name, const char* from, const char* to) {
  if (!name || !from || !to) return 0;
  int len = DbmGetRecordSize(name, from);
  if (len <= 0) return 0;
  char* value = static_cast<char*>(GetMem(static_cast<size_t>(len)));
  if (!value) return 0;
  int result = DbmGetRecord(name, from, value) == len ? DbmPutRecord(name, to, value, len) : 0;
  PutMem(value);
  return result;
}

char* DbmGetRecordList(const char* name, const char* sep, const char* closing) {
  if (!name) return nullptr;
  std::string_view s = sep ? sep : "", c = closing ? closing : "";
  char* list = nullptr;
  size_t len = 0;
  bool failed = false;
  ForEachRecord(name, [&] {
    failed = !dbm::AppendText(&list, &len, s) || !dbm::AppendText(&list, &len, RecKey());
    return failed;
  });
  if (!list || failed || !dbm::AppendText(&list, &len, c)) {
    PutMem(list);
    return nullptr;
  }
  return list;
}

DbLinkNode* DbmGetDbLinkList(const char* name, const char* pattern) {
  if (!name) return nullptr;
  DbLinkNode* first = nullptr;
  DbLinkNode** tail = &first;
  ForEachRecord(name, [&] {
    if (pattern && !std::strstr(RecKey(), pattern)) return false;
    auto* node = static_cast<DbLinkNode*>(GetMem(sizeof(DbLinkNode)));
    char* copy = static_cast<char*>(GetMem(RecL() - 2 + 1));
    if (!node || !copy) {
      PutMem(node);
      PutMem(copy);
      return true;
    }
    std::memcpy(copy, RecKey(), RecL() - 2);
    node->pKey = copy;
    node->pData = copy + RecK();
    node->DataSize = RecValueLen();
    *tail = node;
    tail = &node->pNext;
    return false;
  });
  return first;
}

void DbmFreeDbLinkList(DbLinkNode* list) {
  while (list) {
    DbLinkNode* next = list->pNext;
    PutMem(list->pKey);
    PutMem(list);
    list = next;
  }
}

char* DbmGetDbList(int blank) {
  char* names = GetDirFileList("db");
  if (!names) return nullptr;
  // The selected names are rebuilt from the start of the same text, which never
  // catches up with the part still to be read.
  size_t total = std::strlen(names);
  size_t out = blank ? 1 : 0;
  bool first = true;
  size_t pos = 0;
  while (pos < total) {
    while (pos < total && names[pos] == ' ') pos++;
    size_t start = pos;
    while (pos < total && names[pos] != ' ') pos++;
    std::string_view entry(names + start, pos - start);
    size_t dot = entry.find('.');
    if (entry.empty() || dot == 0 || dot == std::string_view::npos || entry.substr(dot) != ".xdb") {
      continue;
    }
    if (!first) names[out++] = blank ? ' ' : ',';
    std::memmove(names + out, entry.data(), dot);
    out += dot;
    first = false;
  }
  names[out] = '\0';
  return names;
}

void DumpDbm(const char* name) {
  if (!name) return;
  char path[DBM_PATH_SIZE];
  int n = std::snprintf(path, sizeof path, "%s.db", name);
  if (n < 0 || n >= static_cast<int>(sizeof path)) return;
  FILE* f = std::fopen(path, "rb");
  if (!f) return;
  while (GetData(f, S.Rec)) {
    std::printf("%i %i ==>{", static_cast<int>(RecL()), static_cast<int>(RecK()));
    for (unsigned i = 0; i < RecL() - 2; i++) {
      unsigned char c = static_cast<unsigned char>(S.Rec[4 + i]);
      std::putchar(std::isprint(c) ? c : '.');
    }
    std::printf("}\n");
  }
  std::fclose(f);
}

void DbmCreate(const char*, const char*) {}

void DbmDelete(const char*, const char*) {}
