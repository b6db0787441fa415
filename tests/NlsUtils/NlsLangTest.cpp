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

TEST_F(TransTable, WordsEndInOneBlankAndLinesInALineFeed) {
  EXPECT_EQ("en_US = en_US C POSIX \nDefault en_US \n",
            Normalise("en_US   =\ten_US  C POSIX\n\n\nDefault  en_US\n"));
}

TEST_F(TransTable, WordAfterDefaultEndsItsLine) {
  EXPECT_EQ("Default fr_FR \nen_US = en_US \n", Normalise("Default fr_FR en_US = en_US\n"));
}

TEST_F(TransTable, BlankBeforeLineFeedJoinsTheNextLine) {
  EXPECT_EQ("en_US = en_US fr_FR = fr_FR \n", Normalise("en_US = en_US \nfr_FR = fr_FR\n"));
}

TEST_F(TransTable, CarriageReturnJoinsTheNextLine) {
  EXPECT_EQ("a = b c = d ", Normalise("a = b\r\nc = d\r\n"));
}

TEST_F(TransTable, CommentsContributeNothing) {
  EXPECT_EQ("en_US = en_US \n", Normalise("# en_US = xx C\nen_US = en_US\n# the end"));
  EXPECT_EQ("en_US = C fr_FR = fr \n", Normalise("en_US = C # a note\nfr_FR = fr\n"));
  EXPECT_EQ("a = b c = d ", Normalise("a = b #x\r\nc = d"));
}

TEST_F(TransTable, EqualsIsAWordOnlyAtTheStartOfAWord) {
  EXPECT_EQ("a=b = c \n", Normalise("a=b = c\n"));
  EXPECT_EQ("a = x ", Normalise("a =x"));
}

TEST_F(TransTable, MissingOrEmptyFileGivesNull) {
  EXPECT_EQ(nullptr, ParseTransFile("trans.conf"));
  WriteTrans("");
  EXPECT_EQ(nullptr, ParseTransFile("trans.conf"));
}

TEST_F(TransTable, TableOverTheLimitIsCutAfterItsLastWholeLine) {
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
}

TEST_F(TransTable, SingleLineOverTheLimitKeepsItsWholeWords) {
  std::string text = "en_US =";
  for (int i = 0; i < 2000; ++i) text += " v" + std::to_string(1000 + i);  // 6 bytes a word
  testing::internal::CaptureStderr();
  const std::string table = Normalise(text);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(8 + 1363u * 6u, table.size());  // "en_US = " and 1363 words fit in 8191
  EXPECT_EQ(" v2362 ", table.substr(table.size() - 7));
}

class LanguageChoice : public NlsTest {};

TEST_F(LanguageChoice, UnsetLangSelectsTheNotSetMapping) {
  WriteTrans("en_US = en_US C\nde_DE = de ___LANG_NOT_SET___\nDefault en_US\n");
  EXPECT_EQ("de_DE", LanguageFor(nullptr));
  WriteTrans("en_US = en_US C ___LANG_NOT_SET___\nDefault fr_FR\n");
  EXPECT_EQ("en_US", LanguageFor(nullptr));
}

TEST_F(LanguageChoice, EmptyLangCountsAsUnset) {
  WriteTrans("de_DE = ___LANG_NOT_SET___\nDefault en_US\n");
  EXPECT_EQ("de_DE", LanguageFor(""));
}

TEST_F(LanguageChoice, CodesetIsCutWithTheClosingBlank) {
  WriteTrans("fr_CA = fr_FRX\nDefault en_US\n");
  EXPECT_EQ("fr_CA", LanguageFor("fr_FR.ISO8859-1"));
  EXPECT_EQ("en_US", LanguageFor("fr_FR"));
}

TEST_F(LanguageChoice, UnmappedLangTakesTheDefaultOrEnglish) {
  WriteTrans("en_US = en_US C\nDefault en_US\n");
  EXPECT_EQ("en_US", LanguageFor("de_DE"));
  WriteTrans("fr_FR = fr_FR C\n");
  EXPECT_EQ("en_US", LanguageFor("de_DE"));
  WriteTrans("en_US = en_US C\nDefault fr_FR\n");
  EXPECT_EQ("fr_FR", LanguageFor("de_DE"));
}

TEST_F(LanguageChoice, DefaultWithoutLanguageIsNoDefault) {
  WriteTrans("fr_FR = fr_FR\nDefault\n");
  EXPECT_EQ("en_US", LanguageFor("de_DE"));
}

TEST_F(LanguageChoice, JoinedLineNamesItsFirstLanguage) {
  WriteTrans("fr_FR = fr_FR \nde_DE = de_DE\nDefault en_US\n");
  EXPECT_EQ("fr_FR", LanguageFor("de_DE"));
}

TEST_F(LanguageChoice, CommentedMappingIsIgnored) {
  WriteTrans("# xx_XX = C\nfr_FR = fr_FR C\n");
  EXPECT_EQ("fr_FR", LanguageFor("C"));
}

TEST_F(LanguageChoice, LangNamedOnTheDefaultLineIsNoMapping) {
  // The Default line lists no LANG values: a match there belongs to no mapping line,
  // so it cannot make the line above it (or English) the choice.
  WriteTrans("de_DE = de_DE de_AT\nDefault fr_FR\n");
  EXPECT_EQ("fr_FR", LanguageFor("fr_FR"));
  WriteTrans("Default fr_FR\nen_US = en_US\n");
  EXPECT_EQ("fr_FR", LanguageFor("fr_FR"));
}

TEST_F(LanguageChoice, ChoiceIsKeptForTheProcess) {
  WriteTrans("de_DE = de_DE\nfr_FR = fr_FR\n");
  EXPECT_EQ("de_DE", LanguageFor("de_DE"));
  char* first = GetDesiredNLSLang();
  setenv("LANG", "fr_FR", 1);
  WriteTrans("");
  EXPECT_EQ(first, GetDesiredNLSLang());
  EXPECT_STREQ("de_DE", GetDesiredNLSLang());
}

TEST_F(LanguageChoice, WithoutTransConfTheCoreCatalogueHoldsTheTable) {
  Compile("999 1 \"fr_FR = de_DE \\nDefault en_US \\n\"\n");
  EXPECT_EQ("fr_FR", LanguageFor("de_DE.UTF-8"));
  ASSERT_NE(nullptr, pDrvCoreDB);
  EXPECT_EQ(DBT_TYPED, pDrvCoreDB->Type);
  EXPECT_EQ("en_US", LanguageFor("it_IT"));
}

TEST_F(LanguageChoice, WithoutAnyTableTheLanguageIsEnglish) {
  EXPECT_EQ("en_US", LanguageFor("de_DE"));
  Compile("25 1 \"no table here\"\n");
  EXPECT_EQ("en_US", LanguageFor("de_DE"));
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

TEST_F(ToolPath, VariableWinsAndIsMadeAbsolute) {
  setenv("KANDU_TOOL_PATH", "/opt/tools/tvnn/", 1);
  EXPECT_STREQ("/opt/tools/tvnn", NlsInitToolPath("/usr/bin/prog"));
  setenv("KANDU_TOOL_PATH", "rel/tvnn", 1);
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(cwd + "/rel/tvnn", std::string(NlsInitToolPath(nullptr)));
  EXPECT_EQ(std::string(pToolPath), cwd + "/rel/tvnn");
}

TEST_F(ToolPath, ProgramPathGivesShareTvnnBesideItsBin) {
  const std::string inst = MakeProgram();
  EXPECT_EQ(inst + "/share/tvnn", std::string(NlsInitToolPath((tool_ / "inst/bin/prog").c_str())));
}

TEST_F(ToolPath, LinkedProgramBelongsToTheTreeOfItsFile) {
  const std::string inst = MakeProgram();
  std::filesystem::create_directories(tool_ / "links");
  std::filesystem::create_symlink(tool_ / "inst/bin/prog", tool_ / "links/prog");
  EXPECT_EQ(inst + "/share/tvnn", std::string(NlsInitToolPath((tool_ / "links/prog").c_str())));
}

TEST_F(ToolPath, BareNameIsFoundThroughPath) {
  const std::string inst = MakeProgram();
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", ("/nonexistent:" + tool_ / "inst/bin").c_str(), 1);
  const std::string got = NlsInitToolPath("prog");
  setenv("PATH", oldPath.c_str(), 1);
  EXPECT_EQ(inst + "/share/tvnn", got);
}

TEST_F(ToolPath, WithoutArgv0TheRunningProgramIsUsed) {
  // The test program lies in <build>/bin.
  const std::string build = std::filesystem::canonical(KANDU_BINARY_DIR).string();
  EXPECT_EQ(build + "/share/tvnn", std::string(NlsInitToolPath(nullptr)));
}

}  // namespace
