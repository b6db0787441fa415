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

TEST_F(ValidateTest, IntegerRangeAcceptsRefusesValueAndNonDigit) {
  EXPECT_EQ(Check("7", "d(1,10)"), 0);
  EXPECT_EQ(shown_, "");
  EXPECT_EQ(Unread(), "\n");
  EXPECT_EQ(Check("11", "d(1,10)"), 1);
  EXPECT_EQ(shown_, CatF(25, 1003, 1, 10) + Pause());
  EXPECT_EQ(Unread(), "");  // the reason was confirmed with Enter
  EXPECT_EQ(Check("7a", "d(1,10)"), 3);
  EXPECT_EQ(shown_, "Invalid digit:  a\n" + Pause());
}

TEST_F(ValidateTest, IntegerWithoutRangeAcceptsAnyDigits) {
  EXPECT_EQ(Check("123456789", "d(0,0)"), 0);
  EXPECT_EQ(Check("", "d(0,0)"), 0);
  EXPECT_EQ(Check("-5", "d(0,0)"), 3);
  EXPECT_EQ(Check("-5", "d(-9,9)+-"), 0);  // '-' allowed by an option
  EXPECT_EQ(Check("15", "d(0,0)-5"), 3);   // '5' forbidden by an option
}

TEST_F(ValidateTest, CharacterClassChecksLengthAndCharacters) {
  EXPECT_EQ(Check("ab_c", "A(2,8)+_"), 0);
  EXPECT_EQ(Check("ab-c", "A(2,8)+_"), 3);
  EXPECT_EQ(shown_, CatF(25, 1007, '-', "_") + Pause());
  EXPECT_EQ(Check("a", "A(2,8)+_"), 2);
  EXPECT_EQ(shown_, CatF(30, 42, 2, 8) + Pause());
  EXPECT_EQ(Check("abc", "A(2,2)"), 2);
  EXPECT_EQ(shown_, CatF(30, 44, 2) + Pause());
  EXPECT_EQ(Check("ab1", "a(1,5)"), 3);
  EXPECT_EQ(shown_, CatF(25, 1008, '1', "") + Pause());
  EXPECT_EQ(Check("a b~", "p(1,9)"), 0);
  EXPECT_EQ(Check("a\tb", "p(1,9)"), 3);
}

TEST_F(ValidateTest, AlternativesFallThroughOnlyForClassLengthAndLiteral) {
  EXPECT_EQ(Check("abc", "L(1,1)|L(3,3)"), 0);
  EXPECT_EQ(shown_, "");
  EXPECT_EQ(Check("x", "d(1,9)|A(1,1)"), 3);
  EXPECT_EQ(shown_, "Invalid digit:  x\n" + Pause());
  EXPECT_EQ(Check("ab", "A(1,3)|d(5,6)"), 0);  // "|" reached with everything accepted
  EXPECT_EQ(Check("no", "yes|A(1,1)"), 2);      // the last alternative reports
  EXPECT_EQ(shown_, CatF(30, 44, 1) + Pause());
}

TEST_F(ValidateTest, ReservedWordRefusesOnlyTheWholeText) {
  EXPECT_EQ(Check("root", "!(root)"), 4);
  EXPECT_EQ(shown_, CatF(25, 1009, "root") + Pause());
  EXPECT_EQ(Check("roots", "!(root)"), 0);
  EXPECT_EQ(Check("root", "A(1,8)&!(root)"), 4);
  EXPECT_EQ(Check("bob", "A(1,8)&!(root)"), 0);
}

TEST_F(ValidateTest, FloatAllowsDigitsAndOneDot) {
  EXPECT_EQ(Check("2.5", "f(0,10)"), 0);
  EXPECT_EQ(Check("1.2.3", "f(0,10)"), 1);
  EXPECT_EQ(shown_, Cat(25, 1020) + Pause());
  EXPECT_EQ(Check("1a", "f(0,10)"), 3);
  EXPECT_EQ(shown_, CatF(25, 1006, 'a') + Pause());
  EXPECT_EQ(Check("11", "f(0,10)"), 1);
  EXPECT_EQ(shown_, "This number must be between 0.000000 to 10.000000." + Pause());
}

TEST_F(ValidateTest, HexAndLongDoubleRanges) {
  EXPECT_EQ(Check("1f", "x(0,ff)"), 0);
  EXPECT_EQ(Check("0x1F", "x(0,ff)"), 0);
  EXPECT_EQ(Check("100", "x(0,ff)"), 1);
  EXPECT_EQ(shown_, CatF(25, 1004, 0, 0xff) + Pause());
  EXPECT_EQ(Check("zz", "x(0,ff)"), 3);
  EXPECT_EQ(Check("50.5", "D(0,100)"), 0);
  EXPECT_EQ(Check("200", "D(0,100)"), 1);
  EXPECT_EQ(shown_, Cat(25, 1024) + Pause());
  EXPECT_EQ(Check("-1", "D(0,100)"), 3);
  EXPECT_EQ(shown_, "Invalid character '-'\nThis text may contain \"0123456789.\"\n" + Pause());
}

TEST_F(ValidateTest, LiteralsAndTheSettingsFileNamePattern) {
  const char* pattern = "/A(1,255)+-+_+/";
  EXPECT_EQ(Check("/tmp/set_1-a", pattern), 0);
  EXPECT_EQ(Check("/tmp/x.y", pattern), 3);
  EXPECT_EQ(Check("tmp", pattern), 3);
  EXPECT_EQ(shown_, "");  // nothing matched yet: the refusal is silent
  EXPECT_EQ(Unread(), "\n");
  EXPECT_EQ(Check("ax", "ab"), 3);
  EXPECT_EQ(shown_, CatF(25, 1007, 'x', 'b', "a") + Pause());
  EXPECT_EQ(Check("abc", "a"), 0);  // the end of the pattern accepts the rest
  EXPECT_EQ(Check("a b", " a \t b\n"), 3);  // blanks of the pattern are ignored
  EXPECT_EQ(Check("ab", " a \t b\n"), 0);
  EXPECT_EQ(Check("anything", nullptr), 0);
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
}

TEST_F(ValidateTest, InputLinesAreCutAt4095Characters) {
  char buf[MENU_LINE_SIZE];
  const std::string longLine(5000, 'y');
  Run(longLine + "\nnext\n", [&] { PromptUser("", buf); });
  EXPECT_EQ(std::string(buf), longLine.substr(0, 4095));
  EXPECT_EQ(Unread(), "next\n");
}

}  // namespace
