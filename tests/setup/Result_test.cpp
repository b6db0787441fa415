// Result_test.cpp - the result file of an unattended run: its JSON strings, its
// object, and how it replaces the path without writing through what stands there.
#include "SetupFixture.h"

#include <algorithm>
#include <filesystem>

#include <sys/stat.h>

namespace {

using namespace setuptest;

TEST(Result, JsonStringsEscapeQuotesControlsAndNonAscii) {
  const struct { std::string text, json; } rows[] = {
      {"", R"("")"},
      {"plain text: /usr/Kandu/tvnn", R"("plain text: /usr/Kandu/tvnn")"},
      {"a\"b\\c'd", R"("a\"b\\c'd")"},
      {"\n\t\r\x01\x1f\x7f", R"("\n\t\u000d\u0001\u001f\u007f")"},
      {"d\xe9j\xe0 \xdf\xff", R"("d\u00e9j\u00e0 \u00df\u00ff")"},  // Latin-1, as the tables hold it
      {"d\xc3\xa9j\xc3\xa0", R"("d\u00e9j\u00e0")"},                 // the same text as UTF-8
      {"\xe2\x82\xac \xf0\x9f\x96\xa8", R"("\u20ac \ud83d\udda8")"},
      // Bytes that are no well-formed UTF-8 are Latin-1 characters each: a cut
      // sequence, an overlong form, a surrogate.
      {"\xc3", R"("\u00c3")"}, {"\xc0\xaf", R"("\u00c0\u00af")"},
      {"\xed\xa0\x80", R"("\u00ed\u00a0\u0080")"},
  };
  for (const auto& r : rows) EXPECT_EQ(JsonString(r.text.c_str()), r.json) << r.json;
  EXPECT_EQ(JsonString(nullptr), R"("")");
}

// The file is one JSON object written to a new file beside the path and renamed over
// it: a link at the path is replaced and one at the new file's name is passed over,
// neither is written through; the mode is 644 whatever the umask.
TEST(Result, ReplacesThePathWithoutFollowingLinks) {
  ScratchDir dir;
  my_name = SaveStr_("setup");
  pAppDir = SaveStr_("/opt/Kandu/tvnn");
  pCurrentInstallDir = SaveStr_("/usr");
  const std::string path = dir / "result.json", target = dir / "target";
  ASSERT_TRUE(WriteFile(target, "keep"));
  ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
  const std::string planted = path + "." + std::to_string(getpid()) + "-0.tmp";
  ASSERT_EQ(symlink(target.c_str(), planted.c_str()), 0);
  Unattended.resultPath = path;
  umask(077);
  EXPECT_EQ(writeRunResult(RunOutcome::Relocated, 0, ""), 1);
  EXPECT_EQ(ReadFile(target), "keep");
  EXPECT_TRUE(Matches(R"(644 {"version": "4.10.05", "outcome": "relocated", "status": 0, )"
                      R"("product_dir": "/opt/Kandu/tvnn", "previous_dir": "/usr/Kandu/tvnn", )"
                      R"("commands": 0, "failed_commands": 0, "log": "/tmp/setup.log", )"
                      R"("seconds": [0-9]*.[0-9][0-9][0-9], "message": ""})" "\n",
                      State(path)))
      << State(path);
  // Nothing is left beside it but the planted link.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"result.json", planted.substr(dir.path().size() + 1), "target"}));
  // A result that cannot be written is reported; the run goes on to its end.
  Unattended.resultPath = dir / "gone/result.json";
  testing::internal::CaptureStderr();
  EXPECT_EQ(writeRunResult(RunOutcome::Installed, 0, ""), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "setup: cannot write the result file " + dir.path() +
                                                        "/gone/result.json: cannot make a new file beside it: "
                                                        "No such file or directory\n");
  Unattended.resultPath.clear();
  EXPECT_EQ(writeRunResult(RunOutcome::Installed, 0, ""), 0);
}

}  // namespace
