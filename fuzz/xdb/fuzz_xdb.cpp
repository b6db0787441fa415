// fuzz_xdb.cpp - fuzz target of the record database readers and writers. The input is
// "<flags byte><file image>": the image, legacy or typed, is read by the scanning
// interface (lookups, lists, the record walk, the dump) and by the typed interface (its
// walk, lookups and lists), then changed through both; a record stored must read back,
// and a damaged file must never be rewritten. A walk that never ends shows as a slow input.
#include "Dbm/Dbm.h"
#include "fuzz/support/FuzzSupport.h"

namespace {

constexpr const char* kName = "fz";
constexpr char kValue[] = "value\0with zero";
char buf[DBM_REC_BUF_SIZE];

// Reads an open file through the typed interface, then closes it.
void Typed(DbTHandle* h, const std::string& key) {
  DbTRec rec;
  for (DbTRec* r = WalkDbTRecords(h, &rec, 0); r != nullptr; r = WalkDbTRecords(h, &rec, 1))
    if (h->Type == DBT_TYPED) DbmTGetData(h, std::vector<char>(rec.k + 1u).data(), rec.k);
  char* value = nullptr;
  DbmTGetRecordV(h, key.c_str(), &value, 0);
  PutMem(value);
  DbmTGetRecord(h, "a", buf);
  PutMem(DbmTGetRecordList(h, ",", ","));
  PutMem(DbmTGetRecordListS(h, key.c_str(), " ", ""));
  DbmFreeDbLinkList(DbmTGetDbLinkList(h, key.c_str()));
  DbTClose(h);
}

void Readers(const std::string& file, const std::string& image, const std::string& key, uint8_t flags) {
  DbmGetRecord(kName, key.c_str(), buf);
  PutMem(DbmGetRecordList(kName, ",", ","));
  DbmFreeDbLinkList(DbmGetDbLinkList(kName, key.c_str()));
  Ent2Get = 0;
  while (DbmGetNextRecord(kName, buf) != 0) {}
  const std::string dumped = file.substr(0, file.size() - 4);
  fuzz::WriteFile(dumped + ".db", image);
  DumpDbm(dumped.c_str());
  if (DbTHandle* h = DbTOpen(kName, (flags & 0x10) != 0 ? DBT_NO_REFRESH : 0)) Typed(h, key);
  if (DbTHandle* h = DbTOpenPath(file.c_str(), DBT_NO_WRITEBACK)) Typed(h, key);
}

// A record stored must come back whole; a file that refused the change must be left
// exactly as it was.
void Changes(const std::string& file, const std::string& image, const std::string& key, bool typed) {
  const int len = sizeof kValue;
  DbTHandle* h = typed ? DbTOpen(kName, 0) : nullptr;
  if (typed && h == nullptr) return;
  const int put = typed ? DbmTPutRecord(h, key.c_str(), kValue, len) : DbmPutRecord(kName, key.c_str(), kValue, len);
  if (put == 1 && (!typed || !key.empty())) {
    const int got = typed ? DbmTGetRecord(h, key.c_str(), buf) : DbmGetRecord(kName, key.c_str(), buf);
    fuzz::Check(got == len && std::memcmp(buf, kValue, len) == 0, "a record stored reads back", key);
  }
  if (put == 0 && !key.empty()) {
    char* text = GetSavedFileContent(file.c_str(), nullptr);
    fuzz::Check(text != nullptr ? std::string(text, static_cast<size_t>(SavedFileSize)) == image : image.empty(),
                "a refused change leaves the file as it was");
    PutMem(text);
  }
  if (typed) {
    DbmTDeleteRecords(h, "a");
    return DbTClose(h);
  }
  DbmDeleteRecord(kName, "a");
  DbmDeleteRecords(kName, "ke");
}

}  // namespace

void fuzz::Setup() {
  const std::string tool = InScratch("tool"), legacy("\x07\x00\x02\x61\x61\x78\x01\x03\x7a", 9);
  pToolPath = SaveStr_(tool.c_str());
  WriteFile(tool + "/db/fz.xdb", legacy);
  // The scanning interface also lists the folder "db" of the current directory.
  Check(chdir(tool.c_str()) == 0, "the tool folder is reachable");
  // The decode buffer of legacy images is made on first use and kept: a legacy image
  // read now makes it, so that the inputs' balance of managed memory does not count it.
  Readers(tool + "/db/fz.xdb", legacy, "a", 0);
}

void fuzz::Run(std::string_view input) {
  static const std::string file = InScratch("tool/db/fz.xdb");
  static const char* const kKeys[] = {"a", "key", "", "ab", "25_201", "x\xff", "k", "abc"};
  const uint8_t flags = TakeByte(input);
  const std::string image(input), key = kKeys[flags % 8];
  WriteFile(file, image);
  CheckReleased("the readers release what they take", [&] { Readers(file, image, key, flags); });
  WriteFile(file, image);
  Changes(file, image, key, (flags & 0x20) != 0);
}
