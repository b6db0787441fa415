// Validate_test.cpp - the validation pattern language, the length, digit and name
// checks, the prompts that show reasons and wait for Enter, and secrets read without
// echo.
#include "MenuFixture.h"
#include "TextMenu/TextMenuTesting.h"

#include <csignal>
#include <thread>

#include <poll.h>
#include <termios.h>

namespace {

using ValidateTest = MenuTest;

// A refusal shows its reason (here a part of it) and waits for Enter; an acceptance
// shows nothing.
TEST_F(ValidateTest, PatternsGiveTheirReasons) {
  const struct { const char *text, *pattern; int result; std::string reason; } rows[] = {
      // Integer ranges; without a range any digits; '+' allows and '-' forbids a character;
      // character classes check the length and the characters.
      {"7", "d(1,10)", 0, ""}, {"11", "d(1,10)", 1, Cat(25, 1003, 1, 10)}, {"7a", "d(1,10)", 3, "digit:  a"},
      {"123456789", "d(0,0)", 0, ""}, {"", "d(0,0)", 0, ""}, {"-5", "d(0,0)", 3, "digit:  -"},
      {"-5", "d(-9,9)+-", 0, ""}, {"15", "d(0,0)-5", 3, "digit:  5"}, {"ab_c", "A(2,8)+_", 0, ""},
      {"ab-c", "A(2,8)+_", 3, Cat(25, 1007, '-')}, {"a", "A(2,8)+_", 2, Cat(30, 42, 2, 8)}, {"a b~", "p(1,9)", 0, ""},
      {"abc", "A(2,2)", 2, Cat(30, 44, 2)}, {"ab1", "a(1,5)+_", 3, Cat(25, 1008, '1', "_")},
      {"a\tb", "p(1,9)", 3, Cat(25, 1007, '\t')}, {"x-y", "L(0,0)-y", 3, Cat(25, 1007, 'y')},
      // Alternatives fall through only for class, length and literal refusals; a reserved
      // word refuses only the whole text.
      {"abc", "L(1,1)|L(3,3)", 0, ""}, {"x", "d(1,9)|A(1,1)", 3, "digit:  x"}, {"no", "yes|A(1,1)", 2, Cat(30, 44, 1)},
      {"root", "!(root)", 4, Cat(25, 1009, "root")}, {"roots", "!(root)", 0, ""}, {"x", "!(x", 4, Cat(25, 1009, "x")},
      {"root", "A(1,8)&!(root)", 4, Cat(25, 1009, "root")}, {"bob", "A(1,8)&!(root)", 0, ""},
      // Floats allow digits and one dot; hexadecimal and long double ranges.
      {"2.5", "f(0,10)", 0, ""}, {"1.2.3", "f(0,10)", 1, Cat(25, 1020)}, {"1a", "f(0,10)", 3, Cat(25, 1006, 'a')},
      {"11", "f(0,10)", 1, "0.000000 to 10.000000"}, {"1f", "x(0,ff)", 0, ""}, {"0x1F", "x(0,ff)", 0, ""},
      {"100", "x(0,ff)", 1, Cat(25, 1004, 0, 0xff)}, {"zz", "x(0,ff)", 3, "digit:  z"}, {"-1", "D(0,100)", 3, "'-'"},
      {"200", "D(0,100)", 1, Cat(25, 1024)},
      // Literals, as in the settings file name pattern; a refusal before any match is silent.
      {"/tmp/set_1-a", "/A(1,255)+-+_+/", 0, ""}, {"/tmp/x.y", "/A(1,255)+-+_+/", 3, Cat(25, 1007, '.')},
      {"tmp", "/A(1,255)+-+_+/", 3, ""}, {"ax", "ab", 3, Cat(25, 1007, 'x', 'b', "a")}, {"abc", "a", 0, ""},
      {"a", "ab", 3, Cat(25, 1007, ' ', 'b', "a")}, {"ab", " a \t b\n\r", 0, ""}, {"any", nullptr, 0, ""},
  };
  for (const auto& r : rows) {
    int got = -1;
    const std::string shown = Run("\n", [&] { got = ValidateEntry(r.text, r.pattern); });
    EXPECT_EQ(std::to_string(got) + "|" + unread_, std::to_string(r.result) + (r.reason.empty() ? "|\n" : "|"))
        << r.text << " against " << (r.pattern ? r.pattern : "null");  // a reason is confirmed with Enter
    EXPECT_TRUE(shown.find(r.reason) != std::string::npos && shown.empty() == r.reason.empty()) << shown;
  }
}

// Each row: its result, the input it left, whether it met the end of input, and a
// part of what it showed.
TEST_F(ValidateTest, ChecksAndPromptsReadOneLine) {
  char buf[MENU_LINE_SIZE];
  const std::string line(5000, 'y'), pause = Cat(25, 1001);
  const auto str = [](int v) { return std::to_string(v); };
  const struct { std::string input; std::function<std::string()> call; std::string result, shown; } rows[] = {
      {"", [&] { return str(ValidateEntryTty("1234", nullptr)); }, "0||0", ""},
      {"\n", [&] { return str(ValidateEntryTty("123", nullptr)); }, "2||0", Cat(30, 44, 4) + pause},
      {"\n", [&] { return str(ValidateEntryTty("12a4", nullptr)); }, "3||0", "digit:  a"},
      {"\nx\n", [&] { return str(TestName("a b")); }, "0|x\n|0", Cat(25, 1002, ' ') + Cat(25, 1000) + pause},
      {"ok\nnext\n", [&] { return PostMsg("Value %d\n", 3), ""; }, "|next\n|0", "Value 3\n" + pause},
      {"", [&] { return PostMsg("x"), ""; }, "||1", "x" + pause},
      {kClosed, [&] { return PostMsg("x"), ""; }, "||1", "x"},
      {"answer\r\nrest\n", [&] { return PromptUser("Name: ", buf); }, "answer|rest\n|0", "Name: "},
      {line + "\nnext\n", [&] { return PromptUser("", buf); }, line.substr(0, 4095) + "|next\n|0", ""},
      {line + "\nnext\n", [&] { return testutil::Take(PromptUser("? ", nullptr)); },
       line.substr(0, 1023) + "|next\n|0", "? "},
      {"", [&] { return testutil::Take(PromptUser("? ", nullptr)); }, "||1", "? "},
  };
  for (const auto& r : rows) {
    std::string got;
    const std::string shown = Run(r.input, [&] { got = r.call(); });
    EXPECT_EQ(got + "|" + unread_ + "|" + str(flInputEnded), r.result) << r.input.substr(0, 20);
    EXPECT_TRUE(shown.find(r.shown) != std::string::npos && shown.empty() == r.shown.empty()) << shown;
  }
  int lo[3] = {-1, -1, -1};
  const int hi[3] = {getMinMax("(3,12)", lo), getMinMax("5,9", lo + 1), getMinMax(nullptr, lo + 2)};
  EXPECT_EQ(str(ValidateEntryDigit("12a3")) + str(ValidateEntryDigit("123")) + ValidateEntryLen("ab", "(3,5)"),
            "970" + Cat(30, 42, 3, 5));
  EXPECT_EQ(std::vector<int>({lo[0], hi[0], lo[1], hi[1], lo[2], hi[2]}), std::vector<int>({3, 12, 5, 9, 0, 0}));
  EXPECT_EQ(ValidateEntryLen("abcd", nullptr), nullptr);
}

volatile sig_atomic_t gSeen = 0;

// Each row: what is typed while the read waits, a signal sent then, the wait per
// character; the text read. The terminal (a pseudo-terminal's slave, opened in place
// of /dev/tty) shows only the prompt and a line end, and its settings come back.
TEST_F(ValidateTest, ReadsPassPhraseWithoutEcho) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_EQ(grantpt(master) + unlockpt(master), 0);
  const std::string slave = ptsname(master), none = scratch_ / "no-tty";
  const int keep = open(slave.c_str(), O_RDWR | O_NOCTTY);  // keeps the slave's settings between opens
  termios t{};
  tcgetattr(keep, &t);
  const std::string erase(1, static_cast<char>(t.c_cc[VERASE])), kill(1, static_cast<char>(t.c_cc[VKILL]));
  struct sigaction mine = {}, before = {}, now = {};
  mine.sa_handler = [](int sig) { gSeen = sig; };
  sigaction(SIGINT, &mine, &before);
  const struct { std::string typed; int sig, wait; std::string text; } rows[] = {
      {"s3cret\n", 0, 5, "s3cret"}, {"abc", 0, 1, "abc"},  // no key in time: what was typed
      {std::string(300, 'k'), 0, 5, std::string(256, 'k')}, {"xy" + kill + "ab" + erase + "c\r", 0, 5, "ac"},
      {"ab", SIGINT, 5, "ab"},  // the signal reaches the caller's handler afterwards
  };
  for (const auto& r : rows) {
    tcflush(keep, TCIOFLUSH);
    SetPassPhraseSource(slave.c_str(), r.wait);
    gSeen = 0;
    const pthread_t reader = pthread_self();
    std::thread typist([&] {
      usleep(100000);
      EXPECT_EQ(write(master, r.typed.data(), r.typed.size()), static_cast<ssize_t>(r.typed.size()));
      if (r.sig != 0) usleep(100000), pthread_kill(reader, r.sig);
    });
    EXPECT_EQ(testutil::Take(GetPassPhrase("Key: ")), r.text);
    typist.join();
    std::string screen;
    char buf[64];
    pollfd p{master, POLLIN, 0};
    for (ssize_t n; poll(&p, 1, 50) > 0 && (n = read(master, buf, sizeof buf)) > 0;)
      screen.append(buf, static_cast<size_t>(n));
    tcgetattr(keep, &t);
    EXPECT_EQ(screen + std::to_string(t.c_lflag & (ECHO | ICANON)) + " " + std::to_string(gSeen),
              "Key: \r\n" + std::to_string(ECHO | ICANON) + " " + std::to_string(r.sig)) << r.text.substr(0, 10);
  }
  sigaction(SIGINT, &before, &now);
  EXPECT_EQ(now.sa_handler, mine.sa_handler);
  close(keep), close(master);
  SetPassPhraseSource(none.c_str(), 1);  // without a terminal: standard input, the prompt on standard error
  std::string got = "x";
  EXPECT_EQ(Run("one\ntwo\n", [&] { got = testutil::Take(GetPassPhrase("Key: ")); }), "");
  EXPECT_EQ(got + "|" + unread_, "one|two\n");
  Run(kClosed, [&] { got = testutil::Take(GetPassPhrase("Key: ")); });
  EXPECT_EQ(got, "");
  SetPassPhraseSource(nullptr, 0);
}

}  // namespace
