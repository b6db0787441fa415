// Strings_test.cpp - behaviour of managed texts, path splitters, searches and filters.
#include "utils/utils.h"

#include "MemMgr/MemMgr.h"
#include "testutil.h"

#include <cmath>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>

using testutil::Take;

// ===== SaveStr and its siblings =====

TEST(SaveStr, FormatsIntoANewManagedTextNeverCutAndTheUnderscoreFormsCopy) {
  char* t = SaveStr("%s/%s", "/tmp", "x");
  ASSERT_NE(t, nullptr);
  EXPECT_NE(FindBlock(t), nullptr);  // it comes from the memory manager
  EXPECT_EQ(Take(t), "/tmp/x");
  // A long result is never cut.
  const std::string big(20000, 'q'), huge(70000, 'z');
  EXPECT_EQ(Take(SaveStr("<%s>%*d", big.c_str(), 9000, 7)), "<" + big + ">" + std::string(8999, ' ') + "7");
  EXPECT_EQ(Take(SaveStr__("%s!", huge.c_str())), huge + "!");
  // The underscore forms copy without formatting or refuse a null format.
  EXPECT_EQ(Take(SaveStr_("100%d %s")), "100%d %s");
  EXPECT_EQ(Take(SaveStr_("")), "");
  EXPECT_EQ(SaveStr__(nullptr), nullptr);
}

#ifndef KANDU_SANITIZED
TEST(SaveStrDeathTest, EndsTheProcessWhenMemoryRunsOut) {
  const auto starve = [] {
    // Address space for what the process holds now and little more.
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = static_cast<rlim_t>(pages) * 4096 + (64 << 20);
    const struct rlimit rl = {limit, limit};
    setrlimit(RLIMIT_AS, &rl);
    SaveStr("%*s", 256 << 20, "");
  };
  EXPECT_EXIT(starve(), ::testing::ExitedWithCode(1), "Unable to allocate memory");
}
#endif

// ===== Path splitters =====

TEST(PathSplitters, GiveTheirPartOfThePath) {
  using Rows = std::vector<std::pair<const char*, const char*>>;  // path, part (null: none)
  const auto check = [](const char* name, char* (*split)(const char*), const Rows& rows) {
    for (const auto& [path, part] : rows) {
      SCOPED_TRACE(std::string(name) + "(" + (path ? path : "null") + ")");
      if (part == nullptr) EXPECT_EQ(split(path), nullptr);
      else EXPECT_STREQ(split(path), part);
    }
  };
  check("StripFn", StripFn,
        {{"/a/b/c", "/a/b"}, {"c", "."}, {"/c", "/"}, {"a/b/", "a/b"}, {"//", "/"}, {"", "."}, {nullptr, "."}});
  check("StripPath", StripPath,
        {{"/a/b/c", "c"}, {"a/b/", "b"}, {"/usr/lib//", "lib"}, {"a", "a"}, {"/", "/"}, {"", ""}, {nullptr, ""}});
  // The last component without its extension.
  check("StripPathExt", StripPathExt,
        {{"/x/y.tar.gz", "y"}, {"/x/..y.z/", "..y"}, {"dir/.profile", ".profile"}, {"plain", "plain"},
         {"/", nullptr}, {"", nullptr}, {nullptr, ""}});
  // Cut at the first dot after a non-dot.
  check("StripExt", StripExt,
        {{"../x.y", "../x"}, {"a.b.c", "a"}, {".profile", ".profile"}, {"...", "..."}, {"", ""}, {nullptr, ""}});
  // The dot pieces after the first component.
  check("StripPathName", StripPathName,
        {{"dir/name.ext", "ext"}, {"a/b.c/d", "b"}, {"/usr", "/usr"}, {"x.tar.gz", "x.tar.gz"},
         {"dir/a/b.c", "dir"}, {".", ""}, {"..", ""}, {nullptr, ""}});
}

TEST(PathSplitters, CutALongPathToTheirBufferAndKeepTheirResultsInDistinctBuffers) {
  const std::string longDir(250, 'd');
  EXPECT_EQ(std::string(StripFn((longDir + "/abcdefgh").c_str())), longDir);  // 255 characters
  EXPECT_EQ(std::string(StripFn(("/x/" + std::string(400, 'n')).c_str())), "/x");
  EXPECT_EQ(std::string(StripFn((std::string(300, 'n') + "/y").c_str())), ".");
  EXPECT_EQ(std::string(StripPath(("/p/" + std::string(200, 'n')).c_str())), std::string(124, 'n'));  // 127
  EXPECT_EQ(std::string(StripPath((std::string(130, 'n') + "/tail").c_str())), std::string(127, 'n'));
  EXPECT_EQ(std::string(StripPathExt(("/" + std::string(200, 'n') + ".c").c_str())), std::string(126, 'n'));
  EXPECT_EQ(std::string(StripExt(std::string(300, 'e').c_str())), std::string(127, 'e'));
  EXPECT_EQ(std::string(StripPathName(std::string(200, 'n').c_str())), std::string(127, 'n'));
  // Each keeps its result in a buffer of its own.
  const char* path = "/a/b/c.d.e";
  char* dir = StripFn(path);
  char* name = StripPath(path);
  char* noExt = StripPathExt(path);
  char* ext = StripExt("q.r");
  char* pathName = StripPathName("dir/n.x");
  char* gen = GenName("gen name");
  EXPECT_EQ(std::string(dir) + "|" + name + "|" + noExt + "|" + ext + "|" + pathName + "|" + gen,
            "/a/b|c.d.e|c|q|x|GenName");
  // A new call overwrites only its own buffer.
  EXPECT_EQ(StripFn("/other/file"), dir);
  EXPECT_STREQ(dir, "/other");
  EXPECT_STREQ(name, "c.d.e");
}

// ===== Searches =====

TEST(Searches, SkipSpaceAndStrLenTreatNullAsEmptyAndStrChrSkipsEscapedCharacters) {
  char text[] = " \t\r\n x y", none[] = "  ";
  EXPECT_EQ(SkipSpace(text), text + 5);
  EXPECT_EQ(SkipSpace(none), none + 2);
  EXPECT_EQ(SkipSpace(nullptr), nullptr);
  EXPECT_EQ(StrLen("abc"), 3);
  EXPECT_EQ(StrLen(""), 0);
  EXPECT_EQ(StrLen(nullptr), 0);
  // StrChr skips backslash-escaped characters and stops at a lone final backslash.
  const char* escaped = "a\\,b,";
  EXPECT_EQ(StrChr(escaped, ','), escaped + 4);
  EXPECT_EQ(StrChr(escaped, 'a'), escaped);
  EXPECT_EQ(StrChr(escaped, '\\'), nullptr);
  EXPECT_EQ(StrChr("\\,", ','), nullptr);
  EXPECT_EQ(StrChr(nullptr, ','), nullptr);
  // The byte after the terminator holds the sought character: it must not be reached.
  const char cut[] = {'a', 'b', '\\', '\0', 'x', '\0'};
  EXPECT_EQ(StrChr(cut, 'x'), nullptr);
}

TEST(Searches, NthOccurrencesCountOverlappingOnesFromOneAndNoSearchFindsTheEmptyPattern) {
  const char* commas = "a,b,c";
  EXPECT_EQ(StrNChr(commas, ',', 1), commas + 1);
  EXPECT_EQ(StrNChr(commas, ',', 2), commas + 3);
  EXPECT_EQ(StrNChr(commas, ',', 3), nullptr);
  EXPECT_EQ(StrNChr(commas, ',', 0), nullptr);
  EXPECT_EQ(StrNChr(nullptr, ',', 1), nullptr);
  const char* as = "aaaa";
  EXPECT_EQ(StrNStr(as, "aa", 1), as);
  EXPECT_EQ(StrNStr(as, "aa", 3), as + 2);
  EXPECT_EQ(StrNStr(as, "aa", 4), nullptr);
  EXPECT_EQ(StrNStr(as, "aa", 0), nullptr);
  EXPECT_EQ(StrNStr("", "aa", 1), nullptr);
  EXPECT_EQ(StrNStr(nullptr, "aa", 1), nullptr);
  // StrStr and StrCaseStr never find the empty pattern.
  const char* text = "abc";
  EXPECT_EQ(StrStr(text, "b"), text + 1);
  EXPECT_EQ(StrStr(text, ""), nullptr);
  EXPECT_EQ(StrStr(text, "x"), nullptr);
  EXPECT_EQ(StrStr(nullptr, "b"), nullptr);
  EXPECT_EQ(StrStr(text, nullptr), nullptr);
  const char* mixed = "xabcx";  // StrCaseStr ignores case
  EXPECT_EQ(StrCaseStr(mixed, "ABC"), mixed + 1);
  EXPECT_EQ(StrCaseStr(mixed, "Cx"), mixed + 3);
  EXPECT_EQ(StrCaseStr(mixed, "abd"), nullptr);
  EXPECT_EQ(StrCaseStr(mixed, ""), nullptr);
  EXPECT_EQ(StrCaseStr(nullptr, "a"), nullptr);
}

// ===== Filters and names =====

TEST(Filters, BackslashesAndNonPrintingCharactersAreRemovedInPlace) {
  char text[] = "a\\\\b\\c\\";
  EXPECT_EQ(StripAllBackslashes(text), text);
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(StripAllBackslashes(nullptr), nullptr);
  char controls[] = "a\tb\r\nc\x01 d\x7f", again[] = "x\r\ny";
  EXPECT_EQ(StripNonPrint(controls, 0), controls);  // whatever the flag
  EXPECT_STREQ(controls, "abc d");
  EXPECT_STREQ(StripNonPrint(again, 1), "xy");
  EXPECT_EQ(StripNonPrint(nullptr, 0), nullptr);
}

TEST(GenName, JoinsCapitalisedWordsFromTheFirstLetterCutTo254Characters) {
  EXPECT_STREQ(GenName("  my printer-2 name"), "MyPrinter2Name");
  EXPECT_STREQ(GenName("42 HP laserJET"), "HpLaserjet");
  EXPECT_STREQ(GenName("a 3x"), "A3x");
  EXPECT_STREQ(GenName("--- 12"), "");
  EXPECT_STREQ(GenName(nullptr), "");
  std::string words, expected;
  for (int i = 0; i < 100; ++i) words += "abc ", expected += "Abc";
  EXPECT_EQ(std::string(GenName(words.c_str())), expected.substr(0, 254));
}

TEST(SetVarContent, CopiesBytesForwardOrReversedAlsoInPlace) {
  const unsigned char src[4] = {1, 2, 3, 4};
  unsigned char dst[4] = {};
  SetVarContent(dst, src, 4, 1);
  EXPECT_EQ(std::string(dst, dst + 4), std::string("\4\3\2\1"));
  SetVarContent(dst, src, 4, 0);
  EXPECT_EQ(std::string(dst, dst + 4), std::string("\1\2\3\4"));
  unsigned char bytes[5] = {1, 2, 3, 4, 5};
  SetVarContent(bytes, bytes, 5, 1);
  EXPECT_EQ(std::string(bytes, bytes + 5), std::string("\5\4\3\2\1"));
}

// ===== Numbers =====

TEST(Numbers, MaxDReturnsTheSecondValueUnlessTheFirstIsGreaterAndCvtFloatFormatConvertsUnits) {
  EXPECT_EQ(MaxD(2.5, 1.5), 2.5);
  EXPECT_EQ(MaxD(1.0, 1.5), 1.5);
  EXPECT_TRUE(std::signbit(MaxD(0.0, -0.0)));  // equal: the second one
  EXPECT_FALSE(std::signbit(MaxD(-0.0, 0.0)));
  // CvtFloatFormat converts between inch, centimetre and point and leaves other pairs.
  // Units: 0 inch, 1 centimetre, 2 point.
  const struct { float value; int from, to; float result; } rows[] = {
      {72.0f, 2, 0, 1.0f}, {1.0f, 0, 1, 2.54f}, {5.08f, 1, 0, 2.0f}, {2.0f, 0, 2, 144.0f},
      {2.54f, 1, 2, 72.0f}, {36.0f, 2, 1, 1.27f}, {3.5f, 1, 1, 3.5f}, {3.5f, 0, 3, 3.5f}, {3.5f, -1, 0, 3.5f},
  };
  for (const auto& r : rows) EXPECT_EQ(CvtFloatFormat(r.value, r.from, r.to), r.result) << r.from << "->" << r.to;
}
