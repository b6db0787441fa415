// Token_test.cpp - behaviour of the tokenizer, the keyword-list lookups and Gets.
#include "utils/utils.h"

#include "testutil.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Tokens of text that GetToken yields, first with the text and then with null input.
std::vector<std::string> AllTokens(std::string& text, const char* delims) {
  std::vector<std::string> out;
  for (char* t = GetToken(text.data(), delims); t != nullptr; t = GetToken(nullptr, delims))
    out.emplace_back(t);
  return out;
}

using Tokens = std::vector<std::string>;

}  // namespace

// ===== GetToken =====

TEST(GetToken, SkipsLeadingAndRepeatedDelimitersAndRecordsTheEndingOneWithTheTokenInTheSharedBuffer) {
  std::string text = "  a  b";
  EXPECT_STREQ(GetToken(text.data(), " "), "a");
  EXPECT_EQ(chTokenDel, ' ');
  EXPECT_STREQ(GetToken(nullptr, " "), "b");
  EXPECT_EQ(chTokenDel, ' ');  // the last leading delimiter skipped before "b"
  EXPECT_EQ(GetToken(nullptr, " "), nullptr);
  EXPECT_EQ(chTokenDel, 0);
  EXPECT_EQ(GetToken(nullptr, " "), nullptr);  // stays on the terminator
  // The token is in the shared buffer; the delimiter that ended it is recorded.
  text = "key=value;x";
  EXPECT_EQ(GetToken(text.data(), "=;"), GetTokenBuf);
  EXPECT_STREQ(GetTokenBuf, "key");
  EXPECT_EQ(chTokenDel, '=');
  EXPECT_STREQ(GetToken(nullptr, "=;"), "value");
  EXPECT_EQ(chTokenDel, ';');
  EXPECT_EQ(szTokenIn, szIn);
  EXPECT_EQ(szIn, text.data() + 10);
  // SetTokenBuf starts a shared scan continued with null input.
  text = "one two";
  SetTokenBuf(text.data());
  EXPECT_EQ(szIn, text.data());
  EXPECT_EQ(szTokenIn, text.data());
  EXPECT_EQ(GetTokenBufInput(), text.data());
  EXPECT_STREQ(GetToken(nullptr, " "), "one");
  EXPECT_EQ(GetTokenBufInput(), text.data() + 4);
}

TEST(GetToken, TranslatesEscapesNeverSplitsAtAnEscapedDelimiterAndYieldsNullWithoutTokens) {
  std::string text = "a\\,b,c";
  EXPECT_EQ(AllTokens(text, ","), (Tokens{"a,b", "c"}));
  text = "x\\ty";
  EXPECT_EQ(AllTokens(text, " "), (Tokens{"x\ty"}));
  text = "\\n\\r\\\\\\q";
  EXPECT_EQ(AllTokens(text, " "), (Tokens{"\n\r\\q"}));
  // Text without tokens yields null at once.
  std::string empty;
  EXPECT_EQ(GetToken(empty.data(), ","), nullptr);
  std::string delims = ",,,";
  EXPECT_EQ(GetToken(delims.data(), ","), nullptr);
  EXPECT_EQ(chTokenDel, ',');
}

TEST(GetToken, SameLineModeStopsAtATokenEndedByLineFeedOnly) {
  std::string text = "x y\nz";
  EXPECT_STREQ(GetToken(text.data(), " \n"), "x");
  char* const before = szTokenIn;
  EXPECT_EQ(GetToken(TOKEN_SAME_LINE, " \n"), nullptr);
  EXPECT_STREQ(GetTokenBuf, "y");
  EXPECT_EQ(szTokenIn, before);          // not updated by the stopped scan
  EXPECT_EQ(szIn, text.data() + 4);      // after the LF
  EXPECT_STREQ(GetToken(nullptr, " \n"), "z");
  // Tokens ended by other delimiters come as usual.
  text = "a b c\n";
  EXPECT_STREQ(GetToken(text.data(), " \n"), "a");
  EXPECT_STREQ(GetToken(TOKEN_SAME_LINE, " \n"), "b");
  EXPECT_EQ(GetToken(TOKEN_SAME_LINE, " \n"), nullptr);
  EXPECT_STREQ(GetTokenBuf, "c");
}

TEST(GetToken, CutsALongTokenTo254CharactersConsumingAllOfItAndDropsALoneFinalBackslash) {
  std::string text = std::string(300, 'a') + " b";
  char* t = GetToken(text.data(), " ");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::string(t), std::string(254, 'a'));
  EXPECT_EQ(chTokenDel, ' ');
  EXPECT_STREQ(GetToken(nullptr, " "), "b");
  // A lone backslash at the end of the input is dropped; the scan stops on the terminator.
  text = "ab\\";
  EXPECT_STREQ(GetToken(text.data(), " "), "ab");
  EXPECT_EQ(szIn, text.data() + 3);  // on the terminator, not past it
  EXPECT_EQ(GetToken(nullptr, " "), nullptr);
  std::string lone = " \\";
  EXPECT_EQ(GetToken(lone.data(), " "), nullptr);
  EXPECT_EQ(GetTokenBufInput(), lone.data() + 2);
}

// ===== GetTokenD =====

TEST(GetTokenD, ScansOnTheCallersCursorAndLeavesTheSharedScanAlone) {
  std::string shared = "s1 s2";
  ASSERT_STREQ(GetToken(shared.data(), " "), "s1");
  char* const in = szIn;
  char* const tokenIn = szTokenIn;

  std::string text = "p,q\\,r";
  char* cursor = nullptr;
  char out[TOKEN_BUF_SIZE];
  EXPECT_EQ(GetTokenD(text.data(), ",", &cursor, out), out);
  EXPECT_STREQ(out, "p");
  EXPECT_EQ(chTokenDel, ',');
  EXPECT_EQ(cursor, text.data() + 2);
  EXPECT_STREQ(GetTokenD(nullptr, ",", &cursor, out), "q,r");
  EXPECT_EQ(GetTokenD(nullptr, ",", &cursor, out), nullptr);

  EXPECT_EQ(szIn, in);
  EXPECT_EQ(szTokenIn, tokenIn);
  EXPECT_STREQ(GetTokenBuf, "s1");
  EXPECT_STREQ(GetToken(nullptr, " "), "s2");
}

TEST(GetTokenD, CutsTheTokenToTheOutputSizeAndStopsAtALineFeedInSameLineMode) {
  std::string text = "abcdefgh ij";
  char* cursor = nullptr;
  char out[8] = "#######";
  EXPECT_STREQ(GetTokenD(text.data(), " ", &cursor, out, 4), "abc");
  EXPECT_EQ(std::string(out, 8), std::string("abc\0###\0", 8));
  EXPECT_STREQ(GetTokenD(nullptr, " ", &cursor, out, 4), "ij");
  // Same-line mode leaves the cursor after the line feed; a lone final backslash is dropped.
  text = "a\nb";
  cursor = text.data();
  EXPECT_EQ(GetTokenD(TOKEN_SAME_LINE, " \n", &cursor, out, sizeof out), nullptr);
  EXPECT_STREQ(out, "a");
  EXPECT_EQ(cursor, text.data() + 2);
  EXPECT_STREQ(GetTokenD(nullptr, " \n", &cursor, out, sizeof out), "b");
  // A lone backslash at the end of the input is dropped.
  text = "x\\";
  cursor = nullptr;
  EXPECT_STREQ(GetTokenD(text.data(), " ", &cursor, out, sizeof out), "x");
  EXPECT_EQ(cursor, text.data() + 2);
  EXPECT_EQ(GetTokenD(nullptr, " ", &cursor, out, sizeof out), nullptr);
}

// ===== GetTokenParse and ParseStr =====

TEST(GetTokenParse, ReturnsTokensInsideTheTextOverwritingDelimitersAndKeepingEscapes) {
  std::string text = ":a::b";
  char* a = GetTokenParse(text.data(), ":");
  EXPECT_EQ(a, text.data() + 1);
  EXPECT_STREQ(a, "a");
  EXPECT_EQ(chTokenDel, ':');
  char* b = GetTokenParse(nullptr, ":");
  EXPECT_EQ(b, text.data() + 4);
  EXPECT_STREQ(b, "b");
  EXPECT_EQ(GetTokenParse(nullptr, ":"), nullptr);
  EXPECT_EQ(text, std::string("\0a\0\0b", 5));
  EXPECT_EQ(szTokenIn, text.data() + 5);
  // Escapes and a lone final backslash stay as they are.
  std::string escaped = "a\\:b:c";
  EXPECT_STREQ(GetTokenParse(escaped.data(), ":"), "a\\:b");
  EXPECT_STREQ(GetTokenParse(nullptr, ":"), "c");
  text = "x y\\";
  EXPECT_STREQ(GetTokenParse(text.data(), " "), "x");
  EXPECT_STREQ(GetTokenParse(nullptr, " "), "y\\");
  EXPECT_EQ(szIn, text.data() + 4);
  EXPECT_EQ(GetTokenParse(nullptr, " "), nullptr);
  // Same-line mode stops at a token ended by a line feed.
  text = "x y\nz";
  EXPECT_STREQ(GetTokenParse(text.data(), " \n"), "x");
  EXPECT_EQ(GetTokenParse(TOKEN_SAME_LINE, " \n"), nullptr);
  EXPECT_STREQ(GetTokenParse(nullptr, " \n"), "z");
}

TEST(ParseStr, FillsAtMostCapacityFieldsClearsUnusedOnesAndRefusesNullText) {
  std::string text = "a  b c";
  char* fields[2];
  EXPECT_EQ(ParseStr(text.data(), " ", fields, 2), 2);
  EXPECT_STREQ(fields[0], "a");
  EXPECT_STREQ(fields[1], "b");
  EXPECT_EQ(text, std::string("a\0 b\0c", 6));
  // Unused entries are cleared; null text fills nothing.
  std::string sparse = ",x,,y,";
  char dummy = 0;
  char* four[4] = {&dummy, &dummy, &dummy, &dummy};
  EXPECT_EQ(ParseStr(sparse.data(), ",", four, 4), 2);
  EXPECT_EQ(std::string(four[0]) + four[1], "xy");
  EXPECT_EQ(four[2], nullptr);
  EXPECT_EQ(four[3], nullptr);
  four[0] = &dummy;
  EXPECT_EQ(ParseStr(nullptr, ",", four, 4), 0);
  EXPECT_EQ(four[0], nullptr);
}

// ===== GetTokenN, GetTokenCount, SetTokenBuf =====

TEST(GetTokenN, ReturnsTheNthTokenOrNullAndGetTokenCountCountsWithoutDisturbingAScan) {
  std::string text = "a b c";
  EXPECT_STREQ(GetTokenN(text.data(), " ", 3), "c");
  EXPECT_EQ(GetTokenN(text.data(), " ", 5), nullptr);
  EXPECT_STREQ(GetTokenN(text.data(), " ", 0), "a");
  EXPECT_STREQ(GetTokenN(text.data(), " ", -2), "a");
  // Counting does not disturb a scan under way.
  ASSERT_STREQ(GetToken(text.data(), " "), "a");
  char* const in = szIn;
  std::string other = "x,y\\,z,w";
  EXPECT_EQ(GetTokenCount(other.data(), ","), 3);
  EXPECT_EQ(szIn, in);
  EXPECT_STREQ(GetTokenBuf, "a");
  EXPECT_STREQ(GetToken(nullptr, " "), "b");
  std::string none = "   ";
  EXPECT_EQ(GetTokenCount(none.data(), " "), 0);
}

// ===== FindToken, FindTokenC, FindTokenWithDelim =====

TEST(FindToken, NumbersWholeItemsOfTheListExactlyOrIgnoringCase) {
  const std::string longest(FIND_TOKEN_MAX_WORD, 'w'), tooLong(FIND_TOKEN_MAX_WORD + 1, 'w');
  const std::string withLongest = ",a," + longest + ",", withTooLong = ",a," + tooLong + ",";
  const struct {
    int (*find)(const char*, const char*);
    const char* word;
    const char* list;
    int position;  // 0: not found
  } rows[] = {
      {FindToken, "yes", ",y,yes,n,no,", 2}, {FindToken, "y", ",y,yes,n,no,", 1},
      {FindToken, "no", ",y,yes,n,no,", 4}, {FindToken, "YES", ",y,yes,n,no,", 0},
      {FindToken, "ye", ",y,yes,n,no,", 0},
      // The last item needs no trailing delimiter; the empty word only matches after one.
      {FindToken, "-v", ",install,-v", 2}, {FindToken, "install", ",install,-v", 1},
      {FindToken, "-", ",install,-v", 0}, {FindToken, "", ",a,b,", 3}, {FindToken, "", ",a,b", 0},
      // Any delimiter; a run of items gives the first one's position.
      {FindToken, ".", ";.;..;", 1}, {FindToken, "..", ";.;..;", 2}, {FindToken, "b", " a b c ", 2},
      {FindToken, "a,b", ",x,a,b,", 2},
      {FindToken, nullptr, ",a,", 0}, {FindToken, "a", nullptr, 0}, {FindToken, "", "", 0},
      {FindToken, longest.c_str(), withLongest.c_str(), 2}, {FindToken, tooLong.c_str(), withTooLong.c_str(), 0},
      {FindTokenC, tooLong.c_str(), withTooLong.c_str(), 0},
      {FindTokenC, "YES", ",y,yes,n,no,", 2}, {FindTokenC, "Y", ",y,yes,n,no,", 1},
      {FindTokenC, "-V", ",install,-v", 2}, {FindTokenC, "YE", ",y,yes,n,no,", 0}, {FindTokenC, "", ",a,b,", 3},
      {FindTokenC, nullptr, ",a,", 0}, {FindTokenC, "a", nullptr, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.find == FindToken ? "FindToken " : "FindTokenC ") + (r.word ? r.word : "null") +
                 " in " + (r.list ? r.list : "null"));
    EXPECT_EQ(r.find(r.word, r.list), r.position);
  }
}

TEST(FindTokenWithDelim, NumbersTheItemsBetweenDelimiters) {
  EXPECT_EQ(FindTokenWithDelim(",a,b,", "a", ','), 1);
  EXPECT_EQ(FindTokenWithDelim("a:b", "b", ':'), 2);
  EXPECT_EQ(FindTokenWithDelim("a:bc:b", "b", ':'), 3);
  EXPECT_EQ(FindTokenWithDelim("a:b", "c", ':'), 0);
  EXPECT_EQ(FindTokenWithDelim("a:b", "a:", ':'), 0);
  EXPECT_EQ(FindTokenWithDelim(nullptr, "a", ':'), 0);
  EXPECT_EQ(FindTokenWithDelim("a", nullptr, ':'), 0);
}

// ===== SortTokens =====

TEST(SortTokens, SortsInPlaceKeepingLeadingDelimitersAndEndingWithOne) {
  const struct {
    const char* list;
    int ignoreCase;
    const char* sorted;
  } rows[] = {
      {",c,a,b,", 0, ",a,b,c,"}, {",,b,a", 0, ",,a,b,"}, {"c,a,b", 0, "a,b,c,"}, {"a,b", 0, "a,b,"},
      // Items compare with the delimiter after them, by case or ignoring it.
      {",ab,a,", 0, ",a,ab,"}, {",b,a,C,", 0, ",C,a,b,"}, {",b,a,C,", 1, ",a,b,C,"},
      // Escaped delimiters stay inside their items, a last one too.
      {",b,a\\,z,", 0, ",a\\,z,b,"}, {"b,a\\,", 0, "a\\,,b,"},
      {"", 0, ""}, {",,,", 0, ",,,"},
  };
  for (const auto& r : rows) {
    // Exactly the room the result needs, on the heap where a sanitizer sees an overflow.
    std::vector<char> room(std::max(std::strlen(r.list), std::strlen(r.sorted)) + 1);
    std::strcpy(room.data(), r.list);
    SortTokens(room.data(), ',', r.ignoreCase);
    EXPECT_STREQ(room.data(), r.sorted) << r.list;
  }
  SortTokens(nullptr, ',', 0);
}

// ===== Gets =====

class GetsTest : public ::testing::Test {
 protected:
  // Makes standard input read content.
  void Feed(const std::string& content) {
    const std::string path = dir_ / "stdin";
    ASSERT_TRUE(testutil::WriteFile(path, content));
    ASSERT_NE(std::freopen(path.c_str(), "r", stdin), nullptr);
  }
  void TearDown() override { std::freopen("/dev/null", "r", stdin); }
  testutil::ScratchDir dir_;
};

TEST_F(GetsTest, ReadsOneLineWithoutItsLineFeedAtMostSizeMinusOneCharacters) {
  Feed("ab\nabcdefg\nxy");
  char buf[16], small[5];
  EXPECT_EQ(Gets(buf, sizeof buf), buf);
  EXPECT_STREQ(buf, "ab");
  EXPECT_STREQ(Gets(small, 5), "abcd");
  char rest[16];
  ASSERT_NE(std::fgets(rest, sizeof rest, stdin), nullptr);
  EXPECT_STREQ(rest, "efg\n");  // what did not fit is left
  EXPECT_STREQ(Gets(buf, sizeof buf), "xy");  // what was read when the input ends
  std::memset(buf, '#', sizeof buf);
  EXPECT_STREQ(Gets(buf, sizeof buf), "");
}
