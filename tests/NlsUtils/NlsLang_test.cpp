// NlsLang_test.cpp - the translation table, the choice of language from LANG, and
// the tool directory of the library's programs.
#include "NlsFixture.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using NlsLangTest = NlsTest;

TEST_F(NlsLangTest, NormalisesTransTable) {
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

TEST_F(NlsLangTest, ChoosesTheLanguage) {
  const struct { const char *trans, *lang, *language; } rows[] = {
      // An unset or empty LANG selects the not-set mapping.
      {"en_US = en_US C\nde_DE = de ___LANG_NOT_SET___\nDefault en_US\n", nullptr, "de_DE"},
      {"en_US = en_US C ___LANG_NOT_SET___\nDefault fr_FR\n", nullptr, "en_US"},
      {"de_DE = ___LANG_NOT_SET___\nDefault en_US\n", "", "de_DE"},
      // The code set is cut with the closing blank.
      {"fr_CA = fr_FRX\nDefault en_US\n", "fr_FR.ISO8859-1", "fr_CA"}, {"fr_CA = fr_FRX\n", "fr_FR", "en_US"},
      // Unmapped: the default, else English; a Default without language is none.
      {"en_US = en_US C\nDefault fr_FR\n", "de_DE", "fr_FR"}, {"fr_FR = fr_FR\nDefault\n", "de_DE", "en_US"},
      {"fr_FR = fr_FR\nDefault \n", "de_DE", "en_US"},
      // A joined line names its first language; a commented mapping is ignored.
      {"fr_FR = fr_FR \nde_DE = de_DE\n", "de_DE", "fr_FR"}, {"# xx_XX = C\nfr_FR = fr_FR C\n", "C", "fr_FR"},
      // The Default line lists no LANG values: a match there belongs to no mapping line.
      {"de_DE = de_DE de_AT\nDefault fr_FR\n", "fr_FR", "fr_FR"}, {"Default fr_FR\nen_US = en_US\n", "fr_FR", "fr_FR"},
      // Without trans.conf the table of the core catalogue holds, else English.
      {nullptr, "de_DE", "en_US"}, {"", "de_DE", "en_US"},
  };
  for (const auto& r : rows) {
    r.trans ? testutil::WriteFile(tool_ / "trans.conf", r.trans) : fs::remove(tool_ / "trans.conf");
    EXPECT_EQ(LanguageFor(r.lang), r.language) << (r.lang ? r.lang : "(unset)") << " with " << (r.trans ? r.trans : "");
  }
  Compile("999 1 \"fr_FR = de_DE \\nDefault en_US \\n\"\n");
  EXPECT_EQ(LanguageFor("de_DE.UTF-8"), "fr_FR");
  EXPECT_EQ(pDrvCoreDB->Type, DBT_TYPED);
  setenv("LANG", "it_IT", 1);  // the choice is kept for the process
  testutil::WriteFile(tool_ / "trans.conf", "it_IT = it_IT\n");
  EXPECT_STREQ(GetDesiredNLSLang(), "fr_FR");
}

TEST_F(NlsLangTest, FindsTheToolPath) {
  fs::create_directories(tool_ / "inst/bin"), fs::create_directories(tool_ / "links");
  testutil::WriteTool(tool_ / "inst/bin/prog", "#!/bin/sh\n");
  fs::create_symlink(tool_ / "inst/bin/prog", tool_ / "links/prog");
  const std::string inst = fs::canonical(tool_ / "inst").string() + "/share/tvnn", cwd = fs::current_path().string();
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  const struct { const char* var; std::string argv0, searched, tool; } rows[] = {
      {"/opt/tools/tvnn/", "/usr/bin/prog", "", "/opt/tools/tvnn"}, {"rel/tvnn", "", "", cwd + "/rel/tvnn"},
      {nullptr, tool_ / "inst/bin/prog", "", inst}, {nullptr, tool_ / "links/prog", "", inst},
      {nullptr, "prog", "/nonexistent:" + tool_ / "inst/bin", inst},
      {nullptr, "", "", fs::canonical(KANDU_BINARY_DIR).string() + "/share/tvnn"},  // the test program's own
  };
  for (const auto& r : rows) {
    r.var ? setenv("KANDU_TOOL_PATH", r.var, 1) : unsetenv("KANDU_TOOL_PATH");
    setenv("PATH", r.searched.empty() ? path.c_str() : r.searched.c_str(), 1);
    const std::string got = NlsInitToolPath(r.argv0.empty() ? nullptr : r.argv0.c_str());
    EXPECT_EQ(got + "|" + pToolPath, r.tool + "|" + r.tool) << r.argv0;
  }
  setenv("PATH", path.c_str(), 1), unsetenv("KANDU_TOOL_PATH");
}

}  // namespace
