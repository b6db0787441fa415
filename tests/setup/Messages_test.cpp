// Messages_test.cpp - the installer's six message tables and the choice of language.
#include "setup/setup.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Table {
  const char* name;
  const char* const* texts;
};

const Table kTables[] = {
    {"English", NLS_ENGLISH}, {"Spanish", NLS_SPANISH}, {"Italian", NLS_ITALIAN},
    {"French", NLS_FRENCH},   {"German", NLS_GERMAN},   {"Portuguese", NLS_PORTUGUESE},
};

// The five translations, each compared with the English table.
std::vector<Table> Translations() { return {std::begin(kTables) + 1, std::end(kTables)}; }

// Name of the table t, "none" for null and "unknown" for a pointer to no table.
std::string TableName(const char* const* t) {
  if (t == nullptr) return "none";
  for (const Table& table : kTables)
    if (table.texts == t) return table.name;
  return "unknown";
}

// The printf conversions of a text in order ("%s", "%i", "%e"); "%%" is no
// conversion. A stray '%' yields what follows it, so it never matches a real one.
std::vector<std::string> Conversions(std::string_view s) {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') continue;
    size_t j = i + 1;
    if (j < s.size() && s[j] == '%') {
      i = j;
      continue;
    }
    auto in = [&](const char* set) { return j < s.size() && std::strchr(set, s[j]) != nullptr; };
    while (in("-+ #0")) ++j;
    while (in("0123456789*.")) ++j;
    while (in("hlLqjzt")) ++j;
    out.emplace_back(s.substr(i, j - i + 1));
    i = j;
  }
  return out;
}

std::string Leading(std::string_view s) { return std::string(s.substr(0, s.find_first_not_of(" \t\n"))); }

std::string Trailing(std::string_view s) {
  const size_t last = s.find_last_not_of(" \t\n");
  return std::string(last == std::string_view::npos ? s : s.substr(last + 1));
}

size_t Count(std::string_view s, char c) {
  size_t n = 0;
  for (char x : s) n += x == c;
  return n;
}

std::vector<std::string> Split(std::string_view s, char d) {
  std::vector<std::string> items;
  size_t start = 0;
  for (size_t pos; (pos = s.find(d, start)) != std::string_view::npos; start = pos + 1)
    items.emplace_back(s.substr(start, pos - start));
  items.emplace_back(s.substr(start));
  return items;
}

// The messages the installer's own flow prints.
constexpr int kPrinted[] = {3, 21, 35, 49, 55, 56, 60, 62, 63, 65, 66, 67, 68, 69, 70};

// ===== The tables =====

TEST(MessageTables, EveryTableHoldsAllSeventyOneTexts) {
  for (const Table& t : kTables)
    for (int n = 0; n < NLS_SETUP_MSG_COUNT; ++n)
      EXPECT_NE(t.texts[n], nullptr) << t.name << " message " << n;
}

// The texts the installer prints are compared whole by the end-to-end suites; these
// are the ones no run shows.
TEST(MessageTables, EnglishTextsNoRunShowsAreExact) {
  EXPECT_STREQ(NLS_ENGLISH[0], "~e Exit Help");
  EXPECT_STREQ(NLS_ENGLISH[3], "ERROR: couldn't open %s");
  EXPECT_STREQ(NLS_ENGLISH[39],
               "                  offset_files size total will be used to reduce disk1 file. \n");
  EXPECT_STREQ(NLS_ENGLISH[50], "_none,    ,_TTY");
  EXPECT_STREQ(NLS_ENGLISH[60], "failed ts get version");
}

TEST(MessageTables, PlaceholdersAreTheOnesCallersPassInEveryLanguage) {
  using V = std::vector<std::string>;
  const struct { int n; V conversions; } rows[] = {
      {3, {"%s"}}, {6, {"%i"}}, {35, {"%s", "%s"}}, {49, {"%s", "%e"}}, {56, {"%s", "%s", "%e"}},
      {62, {"%s", "%s", "%s", "%s"}}, {70, {}},
  };
  for (const auto& r : rows) EXPECT_EQ(Conversions(NLS_ENGLISH[r.n]), r.conversions) << r.n;
  EXPECT_EQ(Conversions("100%% of %-5.2le and 7% x"), V({"%-5.2le", "% x"}));
  // The translations keep the placeholders in order, the line feeds, tabs and outer blanks.
  for (const Table& t : Translations())
    for (int n = 0; n < NLS_SETUP_MSG_COUNT; ++n) {
      SCOPED_TRACE(std::string(t.name) + " message " + std::to_string(n));
      EXPECT_EQ(Conversions(t.texts[n]), Conversions(NLS_ENGLISH[n]));
      EXPECT_EQ(Count(t.texts[n], '\n'), Count(NLS_ENGLISH[n], '\n'));
      EXPECT_EQ(Count(t.texts[n], '\t'), Count(NLS_ENGLISH[n], '\t'));
      EXPECT_EQ(Leading(t.texts[n]), Leading(NLS_ENGLISH[n]));
      EXPECT_EQ(Trailing(t.texts[n]), Trailing(NLS_ENGLISH[n]));
    }
}

TEST(MessageTables, TextsAreSingleByteLatin1) {
  for (const Table& t : kTables)
    for (int n = 0; n < NLS_SETUP_MSG_COUNT; ++n) {
      const auto* s = reinterpret_cast<const unsigned char*>(t.texts[n]);
      for (size_t i = 0; s[i] != 0; ++i) {
        // Control characters: only the line feed and the tab; no C1 controls.
        EXPECT_TRUE(s[i] >= 0x20 || s[i] == '\n' || s[i] == '\t')
            << t.name << " message " << n << " byte " << i;
        EXPECT_FALSE(s[i] >= 0x7F && s[i] < 0xA0) << t.name << " message " << n << " byte " << i;
        // No UTF-8: an A-tilde lead byte followed by a continuation byte.
        EXPECT_FALSE(s[i] == 0xC3 && s[i + 1] >= 0x80 && s[i + 1] <= 0xBF)
            << t.name << " message " << n << " byte " << i;
      }
    }
}

TEST(MessageTables, TranslationsUseTheirOwnAccentedLettersAndWorkAsFormats) {
  EXPECT_STREQ(NLS_SPANISH[2], "~b Atr\341s");
  EXPECT_STREQ(NLS_FRENCH[63], "\nVoulez-vous poursuivre l'installation ? [on] ");
  EXPECT_STREQ(NLS_GERMAN[35], "%s ist angemeldet\nSie m\374ssen root sein, um %s auszuf\374hren\n");
  EXPECT_STREQ(NLS_ITALIAN[69], "2.  Uscire dall'installazione\n");
  EXPECT_STREQ(NLS_PORTUGUESE[41], "_N\343o,_Sim");
  char out[512];
  // The tables are printf formats by design; the arguments match their placeholders.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::snprintf(out, sizeof out, NLS_FRENCH[62], "Kandu", "Kandu", "Kandu", "tvnn");
#pragma GCC diagnostic pop
  EXPECT_STREQ(out,
               "\nSi un logiciel d'impression Kandu utilisant le d\351mon d'impression TavloD\n"
               "est install\351, vous devez supprimer toutes vos files d'impression Kandu avant\n"
               "d'installer ce paquet.\n\n"
               "REMARQUE : TavloD se trouve dans <r\351pertoire d'installation>/Kandu/tvnn\n");
}

TEST(MessageTables, PrintedMessagesAreTranslated) {
  for (const Table& t : Translations())
    for (int n : kPrinted) EXPECT_STRNE(t.texts[n], NLS_ENGLISH[n]) << t.name << " message " << n;
}

TEST(MessageTables, ScriptLinesAndEmptyEntryAreTheSameInAllTables) {
  for (const Table& t : kTables) {
    EXPECT_STREQ(t.texts[15], "\t\t\"wrong number of arguments to interface program\" \\\n") << t.name;
    EXPECT_STREQ(t.texts[16], "\t\t\"consult your system administrator\" \\\n") << t.name;
    EXPECT_STREQ(t.texts[57], "") << t.name;
  }
}

TEST(MessageTables, MenuEntriesKeepTheirItemsAndHotKeyMarks) {
  for (int n : {40, 41, 45, 46, 47, 48, 50}) {
    const std::vector<std::string> english = Split(NLS_ENGLISH[n], ',');
    for (const Table& t : Translations()) {
      const std::vector<std::string> items = Split(t.texts[n], ',');
      ASSERT_EQ(items.size(), english.size()) << t.name << " message " << n;
      EXPECT_EQ(Count(t.texts[n], '_'), Count(NLS_ENGLISH[n], '_')) << t.name << " message " << n;
      for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].rfind('_', 0) == 0, english[i].rfind('_', 0) == 0)
            << t.name << " message " << n << " item " << i;
        EXPECT_FALSE(items[i].empty()) << t.name << " message " << n << " item " << i;
      }
    }
  }
  EXPECT_STREQ(NLS_GERMAN[50], "_keine,    ,_TTY");
}

TEST(MessageTables, KeysAndCommandLinesStayAsTheOperatorTypesThem) {
  for (const Table& t : kTables) {
    EXPECT_EQ(std::string(t.texts[0]).substr(0, 3), "~e ") << t.name;
    EXPECT_EQ(std::string(t.texts[1]).substr(0, 3), "~c ") << t.name;
    EXPECT_EQ(std::string(t.texts[2]).substr(0, 3), "~b ") << t.name;
    const std::string work = t.texts[49], install = t.texts[55];
    EXPECT_NE(work.find("/new_work_area_path "), std::string::npos) << t.name;
    EXPECT_NE(work.find(" /tmp\n"), std::string::npos) << t.name;
    EXPECT_NE(work.find("`setup /new_work_area_path`"), std::string::npos) << t.name;
    EXPECT_NE(install.find("/new_install_path "), std::string::npos) << t.name;
    EXPECT_NE(install.find("'setup install /new_install_path'"), std::string::npos) << t.name;
    // The running-process menu reads the digits 1 and 2; the question ends in a bracketed
    // pair of the language's own initials for yes and no.
    EXPECT_EQ(std::string(t.texts[68]).substr(0, 4), "1.  ") << t.name;
    EXPECT_EQ(std::string(t.texts[69]).substr(0, 4), "2.  ") << t.name;
    EXPECT_EQ(Trailing(t.texts[63]), " ") << t.name;
    const std::string q = t.texts[63];
    ASSERT_GE(q.size(), 5u) << t.name;
    EXPECT_EQ(q[q.size() - 5], '[') << t.name;
    EXPECT_EQ(q.substr(q.size() - 3), "n] ") << t.name;
  }
}

// ===== Language selection =====

// Each case starts with no language chosen and restores LANG afterwards.
class LanguageSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* lang = std::getenv("LANG")) saved_ = lang;
    pCurLang = nullptr;
  }
  void TearDown() override {
    if (saved_) setenv("LANG", saved_->c_str(), 1);
    else unsetenv("LANG");
    pCurLang = nullptr;
  }

  // The table the first message of a run comes from, with LANG set to lang (null: unset).
  static std::string ChosenFor(const char* lang) {
    pCurLang = nullptr;
    if (lang) setenv("LANG", lang, 1);
    else unsetenv("LANG");
    const char* text = nlsSetupStrCvt(70);
    if (pCurLang == nullptr || text != pCurLang[70]) return "inconsistent";
    return TableName(pCurLang);
  }

  static std::string Lang() {
    const char* lang = std::getenv("LANG");
    return lang ? lang : "(unset)";
  }

 private:
  std::optional<std::string> saved_;
};

TEST_F(LanguageSelection, TheCodeUpToTheFirstDotChoosesATableExactlyAndIsCutInTheEnvironment) {
  const std::string longLang = "fr_FR" + std::string(4000, 'x') + ".ISO-8859-1";
  const struct { const char* lang; const char* table; } rows[] = {
      {nullptr, "English"}, {"", "English"}, {"C", "English"}, {"POSIX", "English"},
      // The installer's codes.
      {"en_US", "English"}, {"es_ES", "Spanish"}, {"it_IT", "Italian"}, {"fr_FR", "French"},
      {"ge_GE", "German"}, {"pr_BR", "Portuguese"},
      // A code set is cut off.
      {"fr_FR.ISO-8859-1", "French"}, {"ge_GE.UTF-8.x", "German"}, {".UTF-8", "English"},
      // The system's codes other than the installer's, and other ends than a dot.
      {"de_DE", "English"}, {"pt_BR", "English"}, {"fr_CA.ISO-8859-1", "English"}, {"es_ES@euro", "English"},
      {"fr_FR ", "English"},
      // The lookup is case-sensitive, and parts of a code do not match.
      {"EN_US", "English"}, {"FR_FR", "English"}, {"Ge_GE", "English"}, {"es_es", "English"},
      {"fr", "English"}, {"pr_BRX", "English"}, {"xes_ES", "English"}, {longLang.c_str(), "English"},
  };
  for (const auto& r : rows) {
    const std::string lang = r.lang ? std::string(r.lang).substr(0, 40) : "(unset)";
    EXPECT_EQ(ChosenFor(r.lang), r.table) << lang;
    EXPECT_EQ(Lang(), r.lang ? std::string(r.lang).substr(0, std::string(r.lang).find('.')) : "(unset)") << lang;
  }
}

TEST_F(LanguageSelection, LanguageIsFixedAtTheFirstMessageAndNumbersOutsideGiveTheEmptyText) {
  EXPECT_EQ(pCurLang, nullptr);
  setenv("LANG", "fr_FR.ISO-8859-1", 1);
  EXPECT_STREQ(nlsSetupStrCvt(3), "ERREUR : impossible d'ouvrir %s");
  setenv("LANG", "ge_GE", 1);
  EXPECT_STREQ(nlsSetupStrCvt(69), "2.  Quitter l'installation\n");
  unsetenv("LANG");
  EXPECT_EQ(nlsSetupStrCvt(70), NLS_FRENCH[70]);
  EXPECT_EQ(TableName(pCurLang), "French");
  EXPECT_STREQ(nlsSetupStrCvt(-1), "");
  EXPECT_STREQ(nlsSetupStrCvt(NLS_SETUP_MSG_COUNT), "");
  // A number outside the table as the first message fixes the language too.
  pCurLang = nullptr;
  setenv("LANG", "es_ES", 1);
  EXPECT_STREQ(nlsSetupStrCvt(NLS_SETUP_MSG_COUNT), "");
  EXPECT_EQ(nlsSetupStrCvt(0), NLS_SPANISH[0]);
}

// The choice in a fresh process, where nothing has reset pCurLang: the exit
// status names the table that the first message came from.
TEST(LanguageSelectionInAFreshProcess, FirstMessageFixesTheLanguage) {
  auto run = [](const char* lang) {
    setenv("LANG", lang, 1);
    const char* first = nlsSetupStrCvt(63);
    setenv("LANG", "es_ES", 1);
    const char* second = nlsSetupStrCvt(70);
    int code = 10;
    for (const Table& t : kTables) {
      if (t.texts[63] == first && t.texts[70] == second) std::exit(code);
      ++code;
    }
    std::exit(1);
  };
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(run("ge_GE.ISO-8859-15"), ::testing::ExitedWithCode(14), "");
  EXPECT_EXIT(run("C"), ::testing::ExitedWithCode(10), "");
}

}  // namespace
