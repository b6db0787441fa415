// fuzz_catalog.cpp - fuzz target of the catalogue compiler: the input is a catalogue
// source (first byte: long texts allowed when odd), compiled into a scratch tool folder;
// a compiled catalogue is opened and read back by set and number and by key.
#include "Dbm/Dbm.h"
#include "NlsUtils/Nls.h"
#include "fuzz/support/FuzzSupport.h"

#include <filesystem>

void fuzz::Run(std::string_view input) {
  static const std::string tool = InScratch("tool"), source = InScratch("Fz.msg");
  const bool allowLong = (TakeByte(input) & 1) != 0;
  WriteFile(source, input);
  std::error_code ec;
  std::filesystem::remove_all(tool, ec);
  std::filesystem::create_directories(tool, ec);
  if (NlsCompileCatalog(source.c_str(), tool.c_str(), "en_US", "Fz", allowLong) != 0) return;
  // The compiled catalogue, read as the library reads texts.
  DbTHandle* db = DbTOpenPath((tool + "/db/en_US/Fz.xdb").c_str(), 0);
  Check(db != nullptr, "a compiled catalogue opens");
  char buf[NLS_REC_SIZE] = {};
  NlsFetchString(db, buf, NLS_KIND_NUM, 25, 201);
  Check(std::memchr(buf, '\0', sizeof buf) != nullptr, "a fetched text fits the record buffer");
  char* text = NlsFetchString(db, nullptr, NLS_KIND_LONG, 25, 1003);
  if (text != nullptr && std::strcmp(text, "25_1003") != 0) PutMem(text);
  NlsFetchString(db, buf, NLS_KIND_KEY, "TVATTYMENU_SAVE");
  DbTClose(db);
}
