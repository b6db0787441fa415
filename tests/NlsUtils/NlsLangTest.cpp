// NlsLangTest.cpp - the translation table, the choice of language from LANG, and
// the tool directory of the library's programs.
#include "NlsFixture.h"

#include <filesystem>
#include <string>

#include <sys/stat.h>

namespace {

class TransTable : public NlsTest {
 protected:
  std::string Normalise(const std::string& text) {
    WriteTrans(text);
    return Take(ParseTransFile("trans.conf"));
  }
};

TEST_F(TransTable, IsNormalisedToWordsEndingInOneBlankAndLinesInALineFeed) {
  const struct { const char* text; const char* table; } rows[] = {
      {"en_US   =\ten_US  C POSIX\n\n\nDefault  en_US\n", "en_US = en_US C POSIX \nDefault en_US \n"},
      {"Default fr_FR en_US = en_US\n", "Default fr_FR \nen_US = en_US \n"},  // the word after Default ends its line
      // A blank before a line feed, and a carriage return, join the next line.
      {"en_US = en_US \nfr_FR = fr_FR\n", "en_US = en_US fr_FR = fr_FR \n"}, {"a = b\r\nc = d\r\n", "a = b c = d "},
      // Comments contribute nothing.
      {"# en_US = xx C\nen_US = en_US\n# the end", "en_US = en_US \n"},
      {"en_US = C # a note\nfr_FR = fr\n", "en_US = C fr_FR = fr \n"}, {"a = b #x\r\nc = d", "a = b c = d "},
      // "=" is a word only at the start of a word.
      {"a=b = c\n", "a=b = c \n"}, {"a =x", "a = x "},
  };
  for (const auto& r : rows) EXPECT_EQ(r.table, Normalise(r.text)) << r.text;
  EXPECT_EQ(nullptr, ParseTransFile("none.conf"));  // a missing or empty file gives null
  WriteTrans("");
  EXPECT_EQ(nullptr, ParseTransFile("trans.conf"));
}

TEST_F(TransTable, TableOverTheLimitIsCutAfterItsLastWholeLineOrWord) {
  // Every line normalises to 18 bytes: 455 lines fill 8190 bytes, the 456th does not fit.
  std::string text;
  for (int i = 0; i < 500; ++i) text += "lang_" + std::to_string(100 + i) + " = v" + std::to_string(1000 + i) + "\n";
  testing::internal::CaptureStderr();
  const std::string table = Normalise(text);
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_EQ(455u * 18u, table.size());
  EXPECT_EQ("lang_100 = v1000 \n", table.substr(0, 18));
  EXPECT_EQ("lang_554 = v1454 \n", table.substr(table.size() - 18));
  EXPECT_NE(std::string::npos, err.find("WARNING: "));
  EXPECT_NE(std::string::npos, err.find("translation table longer than 8191 bytes"));
  // A single line over the limit keeps its whole words.
  std::string line = "en_US =";
  for (int i = 0; i < 2000; ++i) line += " v" + std::to_string(1000 + i);  // 6 bytes a word
  testing::internal::CaptureStderr();
  const std::string cut = Normalise(line);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(8 + 1363u * 6u, cut.size());  // "en_US = " and 1363 words fit in 8191
  EXPECT_EQ(" v2362 ", cut.substr(cut.size() - 7));
}

class LanguageChoice : public NlsTest {};

TEST_F(LanguageChoice, TheLineMappingLangNamesTheLanguageElseTheDefaultElseEnglish) {
  const struct { const char* trans; const char* lang; const char* language; } rows[] = {
      // An unset or empty LANG selects the not-set mapping.
      {"en_US = en_US C\nde_DE = de ___LANG_NOT_SET___\nDefault en_US\n", nullptr, "de_DE"},
      {"en_US = en_US C ___LANG_NOT_SET___\nDefault fr_FR\n", nullptr, "en_US"},
      {"de_DE = ___LANG_NOT_SET___\nDefault en_US\n", "", "de_DE"},
      // The code set is cut with the closing blank.
      {"fr_CA = fr_FRX\nDefault en_US\n", "fr_FR.ISO8859-1", "fr_CA"}, {"fr_CA = fr_FRX\nDefault en_US\n", "fr_FR", "en_US"},
      // Unmapped: the default, else English; a Default without language is none.
      {"en_US = en_US C\nDefault en_US\n", "de_DE", "en_US"}, {"fr_FR = fr_FR C\n", "de_DE", "en_US"},
      {"en_US = en_US C\nDefault fr_FR\n", "de_DE", "fr_FR"}, {"fr_FR = fr_FR\nDefault\n", "de_DE", "en_US"},
      // A joined line names its first language; a commented mapping is ignored.
      {"fr_FR = fr_FR \nde_DE = de_DE\nDefault en_US\n", "de_DE", "fr_FR"}, {"# xx_XX = C\nfr_FR = fr_FR C\n", "C", "fr_FR"},
      // The Default line lists no LANG values: a match there belongs to no mapping line.
      {"de_DE = de_DE de_AT\nDefault fr_FR\n", "fr_FR", "fr_FR"}, {"Default fr_FR\nen_US = en_US\n", "fr_FR", "fr_FR"},
  };
  for (const auto& r : rows) {
    WriteTrans(r.trans);
    EXPECT_EQ(r.language, LanguageFor(r.lang)) << (r.lang ? r.lang : "(unset)") << " with " << r.trans;
  }
}

TEST_F(LanguageChoice, ChoiceIsKeptForTheProcessAndWithoutTransConfTheCoreCatalogueHoldsTheTableElseEnglish) {
  WriteTrans("de_DE = de_DE\nfr_FR = fr_FR\n");
  EXPECT_EQ("de_DE", LanguageFor("de_DE"));
  char* first = GetDesiredNLSLang();
  setenv("LANG", "fr_FR", 1);
  WriteTrans("");
  EXPECT_EQ(first, GetDesiredNLSLang());
  EXPECT_STREQ("de_DE", GetDesiredNLSLang());
  std::remove((tool_ / "trans.conf").c_str());
  EXPECT_EQ("en_US", LanguageFor("de_DE"));
  Compile("25 1 \"no table here\"\n");
  EXPECT_EQ("en_US", LanguageFor("de_DE"));
  Compile("999 1 \"fr_FR = de_DE \\nDefault en_US \\n\"\n");
  EXPECT_EQ("fr_FR", LanguageFor("de_DE.UTF-8"));
  ASSERT_NE(nullptr, pDrvCoreDB);
  EXPECT_EQ(DBT_TYPED, pDrvCoreDB->Type);
  EXPECT_EQ("en_US", LanguageFor("it_IT"));
}

class ToolPath : public NlsTest {
 protected:
  void SetUp() override {
    NlsTest::SetUp();
    const char* v = std::getenv("KANDU_TOOL_PATH");
    if (v) savedEnv_ = v;
    unsetenv("KANDU_TOOL_PATH");
  }
  void TearDown() override {
    if (savedEnv_.empty()) {
      unsetenv("KANDU_TOOL_PATH");
    } else {
      setenv("KANDU_TOOL_PATH", savedEnv_.c_str(), 1);
    }
    NlsTest::TearDown();
  }
  // A program file <scratch>/inst/bin/prog; returns the real path of <scratch>/inst.
  std::string MakeProgram() {
    std::filesystem::create_directories(tool_ / "inst/bin");
    EXPECT_TRUE(testutil::WriteFile(tool_ / "inst/bin/prog", "#!/bin/sh\n"));
    chmod((tool_ / "inst/bin/prog").c_str(), 0755);
    return std::filesystem::canonical(tool_ / "inst").string();
  }
  std::string savedEnv_;
};

TEST_F(ToolPath, VariableWinsAndIsMadeAbsoluteElseTheRunningProgramIsUsed) {
  setenv("KANDU_TOOL_PATH", "/opt/tools/tvnn/", 1);
  EXPECT_STREQ("/opt/tools/tvnn", NlsInitToolPath("/usr/bin/prog"));
  setenv("KANDU_TOOL_PATH", "rel/tvnn", 1);
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(cwd + "/rel/tvnn", std::string(NlsInitToolPath(nullptr)));
  EXPECT_EQ(std::string(pToolPath), cwd + "/rel/tvnn");
  unsetenv("KANDU_TOOL_PATH");
  // The test program lies in <build>/bin.
  const std::string build = std::filesystem::canonical(KANDU_BINARY_DIR).string();
  EXPECT_EQ(build + "/share/tvnn", std::string(NlsInitToolPath(nullptr)));
}

TEST_F(ToolPath, ProgramPathItsLinkOrItsNameInPathGiveShareTvnnBesideItsBin) {
  const std::string inst = MakeProgram() + "/share/tvnn";
  EXPECT_EQ(inst, std::string(NlsInitToolPath((tool_ / "inst/bin/prog").c_str())));
  std::filesystem::create_directories(tool_ / "links");
  std::filesystem::create_symlink(tool_ / "inst/bin/prog", tool_ / "links/prog");
  EXPECT_EQ(inst, std::string(NlsInitToolPath((tool_ / "links/prog").c_str())));  // the tree of its file
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", ("/nonexistent:" + tool_ / "inst/bin").c_str(), 1);
  const std::string got = NlsInitToolPath("prog");
  setenv("PATH", oldPath.c_str(), 1);
  EXPECT_EQ(inst, got);
}

}  // namespace
