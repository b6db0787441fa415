// NlsFixture.h - a scratch tool directory for the catalogue tests, with the
// catalogue's process-wide state reset before and after each test.
#pragma once

#include "testutil.h"

#include "Dbm/Dbm.h"
#include "NlsUtils/Nls.h"

class NlsTest : public ::testing::Test {
 protected:
  void SetUp() override { savedTool_ = pToolPath, pToolPath = const_cast<char*>(tool_.path().c_str()), Reset(); }
  void TearDown() override { Reset(), pToolPath = savedTool_, unsetenv("LANG"); }
  // Forgets the language, the table and the core catalogue, as in a new process.
  static void Reset() {
    PutMem(pNLSLang), PutMem(pTransBuf);
    pNLSLang = pTransBuf = nullptr;
    if (pDrvCoreDB) DbTClose(pDrvCoreDB);
    pDrvCoreDB = nullptr;
  }
  // The language a new process chooses with this LANG (null: unset).
  std::string LanguageFor(const char* lang) {
    lang ? setenv("LANG", lang, 1) : unsetenv("LANG");
    Reset();
    return GetDesiredNLSLang();
  }
  // Compiles the source text into the catalogue lang/name of the scratch tool directory.
  void Compile(const std::string& source, const char* lang = "en_US", const char* name = "CoreString",
               bool allowLong = false) {
    ASSERT_TRUE(testutil::WriteFile(tool_ / "src.msg", source));
    ASSERT_EQ(NlsCompileCatalog((tool_ / "src.msg").c_str(), tool_.path().c_str(), lang, name, allowLong), 0);
  }
  DbTHandle* Open(const std::string& lang = "en_US", const std::string& name = "CoreString") {
    return DbTOpen((tool_.path() + "/db/" + lang + "/" + name + ".xdb").c_str(), 0);
  }

  testutil::ScratchDir tool_;
  char* savedTool_ = nullptr;
};
