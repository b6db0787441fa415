// fuzz_catalog.cpp - fuzz target of the catalogue compiler: the input is a catalogue
// source (first byte: long texts allowed when odd), compiled into a scratch tool
// folder; a compiled catalogue is opened and read back by set and number and by key.
#include "Dbm/Dbm.h"
#include "NlsUtils/Nls.h"
#include "fuzz/support/FuzzSupport.h"
#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

#include <cstring>
#include <string>

namespace {

struct {
  std::string tool;    // the tool folder the catalogue is compiled into
  std::string source;  // the source file
} S;

// Every record of the compiled catalogue, fetched as the library fetches texts.
void ReadBack() {
  DbTHandle* db = DbTOpenPath((S.tool + "/db/en_US/Fz.xdb").c_str(), 0);
  fuzz::Check(db != nullptr, "a compiled catalogue opens");
  DbTRec rec;
  for (DbTRec* r = WalkDbTRecords(db, &rec, 0); r != nullptr; r = WalkDbTRecords(db, &rec, 1)) {
    fuzz::Check(rec.k > 0 && rec.L >= rec.k + 2, "a compiled record is whole");
  }
  char buf[NLS_REC_SIZE];
  std::memset(buf, 0, sizeof buf);
  NlsFetchString(db, buf, NLS_KIND_NUM, 25, 201);
  fuzz::Check(std::memchr(buf, '\0', sizeof buf) != nullptr, "a fetched text fits the record buffer");
  char* text = NlsFetchString(db, nullptr, NLS_KIND_LONG, 25, 1003);
  if (text != nullptr && std::strcmp(text, "25_1003") != 0) PutMem(text);
  std::memset(buf, 0, sizeof buf);
  NlsFetchString(db, buf, NLS_KIND_KEY, "TVATTYMENU_SAVE");
  DbTClose(db);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Init();
  S.tool = fuzz::InScratch("tool");
  S.source = fuzz::InScratch("Fz.msg");
  fuzz::MakeDirs(S.tool);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool allowLong = (data[0] & 1) != 0;
  fuzz::WriteFile(S.source, std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  fuzz::EmptyDir(S.tool);
  const int status = NlsCompileCatalog(S.source.c_str(), S.tool.c_str(), "en_US", "Fz", allowLong);
  fuzz::Check(status == 0 || status == 1, "the compiler ends with 0 or 1 for a readable source");
  if (status == 0) ReadBack();
  return 0;
}
