// NlsCompileTest.cpp - the catalogue compiler: the source format read back through
// the catalogue, refused sources, and the shipped English core catalogue.
#include "NlsFixture.h"

#include <filesystem>
#include <string>


namespace {

class Compiler : public NlsTest {
 protected:
  // Compiles source into en_US/Test; returns the status and keeps standard error.
  int Run(const std::string& source, bool allowLong = false) {
    const std::string src = tool_ / "test.msg";
    EXPECT_TRUE(testutil::WriteFile(src, source));
    testing::internal::CaptureStderr();
    const int status = NlsCompileCatalog(src.c_str(), tool_.path().c_str(), "en_US", "Test", allowLong);
    err_ = testing::internal::GetCapturedStderr();
    return status;
  }
  std::string Get(const char* key) {
    DbTHandle* db = Open("en_US", "Test");
    char* got = NlsFetchString(db, nullptr, NLS_KIND_KEY, key);
    const std::string t = std::string(key) == got ? "<missing>" : Take(got);
    DbTClose(db);
    return t;
  }
  std::string err_;
};

TEST_F(Compiler, KeysAreNumberedOrNamedAndQuotedTextsJoinedWithTheirEscapesDecoded) {
  ASSERT_EQ(0, Run("# a comment line\n"
                   "\n"
                   "   \t\n"
                   "  025\t0201 \"  Enter a selection: \"\r\n"
                   "25 202 \"one \" \"two\"\t\"\" \" three\"  # a comment\n"
                   "25 203 \"\"\n"
                   "key:TVATTYMENU_SAVE \"Save\"\n"
                   "0 0 \"zero\"\n"
                   "1 1 \"a\\tb\\\\c\\\"d\\101\\n\\1772\"\n"));
  EXPECT_EQ("", err_);
  EXPECT_EQ("  Enter a selection: ", Get("25_201"));
  EXPECT_EQ("one two three", Get("25_202"));
  EXPECT_EQ("", Get("25_203"));
  EXPECT_EQ("Save", Get("TVATTYMENU_SAVE"));
  EXPECT_EQ("zero", Get("0_0"));
  EXPECT_EQ("a\tb\\c\"dA\n\1772", Get("1_1"));
}

TEST_F(Compiler, NewCatalogueIsATypedDatabaseReplacingTheOldOneWhole) {
  ASSERT_EQ(0, Run("1 1 \"a\"\n"));
  const std::string file = testutil::ReadFile(tool_.path() + "/db/en_US/Test.xdb");
  ASSERT_EQ(16u + 2 + 2 + 4 + 2, file.size());  // header, L, k, "1_1" and zero, "a" and zero
  EXPECT_EQ(std::string("TXDBAA1\0", 8), file.substr(0, 8));
  EXPECT_EQ(std::string("\0\x08\0\x04", 4), file.substr(16, 4));
  ASSERT_EQ(0, Run("1 1 \"a\"\n1 2 \"b\"\n"));
  ASSERT_EQ(0, Run("1 1 \"c\"\n"));
  EXPECT_EQ("c", Get("1_1"));
  EXPECT_EQ("<missing>", Get("1_2"));
  // Nothing but the catalogue is left behind in its folder (its mode 644: e2e.nlscompile).
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(tool_.path() + "/db/en_US")) {
    EXPECT_EQ("Test.xdb", e.path().filename().string());
    ++entries;
  }
  EXPECT_EQ(1, entries);
}

// Several faulty lines, each reported, with the old catalogue kept: e2e.nlscompile.
TEST_F(Compiler, MalformedLinesAreRefused) {
  const struct {
    std::string line;
    const char* error;
  } cases[] = {
      {"x 1 \"a\"", "expected a message set (a number), or key:NAME"},
      {"1 \"a\"", "expected a message number (a number), or key:NAME"},
      {"1\"a\"", "expected a blank after the message set"},
      {"-1 1 \"a\"", "expected a message set (a number), or key:NAME"},
      {"1 2147483648 \"a\"", "a message number is larger than 2147483647"},
      {"key: \"a\"", "key: needs a name"},
      {"1 1 \"abc", "missing closing quote"},
      {"1 1 \"abc\\", "missing closing quote"},
      {"1 1 \"a\" b", "unexpected text after the closing quote"},
      {"1 1 \"a\\q\"", "unknown escape \\q"},
      {"1 1 \"a\\0\"", "a zero byte (\\0) cannot be part of a text"},
      {"1 1 \"a\\400\"", "octal escape \\400 is above \\377"},
      {std::string("1 1 \"a\0b\"", 9), "a zero byte cannot be part of a text"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(1, Run("# first\n" + c.line + "\n")) << c.line;
    EXPECT_EQ(tool_ / "test.msg" + ":2: error: " + c.error + "\n", err_) << c.line;
  }
  EXPECT_EQ(1, Run("# nothing\n\n"));
  EXPECT_EQ(tool_ / "test.msg" + ": error: no messages\n", err_);
  EXPECT_FALSE(std::filesystem::exists(tool_.path() + "/db/en_US/Test.xdb"));
}

TEST_F(Compiler, TextsOverTheRecordLimitAreRefused) {
  EXPECT_EQ(0, Run("1 1 \"" + std::string(2047, 'a') + "\"\n"));
  EXPECT_EQ(1, Run("1 1 \"" + std::string(2048, 'a') + "\"\n"));
  EXPECT_EQ(tool_ / "test.msg" + ":1: error: text of 2048 bytes is longer than the limit of 2047 bytes\n", err_);
  EXPECT_EQ(0, Run("1 1 \"" + std::string(60000, 'a') + "\"\n", true));
  EXPECT_EQ(1, Run("1 1 \"" + std::string(60001, 'a') + "\"\n", true));
}

TEST_F(Compiler, NamesMustBePlainAndToolPathAndDirectoryAreLeftAsTheyWere) {
  const auto cwd = std::filesystem::current_path();
  char* tool = pToolPath;
  ASSERT_EQ(0, Run("1 1 \"a\"\n"));
  EXPECT_EQ(tool, pToolPath);
  EXPECT_EQ(cwd, std::filesystem::current_path());
  const std::string src = tool_ / "test.msg";
  testing::internal::CaptureStderr();
  EXPECT_EQ(2, NlsCompileCatalog(src.c_str(), tool_.path().c_str(), "../x", "Test", false));
  EXPECT_EQ(2, NlsCompileCatalog(src.c_str(), tool_.path().c_str(), "en_US", "..", false));
  EXPECT_EQ(2, NlsCompileCatalog(src.c_str(), tool_.path().c_str(), "en_US", "", false));
  EXPECT_EQ(1, NlsCompileCatalog((tool_ / "none.msg").c_str(), tool_.path().c_str(), "en_US", "Test", false));
  testing::internal::GetCapturedStderr();
}

// The English core catalogue and trans.conf as shipped, compiled afresh.
class ShippedCatalogue : public NlsTest {
 protected:
  void SetUp() override {
    NlsTest::SetUp();
    const std::string src = KANDU_SOURCE_DIR "/NlsUtils/catalog";
    ASSERT_EQ(0, NlsCompileCatalog((src + "/en_US/CoreString.msg").c_str(), tool_.path().c_str(), "en_US",
                                   "CoreString", false));
    std::filesystem::copy_file(src + "/trans.conf", tool_ / "trans.conf");
    db_ = Open();
    ASSERT_NE(nullptr, db_);
  }
  void TearDown() override {
    DbTClose(db_);
    NlsTest::TearDown();
  }
  bool Has(int set, int num) {
    char* t = NlsFetchString(db_, nullptr, NLS_KIND_NUM, set, num);
    const bool hit = t != pErrBuf && std::string(t) != std::to_string(set) + "_" + std::to_string(num);
    if (hit) PutMem(t);
    return hit;
  }
  DbTHandle* db_ = nullptr;
};

TEST_F(ShippedCatalogue, HoldsEveryMessageOfTheMenuHelpAndEntryTexts) {
  const int menu[] = {201, 202, 203, 204, 205, 206, 207, 208, 230, 231, 232, 270, 271, 510,
                      1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1011, 1017,
                      1018, 1020, 1024};
  for (int n : menu) EXPECT_TRUE(Has(25, n)) << "25/" << n;
  for (int n : {150, 151, 152}) EXPECT_TRUE(Has(20, n)) << "20/" << n;
  for (int n : {22, 42, 44}) EXPECT_TRUE(Has(30, n)) << "30/" << n;
  for (const char* key : {"TVATTYMENU_SAVE", "TVATTYMENU_CANCEL", "TVATTYMENU_CURSEL",
                          "TVATTYMENU_CURSELTRUNC", "TVATTYMENU_OPTION"}) {
    char* t = NlsFetchString(db_, nullptr, NLS_KIND_KEY, key);
    EXPECT_STRNE(key, t);
    if (std::string(key) != t) PutMem(t);
  }
}

TEST_F(ShippedCatalogue, HelpEntriesCarryTheirKeysTheTitleTheMakerAndSaveAndCancelDiffer) {
  EXPECT_EQ("~e Exit Help", Take(NlsFetchString(db_, nullptr, NLS_KIND_NUM, 20, 150)));
  EXPECT_EQ("~c Contents", Take(NlsFetchString(db_, nullptr, NLS_KIND_NUM, 20, 151)));
  EXPECT_EQ("~b Back", Take(NlsFetchString(db_, nullptr, NLS_KIND_NUM, 20, 152)));
  char buf[NLS_REC_SIZE];
  EXPECT_STREQ("Kandu Help", Nlssprintf(buf, db_, 30, 22, "Kandu"));
  EXPECT_STREQ("Return to Main Menu", Nlssprintf(buf, db_, 25, 1017, "Main Menu"));
  EXPECT_STREQ("The text must be 4 to 8 characters long.\n", Nlssprintf(buf, db_, 30, 42, 4, 8));
  EXPECT_STREQ("\ns = save settings   h = help   \nSelection: ",
               Nlssprintf(buf, db_, 25, 510, Take(NlsFetchString(db_, nullptr, 0, 25, 230)).c_str(),
                          Take(NlsFetchString(db_, nullptr, 0, 25, 231)).c_str(), ""));
  // The pick list's save and cancel keys are their first letters.
  const std::string save = Take(NlsFetchString(db_, nullptr, NLS_KIND_KEY, "TVATTYMENU_SAVE"));
  const std::string cancel = Take(NlsFetchString(db_, nullptr, NLS_KIND_KEY, "TVATTYMENU_CANCEL"));
  ASSERT_FALSE(save.empty() || cancel.empty());
  EXPECT_NE(save[0], cancel[0]);
}

TEST_F(ShippedCatalogue, TableOfTheCatalogueEqualsTransConf) {
  EXPECT_EQ(Take(ParseTransFile("trans.conf")), Take(NlsFetchString(db_, nullptr, NLS_KIND_NUM, 999, 1)));
}

TEST_F(ShippedCatalogue, UsualLangValuesChooseEnglish) {
  for (const char* lang : {"en_US", "en_US.UTF-8", "en_GB.ISO8859-1", "C", "C.UTF-8", "POSIX", "", "de_DE"})
    EXPECT_EQ("en_US", LanguageFor(lang)) << lang;
  EXPECT_EQ("en_US", LanguageFor(nullptr));
  std::filesystem::remove(tool_ / "trans.conf");
  EXPECT_EQ("en_US", LanguageFor("en_GB"));
}

}  // namespace
