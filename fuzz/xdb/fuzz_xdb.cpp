// fuzz_xdb.cpp - fuzz target of the record database readers and writers. The input
// is "<flags byte><file image>": the image, legacy or typed, is read by the scanning
// interface (lookups, lists, the record walk, the dump) and by the typed interface
// (its walk, lookups and lists), then changed through both; a record stored must
// read back, and a damaged file must never be rewritten.
#include "Dbm/Dbm.h"
#include "fuzz/support/FuzzSupport.h"
#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr const char* kName = "fz";

struct {
  std::string file;  // <tool>/db/fz.xdb
  std::vector<char> buf = std::vector<char>(DBM_REC_BUF_SIZE);
} S;

std::string ReadBack() {
  char* text = GetSavedFileContent(S.file.c_str(), nullptr);
  std::string content =
      text != nullptr ? std::string(text, static_cast<size_t>(SavedFileSize)) : std::string();
  PutMem(text);
  return content;
}

void Scanning(const std::string& key) {
  DbmGetRecord(kName, key.c_str(), S.buf.data());
  DbmGetRecordSize(kName, "a");
  PutMem(DbmGetRecordList(kName, ",", ","));
  DbmFreeDbLinkList(DbmGetDbLinkList(kName, ""));
  DbmFreeDbLinkList(DbmGetDbLinkList(kName, key.c_str()));
  Ent2Get = 0;
  for (int i = 0; i < 70000 && DbmGetNextRecord(kName, S.buf.data()) != 0; ++i) {
  }
  PutMem(DbmGetDbList(1));
}

void Typed(DbTHandle* h, const std::string& key) {
  DbTRec rec;
  int n = 0;
  for (DbTRec* r = WalkDbTRecords(h, &rec, 0); r != nullptr; r = WalkDbTRecords(h, &rec, 1)) {
    fuzz::Check(++n <= 70000, "the record walk comes to an end");
    if (h->Type == DBT_TYPED) {
      std::vector<char> k(rec.k + 1u);
      DbmTGetData(h, k.data(), rec.k);
    }
  }
  char* value = nullptr;
  DbmTGetRecordV(h, key.c_str(), &value, 0);
  PutMem(value);
  DbmTGetRecord(h, "a", S.buf.data());
  DbmTGetRecordSize(h, key.c_str());
  PutMem(DbmTGetRecordList(h, ",", ","));
  PutMem(DbmTGetRecordListS(h, key.c_str(), " ", ""));
  DbmFreeDbLinkList(DbmTGetDbLinkList(h, key.c_str()));
}

// A record stored must come back whole; a file that refused the change must be
// left exactly as it was.
void Changes(const std::string& key, const std::string& image, bool typedFirst) {
  static const char kValue[] = "value\0with zero";
  const int len = sizeof kValue;
  if (typedFirst) {
    DbTHandle* h = DbTOpen(kName, 0);
    if (h == nullptr) return;
    const int put = DbmTPutRecord(h, key.c_str(), kValue, len);
    if (put == 1 && !key.empty()) {
      fuzz::Check(
          DbmTGetRecord(h, key.c_str(), S.buf.data()) == len && std::memcmp(S.buf.data(), kValue, len) == 0,
          "a record stored in the image reads back", key);
    }
    if (put == 0 && !key.empty())
      fuzz::Check(ReadBack() == image, "a refused change leaves the file as it was");
    DbmTDeleteRecords(h, "a");
    DbTClose(h);
    return;
  }
  const int put = DbmPutRecord(kName, key.c_str(), kValue, len);
  if (put == 1) {
    fuzz::Check(
        DbmGetRecord(kName, key.c_str(), S.buf.data()) == len && std::memcmp(S.buf.data(), kValue, len) == 0,
        "a record stored in the file reads back", key);
  } else if (!key.empty()) {
    fuzz::Check(ReadBack() == image, "a refused change leaves the file as it was");
  }
  DbmDeleteRecord(kName, "a");
  DbmDeleteRecords(kName, "ke");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Init();
  const std::string tool = fuzz::InScratch("tool");
  fuzz::MakeDirs(tool + "/db");
  pToolPath = SaveStr_(tool.c_str());
  S.file = tool + "/db/" + kName + ".xdb";
  // The scanning interface also lists the folder "db" of the current directory.
  if (chdir(tool.c_str()) != 0) fuzz::Check(false, "the tool folder is reachable");
  // The decode buffer of legacy images is made on first use and kept: make it now,
  // so that the inputs' balance of managed memory does not count it.
  fuzz::WriteFile(S.file, std::string("\x07\x00\x02\x61\x61\x78\x01\x03\x7a", 9));
  if (DbTHandle* h = DbTOpen(kName, 0)) {
    DbTRec rec;
    WalkDbTRecords(h, &rec, 0);
    DbTClose(h);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  const std::string image(reinterpret_cast<const char*>(data + 1), size - 1);
  static const char* const kKeys[] = {"a", "key", "", "ab", "25_201", "x\xff", "k", "abc"};
  const std::string key = kKeys[flags % 8];
  fuzz::WriteFile(S.file, image);
  const long before = fuzz::ManagedInUse();

  Scanning(key);
  const std::string dumped = S.file.substr(0, S.file.size() - 4);
  fuzz::WriteFile(dumped + ".db", image);
  DumpDbm(dumped.c_str());
  if (DbTHandle* h = DbTOpen(kName, (flags & 0x10) != 0 ? DBT_NO_REFRESH : 0)) {
    Typed(h, key);
    DbTClose(h);
  }
  if (DbTHandle* h = DbTOpenPath(S.file.c_str(), DBT_NO_WRITEBACK)) {
    Typed(h, key);
    DbTClose(h);
  }
  fuzz::Check(fuzz::ManagedInUse() == before, "the readers release what they take");
  fuzz::WriteFile(S.file, image);
  Changes(key, image, (flags & 0x20) != 0);
  return 0;
}
