// Nls_test.cpp - the catalogue compiler, lookups by the four key kinds, formatting with
// catalogue texts and menu texts, opening catalogues, the translation table, the choice
// of language and the tool directory.
#include "testutil.h"

#include "Dbm/Dbm.h"
#include "NlsUtils/Nls.h"
#include "TextMenu/TextMenu.h"

#include <cstring>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

// A scratch tool directory, with the catalogue's process-wide state reset before and
// after each test.
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
  // Compiles the source into the catalogue lang/name; the status, with standard error in err_.
  int Run(const std::string& src, const char* lang = "en_US", const char* name = "CoreString", bool longOk = false) {
    testutil::WriteFile(tool_ / "t.msg", src);
    testing::internal::CaptureStderr();
    const int status = NlsCompileCatalog((tool_ / "t.msg").c_str(), tool_.path().c_str(), lang, name, longOk);
    err_ = testing::internal::GetCapturedStderr();
    return status;
  }
  DbTHandle* Open(const std::string& lang = "en_US", const std::string& name = "CoreString") {
    return DbTOpen((tool_.path() + "/db/" + lang + "/" + name + ".xdb").c_str(), 0);
  }
  testutil::ScratchDir tool_;
  char* savedTool_ = nullptr;
  std::string err_;
};
TEST_F(NlsTest, RefusesFaultySources) {
  ASSERT_EQ(Run("1 1 \"old\"\n"), 0);
  const struct { std::string line; const char* error; } rows[] = {
      {"x 1 \"a\"", "a message set"}, {"1 \"a\"", "a message number"}, {"1\"a\"", "a blank after"},
      {"-1 1 \"a\"", "a message set"}, {"1 2147483648 \"a\"", "larger than 2147483647"}, {"key: \"a\"", "a name"},
      {"key:" + std::string(256, 'k') + " \"a\"", "longer than 255"}, {"1 1 a", "a quoted text"},
      {"1 1 \"abc", "closing quote"}, {"1 1 \"abc\\", "closing quote"}, {"1 1 \"a\" b", "after the closing quote"},
      {"1 1 \"a\\q\"", "\\q"}, {"1 1 \"a\\0\"", "\\0"}, {"1 1 \"a\\400\"", "\\400"}, {"", "no messages"},
      {std::string("1 1 \"a\0b\"", 9), "zero byte"}, {"1 1 \"a\"\n1 1 \"b\"", "duplicate key 1_1"},
      {"1 1 \"" + std::string(2048, 'a') + "\"", "2048 bytes"}, {"1 1 \"" + std::string(60001, 'a') + "\"", "60001"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(Run("# first\n" + r.line + "\n", "en_US", "CoreString", r.line.size() > 50000), 1) << r.line;
    EXPECT_TRUE(err_.rfind(tool_ / "t.msg:", 0) == 0 && err_.find(": error: ") != std::string::npos &&
                err_.find(r.error) != std::string::npos) << err_;
  }
  char buf[NLS_REC_SIZE];
  DbTHandle* db = Open();
  EXPECT_STREQ(NlsFetchString(db, buf, NLS_KIND_NUM, 1, 1), "old");
  DbTClose(db);
  EXPECT_EQ(Run("1 1 \"" + std::string(60000, 'a') + "\"\n", "en_US", "CoreString", true), 0);
  const auto cwd = std::filesystem::current_path();
  char* tool = pToolPath;
  for (auto [lang, name] : {std::pair{"../x", "T"}, {"en_US", ".."}, {"en_US", ""}})
    EXPECT_EQ(Run("1 1 \"a\"\n", lang, name), 2) << lang << "/" << name;
  std::filesystem::remove(tool_ / "t.msg");
  EXPECT_EQ(NlsCompileCatalog((tool_ / "t.msg").c_str(), tool_.path().c_str(), "en_US", "T", false), 1);
  EXPECT_TRUE(tool == pToolPath && cwd == std::filesystem::current_path());
}

// Each row fetches from the core catalogue (C), a catalogue of a 5000-byte text (L),
// one whose records were stored without their zero (B) or none (-), into a buffer of
// the given size (0: none). Where the result lives: 'b' the buffer, 'm' a new managed
// copy, 'k' the key text of a miss (also copied into a buffer), 'e' the error text.
TEST_F(NlsTest, FetchesAndFormats) {
  ASSERT_EQ(Run("9 9 \"gone\"\n"), 0);  // replaced whole by the next catalogue (row 9_9)
  Run("1 1 \"" + std::string(5000, 'L') + "\"\n", "en_US", "Long", true);
  ASSERT_EQ(Run("# a comment\n\n  \t\n  025\t0201 \"Enter: \"\r\n25 202 \"one \" \"two\"\t\"\" \" three\"  # x\n"
                "25 206 \"\"\nkey:SAVE \"Save\"\n0 0 \"zero\"\n25 203 \"The value is from %d to %d.\"\n7 1 \"3\"\n"
                "7 2 \"9\"\n8 1 \"100%\"\n25 204 \"" + std::string(200, 'x') + "\"\n"
                "1 1 \"a\\tb\\\\c\\\"d\\101\\n\\1772\\r\\a\\b\\f\\v\\'\"\n"), 0);
  DbTHandle *core = Open(), *longDb = Open("en_US", "Long"), *bare = Open("en_US", "Bare");
  const std::string q(2048, 'q'), L(2047, 'L');
  ASSERT_EQ(DbmTPutRecord(bare, "1_1", q.data(), 2048) + DbmTPutRecord(bare, "1_2", q.data(), 1000), 2);
  const struct { char db; size_t size; int kind, set, num; const char* key; char where; std::string text; } rows[] = {
      {'C', 2048, 0, 25, 201, nullptr, 'b', "Enter: "}, {'C', 0, 0, 25, 201, nullptr, 'm', "Enter: "},
      {'C', 4, 0, 25, 201, nullptr, 'b', "Ent"}, {'C', 0, 1, 0, 0, "SAVE", 'm', "Save"},
      {'C', 3, 1, 0, 0, "SAVE", 'b', "Sa"}, {'C', 4, 0, 25, 999, nullptr, 'k', "25_999"},
      {'C', 0, 3, 25, 999, nullptr, 'k', "25_999"}, {'C', 0, 1, 0, 0, "NO_KEY", 'k', "NO_KEY"},
      {'-', 0, 0, 25, 201, nullptr, 'k', "25_201"}, {'C', 0, 0, 9, 9, nullptr, 'k', "9_9"},
      {'C', 0, 0, 25, 202, nullptr, 'm', "one two three"}, {'C', 0, 0, 25, 206, nullptr, 'm', ""},
      {'C', 0, 1, 0, 0, "0_0", 'm', "zero"}, {'C', 0, 0, 1, 1, nullptr, 'm', "a\tb\\c\"dA\n\1772\r\a\b\f\v'"},
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
    char* got = r.key ? (r.size % 2048 ? NlsFetchStringN(db, buf, r.size, r.kind, r.key)
                                       : NlsFetchString(db, r.size ? buf : nullptr, r.kind, r.key))
                      : (r.size % 2048 ? NlsFetchStringN(db, buf, r.size, r.kind, r.set, r.num)
                                       : NlsFetchString(db, r.size ? buf : nullptr, r.kind, r.set, r.num));
    EXPECT_EQ(std::string(r.where == 'b' ? buf : got) + "|" + (got == buf ? 'b' : got == pErrBuf ? 'e' : '?'),
              r.text + "|" + (r.where == 'b' || r.where == 'e' ? r.where : '?')) << r.text.substr(0, 20);
    EXPECT_TRUE(r.where != 'k' || r.size == 0 || r.text.substr(0, r.size - 1) == buf) << buf;
    if (r.where == 'm') PutMem(got);
  }
  // The key of a missed text key may be asked again (it is the key text that a miss
  // returns, kept until the next fetch).
  EXPECT_STREQ(NlsFetchString(core, nullptr, 1, NlsFetchString(core, nullptr, 1, "NO_KEY")), "NO_KEY");
  EXPECT_EQ(NlsFetchString(core, nullptr, NLS_KIND_KEY, static_cast<const char*>(nullptr)), pErrBuf);
  for (DbTHandle* db : {longDb, bare}) DbTClose(db);
  // No diagnostics for the core source, no files left over.
  EXPECT_EQ(err_ + std::to_string(std::ranges::distance(fs::directory_iterator(tool_ / "db/en_US"))), "3");
  // Formatting with catalogue texts.
  pDrvCoreDB = core;
  char small[12];
  EXPECT_STREQ(Nlssprintf(buf, pDrvCoreDB, 25, 203, 1, 10), "The value is from 1 to 10.");
  EXPECT_STREQ(Nlssprintf(buf, nullptr, 0, 0), "Error");
  EXPECT_STREQ(Nlssnprintf(small, sizeof small, pDrvCoreDB, 25, 203, 1, 10), "The value i");
  EXPECT_STREQ(Nlssnprintf(small, 3, pDrvCoreDB, 25, 999), "Er");
  testing::internal::CaptureStdout();
  EXPECT_EQ(Nlsfprintf(stdout, pDrvCoreDB, 25, 203, 2, 8), 25);
  EXPECT_EQ(Nlsfprintf(stdout, pDrvCoreDB, 25, 999), 5);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "The value is from 2 to 8.Error");
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
            std::string(127, 'x') + "|25_205|Enter: |25_299");
  EXPECT_EQ(testutil::Take(text), std::string(200, 'x'));
  for (char* t : {items[0].pLabel, items[1].pLabel, items[2].pStates, items[2].pPrompt}) PutMem(t);
}

TEST_F(NlsTest, NormalisesTransTable) {
  std::string lines, cut, line = "en_US =";  // 16 bytes a normalised line, 6 a word
  for (int i = 1000; i < 3000; ++i) {
    lines += "lang_" + std::to_string(i) + " = v1\n", line += " v" + std::to_string(i);
    cut += i < 1511 ? "lang_" + std::to_string(i) + " = v1 \n" : "";
  }
  const struct { std::string text, table; } rows[] = {
      {"en_US   =\ten_US  C POSIX\n\n\nDefault  en_US\n", "en_US = en_US C POSIX \nDefault en_US \n"},
      {"Default fr_FR en_US = en_US\n", "Default fr_FR \nen_US = en_US \n"},  // the word after Default ends its line
      // A blank before a line feed, and a carriage return, join the next line.
      {"en_US = en_US \nfr_FR = fr_FR\n", "en_US = en_US fr_FR = fr_FR \n"}, {"a = b\r\nc = d\r\n", "a = b c = d "},
      // Comments contribute nothing; '=' is a word only at the start of a word.
      {"# en_US = xx C\nen_US = en_US\n# the end", "en_US = en_US \n"}, {"a = b #x\r\nc = d", "a = b c = d "},
      {"en_US = C # a note\nfr = fr\n", "en_US = C fr = fr \n"}, {"a=b = c\n", "a=b = c \n"}, {"a =x", "a = x "},
      {"", "(null)"}, {lines, cut}, {line, line.substr(0, 8 + 1363 * 6 - 1) + " "},
  };
  for (const auto& r : rows) {
    testutil::WriteFile(tool_ / "trans.conf", r.text);
    testing::internal::CaptureStderr();
    EXPECT_EQ(testutil::Take(ParseTransFile("trans.conf")), r.table) << r.text.substr(0, 50);
    EXPECT_EQ(testing::internal::GetCapturedStderr().find("WARNING: "), r.text.size() > 8000 ? 0 : std::string::npos);
  }
  EXPECT_EQ(ParseTransFile("none.conf"), nullptr);
}

TEST_F(NlsTest, ChoosesAndOpensTheLanguage) {
  const struct { const char *trans, *lang, *language; } rows[] = {
      // An unset or empty LANG selects the not-set mapping.
      {"en_US = en_US C\nde_DE = de ___LANG_NOT_SET___\nDefault en_US\n", nullptr, "de_DE"},
      {"de_DE = ___LANG_NOT_SET___\nDefault en_US\n", "", "de_DE"},
      // The code set is cut with the closing blank.
      {"fr_CA = fr_FRX\nDefault en_US\n", "fr_FR.ISO8859-1", "fr_CA"}, {"fr_CA = fr_FRX\n", "fr_FR", "en_US"},
      // Unmapped: the default, else English; a Default without language is none.
      {"en_US = en_US C\nDefault fr_FR\n", "de_DE", "fr_FR"}, {"fr_FR = fr_FR\nDefault \n", "de_DE", "en_US"},
      // A joined line names its first language; a commented mapping is ignored.
      {"fr_FR = fr_FR \nde_DE = de_DE\n", "de_DE", "fr_FR"}, {"# xx_XX = C\nfr_FR = fr_FR C\n", "C", "fr_FR"},
      // The Default line lists no LANG values: a match there belongs to no mapping line;
      // without trans.conf the table of the core catalogue holds, else English.
      {"de_DE = de_DE de_AT\nDefault fr_FR\n", "fr_FR", "fr_FR"}, {nullptr, "de_DE", "en_US"},
  };
  for (const auto& r : rows) {
    r.trans ? testutil::WriteFile(tool_ / "trans.conf", r.trans) : fs::remove(tool_ / "trans.conf");
    EXPECT_EQ(LanguageFor(r.lang), r.language) << (r.lang ? r.lang : "(unset)") << " with " << (r.trans ? r.trans : "");
  }
  Run("999 1 \"fr_FR = de_DE \\nDefault en_US \\n\"\n");
  EXPECT_EQ(LanguageFor("de_DE.UTF-8"), "fr_FR");
  setenv("LANG", "it_IT", 1);  // the choice is kept for the process
  EXPECT_STREQ(GetDesiredNLSLang(), "fr_FR");
  // Catalogues open in the language chosen.
  testutil::WriteFile(tool_ / "trans.conf", "de_DE = de_DE\nfr_FR = fr_FR\nDefault en_US\n");
  Run("1 1 \"Hallo\"\n", "de_DE", "Menus");
  const struct { const char *lang, *text; } opens[] = {
      {"de_DE", "Hallo"}, {"fr_FR.UTF-8", "1_1"}, {"C", nullptr}};  // another language's: quietly empty
  for (const auto& r : opens) {
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

TEST_F(NlsTest, FindsTheToolPath) {
  fs::create_directories(tool_ / "inst/bin"), fs::create_directories(tool_ / "links");
  testutil::WriteTool(tool_ / "inst/bin/prog", "#!/bin/sh\n");
  fs::create_symlink(tool_ / "inst/bin/prog", tool_ / "links/prog");
  const std::string inst = fs::canonical(tool_ / "inst").string() + "/share/tvnn", cwd = fs::current_path().string();
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", ("/nonexistent:" + tool_ / "inst/bin").c_str(), 1);
  const struct { const char* var; std::string argv0, tool; } rows[] = {
      {"/opt/tools/tvnn/", "/usr/bin/prog", "/opt/tools/tvnn"}, {"rel/tvnn", "", cwd + "/rel/tvnn"},
      {nullptr, tool_ / "inst/bin/prog", inst}, {nullptr, tool_ / "links/prog", inst}, {nullptr, "prog", inst},
      {nullptr, "", fs::canonical(KANDU_BINARY_DIR).string() + "/share/tvnn"},  // the test program's own
  };
  for (const auto& r : rows) {
    r.var ? setenv("KANDU_TOOL_PATH", r.var, 1) : unsetenv("KANDU_TOOL_PATH");
    const std::string got = NlsInitToolPath(r.argv0.empty() ? nullptr : r.argv0.c_str());
    EXPECT_EQ(got + "|" + pToolPath, r.tool + "|" + r.tool) << r.argv0;
  }
  setenv("PATH", path.c_str(), 1), unsetenv("KANDU_TOOL_PATH");
}

}  // namespace
