// Strings_test.cpp - managed texts, path splitters, searches, filters and numbers.
#include "Cases.h"

#include <fstream>

#include <sys/resource.h>

TEST(SaveStr, FormatsIntoANewManagedTextNeverCut) {
  const std::string big(20000, 'q'), huge(70000, 'z');
  Check({CASE(Take(SaveStr("%s/%s", "/tmp", "x")), "/tmp/x"), CASE(Take(SaveStr_("100%d %s")), "100%d %s"),
         CASE(Take(SaveStr("<%s>%*d", big.c_str(), 9000, 7)), "<" + big + ">" + std::string(8999, ' ') + "7"),
         CASE(Take(SaveStr__("%s!", huge.c_str())), huge + "!"), CASE(SaveStr__(nullptr), nullptr),
         CASE(SaveStr_(nullptr), nullptr)});
}

#ifndef KANDU_SANITIZED
// Running out of memory ends the process: address space for what it holds and little more.
TEST(SaveStrDeathTest, EndsTheProcessWhenMemoryRunsOut) {
  const auto starve = [](bool formatted) {
    const std::string copied = formatted ? "" : std::string(128 << 20, 'c');
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = static_cast<rlim_t>(pages) * 4096 + (64 << 20);
    const struct rlimit rl = {limit, limit};
    setrlimit(RLIMIT_AS, &rl);
    formatted ? SaveStr("%*s", 256 << 20, "") : SaveStr_(copied.c_str());
  };
  for (bool formatted : {true, false}) EXPECT_EXIT(starve(formatted), ::testing::ExitedWithCode(1), "Unable to allocate");
}
#endif

TEST(PathSplitters, GiveTheirPartOfThePathCutToTheirBuffer) {
  const std::string d250(250, 'd'), n(400, 'n');
  Check({CASE(StripFn("/a/b/c"), "/a/b"), CASE(StripFn("c"), "."), CASE(StripFn("/c"), "/"),
         CASE(StripFn("a/b/"), "a/b"), CASE(StripFn(nullptr), "."), CASE(StripPath("/a/b/c"), "c"),
         CASE(StripPath("/usr/lib//"), "lib"), CASE(StripPath("/"), "/"), CASE(StripPath(nullptr), ""),
         CASE(StripPathExt("/x/..y.z/"), "..y"), CASE(StripPathExt("/"), nullptr), CASE(StripExt("a.b.c"), "a"),
         CASE(StripExt(".profile"), ".profile"), CASE(StripPathName("dir/name.ext"), "ext"),
         CASE(StripPathName("a/b.c/d"), "b"), CASE(StripPathName("x.tar.gz"), "x.tar.gz"),
         CASE(StripPathName("/usr"), "/usr"), CASE(StripPathName("dir/a/b.c"), "dir"), CASE(StripPathName(".."), ""),
         CASE(StripPathName(nullptr), ""), CASE(StripExt("../x.y"), "../x"), CASE(StripExt(nullptr), ""),
         CASE(StripPathExt(nullptr), ""), CASE(StripPathExt("/x/y.tar.gz"), "y"),
         // A longer path is cut to the buffer first: 255 characters, 127 for a name.
         CASE(StripFn((d250 + "/abcdefgh").c_str()), d250), CASE(StripFn(("/x/" + n).c_str()), "/x"),
         CASE(StripPath(("/p/" + n).c_str()), n.substr(0, 124)),
         CASE(StripPathExt(("/" + n + ".c").c_str()), n.substr(0, 126)), CASE(StripExt(n.c_str()), n.substr(0, 127)),
         CASE(StripPathName(n.c_str()), n.substr(0, 127))});
}

// A search result shows as the text from the place found.
TEST(Searches, FindTheirPlaceOrNull) {
  const char cut[] = {'a', 'b', '\\', '\0', 'x', '\0'};  // past the terminator: never reached
  Check({CASE(SkipSpace(Mut(" \t\r\n x y")), "x y"), CASE(StrLen(nullptr), 0), CASE(StrChr("a\\,b,", ','), ","),
         CASE(StrChr("\\,", ','), nullptr), CASE(StrChr(cut, 'x'), nullptr), CASE(StrNChr("a,b,c", ',', 2), ",c"),
         CASE(SkipSpace(nullptr), nullptr), CASE(StrChr(nullptr, ','), nullptr), CASE(StrNChr("a,b", ',', 2), nullptr),
         CASE(StrNChr("a", 'a', 0), nullptr), CASE(StrNStr("", "a", 1), nullptr), CASE(StrStr(nullptr, "b"), nullptr),
         CASE(StrCaseStr("xa", ""), nullptr),
         // Overlapping occurrences count; the empty pattern is never found.
         CASE(StrNStr("aaaa", "aa", 3), "aa"), CASE(StrNStr("aaaa", "aa", 4), nullptr),
         CASE(StrStr("abc", ""), nullptr), CASE(StrCaseStr("xabcx", "Cx"), "cx"),
         CASE(StrCaseStr("xa", "b"), nullptr)});
}

TEST(Filters, RemoveCharactersJoinCapitalisedWordsOrConvert) {
  std::string words, name;
  for (int i = 0; i < 100; ++i) words += "abc ", name += "Abc";
  unsigned char bytes[5] = {1, 2, 3, 4, 5}, copy[5] = {};
  Check({CASE(StripAllBackslashes(Mut("a\\\\b\\c\\")), "abc"),
         CASE(StripNonPrint(Mut("a\tb\r\nc\x01 d\x7f"), 0), "abc d"), CASE(StripAllBackslashes(nullptr), nullptr),
         CASE(StripNonPrint(nullptr, 1), nullptr), CASE(GenName(nullptr), ""), CASE(MaxD(2.5, 1.5), 2.5),
         CASE((SetVarContent(copy, bytes, 5, 0), SetVarContent(copy, nullptr, 5, 1), copy[0]), 1),
         CASE(GenName("42 HP laserJET-2"), "HpLaserjet2"), CASE(GenName(words.c_str()), name.substr(0, 254)),
         CASE((SetVarContent(bytes, bytes, 5, 1), std::string(bytes, bytes + 5)), "\5\4\3\2\1"),
         // Units: 0 inch, 1 centimetre, 2 point; any other pair leaves the value.
         CASE(MaxD(1.0, 1.5), 1.5), CASE(CvtFloatFormat(72.0f, 2, 0), 1.0f), CASE(CvtFloatFormat(1.0f, 0, 1), 2.54f),
         CASE(CvtFloatFormat(36.0f, 2, 1), 1.27f), CASE(CvtFloatFormat(3.5f, 0, 3), 3.5f),
         CASE(CvtFloatFormat(5.08f, 1, 0), 2.0f), CASE(CvtFloatFormat(2.0f, 0, 2), 144.0f),
         CASE(CvtFloatFormat(2.54f, 1, 2), 72.0f)});
}
