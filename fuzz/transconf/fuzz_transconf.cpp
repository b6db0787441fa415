// fuzz_transconf.cpp - fuzz target of the translation table: the input is
// "<LANG value>\0<trans.conf>"; the table is normalised and the language chosen
// from it (the choice is made afresh for each input).
#include "Dbm/Dbm.h"
#include "NlsUtils/Nls.h"
#include "fuzz/support/FuzzSupport.h"
#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Forgets the language, the table and the core catalogue of the last input.
void ForgetLanguage() {
  PutMem(pNLSLang);
  pNLSLang = nullptr;
  PutMem(pTransBuf);
  pTransBuf = nullptr;
  if (pDrvCoreDB != nullptr) DbTClose(pDrvCoreDB);
  pDrvCoreDB = nullptr;
}

void CheckTable(const char* table) {
  const size_t n = std::strlen(table);
  fuzz::Check(n <= NLS_TRANS_SIZE - 1, "the normalised table fits 8192 bytes");
  for (size_t i = 0; i < n; ++i) {
    fuzz::Check(table[i] != '\t' && table[i] != '\r', "the normalised table holds no tab or carriage return",
                table);
    if (table[i] == '\n')
      fuzz::Check(i > 0 && table[i - 1] == ' ', "a line of the table ends in a blank", table);
  }
  fuzz::Check(n == 0 || table[n - 1] == ' ' || table[n - 1] == '\n', "every word is followed by a blank",
              table);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Init();
  const std::string tool = fuzz::InScratch("tool");
  fuzz::MakeDirs(tool + "/db/en_US");
  pToolPath = SaveStr_(tool.c_str());
  // The shared error text of the catalogue is made on the first fetch and kept.
  GetDesiredNLSLang();
  ForgetLanguage();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> parts = fuzz::Split(data, size, 2);
  static const std::string file = std::string(pToolPath) + "/trans.conf";
  fuzz::WriteFile(file, parts[1]);
  const std::string lang = parts[0].c_str();
  if (lang.empty()) {
    unsetenv("LANG");
  } else {
    setenv("LANG", lang.c_str(), 1);
  }
  ForgetLanguage();
  const long before = fuzz::ManagedInUse();

  char* table = ParseTransFile("trans.conf");
  if (table != nullptr) CheckTable(table);
  PutMem(table);
  const char* chosen = GetDesiredNLSLang();
  fuzz::Check(chosen != nullptr && *chosen != '\0', "a language is always chosen");
  fuzz::Check(std::strpbrk(chosen, " \t\r\n") == nullptr, "the language is one word", chosen);
  fuzz::Check(GetDesiredNLSLang() == chosen, "the language is chosen once");
  ForgetLanguage();
  fuzz::Check(fuzz::ManagedInUse() == before, "choosing the language keeps nothing but the choice");
  return 0;
}
