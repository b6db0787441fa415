// Messages_test.cpp - the installer's six message tables and the choice of language.
#include "setup/setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

const char* const* const kTables[] = {NLS_ENGLISH, NLS_SPANISH, NLS_ITALIAN, NLS_FRENCH, NLS_GERMAN, NLS_PORTUGUESE};

// What every translation of a message keeps: the number of line feeds and tabs and the
// printf conversions in order.
std::string Shape(const std::string& s) {
  std::string shape = std::to_string(std::count(s.begin(), s.end(), '\n')) + " " +
                      std::to_string(std::count(s.begin(), s.end(), '\t')) + "|";
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') continue;
    const size_t end = s.find_first_not_of("-+ #0123456789*.hlLqjzt", i + 1);  // "%%" is kept whole
    if (end == std::string::npos) break;
    shape += s.substr(i, end - i + 1);
    i = end;
  }
  return shape;
}

TEST(MessageTables, TranslationsKeepPlaceholdersLineFeedsAndLatin1Bytes) {
  for (const char* const* table : kTables) {
    for (int n = 0; n < NLS_SETUP_MSG_COUNT; ++n) {
      SCOPED_TRACE(testing::Message() << "table " << table[0] << ", message " << n);
      ASSERT_NE(table[n], nullptr);
      EXPECT_EQ(Shape(table[n]), Shape(NLS_ENGLISH[n]));
      // Only line feeds and tabs among the controls, no C1 controls, no UTF-8 sequence.
      for (const auto* p = reinterpret_cast<const unsigned char*>(table[n]); *p != 0; ++p) {
        EXPECT_TRUE((*p >= 0x20 && (*p < 0x7f || *p >= 0xa0)) || *p == '\n' || *p == '\t') << int(*p);
        EXPECT_FALSE(*p == 0xc3 && p[1] >= 0x80 && p[1] <= 0xbf) << "UTF-8 after " << int(*p);
      }
    }
  }
}

// Each case starts with no language chosen and restores LANG afterwards.
class Language : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* lang = std::getenv("LANG")) saved_ = lang;
    pCurLang = nullptr;
  }
  void TearDown() override {
    saved_ ? setenv("LANG", saved_->c_str(), 1) : unsetenv("LANG");
    pCurLang = nullptr;
  }
  std::optional<std::string> saved_;
};

TEST_F(Language, TheCodeUpToTheFirstDotChoosesTheTable) {
  const std::string longLang = "fr_FR" + std::string(4000, 'x') + ".ISO-8859-1";
  const struct { const char* lang; int table; } rows[] = {
      {nullptr, 0}, {"", 0}, {"C", 0}, {"POSIX", 0}, {"en_US", 0}, {"es_ES", 1}, {"it_IT", 2}, {"fr_FR", 3},
      {"ge_GE", 4}, {"pr_BR", 5}, {"fr_FR.ISO-8859-1", 3}, {"ge_GE.UTF-8.x", 4}, {".UTF-8", 0},
      // Standard locale names by their language part; other case and other words: English.
      {"de_DE", 4}, {"pt_BR", 5}, {"fr_CA.ISO-8859-1", 3}, {"es_ES@euro", 1}, {"fr_FR ", 3},
      {"it", 2}, {"de@euro", 4}, {"EN_US", 0}, {"FR_FR", 0}, {"Ge_GE", 0}, {"es_es", 1}, {"pr_BRX", 0},
      {"xes_ES", 0}, {"ge_DE", 0}, {longLang.c_str(), 3},
  };
  unsetenv("LC_ALL"), unsetenv("LC_MESSAGES");
  for (const auto& r : rows) {
    const std::string lang = r.lang ? r.lang : "(unset)";
    SCOPED_TRACE(lang.substr(0, 40));
    pCurLang = nullptr;
    r.lang ? setenv("LANG", r.lang, 1) : unsetenv("LANG");
    EXPECT_STREQ(nlsSetupStrCvt(69), kTables[r.table][69]);
    EXPECT_EQ(pCurLang, kTables[r.table]);
    EXPECT_EQ(std::getenv("LANG") ? std::getenv("LANG") : "(unset)", lang.substr(0, lang.find('.')));
  }
  pCurLang = nullptr;  // a UTF-8 locale: the texts come converted
  setenv("LANG", "pt_PT.UTF-8", 1);
  EXPECT_STREQ(nlsSetupStrCvt(69), "2.  Sair da instala\xc3\xa7\xc3\xa3o\n");
  // The language is fixed at the first message; numbers outside give the empty text.
  setenv("LANG", "es_ES", 1);
  EXPECT_STREQ(nlsSetupStrCvt(NLS_SETUP_MSG_COUNT), "");
  EXPECT_EQ(pCurLang, NLS_PORTUGUESE);
  EXPECT_STREQ(nlsSetupStrCvt(-1), "");
}

}  // namespace
