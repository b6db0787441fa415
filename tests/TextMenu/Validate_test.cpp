// Validate_test.cpp - the validation pattern language, the length and digit checks,
// names, and the prompts that show reasons and wait for Enter.
#include "MenuFixture.h"

#include "MemMgr/MemMgr.h"

#include <string>

namespace {

class ValidateTest : public MenuTest {
 protected:
  // ValidateEntry with one Enter ready for its pause; stores what it showed.
  int Check(const char* text, const char* pattern) {
    int r = -1;
    shown_ = Run("\n", [&] { r = ValidateEntry(text, pattern); });
    return r;
  }
  std::string Pause() const { return Cat(25, 1001); }
  std::string shown_;
};

// A refusal shows its reason and waits for Enter; an acceptance shows nothing.
TEST_F(ValidateTest, PatternsAcceptOrRefuseWithTheirReason) {
  const std::string none = "-";  // shows nothing
  const struct {
    const char* text;
    const char* pattern;
    int result;
    std::string reason;  // without the pause; "-" when nothing is shown
  } rows[] = {
      // Integer ranges; without a range any digits; '+' allows and '-' forbids a character.
      {"7", "d(1,10)", 0, none}, {"11", "d(1,10)", 1, CatF(25, 1003, 1, 10)},
      {"7a", "d(1,10)", 3, "Invalid digit:  a\n"}, {"123456789", "d(0,0)", 0, none}, {"", "d(0,0)", 0, none},
      {"-5", "d(0,0)", 3, "Invalid digit:  -\n"}, {"-5", "d(-9,9)+-", 0, none}, {"15", "d(0,0)-5", 3, "Invalid digit:  5\n"},
      // Character classes check the length and the characters.
      {"ab_c", "A(2,8)+_", 0, none}, {"ab-c", "A(2,8)+_", 3, CatF(25, 1007, '-', "_")},
      {"a", "A(2,8)+_", 2, CatF(30, 42, 2, 8)}, {"abc", "A(2,2)", 2, CatF(30, 44, 2)},
      {"ab1", "a(1,5)", 3, CatF(25, 1008, '1', "")}, {"a b~", "p(1,9)", 0, none},
      {"a\tb", "p(1,9)", 3, CatF(25, 1007, '\t')},
      // Alternatives fall through only for class, length and literal refusals.
      {"abc", "L(1,1)|L(3,3)", 0, none}, {"x", "d(1,9)|A(1,1)", 3, "Invalid digit:  x\n"},
      {"ab", "A(1,3)|d(5,6)", 0, none},  // "|" reached with everything accepted
      {"no", "yes|A(1,1)", 2, CatF(30, 44, 1)},  // the last alternative reports
      // A reserved word refuses only the whole text.
      {"root", "!(root)", 4, CatF(25, 1009, "root")}, {"roots", "!(root)", 0, none},
      {"root", "A(1,8)&!(root)", 4, CatF(25, 1009, "root")}, {"bob", "A(1,8)&!(root)", 0, none},
      // Floats allow digits and one dot; hexadecimal and long double ranges.
      {"2.5", "f(0,10)", 0, none}, {"1.2.3", "f(0,10)", 1, Cat(25, 1020)}, {"1a", "f(0,10)", 3, CatF(25, 1006, 'a')},
      {"11", "f(0,10)", 1, "This number must be between 0.000000 to 10.000000."},
      {"1f", "x(0,ff)", 0, none}, {"0x1F", "x(0,ff)", 0, none}, {"100", "x(0,ff)", 1, CatF(25, 1004, 0, 0xff)},
      {"zz", "x(0,ff)", 3, "Invalid digit:  z\n"}, {"50.5", "D(0,100)", 0, none}, {"200", "D(0,100)", 1, Cat(25, 1024)},
      {"-1", "D(0,100)", 3, "Invalid character '-'\nThis text may contain \"0123456789.\"\n"},
      // Literals, as in the settings file name pattern; a refusal before any match is silent.
      {"/tmp/set_1-a", "/A(1,255)+-+_+/", 0, none}, {"/tmp/x.y", "/A(1,255)+-+_+/", 3, CatF(25, 1007, '.')},
      {"tmp", "/A(1,255)+-+_+/", 3, none}, {"ax", "ab", 3, CatF(25, 1007, 'x', 'b', "a")},
      {"abc", "a", 0, none},  // the end of the pattern accepts the rest
      {"a b", " a \t b\n", 3, CatF(25, 1007, ' ', 'b', "a")},  // blanks of the pattern are ignored
      {"ab", " a \t b\n", 0, none}, {"anything", nullptr, 0, none},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.text) + " against " + (r.pattern ? r.pattern : "null"));
    EXPECT_EQ(Check(r.text, r.pattern), r.result);
    EXPECT_EQ(shown_, r.reason == none ? "" : r.reason + Pause());
    EXPECT_EQ(Unread(), r.reason == none ? "\n" : "");  // the reason was confirmed with Enter
  }
}

TEST_F(ValidateTest, LengthAndDigitChecks) {
  int r = -1;
  EXPECT_EQ(Run("", [&] { r = ValidateEntryTty("1234", nullptr); }), "");
  EXPECT_EQ(r, 0);
  EXPECT_EQ(Run("\n", [&] { r = ValidateEntryTty("123", nullptr); }), CatF(30, 44, 4) + Pause());
  EXPECT_EQ(r, 2);
  EXPECT_EQ(Run("\n", [&] { r = ValidateEntryTty("12a4", nullptr); }), "Invalid digit:  a\n" + Pause());
  EXPECT_EQ(r, 3);
  EXPECT_EQ(Run("", [&] { r = ValidateEntryTty("12", "(2,3)"); }), "");
  EXPECT_EQ(r, 0);

  EXPECT_EQ(ValidateEntryLen("abcd", nullptr), nullptr);
  EXPECT_EQ(std::string(ValidateEntryLen("ab", "(3,5)")), CatF(30, 42, 3, 5));
  EXPECT_EQ(ValidateEntryDigit("12a3"), 'a');
  EXPECT_EQ(ValidateEntryDigit("123"), 0);

  int min = -1;
  EXPECT_EQ(getMinMax("(3,12)", &min), 12);
  EXPECT_EQ(min, 3);
  EXPECT_EQ(getMinMax("5,9", &min), 9);
  EXPECT_EQ(min, 5);
  EXPECT_EQ(getMinMax(nullptr, &min), 0);
  EXPECT_EQ(min, 0);
}

TEST_F(ValidateTest, NamesAllowLettersDigitsUnderscoreAndDash) {
  int r = -1;
  EXPECT_EQ(Run("", [&] { r = TestName("ab_c-1"); }), "");
  EXPECT_EQ(r, 1);
  EXPECT_EQ(Run("\n", [&] { r = TestName("a b"); }), CatF(25, 1002, ' ') + Cat(25, 1000) + Pause());
  EXPECT_EQ(r, 0);
}

TEST_F(ValidateTest, PostMsgShowsTheMessageAndWaitsForOneLine) {
  EXPECT_EQ(Run("ok\nnext\n", [] { PostMsg("Value %d\n", 3); }), "Value 3\n" + Pause());
  EXPECT_EQ(Unread(), "next\n");
  // The end of input ends the wait.
  EXPECT_EQ(Run("", [] { PostMsg("x"); }), "x" + Pause());
  EXPECT_EQ(flInputEnded, 1);
}

TEST_F(ValidateTest, PromptUserReadsIntoTheBufferOrANewText) {
  char buf[MENU_LINE_SIZE];
  EXPECT_EQ(Run("answer\nrest\n", [&] { PromptUser("Name: ", buf); }), "Name: ");
  EXPECT_STREQ(buf, "answer");
  EXPECT_EQ(Unread(), "rest\n");

  char* text = nullptr;
  const std::string longLine(3000, 'x');
  Run(longLine + "\nrest\n", [&] { text = PromptUser("? ", nullptr); });
  EXPECT_EQ(std::string(text), longLine.substr(0, 1023));
  EXPECT_EQ(Unread(), "rest\n");  // the rest of the long line was dropped
  PutMem(text);

  Run("", [&] { text = PromptUser("? ", nullptr); });
  EXPECT_STREQ(text, "");
  PutMem(text);
  // Input lines are cut at 4095 characters.
  const std::string longer(5000, 'y');
  Run(longer + "\nnext\n", [&] { PromptUser("", buf); });
  EXPECT_EQ(std::string(buf), longer.substr(0, 4095));
  EXPECT_EQ(Unread(), "next\n");
}

}  // namespace
