// NlsFetchTest.cpp - catalogue lookups by the four key kinds, the record limits,
// formatting with catalogue texts, templates, text keys and opening catalogues.
#include "NlsFixture.h"

#include <cstring>
#include <string>

namespace {

class Fetch : public NlsTest {
 protected:
  void SetUp() override {
    NlsTest::SetUp();
    Compile("25 201 \"Enter a selection: \"\n"
            "25 1003 \"The value must be a whole number from %d to %d.\\n\"\n"
            "7 1 \"3\"\n"
            "7 2 \"9\"\n"
            "8 1 \"100%\"\n"
            "key:TVATTYMENU_SAVE \"Save\"\n");
    db_ = Open();
    ASSERT_NE(nullptr, db_);
  }
  void TearDown() override {
    DbTClose(db_);
    NlsTest::TearDown();
  }
  // A catalogue "Long" holding message 1/1 with the text (compiled with --long).
  DbTHandle* LongCatalogue(const std::string& text) {
    Compile("1 1 \"" + text + "\"\n", "en_US", "Long", true);
    return Open("en_US", "Long");
  }
  DbTHandle* db_ = nullptr;
};

TEST_F(Fetch, AHitGoesIntoTheCallersBufferOrANewManagedCopy) {
  char buf[NLS_REC_SIZE] = {};
  EXPECT_EQ(buf, NlsFetchString(db_, buf, NLS_KIND_NUM, 25, 201));
  EXPECT_STREQ("Enter a selection: ", buf);
  char* t = NlsFetchString(db_, nullptr, NLS_KIND_NUM, 25, 201);
  EXPECT_NE(StrBuf, t);
  EXPECT_EQ("Enter a selection: ", Take(t));
  // Text keys of kinds one and two.
  EXPECT_EQ("Save", Take(NlsFetchString(db_, nullptr, NLS_KIND_KEY, "TVATTYMENU_SAVE")));
  EXPECT_EQ(buf, NlsFetchString(db_, buf, NLS_KIND_KEY2, "TVATTYMENU_SAVE"));
  EXPECT_STREQ("Save", buf);
  EXPECT_EQ("Save", Take(NlsFetchString(db_, nullptr, NLS_KIND_KEY, "TVATTYMENU_SAVE")));
}

TEST_F(Fetch, AMissGivesItsKeyAndAWrongKindOrNullKeyTheErrorTextWithoutHandleToo) {
  char buf[NLS_REC_SIZE];
  std::memset(buf, 'x', sizeof buf);
  char* t = NlsFetchString(db_, buf, NLS_KIND_NUM, 25, 999);
  EXPECT_STREQ("25_999", t);
  EXPECT_NE(buf, t);
  EXPECT_STREQ("25_999", buf);
  EXPECT_STREQ("25_999", NlsFetchString(db_, nullptr, NLS_KIND_LONG, 25, 999));
  // The key of a missed text key may be asked again: it is still the key text afterwards.
  char* key = NlsFetchString(db_, nullptr, NLS_KIND_KEY, "NO_SUCH_KEY");
  EXPECT_STREQ("NO_SUCH_KEY", key);
  EXPECT_STREQ("NO_SUCH_KEY", NlsFetchString(db_, nullptr, NLS_KIND_KEY, key));
  EXPECT_EQ(pErrBuf, NlsFetchString(db_, nullptr, NLS_KIND_KEY, 25, 201));
  EXPECT_EQ(pErrBuf, NlsFetchString(db_, nullptr, NLS_KIND_NUM, "25_201"));
  EXPECT_EQ(pErrBuf, NlsFetchString(db_, nullptr, 7, 25, 201));
  EXPECT_EQ(pErrBuf, NlsFetchString(db_, nullptr, NLS_KIND_KEY, nullptr));
  // Without a handle only non-zero numbered keys come back.
  EXPECT_STREQ("25_201", NlsFetchString(nullptr, nullptr, NLS_KIND_NUM, 25, 201));
  EXPECT_STREQ("25_201", NlsFetchString(nullptr, nullptr, NLS_KIND_LONG, 25, 201));
  EXPECT_EQ(pErrBuf, NlsFetchString(nullptr, nullptr, NLS_KIND_NUM, 0, 201));
  EXPECT_EQ(pErrBuf, NlsFetchString(nullptr, nullptr, NLS_KIND_NUM, 25, 0));
  EXPECT_EQ(pErrBuf, NlsFetchString(nullptr, nullptr, NLS_KIND_KEY, "TVATTYMENU_SAVE"));
  EXPECT_STREQ("Error", pErrBuf);
}

TEST_F(Fetch, KindThreeGivesALongRecordWholeAndKindsZeroToTwoCutItTo2047Bytes) {
  const std::string text(5000, 'L');
  DbTHandle* db = LongCatalogue(text);
  ASSERT_NE(nullptr, db);
  EXPECT_EQ(text, Take(NlsFetchString(db, nullptr, NLS_KIND_LONG, 1, 1)));
  EXPECT_EQ(std::string(2047, 'L'), Take(NlsFetchString(db, nullptr, NLS_KIND_NUM, 1, 1)));
  char buf[NLS_REC_SIZE];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(buf, NlsFetchString(db, buf, NLS_KIND_KEY, "1_1"));
  EXPECT_EQ(std::string(2047, 'L'), std::string(buf));
  EXPECT_EQ("Enter a selection: ", Take(NlsFetchString(db_, nullptr, NLS_KIND_LONG, 25, 201)));
  DbTClose(db);
}

TEST_F(Fetch, RecordsWithoutTheirZeroStillEnd) {
  // Another writer may store texts without their terminating zero.
  DbTHandle* db = Open("en_US", "Bare");
  const std::string full(2048, 'q');
  ASSERT_EQ(1, DbmTPutRecord(db, "1_1", full.data(), 2048));
  ASSERT_EQ(1, DbmTPutRecord(db, "1_2", "abc", 3));
  ASSERT_EQ(1, DbmTPutRecord(db, "1_3", full.data(), 1000));
  EXPECT_EQ(std::string(2047, 'q'), Take(NlsFetchString(db, nullptr, NLS_KIND_NUM, 1, 1)));
  EXPECT_EQ(full, Take(NlsFetchString(db, nullptr, NLS_KIND_LONG, 1, 1)));
  EXPECT_EQ("abc", Take(NlsFetchString(db, nullptr, NLS_KIND_NUM, 1, 2)));
  EXPECT_EQ(std::string(1000, 'q'), Take(NlsFetchString(db, nullptr, NLS_KIND_LONG, 1, 3)));
  DbTClose(db);
}

TEST_F(Fetch, SizedFetchCutsToTheCallersBuffer) {
  char buf[8];
  EXPECT_EQ(buf, NlsFetchStringN(db_, buf, sizeof buf, NLS_KIND_NUM, 25, 201));
  EXPECT_STREQ("Enter a", buf);
  EXPECT_STREQ("25_4711", NlsFetchStringN(db_, buf, 4, NLS_KIND_NUM, 25, 4711));
  EXPECT_STREQ("25_", buf);
}

using Format = Fetch;

TEST_F(Format, SprintfAndFprintfFormatAHitOrWriteErrorForAMiss) {
  char buf[NLS_REC_SIZE] = "old";
  EXPECT_EQ(buf, Nlssprintf(buf, db_, 25, 1003, 1, 10));
  EXPECT_STREQ("The value must be a whole number from 1 to 10.\n", buf);
  EXPECT_STREQ("The value must be a whole number from 4 to 4.\n", Nlssprintf(StrBuf, db_, 25, 1003, 4, 4));
  Nlssprintf(buf, db_, 25, 999);
  EXPECT_STREQ("Error", buf);
  std::strcpy(buf, "old");
  Nlssprintf(buf, nullptr, 0, 0);
  EXPECT_STREQ("Error", buf);
  // The sized form cuts the result.
  char small[12];
  Nlssnprintf(small, sizeof small, db_, 25, 1003, 1, 10);
  EXPECT_STREQ("The value m", small);
  Nlssnprintf(small, 3, db_, 25, 999);
  EXPECT_STREQ("Er", small);
  testutil::ScratchDir dir;
  FILE* f = std::fopen((dir / "out").c_str(), "w");
  ASSERT_NE(nullptr, f);
  EXPECT_EQ(46, Nlsfprintf(f, db_, 25, 1003, 2, 8));
  EXPECT_EQ(5, Nlsfprintf(f, db_, 25, 999, 2, 8));
  std::fclose(f);
  EXPECT_EQ("The value must be a whole number from 2 to 8.\nError", testutil::ReadFile(dir / "out"));
}

class GuiTemplate : public Fetch {
 protected:
  void SetUp() override {
    Fetch::SetUp();
    pDrvCoreDB = Open();
  }
};

TEST_F(GuiTemplate, EachPercentSTakesTheNextMessageOfTheSetOrItsKeyCutToTheOutputSize) {
  char out[64];
  EXPECT_EQ(out, NlsGuiStrCvt("Page %s of %s", 7, out, sizeof out));
  EXPECT_STREQ("Page 3 of 9", out);
  NlsGuiStrCvt("%d%% %s|%s|%s", 7, out, sizeof out);  // other percents stay
  EXPECT_STREQ("%d%% 3|9|7_3", out);
  char small[9];
  std::memset(small, 'x', sizeof small);
  NlsGuiStrCvt("Page %s of %s", 7, small, sizeof small);
  EXPECT_STREQ("Page 3 o", small);
  NlsGuiStrCvt("ab%s", 8, small, 5);
  EXPECT_STREQ("ab10", small);
}

TEST(TextKey, SumsOfWeightedAndPlainBytes) {
  EXPECT_STREQ("0000056400000126", NlsCalcStrVal("abc"));
  EXPECT_STREQ("0000000000000000", NlsCalcStrVal(""));
  EXPECT_STREQ("0000000000000000", NlsCalcStrVal(nullptr));
  EXPECT_STREQ("000000FF000000FF", NlsCalcStrVal("\xff"));
  EXPECT_EQ(StrVal, NlsCalcStrVal("x"));
}

class OpenCatalogue : public NlsTest {};

TEST_F(OpenCatalogue, OpensTheChosenLanguageReportsOnlyAMissingEnglishCatalogue) {
  WriteTrans("de_DE = de_DE\nfr_FR = fr_FR\nDefault en_US\n");
  Compile("1 1 \"Hallo\"\n", "de_DE", "Menus");
  const struct { const char* lang; const char* text; std::string err; } rows[] = {
      {"de_DE", "Hallo", ""},
      {"fr_FR.UTF-8", "1_1", ""},  // another language's catalogue missing: quietly empty
      {"C", nullptr, "ERROR:  Could not open English database:  " + tool_.path() + "/db/en_US/Menus.xdb\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.lang);
    LanguageFor(r.lang);
    testing::internal::CaptureStderr();
    DbTHandle* db = NlsOpenDB("Menus", 0);
    EXPECT_EQ(r.err, testing::internal::GetCapturedStderr());
    if (r.text == nullptr) {
      EXPECT_EQ(nullptr, db);
      continue;
    }
    ASSERT_NE(nullptr, db);
    char* text = NlsFetchString(db, nullptr, NLS_KIND_NUM, 1, 1);
    EXPECT_STREQ(r.text, text);
    if (std::strcmp(text, "1_1") != 0) PutMem(text);  // a hit is a managed copy
    DbTClose(db);
  }
}

}  // namespace
