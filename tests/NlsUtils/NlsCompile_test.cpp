// NlsCompile_test.cpp - the catalogue compiler: the source format read back through
// the catalogue, refused sources, and the shipped English core catalogue.
#include "NlsFixture.h"

#include <filesystem>

namespace {

class NlsCompileTest : public NlsTest {
 protected:
  // Compiles the source into lang/name; the status, with standard error in err_.
  int Run(const std::string& source, bool allowLong = false, const char* lang = "en_US", const char* name = "T") {
    testutil::WriteFile(tool_ / "t.msg", source);
    testing::internal::CaptureStderr();
    const int status = NlsCompileCatalog((tool_ / "t.msg").c_str(), tool_.path().c_str(), lang, name, allowLong);
    err_ = testing::internal::GetCapturedStderr();
    return status;
  }
  // The texts of the keys in catalogue en_US/name, each followed by '|' ("-" for none).
  std::string Get(std::initializer_list<const char*> keys, const char* name = "T") {
    DbTHandle* db = Open("en_US", name);
    std::string out;
    for (const char* key : keys) {
      char* t = NlsFetchString(db, nullptr, NLS_KIND_KEY, key);
      out += (std::string(t) == key || t == pErrBuf ? "-" : testutil::Take(t)) + "|";
    }
    DbTClose(db);
    return out;
  }
  std::string err_;
};

TEST_F(NlsCompileTest, ReadsKeysTextsAndEscapes) {
  ASSERT_EQ(Run("# a comment\n\n  \t\n  025\t0201 \"  Enter: \"\r\n25 202 \"one \" \"two\"\t\"\" \" three\"  # x\n"
                "25 203 \"\"\nkey:SAVE \"Save\"\n0 0 \"zero\"\n"
                "1 1 \"a\\tb\\\\c\\\"d\\101\\n\\1772\\r\\a\\b\\f\\v\\'\"\n"), 0);
  EXPECT_EQ(Get({"25_201", "25_202", "25_203", "SAVE", "0_0", "1_1"}) + err_,
            "  Enter: |one two three||Save|zero|a\tb\\c\"dA\n\1772\r\a\b\f\v'|");
  ASSERT_EQ(Run("1 2 \"b\"\n"), 0);  // a new catalogue replaces the old one whole, alone in its folder
  EXPECT_EQ(Get({"1_1", "1_2"}) + std::to_string(std::distance(std::filesystem::directory_iterator(tool_ / "db/en_US"),
                                                               std::filesystem::directory_iterator{})), "-|b|1");
}

TEST_F(NlsCompileTest, RefusesFaultySources) {
  ASSERT_EQ(Run("1 1 \"old\"\n"), 0);
  const struct { std::string line; const char* error; } rows[] = {
      {"x 1 \"a\"", "a message set"}, {"1 \"a\"", "a message number"}, {"1\"a\"", "a blank after"},
      {"-1 1 \"a\"", "a message set"}, {"1 2147483648 \"a\"", "larger than 2147483647"}, {"key: \"a\"", "a name"},
      {"key:" + std::string(256, 'k') + " \"a\"", "longer than 255"}, {"1 1 a", "a quoted text"},
      {"1 1 \"abc", "closing quote"}, {"1 1 \"abc\\", "closing quote"}, {"1 1 \"a\" b", "after the closing quote"},
      {"1 1 \"a\\q\"", "\\q"}, {"1 1 \"a\\0\"", "\\0"}, {"1 1 \"a\\400\"", "\\400"},
      {std::string("1 1 \"a\0b\"", 9), "zero byte"}, {"1 1 \"a\"\n1 1 \"b\"", "duplicate key 1_1"},
      {"1 1 \"" + std::string(2048, 'a') + "\"", "2048 bytes"}, {"1 1 \"" + std::string(60001, 'a') + "\"", "60001"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(Run("# first\n" + r.line + "\n", r.line.size() > 50000), 1) << r.line.substr(0, 40);
    EXPECT_TRUE(err_.rfind(tool_ / "t.msg:", 0) == 0 && err_.find(": error: ") != std::string::npos &&
                err_.find(r.error) != std::string::npos) << err_;
  }
  EXPECT_EQ(Run("# nothing\n\n"), 1);
  EXPECT_EQ(Get({"1_1"}), "old|");
  EXPECT_EQ(Run("1 1 \"" + std::string(60000, 'a') + "\"\n", true), 0);
  const auto cwd = std::filesystem::current_path();
  char* tool = pToolPath;
  for (auto [lang, name] : {std::pair{"../x", "T"}, {"en_US", ".."}, {"en_US", ""}})
    EXPECT_EQ(Run("1 1 \"a\"\n", false, lang, name), 2) << lang << "/" << name;
  std::filesystem::remove(tool_ / "t.msg");
  EXPECT_EQ(NlsCompileCatalog((tool_ / "t.msg").c_str(), tool_.path().c_str(), "en_US", "T", false), 1);
  EXPECT_TRUE(tool == pToolPath && cwd == std::filesystem::current_path());
}

// The English core catalogue as shipped: its table equals trans.conf, and the pick
// list's save and cancel labels differ at once.
TEST_F(NlsCompileTest, ShippedCatalogueIsConsistent) {
  const std::string src = KANDU_SOURCE_DIR "/NlsUtils/catalog";
  ASSERT_EQ(NlsCompileCatalog((src + "/en_US/CoreString.msg").c_str(), tool_.path().c_str(), "en_US", "C", false), 0);
  std::filesystem::copy_file(src + "/trans.conf", tool_ / "trans.conf");
  EXPECT_EQ(Get({"999_1"}, "C"), testutil::Take(ParseTransFile("trans.conf")) + "|");
  EXPECT_NE(Get({"TVATTYMENU_SAVE"}, "C")[0], Get({"TVATTYMENU_CANCEL"}, "C")[0]);
}

}  // namespace
