// Strings_test.cpp - behaviour of managed texts, path splitters, searches and filters.
#include "utils/utils.h"

#include "MemMgr/MemMgr.h"
#include "testutil.h"

#include <cmath>
#include <fstream>
#include <string>

#include <sys/resource.h>

// ===== SaveStr and its siblings =====

TEST(SaveStr, FormatsIntoANewManagedText) {
  char* t = SaveStr("%s/%s", "/tmp", "x");
  ASSERT_NE(t, nullptr);
  EXPECT_STREQ(t, "/tmp/x");
  EXPECT_NE(FindBlock(t), nullptr);  // it comes from the memory manager
  PutMem(t);
}

TEST(SaveStr, NeverCutsALongResult) {
  const std::string big(20000, 'q');
  char* t = SaveStr("<%s>%*d", big.c_str(), 9000, 7);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::string(t), "<" + big + ">" + std::string(8999, ' ') + "7");
  PutMem(t);
}

TEST(SaveStr, DoubleUnderscoreFormReturnsNullForANullFormatAndNeverCuts) {
  EXPECT_EQ(SaveStr__(nullptr), nullptr);
  const std::string big(70000, 'z');
  char* t = SaveStr__("%s!", big.c_str());
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::string(t), big + "!");
  PutMem(t);
}

TEST(SaveStr, UnderscoreFormCopiesWithoutFormatting) {
  char* t = SaveStr_("100%d %s");
  ASSERT_NE(t, nullptr);
  EXPECT_STREQ(t, "100%d %s");
  PutMem(t);
  char* e = SaveStr_("");
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e, "");
  PutMem(e);
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

TEST(StripFn, ReturnsTheDirectoryPart) {
  EXPECT_STREQ(StripFn("/a/b/c"), "/a/b");
  EXPECT_STREQ(StripFn("c"), ".");
  EXPECT_STREQ(StripFn("/c"), "/");
  EXPECT_STREQ(StripFn("a/b/"), "a/b");
  EXPECT_STREQ(StripFn("//"), "/");
  EXPECT_STREQ(StripFn(""), ".");
  EXPECT_STREQ(StripFn(nullptr), ".");
}

TEST(StripFn, CutsALongPathTo255CharactersBeforeSplitting) {
  const std::string dir(250, 'd');
  EXPECT_EQ(std::string(StripFn((dir + "/abcdefgh").c_str())), dir);
  EXPECT_EQ(std::string(StripFn(("/x/" + std::string(400, 'n')).c_str())), "/x");
  EXPECT_EQ(std::string(StripFn((std::string(300, 'n') + "/y").c_str())), ".");
}

TEST(StripPath, ReturnsTheLastComponent) {
  EXPECT_STREQ(StripPath("/a/b/c"), "c");
  EXPECT_STREQ(StripPath("a/b/"), "b");
  EXPECT_STREQ(StripPath("/usr/lib//"), "lib");
  EXPECT_STREQ(StripPath("a"), "a");
  EXPECT_STREQ(StripPath("/"), "/");
  EXPECT_STREQ(StripPath(""), "");
  EXPECT_STREQ(StripPath(nullptr), "");
}

TEST(StripPath, CutsALongPathTo127CharactersBeforeSplitting) {
  EXPECT_EQ(std::string(StripPath(("/p/" + std::string(200, 'n')).c_str())),
            std::string(124, 'n'));
  EXPECT_EQ(std::string(StripPath((std::string(130, 'n') + "/tail").c_str())),
            std::string(127, 'n'));
}

TEST(StripPathExt, ReturnsTheLastComponentWithoutExtension) {
  EXPECT_STREQ(StripPathExt("/x/y.tar.gz"), "y");
  EXPECT_STREQ(StripPathExt("/x/..y.z/"), "..y");
  EXPECT_STREQ(StripPathExt("dir/.profile"), ".profile");
  EXPECT_STREQ(StripPathExt("plain"), "plain");
  EXPECT_EQ(StripPathExt("/"), nullptr);
  EXPECT_EQ(StripPathExt(""), nullptr);
  EXPECT_STREQ(StripPathExt(nullptr), "");
  EXPECT_EQ(std::string(StripPathExt(("/" + std::string(200, 'n') + ".c").c_str())),
            std::string(127 - 1, 'n'));
}

TEST(StripExt, CutsAtTheFirstDotAfterANonDot) {
  EXPECT_STREQ(StripExt("../x.y"), "../x");
  EXPECT_STREQ(StripExt("a.b.c"), "a");
  EXPECT_STREQ(StripExt(".profile"), ".profile");
  EXPECT_STREQ(StripExt("..."), "...");
  EXPECT_STREQ(StripExt(""), "");
  EXPECT_STREQ(StripExt(nullptr), "");
  EXPECT_EQ(std::string(StripExt(std::string(300, 'e').c_str())), std::string(127, 'e'));
}

TEST(StripPathName, FollowsTheDotPiecesAfterTheFirstComponent) {
  EXPECT_STREQ(StripPathName("dir/name.ext"), "ext");
  EXPECT_STREQ(StripPathName("a/b.c/d"), "b");
  EXPECT_STREQ(StripPathName("/usr"), "/usr");
  EXPECT_STREQ(StripPathName("x.tar.gz"), "x.tar.gz");
  EXPECT_STREQ(StripPathName("dir/a/b.c"), "dir");
  EXPECT_STREQ(StripPathName("."), "");
  EXPECT_STREQ(StripPathName(".."), "");
  EXPECT_STREQ(StripPathName(nullptr), "");
  EXPECT_EQ(std::string(StripPathName(std::string(200, 'n').c_str())), std::string(127, 'n'));
}

TEST(PathSplitters, KeepTheirResultsInDistinctBuffers) {
  const char* path = "/a/b/c.d.e";
  char* dir = StripFn(path);
  char* name = StripPath(path);
  char* noExt = StripPathExt(path);
  char* ext = StripExt("q.r");
  char* pathName = StripPathName("dir/n.x");
  char* gen = GenName("gen name");
  EXPECT_STREQ(dir, "/a/b");
  EXPECT_STREQ(name, "c.d.e");
  EXPECT_STREQ(noExt, "c");
  EXPECT_STREQ(ext, "q");
  EXPECT_STREQ(pathName, "x");
  EXPECT_STREQ(gen, "GenName");
  // A new call overwrites only its own buffer.
  EXPECT_EQ(StripFn("/other/file"), dir);
  EXPECT_STREQ(dir, "/other");
  EXPECT_STREQ(name, "c.d.e");
}

// ===== Searches =====

TEST(SkipSpace, SkipsLeadingWhiteSpace) {
  char text[] = " \t\r\n x y";
  EXPECT_EQ(SkipSpace(text), text + 5);
  char none[] = "  ";
  EXPECT_EQ(SkipSpace(none), none + 2);
  EXPECT_EQ(SkipSpace(nullptr), nullptr);
}

TEST(StrLen, CountsCharactersAndTreatsNullAsEmpty) {
  EXPECT_EQ(StrLen("abc"), 3);
  EXPECT_EQ(StrLen(""), 0);
  EXPECT_EQ(StrLen(nullptr), 0);
}

TEST(StrChr, SkipsBackslashEscapedCharacters) {
  const char* text = "a\\,b,";
  EXPECT_EQ(StrChr(text, ','), text + 4);
  EXPECT_EQ(StrChr(text, 'a'), text);
  EXPECT_EQ(StrChr(text, '\\'), nullptr);
  EXPECT_EQ(StrChr("\\,", ','), nullptr);
  EXPECT_EQ(StrChr(nullptr, ','), nullptr);
}

TEST(StrChr, StopsAtALoneFinalBackslash) {
  // The byte after the terminator holds the sought character: it must not be reached.
  const char text[] = {'a', 'b', '\\', '\0', 'x', '\0'};
  EXPECT_EQ(StrChr(text, 'x'), nullptr);
}

TEST(StrNChr, FindsTheNthOccurrence) {
  const char* text = "a,b,c";
  EXPECT_EQ(StrNChr(text, ',', 1), text + 1);
  EXPECT_EQ(StrNChr(text, ',', 2), text + 3);
  EXPECT_EQ(StrNChr(text, ',', 3), nullptr);
  EXPECT_EQ(StrNChr(text, ',', 0), nullptr);
  EXPECT_EQ(StrNChr(nullptr, ',', 1), nullptr);
}

TEST(StrStr, FindsTheFirstOccurrenceAndNeverTheEmptyPattern) {
  const char* text = "abc";
  EXPECT_EQ(StrStr(text, "b"), text + 1);
  EXPECT_EQ(StrStr(text, ""), nullptr);
  EXPECT_EQ(StrStr(text, "x"), nullptr);
  EXPECT_EQ(StrStr(nullptr, "b"), nullptr);
  EXPECT_EQ(StrStr(text, nullptr), nullptr);
}

TEST(StrNStr, CountsOverlappingOccurrences) {
  const char* text = "aaaa";
  EXPECT_EQ(StrNStr(text, "aa", 1), text);
  EXPECT_EQ(StrNStr(text, "aa", 3), text + 2);
  EXPECT_EQ(StrNStr(text, "aa", 4), nullptr);
  EXPECT_EQ(StrNStr(text, "aa", 0), nullptr);
  EXPECT_EQ(StrNStr("", "aa", 1), nullptr);
  EXPECT_EQ(StrNStr(nullptr, "aa", 1), nullptr);
}

TEST(StrCaseStr, IgnoresCase) {
  const char* text = "xabcx";
  EXPECT_EQ(StrCaseStr(text, "ABC"), text + 1);
  EXPECT_EQ(StrCaseStr(text, "Cx"), text + 3);
  EXPECT_EQ(StrCaseStr(text, "abd"), nullptr);
  EXPECT_EQ(StrCaseStr(text, ""), nullptr);
  EXPECT_EQ(StrCaseStr(nullptr, "a"), nullptr);
}

// ===== Filters and names =====

TEST(StripAllBackslashes, RemovesEveryBackslashInPlace) {
  char text[] = "a\\\\b\\c\\";
  EXPECT_EQ(StripAllBackslashes(text), text);
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(StripAllBackslashes(nullptr), nullptr);
}

TEST(StripNonPrint, KeepsOnlyPrintableCharactersWhateverTheFlag) {
  char text[] = "a\tb\r\nc\x01 d\x7f";
  EXPECT_EQ(StripNonPrint(text, 0), text);
  EXPECT_STREQ(text, "abc d");
  char again[] = "x\r\ny";
  EXPECT_STREQ(StripNonPrint(again, 1), "xy");
  EXPECT_EQ(StripNonPrint(nullptr, 0), nullptr);
}

TEST(GenName, JoinsCapitalisedWordsFromTheFirstLetter) {
  EXPECT_STREQ(GenName("  my printer-2 name"), "MyPrinter2Name");
  EXPECT_STREQ(GenName("42 HP laserJET"), "HpLaserjet");
  EXPECT_STREQ(GenName("a 3x"), "A3x");
  EXPECT_STREQ(GenName("--- 12"), "");
  EXPECT_STREQ(GenName(nullptr), "");
}

TEST(GenName, CutsTheNameTo254Characters) {
  std::string words;
  for (int i = 0; i < 100; ++i) words += "abc ";
  std::string expected;
  for (int i = 0; i < 100; ++i) expected += "Abc";
  EXPECT_EQ(std::string(GenName(words.c_str())), expected.substr(0, 254));
}

TEST(SetVarContent, CopiesBytesForwardOrReversed) {
  const unsigned char src[4] = {1, 2, 3, 4};
  unsigned char dst[4] = {};
  SetVarContent(dst, src, 4, 1);
  EXPECT_EQ(std::string(dst, dst + 4), std::string("\4\3\2\1"));
  SetVarContent(dst, src, 4, 0);
  EXPECT_EQ(std::string(dst, dst + 4), std::string("\1\2\3\4"));
}

TEST(SetVarContent, ReversesInPlace) {
  unsigned char bytes[5] = {1, 2, 3, 4, 5};
  SetVarContent(bytes, bytes, 5, 1);
  EXPECT_EQ(std::string(bytes, bytes + 5), std::string("\5\4\3\2\1"));
}

// ===== Numbers =====

TEST(MaxD, ReturnsTheSecondValueUnlessTheFirstIsGreater) {
  EXPECT_EQ(MaxD(2.5, 1.5), 2.5);
  EXPECT_EQ(MaxD(1.0, 1.5), 1.5);
  EXPECT_TRUE(std::signbit(MaxD(0.0, -0.0)));  // equal: the second one
  EXPECT_FALSE(std::signbit(MaxD(-0.0, 0.0)));
}

TEST(CvtFloatFormat, ConvertsBetweenInchCentimetreAndPoint) {
  EXPECT_EQ(CvtFloatFormat(72.0f, 2, 0), 1.0f);
  EXPECT_EQ(CvtFloatFormat(1.0f, 0, 1), 2.54f);
  EXPECT_EQ(CvtFloatFormat(5.08f, 1, 0), 2.0f);
  EXPECT_EQ(CvtFloatFormat(2.0f, 0, 2), 144.0f);
  EXPECT_EQ(CvtFloatFormat(2.54f, 1, 2), 72.0f);
  EXPECT_EQ(CvtFloatFormat(36.0f, 2, 1), 1.27f);
}

TEST(CvtFloatFormat, LeavesOtherPairsUnchanged) {
  EXPECT_EQ(CvtFloatFormat(3.5f, 1, 1), 3.5f);
  EXPECT_EQ(CvtFloatFormat(3.5f, 0, 3), 3.5f);
  EXPECT_EQ(CvtFloatFormat(3.5f, -1, 0), 3.5f);
}
