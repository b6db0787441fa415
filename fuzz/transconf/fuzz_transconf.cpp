// fuzz_transconf.cpp - fuzz target of the translation table: the input is
// "<LANG value>\0<trans.conf>"; the table is normalised within its buffer and the
// language chosen from it (the choice is made afresh for each input).
#include "Dbm/Dbm.h"
#include "NlsUtils/Nls.h"
#include "fuzz/support/FuzzSupport.h"

namespace {

// Forgets the language, the table and the core catalogue of the last input.
void ForgetLanguage() {
  PutMem(pNLSLang);
  PutMem(pTransBuf);
  pNLSLang = pTransBuf = nullptr;
  if (pDrvCoreDB != nullptr) DbTClose(pDrvCoreDB);
  pDrvCoreDB = nullptr;
}

}  // namespace

void fuzz::Setup() {
  pToolPath = SaveStr_(InScratch("tool").c_str());
  GetDesiredNLSLang();  // the catalogue's shared error text is made on the first fetch and kept
  ForgetLanguage();
}

void fuzz::Run(std::string_view input) {
  const std::vector<std::string> parts = Split(input, 2);
  WriteFile(std::string(pToolPath) + "/trans.conf", parts[1]);
  parts[0].empty() ? unsetenv("LANG") : setenv("LANG", parts[0].c_str(), 1);
  CheckReleased("choosing the language keeps nothing but the choice", [] {
    char* table = ParseTransFile("trans.conf");
    Check(table == nullptr || std::strlen(table) <= NLS_TRANS_SIZE - 1, "the normalised table fits 8192 bytes");
    PutMem(table);
    GetDesiredNLSLang();
    ForgetLanguage();
  });
}
