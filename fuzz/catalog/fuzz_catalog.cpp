// fuzz_catalog.cpp - fuzz target of the catalogue compiler: the input is a catalogue
// source (first byte: long texts allowed when odd), compiled into a scratch tool folder;
// a compiled catalogue is opened and read back by set and number and by key.
#include "Dbm/Dbm.h"
#include "NlsUtils/Nls.h"
#include "fuzz/support/FuzzSupport.h"

#include <filesystem>

namespace {

// Every record of the compiled catalogue, fetched as the library fetches texts.
void ReadBack(const std::string& tool) {
  DbTHandle* db = DbTOpenPath((tool + "/db/en_US/Fz.xdb").c_str(), 0);
  fuzz::Check(db != nullptr, "a compiled catalogue opens");
  DbTRec rec;
  for (DbTRec* r = WalkDbTRecords(db, &rec, 0); r != nullptr; r = WalkDbTRecords(db, &rec, 1))
    fuzz::Check(rec.k > 0 && rec.L >= rec.k + 2, "a compiled record is whole");
  char buf[NLS_REC_SIZE] = {};
  NlsFetchString(db, buf, NLS_KIND_NUM, 25, 201);
  fuzz::Check(std::memchr(buf, '\0', sizeof buf) != nullptr, "a fetched text fits the record buffer");
  char* text = NlsFetchString(db, nullptr, NLS_KIND_LONG, 25, 1003);
  if (text != nullptr && std::strcmp(text, "25_1003") != 0) PutMem(text);
  std::memset(buf, 0, sizeof buf);
  NlsFetchString(db, buf, NLS_KIND_KEY, "TVATTYMENU_SAVE");
  DbTClose(db);
}

}  // namespace

void fuzz::Run(std::string_view input) {
  static const std::string tool = InScratch("tool"), source = InScratch("Fz.msg");
  if (input.empty()) return;
  const bool allowLong = (TakeByte(input) & 1) != 0;
  WriteFile(source, input);
  std::error_code ec;
  std::filesystem::remove_all(tool, ec);
  MakeDirs(tool);
  const int status = NlsCompileCatalog(source.c_str(), tool.c_str(), "en_US", "Fz", allowLong);
  Check(status == 0 || status == 1, "the compiler ends with 0 or 1 for a readable source");
  if (status == 0) ReadBack(tool);
}
