// Encoding_test.cpp - the terminal's encoding: locale names, their precedence, and
// Latin-1 texts written as UTF-8.
#include "Cases.h"

#include <cstdlib>

using cases::Check;

namespace {

// Latin1ToUtf8 of the whole text into a buffer of size bytes: "<returned length>|<text>".
std::string Convert(const std::string& in, size_t size = 64) {
  std::string out(size, '#');
  const size_t n = Latin1ToUtf8(in.data(), in.size(), size > 0 ? out.data() : nullptr, size);
  return std::to_string(n) + "|" + (size > 0 ? std::string(out.c_str()) : "");
}

// LocaleIsUtf8 with exactly these values of LC_ALL, LC_MESSAGES and LANG (null: unset).
int WithLocale(const char* all, const char* messages, const char* lang) {
  all ? setenv("LC_ALL", all, 1) : unsetenv("LC_ALL");
  messages ? setenv("LC_MESSAGES", messages, 1) : unsetenv("LC_MESSAGES");
  lang ? setenv("LANG", lang, 1) : unsetenv("LANG");
  return LocaleIsUtf8();
}

}  // namespace

TEST(Encoding, LocaleNamesUtf8ByItsCodeSetInTheUsualPrecedence) {
  Check({CASE(NamesUtf8("fr_FR.UTF-8"), 1), CASE(NamesUtf8("de_DE.utf8"), 1), CASE(NamesUtf8("C.Utf-8"), 1),
         CASE(NamesUtf8("sr_RS.UTF-8@latin"), 1), CASE(NamesUtf8("fr_FR"), 0),
         CASE(NamesUtf8("fr_FR.ISO-8859-1"), 0), CASE(NamesUtf8("en_US.UTF-16"), 0), CASE(NamesUtf8("UTF-8"), 0),
         CASE(NamesUtf8(""), 0), CASE(NamesUtf8(nullptr), 0),
         CASE(WithLocale(nullptr, nullptr, "C.UTF-8"), 1), CASE(WithLocale(nullptr, nullptr, nullptr), 0),
         CASE(WithLocale("C", "de_DE.UTF-8", "C.UTF-8"), 0), CASE(WithLocale("", "de_DE.UTF-8", "C"), 1),
         CASE(WithLocale(nullptr, "", "C.UTF-8"), 1), CASE(WithLocale(nullptr, "fr_FR", "C.UTF-8"), 0)});
  WithLocale(nullptr, nullptr, nullptr);
}

TEST(Encoding, Latin1BecomesUtf8ButUtf8StaysAndTheBufferIsNeverOverrun) {
  Check({CASE(Convert("plain"), "5|plain"), CASE(Convert("d\xe9j\xe0 \xff"), "9|d\xc3\xa9j\xc3\xa0 \xc3\xbf"),
         CASE(Convert("\x80\xa0"), "4|\xc2\x80\xc2\xa0"),
         // Well-formed UTF-8 is kept (the text converted twice is the text converted once) ...
         CASE(Convert("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"), "14|caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"),
         // ... but not a sequence cut short, overlong or a surrogate: those are Latin-1 bytes.
         CASE(Convert("\xc3"), "2|\xc3\x83"), CASE(Convert("\xc3z"), "3|\xc3\x83z"),
         CASE(Convert("\xc0\x80"), "4|\xc3\x80\xc2\x80"), CASE(Convert("\xed\xa0\x80"), "6|\xc3\xad\xc2\xa0\xc2\x80"),
         CASE(Convert("\xe9t\xe9", 4), "5|\xc3\xa9t"), CASE(Convert("\xe9", 2), "2|"),
         CASE(Convert("\xe9t\xe9", 0), "5|"), CASE(Convert("", 1), "0|")});
}
