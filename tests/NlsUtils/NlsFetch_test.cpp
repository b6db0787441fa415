// NlsFetch_test.cpp - catalogue lookups by the four key kinds, the record limits,
// formatting with catalogue texts, templates, text keys, menu texts and opening
// catalogues.
#include "NlsFixture.h"

#include "TextMenu/TextMenu.h"

#include <cstring>

namespace {

using NlsFetchTest = NlsTest;

// Each row fetches from the core catalogue (C), a catalogue of a 5000-byte text (L),
// one whose records were stored without their zero (B) or none (-), into a buffer of
// the given size (0: none). Where the result lives: 'b' the buffer, 'm' a new managed
// copy, 'k' the key text of a miss (also copied into a buffer), 'e' the error text.
TEST_F(NlsFetchTest, FetchesByKindAndKey) {
  Compile("25 201 \"Enter: \"\nkey:SAVE \"Save\"\n");
  Compile("1 1 \"" + std::string(5000, 'L') + "\"\n", "en_US", "Long", true);
  DbTHandle *core = Open(), *longDb = Open("en_US", "Long"), *bare = Open("en_US", "Bare");
  const std::string q(2048, 'q'), L(2047, 'L');
  ASSERT_EQ(DbmTPutRecord(bare, "1_1", q.data(), 2048) + DbmTPutRecord(bare, "1_2", q.data(), 1000), 2);
  const struct { char db; size_t size; int kind, set, num; const char* key; char where; std::string text; } rows[] = {
      {'C', 2048, 0, 25, 201, nullptr, 'b', "Enter: "}, {'C', 0, 0, 25, 201, nullptr, 'm', "Enter: "},
      {'C', 0, 3, 25, 201, nullptr, 'm', "Enter: "}, {'C', 4, 0, 25, 201, nullptr, 'b', "Ent"},
      {'C', 0, 1, 0, 0, "SAVE", 'm', "Save"}, {'C', 2048, 2, 0, 0, "SAVE", 'b', "Save"},
      {'C', 3, 1, 0, 0, "SAVE", 'b', "Sa"},
      {'C', 2048, 0, 25, 999, nullptr, 'k', "25_999"}, {'C', 4, 0, 25, 999, nullptr, 'k', "25_999"},
      {'C', 0, 3, 25, 999, nullptr, 'k', "25_999"}, {'C', 0, 1, 0, 0, "NO_KEY", 'k', "NO_KEY"},
      {'-', 0, 0, 25, 201, nullptr, 'k', "25_201"}, {'-', 0, 3, 25, 201, nullptr, 'k', "25_201"},
      // Wrong kinds, null keys and, without a catalogue, keys that are not numbered.
      {'C', 0, 1, 25, 201, nullptr, 'e', "Error"}, {'C', 0, 0, 0, 0, "25_201", 'e', "Error"},
      {'C', 0, 7, 25, 201, nullptr, 'e', "Error"}, {'-', 0, 0, 0, 201, nullptr, 'e', "Error"},
      {'-', 0, 0, 25, 0, nullptr, 'e', "Error"}, {'-', 0, 1, 0, 0, "SAVE", 'e', "Error"},
      // Kind 3 gives a long record whole, the others cut it to 2047 bytes; a record stored
      // without its zero ends all the same.
      {'L', 0, 3, 1, 1, nullptr, 'm', std::string(5000, 'L')}, {'L', 0, 0, 1, 1, nullptr, 'm', L},
      {'L', 2048, 1, 0, 0, "1_1", 'b', L}, {'B', 0, 0, 1, 1, nullptr, 'm', q.substr(1)},
      {'B', 0, 3, 1, 1, nullptr, 'm', q}, {'B', 0, 3, 1, 2, nullptr, 'm', q.substr(0, 1000)},
  };
  char buf[NLS_REC_SIZE];
  for (const auto& r : rows) {
    DbTHandle* db = r.db == 'C' ? core : r.db == 'L' ? longDb : r.db == 'B' ? bare : nullptr;
    std::memset(buf, 'x', sizeof buf);
    char* b = r.size ? buf : nullptr;
    char* got = r.key ? (r.size % 2048 ? NlsFetchStringN(db, b, r.size, r.kind, r.key)
                                       : NlsFetchString(db, b, r.kind, r.key))
                      : (r.size % 2048 ? NlsFetchStringN(db, b, r.size, r.kind, r.set, r.num)
                                       : NlsFetchString(db, b, r.kind, r.set, r.num));
    EXPECT_EQ(std::string(r.where == 'b' ? buf : got) + "|" + (got == buf ? 'b' : got == pErrBuf ? 'e' : '?'),
              r.text + "|" + (r.where == 'b' || r.where == 'e' ? r.where : '?')) << r.text.substr(0, 20);
    EXPECT_TRUE(r.where != 'k' || r.size == 0 || r.text.substr(0, r.size - 1) == buf) << buf;
    if (r.where == 'm') PutMem(got);
  }
  // The key of a missed text key may be asked again (it is the key text that a miss
  // returns, kept until the next fetch).
  EXPECT_STREQ(NlsFetchString(core, nullptr, 1, NlsFetchString(core, nullptr, 1, "NO_KEY")), "NO_KEY");
  EXPECT_EQ(NlsFetchString(core, nullptr, NLS_KIND_KEY, static_cast<const char*>(nullptr)), pErrBuf);
  for (DbTHandle* db : {core, longDb, bare}) DbTClose(db);
}

TEST_F(NlsFetchTest, FormatsAndFillsMenuTexts) {
  Compile("25 201 \"Enter a selection: \"\n25 203 \"The value is from %d to %d.\"\n7 1 \"3\"\n7 2 \"9\"\n8 1 \"100%\"\n"
          "25 204 \"" + std::string(200, 'x') + "\"\n");
  pDrvCoreDB = Open();
  char buf[NLS_REC_SIZE] = "old", small[12];
  EXPECT_STREQ(Nlssprintf(buf, pDrvCoreDB, 25, 203, 1, 10), "The value is from 1 to 10.");
  EXPECT_STREQ(Nlssprintf(buf, pDrvCoreDB, 25, 999), "Error");
  EXPECT_STREQ(Nlssprintf(buf, nullptr, 0, 0), "Error");
  EXPECT_STREQ(Nlssnprintf(small, sizeof small, pDrvCoreDB, 25, 203, 1, 10), "The value i");
  EXPECT_STREQ(Nlssnprintf(small, 3, pDrvCoreDB, 25, 999), "Er");
  FILE* f = std::fopen((tool_ / "out").c_str(), "w");
  EXPECT_EQ(Nlsfprintf(f, pDrvCoreDB, 25, 203, 2, 8) * 10 + Nlsfprintf(f, pDrvCoreDB, 25, 999), 255);
  std::fclose(f);
  EXPECT_EQ(testutil::ReadFile(tool_ / "out"), "The value is from 2 to 8.Error");
  // Each "%s" of a template takes the next message of the set, or its key.
  EXPECT_STREQ(NlsGuiStrCvt("Page %s of %s", 7, buf, 64), "Page 3 of 9");
  EXPECT_STREQ(NlsGuiStrCvt("%d%% %s|%s|%s", 7, buf, 64), "%d%% 3|9|7_3");
  EXPECT_STREQ(NlsGuiStrCvt("Page %s of %s", 7, small, 9), "Page 3 o");
  EXPECT_STREQ(NlsGuiStrCvt("ab%s", 8, small, 5), "ab10");
  std::string keys;
  for (const char* t : {"abc", "", static_cast<const char*>(nullptr), "\xff"}) keys += NlsCalcStrVal(t);
  EXPECT_EQ(keys, "0000056400000126" "0000000000000000" "0000000000000000" "000000FF000000FF");
  // Menu entries take consecutive messages of set 25, cut to 127 characters; a menu
  // text is a new copy of any length; a missing message gives its key.
  TextMenuItem items[3] = {};
  char* text = nullptr;
  NlsTtyMenuItemCvt(items, 204, 2);
  NlsTtyMenuItemStateCvt(items + 2, 201, 1), NlsTtyMenuItemPromptCvt(items + 2, 299, 1);
  NlsTtyMenuCvt(&text, 204);
  EXPECT_EQ(std::string(items[0].pLabel) + "|" + items[1].pLabel + "|" + items[2].pStates + "|" + items[2].pPrompt,
            std::string(127, 'x') + "|25_205|Enter a selection: |25_299");
  EXPECT_EQ(testutil::Take(text), std::string(200, 'x'));
  for (char* t : {items[0].pLabel, items[1].pLabel, items[2].pStates, items[2].pPrompt}) PutMem(t);
}

TEST_F(NlsFetchTest, OpensTheChosenLanguage) {
  testutil::WriteFile(tool_ / "trans.conf", "de_DE = de_DE\nfr_FR = fr_FR\nDefault en_US\n");
  Compile("1 1 \"Hallo\"\n", "de_DE", "Menus");
  const struct { const char *lang, *text; } rows[] = {
      {"de_DE", "Hallo"}, {"fr_FR.UTF-8", "1_1"}, {"C", nullptr}};  // another language's: quietly empty
  for (const auto& r : rows) {
    LanguageFor(r.lang);
    testing::internal::CaptureStderr();
    DbTHandle* db = NlsOpenDB("Menus", 0);
    char buf[NLS_REC_SIZE];
    EXPECT_STREQ(db != nullptr ? NlsFetchString(db, buf, NLS_KIND_NUM, 1, 1) : nullptr, r.text) << r.lang;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(r.text ? err.empty() : err.find(tool_.path() + "/db/en_US/Menus.xdb\n") != std::string::npos) << err;
    if (db != nullptr) DbTClose(db);
  }
  EXPECT_EQ(NlsOpenDB(nullptr, 0), nullptr);
}

}  // namespace
