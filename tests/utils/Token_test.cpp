// Token_test.cpp - the tokenizer, the keyword-list lookups and Gets.
#include "Cases.h"

#include <vector>

namespace {

// What a scanner yields from text: "[token]" and the delimiter recorded with each
// token, then "|" and the delimiter recorded by the call that found no more.
template <typename Next>
std::string Scan(const std::string& text, Next next) {
  const auto del = [] { return std::string(chTokenDel ? 1 : 0, chTokenDel); };
  std::string out;
  for (char* t = next(Mut(text)); t != nullptr; t = next(nullptr)) out += "[" + std::string(t) + "]" + del();
  return out + "|" + del();
}

// The count ParseStr gives for a capacity of 2, then both entries ("(null)": cleared).
std::string Fields(const char* text, int capacity = 2) {
  char* f[2] = {Mut("stale"), Mut("stale")};
  const int n = ParseStr(text ? Mut(text) : nullptr, ",", f, capacity);
  return std::to_string(n) + "|" + cases::Str(f[0]) + "|" + cases::Str(f[1]);
}

// list sorted in exactly the room the result needs, on the heap where a sanitizer
// sees an overflow: one more than the list when its last item lacks its delimiter.
std::string Sorted(const std::string& list, int ignoreCase) {
  std::vector<char> room(list.size() + (list.empty() || (list.ends_with(",") && !list.ends_with("\\,")) ? 1 : 2));
  std::copy(list.begin(), list.end(), room.begin());
  SortTokens(room.data(), ',', ignoreCase);
  return room.data();
}

}  // namespace

// GetToken translates escapes, GetTokenParse keeps them in place; GetTokenD scans as
// GetToken does, on a cursor of its own.
TEST(GetToken, SplitsAtDelimitersWithEscapes) {
  const std::string a300(300, 'a');
  const struct { std::string text; const char* delims; std::string token, parse; } rows[] = {
      {"  a  b", " ", "[a] [b] |", "[a] [b] |"}, {"key=value;x", "=;", "[key]=[value];[x]|", "[key]=[value];[x]|"},
      {"a\\,b,c", ",", "[a,b],[c]|", "[a\\,b],[c]|"}, {"\\n\\r\\t\\\\\\q", " ", "[\n\r\t\\q]|", "[\\n\\r\\t\\\\\\q]|"},
      {"", ",", "|", "|"}, {",,,", ",", "|,", "|,"}, {"x y\nz", " \n", "[x] [y]\n[z]|", "[x] [y]\n[z]|"},
      // A lone final backslash: dropped by GetToken, kept by GetTokenParse.
      {"ab\\", " ", "[ab]|", "[ab\\]|"}, {" \\", " ", "| ", "[\\] |"},
      // A token of more than 254 characters is cut, and all of it consumed.
      {a300 + " b", " ", "[" + a300.substr(0, 254) + "] [b]|", "[" + a300 + "] [b]|"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    char out[TOKEN_BUF_SIZE], *cursor = nullptr;
    EXPECT_EQ(Scan(r.text, [&](char* in) { return GetToken(in, r.delims); }), r.token);
    EXPECT_EQ(Scan(r.text, [&](char* in) { return GetTokenD(in, r.delims, &cursor, out); }), r.token);
    EXPECT_EQ(Scan(r.text, [&](char* in) { return GetTokenParse(in, r.delims); }), r.parse);
  }
}

TEST(GetToken, SameLineModeCallersBuffersAndCounts) {
  char *t = Mut("x y\nz"), *p = Mut("x y\nz"), *d = Mut("a\nb"), *end = Mut("ab\\"), *kept = Mut("x\\");
  char out[8] = "#######", *cursor = d;
  SetTokenBuf(t);
  // In same-line mode a token ended by a line feed stops the scan, after the line feed.
  Check({CASE(GetToken(nullptr, " \n"), "x"), CASE(GetToken(TOKEN_SAME_LINE, " \n"), nullptr), CASE(GetTokenBuf, "y"),
         CASE(szTokenIn - t, 2), CASE(GetTokenBufInput() - t, 4), CASE(GetToken(Mut("a b\n"), " \n"), "a"),
         CASE(GetToken(TOKEN_SAME_LINE, " \n"), nullptr), CASE(GetTokenParse(p, " \n"), "x"),
         CASE(GetTokenParse(TOKEN_SAME_LINE, " \n"), nullptr), CASE(GetTokenParse(nullptr, " \n"), "z"),
         CASE(GetTokenD(TOKEN_SAME_LINE, " \n", &cursor, out, 8), nullptr), CASE(out, "a"), CASE(cursor - d, 2),
         // The cursor stays on the terminator, never past it; no scan at all gives null.
         CASE(GetToken(end, " "), "ab"), CASE(szIn - end, 3), CASE(GetTokenParse(kept, " "), "x\\"),
         CASE(szIn - kept, 2), CASE((SetTokenBuf(nullptr), GetToken(nullptr, " ")), nullptr),
         CASE(GetTokenParse(nullptr, " "), nullptr), CASE(GetToken(Mut("s1 s2"), " "), "s1"),
         // The caller's cursor and buffer, cut to its size, and counts leave a shared scan alone.
         CASE(GetTokenD(Mut("abcdefgh ij"), " ", &cursor, out, 4), "abc"),
         CASE(std::string(out, 8), std::string("abc\0###\0", 8)), CASE(GetTokenD(nullptr, " ", &cursor, out, 4), "ij"),
         CASE(GetTokenD(nullptr, " ", nullptr, out, 4), nullptr),
         CASE(GetTokenD(Mut("x"), " ", &cursor, nullptr, 4), nullptr), CASE(GetTokenCount(Mut("x,y\\,z,w"), ","), 3),
         CASE(GetTokenBuf, "s1"), CASE(GetToken(nullptr, " "), "s2"), CASE(GetTokenN(Mut("a b c"), " ", 3), "c"),
         CASE(GetTokenN(Mut("a b"), " ", 3), nullptr), CASE(Fields("a,,b,c"), "2|a|b"),
         CASE(Fields(",x,"), "1|x|(null)"), CASE(Fields(nullptr), "0|(null)|(null)"),
         CASE(Fields("a", 0), "0|stale|stale"),
         CASE(GetTokenN(Mut("a b"), " ", -2), "a"), CASE(GetTokenCount(Mut("   "), " "), 0)});
}

TEST(FindToken, NumbersWholeItemsOfAKeywordList) {
  const char* yn = ",y,yes,n,no,";
  const std::string w509(FIND_TOKEN_MAX_WORD, 'w'), w510 = w509 + "w", l509 = ",a," + w509 + ",", l510 = ",a," + w510;
  Check({CASE(FindToken("no", yn), 4), CASE(FindToken("YES", yn), 0), CASE(FindToken("ye", yn), 0),
         CASE(FindToken("a,b", ",x,a,b,"), 2), CASE(FindToken("b", " a b c "), 2),
         // The last item needs no delimiter after it; the empty word only matches after one.
         CASE(FindToken("-v", ",i,-v"), 2), CASE(FindToken("-", ",i,-v"), 0), CASE(FindToken("", ",a,b,"), 3),
         CASE(FindToken("", ",a,b"), 0), CASE(FindToken(nullptr, ",a,"), 0), CASE(FindToken("a", nullptr), 0),
         CASE(FindToken(w509.c_str(), l509.c_str()), 2), CASE(FindToken(w510.c_str(), l510.c_str()), 0),
         CASE(FindTokenC(w510.c_str(), l510.c_str()), 0), CASE(FindTokenC("YES", yn), 2), CASE(FindTokenC("Y", yn), 1),
         CASE(FindTokenC("-V", ",i,-v"), 2), CASE(FindTokenC(nullptr, ",a,"), 0), CASE(FindTokenC("a", ""), 0),
         CASE(FindToken("", ""), 0), CASE(FindTokenWithDelim(",a,b,", "a", ','), 1),
         CASE(FindTokenWithDelim("a:b", "a:b", '\0'), 1), CASE(FindTokenWithDelim(nullptr, "a", ':'), 0),
         CASE(FindTokenWithDelim("a:bc:b", "b", ':'), 3), CASE(FindTokenWithDelim("a:b", "a:", ':'), 0),
         // SortTokens compares items with the delimiter after them; escaped ones stay inside.
         CASE(Sorted(",c,a,b,", 0), ",a,b,c,"), CASE(Sorted("c,a,b", 0), "a,b,c,"), CASE(Sorted(",ab,a,", 0), ",a,ab,"),
         CASE(Sorted(",b,a,C,", 1), ",a,b,C,"), CASE(Sorted("b,a\\,", 0), "a\\,,b,"), CASE(Sorted("", 0), ""),
         CASE(Sorted(",,b,a", 0), ",,a,b,"), CASE(Sorted(",b,a,C,", 0), ",C,a,b,"), CASE(Sorted(",,,", 0), ",,,"),
         CASE(Sorted(",b,a\\,z,", 0), ",a\\,z,b,"), CASE((SortTokens(nullptr, ',', 0), 0), 0)});
}

TEST(Gets, ReadsOneLineOfAtMostSizeMinusOneCharacters) {
  testutil::ScratchDir dir;
  ASSERT_TRUE(testutil::WriteFile(dir / "in", "ab\nabcdefg\nxy") && std::freopen((dir / "in").c_str(), "r", stdin));
  char buf[16], small[5];
  Check({CASE(Gets(buf, 16), "ab"), CASE(Gets(small, 5), "abcd"), CASE(std::fgets(buf, 16, stdin), "efg\n"),
         CASE(Gets(buf, 16), "xy"), CASE(Gets(buf, 16), ""), CASE(Gets(nullptr, 4), nullptr)});
  ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
}
