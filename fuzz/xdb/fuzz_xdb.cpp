// fuzz_xdb.cpp - fuzz target of the record database readers and writers. The input is
// "<flags byte><file image>": the image, legacy or typed, is read by the scanning
// interface (lookups, lists, the record walk, the dump) and by the typed interface (its
// walk, lookups and lists), then changed through both; a record stored must read back,
// and a damaged file must never be rewritten.
#include "Dbm/Dbm.h"
#include "fuzz/support/FuzzSupport.h"

namespace {

constexpr const char* kName = "fz";
constexpr char kValue[] = "value\0with zero";
char buf[DBM_REC_BUF_SIZE];

void Typed(DbTHandle* h, const std::string& key) {
  DbTRec rec;
  int n = 0;
  for (DbTRec* r = WalkDbTRecords(h, &rec, 0); r != nullptr; r = WalkDbTRecords(h, &rec, 1)) {
    fuzz::Check(++n <= 70000, "the record walk comes to an end");
    std::vector<char> k(rec.k + 1u);
    if (h->Type == DBT_TYPED) DbmTGetData(h, k.data(), rec.k);
  }
  char* value = nullptr;
  DbmTGetRecordV(h, key.c_str(), &value, 0);
  PutMem(value);
  DbmTGetRecord(h, "a", buf);
  DbmTGetRecordSize(h, key.c_str());
  PutMem(DbmTGetRecordList(h, ",", ","));
  PutMem(DbmTGetRecordListS(h, key.c_str(), " ", ""));
  DbmFreeDbLinkList(DbmTGetDbLinkList(h, key.c_str()));
}

void Readers(const std::string& file, const std::string& image, const std::string& key, uint8_t flags) {
  DbmGetRecord(kName, key.c_str(), buf);
  DbmGetRecordSize(kName, "a");
  PutMem(DbmGetRecordList(kName, ",", ","));
  DbmFreeDbLinkList(DbmGetDbLinkList(kName, ""));
  DbmFreeDbLinkList(DbmGetDbLinkList(kName, key.c_str()));
  Ent2Get = 0;
  for (int i = 0; i < 70000 && DbmGetNextRecord(kName, buf) != 0; ++i) {
  }
  PutMem(DbmGetDbList(1));
  const std::string dumped = file.substr(0, file.size() - 4);
  fuzz::WriteFile(dumped + ".db", image);
  DumpDbm(dumped.c_str());
  for (int pass = 0; pass < 2; ++pass) {
    DbTHandle* h = pass == 0 ? DbTOpen(kName, (flags & 0x10) != 0 ? DBT_NO_REFRESH : 0)
                             : DbTOpenPath(file.c_str(), DBT_NO_WRITEBACK);
    if (h == nullptr) continue;
    Typed(h, key);
    DbTClose(h);
  }
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
    fuzz::Check(got == len && std::memcmp(buf, kValue, len) == 0,
                typed ? "a record stored in the image reads back" : "a record stored in the file reads back", key);
  }
  if (put == 0 && !key.empty()) {
    char* text = GetSavedFileContent(file.c_str(), nullptr);
    fuzz::Check(text != nullptr ? std::string(text, static_cast<size_t>(SavedFileSize)) == image : image.empty(),
                "a refused change leaves the file as it was");
    PutMem(text);
  }
  if (typed) {
    DbmTDeleteRecords(h, "a");
    DbTClose(h);
    return;
  }
  DbmDeleteRecord(kName, "a");
  DbmDeleteRecords(kName, "ke");
}

}  // namespace

void fuzz::Setup() {
  const std::string tool = InScratch("tool");
  MakeDirs(tool + "/db");
  pToolPath = SaveStr_(tool.c_str());
  // The scanning interface also lists the folder "db" of the current directory.
  Check(chdir(tool.c_str()) == 0, "the tool folder is reachable");
  // The decode buffer of legacy images is made on first use and kept: make it now, so
  // that the inputs' balance of managed memory does not count it.
  WriteFile(tool + "/db/fz.xdb", std::string("\x07\x00\x02\x61\x61\x78\x01\x03\x7a", 9));
  if (DbTHandle* h = DbTOpen(kName, 0)) {
    DbTRec rec;
    WalkDbTRecords(h, &rec, 0);
    DbTClose(h);
  }
}

void fuzz::Run(std::string_view input) {
  static const std::string file = InScratch("tool/db/fz.xdb");
  static const char* const kKeys[] = {"a", "key", "", "ab", "25_201", "x\xff", "k", "abc"};
  if (input.empty()) return;
  const uint8_t flags = TakeByte(input);
  const std::string image(input), key = kKeys[flags % 8];
  WriteFile(file, image);
  CheckReleased("the readers release what they take", [&] { Readers(file, image, key, flags); });
  WriteFile(file, image);
  Changes(file, image, key, (flags & 0x20) != 0);
}
