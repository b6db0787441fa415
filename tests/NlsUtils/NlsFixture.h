// NlsFixture.h - a scratch tool directory for the catalogue tests, with the
// catalogue's process-wide state reset before and after each test.
#pragma once

#include "testutil.h"

#include "Dbm/Dbm.h"
#include "MemMgr/MemMgr.h"
#include "NlsUtils/Nls.h"

#include <cstdlib>
#include <optional>
#include <string>

class NlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* lang = std::getenv("LANG");
    if (lang) savedLang_ = lang;
    savedTool_ = pToolPath;
    pToolPath = const_cast<char*>(tool_.path().c_str());
    ResetCatalogue();
  }

  void TearDown() override {
    ResetCatalogue();
    pToolPath = savedTool_;
    if (savedLang_) {
      setenv("LANG", savedLang_->c_str(), 1);
    } else {
      unsetenv("LANG");
    }
  }

  // Forgets the language, the table and the core catalogue, as in a new process.
  static void ResetCatalogue() {
    PutMem(pNLSLang);
    pNLSLang = nullptr;
    PutMem(pTransBuf);
    pTransBuf = nullptr;
    if (pDrvCoreDB) DbTClose(pDrvCoreDB);
    pDrvCoreDB = nullptr;
  }

  // The language chosen for this LANG (null: unset) as a new process would.
  std::string LanguageFor(const char* lang) {
    if (lang) {
      setenv("LANG", lang, 1);
    } else {
      unsetenv("LANG");
    }
    ResetCatalogue();
    return GetDesiredNLSLang();
  }

  void WriteTrans(const std::string& text) { ASSERT_TRUE(testutil::WriteFile(tool_ / "trans.conf", text)); }

  // Compiles the catalogue source text into the scratch tool directory.
  void Compile(const std::string& source, const char* lang = "en_US", const char* name = "CoreString",
               bool allowLong = false) {
    const std::string src = tool_ / (std::string(lang) + "-" + name + ".msg");
    ASSERT_TRUE(testutil::WriteFile(src, source));
    ASSERT_EQ(0, NlsCompileCatalog(src.c_str(), tool_.path().c_str(), lang, name, allowLong));
  }

  // Opens the catalogue lang/name of the scratch tool directory by its path.
  DbTHandle* Open(const char* lang = "en_US", const char* name = "CoreString") {
    const std::string path = tool_.path() + "/db/" + lang + "/" + name + ".xdb";
    return DbTOpen(path.c_str(), 0);
  }

  testutil::ScratchDir tool_;

 private:
  std::optional<std::string> savedLang_;
  char* savedTool_ = nullptr;
};

// A fetched managed text as a string; the text is released.
using testutil::Take;
