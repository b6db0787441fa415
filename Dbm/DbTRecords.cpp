// DbTRecords.cpp - record operations of the typed record database: lookups over the
// memory image, changes made in the image and written back whole.
#include <climits>
#include <cstring>
#include <string_view>

#include "Dbm/Dbm.h"
#include "Dbm/DbmPrivate.h"
#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

namespace {

// File-scope state.
struct State {
  char Key[DBM_REC_BUF_SIZE];      // the key of the record being walked
  char Payload[DBM_REC_BUF_SIZE];  // a legacy payload being built
  char Name[DBM_REC_BUF_SIZE];     // one name of a TestKeyName list
} S;

// Operations see the file's current content unless the handle says otherwise.
void Refresh(DbTHandle* h) {
  if (!(h->Flags & DBT_NO_REFRESH)) DbTUpDate(h);
}

// Writes a change back unless the handle batches its changes. After a failed
// write-back the next operation reloads the file, so that the handle shows what is
// stored rather than the change that was not.
int WriteBack(DbTHandle* h) {
  if (h->Flags & DBT_NO_WRITEBACK) return 1;
  if (DbmTArchiveDb(h)) return 1;
  h->FileSize = -1;
  return 0;
}

int ValueLen(const DbTRec& rec) { return rec.L - 2 - rec.k; }

// Copies the value of the record just found or walked past its key into dest.
void ReadValue(DbTHandle* h, const DbTRec& rec, void* dest) {
  if (h->Type == DBT_LEGACY) {
    std::memcpy(dest, rec.pKey + rec.k, static_cast<size_t>(ValueLen(rec)));
  } else {
    DbmTGetData(h, dest, ValueLen(rec));
  }
}

// The unscrambled key of the record just walked; a typed image's Cursor then stands
// at the value.
const char* WalkedKey(DbTHandle* h, const DbTRec& rec) {
  if (h->Type == DBT_LEGACY) return rec.pKey;
  DbmTGetData(h, S.Key, rec.k);
  return S.Key;
}

// The key list of DbmTGetRecordList(S); names null selects every key.
char* KeyList(DbTHandle* h, const char* names, const char* sep, const char* closing) {
  Refresh(h);
  std::string_view s = sep ? sep : "", c = closing ? closing : "";
  char* list = nullptr;
  size_t len = 0;
  DbTRec rec;
  for (DbTRec* r = WalkDbTRecords(h, &rec, 0); r; r = WalkDbTRecords(h, &rec, 1)) {
    const char* key = WalkedKey(h, rec);
    if (names && !TestKeyName(key, names)) continue;
    if (!dbm::AppendText(&list, &len, s) || !dbm::AppendText(&list, &len, key)) {
      PutMem(list);
      return nullptr;
    }
  }
  if (list && !dbm::AppendText(&list, &len, c)) {
    PutMem(list);
    return nullptr;
  }
  return list;
}

}  // namespace

int DbmTGetRecord(DbTHandle* h, const char* key, void* buf) {
  if (!h || !key || !buf) return 0;
  Refresh(h);
  DbTRec rec;
  if (!FindTRecord(h, key, &rec)) return 0;
  ReadValue(h, rec, buf);
  return ValueLen(rec);
}

int DbmTGetRecordV(DbTHandle* h, const char* key, char** pBuf, int cap) {
  if (!h || !key || !pBuf) return 0;
  Refresh(h);
  DbTRec rec;
  if (!FindTRecord(h, key, &rec)) return 0;
  int len = ValueLen(rec);
  if (len > cap || !*pBuf) {
    char* grown = static_cast<char*>(GetMem(static_cast<size_t>(len) + 1));
    if (!grown) return 0;
    *pBuf = grown;
  }
  ReadValue(h, rec, *pBuf);
  return len;
}

int DbmTGetRecordSize(DbTHandle* h, const char* key) {
  if (!h || !key) return 0;
  Refresh(h);
  DbTRec rec;
  return FindTRecord(h, key, &rec) ? ValueLen(rec) : 0;
}

int DbmTPutRecord(DbTHandle* h, const char* key, const void* value, int len) {
  if (!h || !key || !value || len <= 0) return 0;
  Refresh(h);
  unsigned L = dbm::RecordPayload(h->pName, key, static_cast<size_t>(len));
  if (!L || dbm::RefuseDamaged(h)) return 0;
  if (h->Size > INT32_MAX - 2 * DBM_REC_BUF_SIZE) return 0;  // the image's offsets are 32-bit
  bool legacy = h->Type == DBT_LEGACY;
  // Room for the new record is made first: when memory runs out, nothing changed.
  int32_t base = h->Size == 0 && !legacy ? DBT_HEADER_SIZE : h->Size;
  char* grown = static_cast<char*>(AdjustMem(h->pImage, static_cast<size_t>(base) + L + 2));
  if (!grown) return 0;
  h->pImage = grown;
  if (h->Type == DBT_NEW) DbTSetDbType(h, DBT_TYPED);
  h->Size = base;
  dbm::PurgeImage(h, key, 0, false);

  uint16_t k = static_cast<uint16_t>(std::strlen(key) + 1);
  h->Cursor = h->Size;
  h->Size += static_cast<int32_t>(2 + L);
  dbm::Store16(h->pImage + h->Cursor, static_cast<uint16_t>(L), h->Swap);
  h->Cursor += 2;
  if (legacy) {
    dbm::Store16(S.Payload, k, h->Swap);
    std::memcpy(S.Payload + 2, key, k);
    std::memcpy(S.Payload + 2 + k, value, static_cast<size_t>(len));
    DbmTPutData(h, S.Payload, static_cast<int>(L));
  } else {
    dbm::Store16(h->pImage + h->Cursor, k, h->Swap);
    h->Cursor += 2;
    DbmTPutData(h, key, k);
    DbmTPutData(h, value, len);
    h->Count++;
  }
  h->Changed = 1;
  return WriteBack(h);
}

int DbmTDeleteRecord(DbTHandle* h, const char* key) {
  if (!h || !key) return 0;
  Refresh(h);
  if (dbm::RefuseDamaged(h) || !PurgeTRecord(h, key, 0)) return 0;
  return WriteBack(h);
}

int DbmTDeleteRecords(DbTHandle* h, const char* prefix) {
  if (!h || !prefix || !*prefix) return 0;
  Refresh(h);
  if (dbm::RefuseDamaged(h)) return 0;
  if (!PurgeTRecord(h, prefix, static_cast<int>(std::strlen(prefix)))) return 1;
  return WriteBack(h);
}

int DbmTCopyRecord(DbTHandle* h, const char* from, const char* to) {
  if (!h || !from || !to) return 0;
  Refresh(h);
  DbTRec rec;
  if (!FindTRecord(h, from, &rec) || ValueLen(rec) <= 0) return 0;
  char* value = static_cast<char*>(GetMem(static_cast<size_t>(ValueLen(rec))));
  if (!value) return 0;
  ReadValue(h, rec, value);
  int result = DbmTPutRecord(h, to, value, ValueLen(rec));
  PutMem(value);
  return result;
}

char* DbmTGetRecordList(DbTHandle* h, const char* sep, const char* closing) {
  if (!h) return nullptr;
  return KeyList(h, nullptr, sep, closing);
}

char* DbmTGetRecordListS(DbTHandle* h, const char* names, const char* sep,
                         const char* closing) {
  if (!h || !names) return nullptr;
  return KeyList(h, names, sep, closing);
}

int TestKeyName(const char* key, const char* names) {
  if (!key || !names) return 0;
  // The caller's own scan of the shared tokenizer is left alone.
  char* cursor = nullptr;
  char* input = const_cast<char*>(names);  // GetTokenD only reads its input
  for (char* name = GetTokenD(input, ",", &cursor, S.Name, sizeof S.Name); name;
       name = GetTokenD(nullptr, ",", &cursor, S.Name, sizeof S.Name)) {
    if (std::strncmp(key, name, std::strlen(name)) == 0) return 1;
  }
  return 0;
}

DbLinkNode* DbmTGetDbLinkList(DbTHandle* h, const char* pattern) {
  if (!h) return nullptr;
  Refresh(h);
  DbLinkNode* first = nullptr;
  DbLinkNode** tail = &first;
  DbTRec rec;
  for (DbTRec* r = WalkDbTRecords(h, &rec, 0); r; r = WalkDbTRecords(h, &rec, 1)) {
    const char* key = WalkedKey(h, rec);
    if (pattern && !std::strstr(key, pattern)) continue;
    auto* node = static_cast<DbLinkNode*>(GetMem(sizeof(DbLinkNode)));
    char* copy = static_cast<char*>(GetMem(static_cast<size_t>(rec.L) - 2 + 1));
    if (!node || !copy) {
      PutMem(node);
      PutMem(copy);
      break;
    }
    std::memcpy(copy, key, rec.k);
    ReadValue(h, rec, copy + rec.k);
    node->pKey = copy;
    node->pData = copy + rec.k;
    node->DataSize = ValueLen(rec);
    *tail = node;
    tail = &node->pNext;
  }
  return first;
}
