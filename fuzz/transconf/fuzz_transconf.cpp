// fuzz_transconf.cpp - fuzz target of the translation table: the input is
// "<LANG value>\0<trans.conf>"; the table is normalised and the language chosen from it
// (the choice is made afresh for each input).
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

void CheckTable(const std::string& t) {
  fuzz::Check(t.size() <= NLS_TRANS_SIZE - 1, "the normalised table fits 8192 bytes");
  fuzz::Check(t.find_first_of("\t\r") == std::string::npos, "the normalised table holds no tab or carriage return", t);
  for (size_t i = t.find('\n'); i != std::string::npos; i = t.find('\n', i + 1))
    fuzz::Check(i > 0 && t[i - 1] == ' ', "a line of the table ends in a blank", t);
  fuzz::Check(t.empty() || t.back() == ' ' || t.back() == '\n', "every word is followed by a blank", t);
}

}  // namespace

void fuzz::Setup() {
  const std::string tool = InScratch("tool");
  MakeDirs(tool + "/db/en_US");
  pToolPath = SaveStr_(tool.c_str());
  GetDesiredNLSLang();  // the catalogue's shared error text is made on the first fetch and kept
  ForgetLanguage();
}

void fuzz::Run(std::string_view input) {
  const std::vector<std::string> parts = Split(input, 2);
  WriteFile(std::string(pToolPath) + "/trans.conf", parts[1]);
  if (parts[0].c_str()[0] == '\0') {
    unsetenv("LANG");
  } else {
    setenv("LANG", parts[0].c_str(), 1);
  }
  ForgetLanguage();
  CheckReleased("choosing the language keeps nothing but the choice", [] {
    char* table = ParseTransFile("trans.conf");
    if (table != nullptr) CheckTable(table);
    PutMem(table);
    const char* chosen = GetDesiredNLSLang();
    Check(chosen != nullptr && *chosen != '\0', "a language is always chosen");
    Check(std::strpbrk(chosen, " \t\r\n") == nullptr, "the language is one word", chosen);
    Check(GetDesiredNLSLang() == chosen, "the language is chosen once");
    ForgetLanguage();
  });
}
