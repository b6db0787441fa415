// PassPhrase_test.cpp - reading a secret without echo from a pseudo-terminal: the
// text, the echo, the per-character timeout, editing, signals, and the fallback to
// standard input.
#include "MenuFixture.h"

#include "MemMgr/MemMgr.h"

#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A pseudo-terminal whose slave GetPassPhrase opens instead of /dev/tty.
class PassPhraseTest : public MenuTest {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    slave_ = ptsname(master_);
    // Keep the slave open so that its settings stay between the tests' opens.
    keep_ = open(slave_.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(keep_, 0);
    SetPassPhraseSource(slave_.c_str(), 1);
  }
  void TearDown() override {
    SetPassPhraseSource(nullptr, 0);
    close(keep_);
    close(master_);
  }

  void Type(const std::string& s) { ASSERT_EQ(write(master_, s.data(), s.size()), static_cast<ssize_t>(s.size())); }

  // What the terminal showed (everything written to the slave so far).
  std::string Screen() {
    std::string out;
    char buf[256];
    pollfd p{master_, POLLIN, 0};
    while (poll(&p, 1, 50) > 0) {
      const ssize_t n = read(master_, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<size_t>(n));
    }
    return out;
  }

  std::string Read(const char* prompt) {
    char* t = GetPassPhrase(prompt);
    std::string s = t;
    PutMem(t);
    return s;
  }

  bool EchoOn() {
    termios t{};
    tcgetattr(keep_, &t);
    return (t.c_lflag & ECHO) != 0 && (t.c_lflag & ICANON) != 0;
  }

  int master_ = -1;
  int keep_ = -1;
  std::string slave_;
};

TEST_F(PassPhraseTest, ReadsTheTextWithoutEchoAndRestoresTheTerminal) {
  ASSERT_TRUE(EchoOn());
  std::thread typist([&] {
    usleep(100000);
    Type("s3cret\n");
  });
  EXPECT_EQ(Read("Pass phrase: "), "s3cret");
  typist.join();
  EXPECT_EQ(Screen(), "Pass phrase: \r\n");  // the prompt and the line end, no secret
  EXPECT_TRUE(EchoOn());
}

TEST_F(PassPhraseTest, ReturnsWhatWasTypedWhenNoKeyComesInTimeAndStopsAfter256Characters) {
  Type("abc");
  EXPECT_EQ(Read("> "), "abc");
  EXPECT_TRUE(EchoOn());
  std::thread typist([&] {
    usleep(100000);
    Type(std::string(300, 'k'));
  });
  EXPECT_EQ(Read(""), std::string(256, 'k'));
  typist.join();
}

TEST_F(PassPhraseTest, EraseAndKillCharactersEditTheText) {
  termios t{};
  tcgetattr(keep_, &t);
  const std::string erase(1, static_cast<char>(t.c_cc[VERASE]));
  const std::string kill(1, static_cast<char>(t.c_cc[VKILL]));
  std::thread typist([&] {
    usleep(100000);
    Type("xy" + kill + "ab" + erase + "c\r");
  });
  EXPECT_EQ(Read(""), "ac");
  typist.join();
}

volatile sig_atomic_t gSeen = 0;
void Seen(int sig) { gSeen = sig; }

TEST_F(PassPhraseTest, ASignalIsPassedOnToTheCallersHandlerAfterRestoring) {
  struct sigaction mine = {}, before = {};
  mine.sa_handler = Seen;
  sigemptyset(&mine.sa_mask);
  sigaction(SIGINT, &mine, &before);
  gSeen = 0;
  SetPassPhraseSource(slave_.c_str(), 5);
  const pthread_t reader = pthread_self();
  std::thread interrupter([&] {
    usleep(100000);
    Type("ab");
    usleep(100000);
    pthread_kill(reader, SIGINT);
  });
  EXPECT_EQ(Read(""), "ab");
  interrupter.join();
  EXPECT_EQ(gSeen, SIGINT);
  struct sigaction now = {};
  sigaction(SIGINT, nullptr, &now);
  EXPECT_EQ(now.sa_handler, &Seen);
  EXPECT_TRUE(EchoOn());
  sigaction(SIGINT, &before, nullptr);
}

TEST_F(PassPhraseTest, WithoutATerminalStandardInputIsRead) {
  const std::string none = scratch_ / "no-such-tty";
  SetPassPhraseSource(none.c_str(), 1);
  std::string got;
  const std::string shown = Run("one\ntwo\n", [&] { got = Read("Key: "); });
  EXPECT_EQ(got, "one");
  EXPECT_EQ(shown, "");  // the prompt went to standard error
  EXPECT_EQ(Unread(), "two\n");
}

}  // namespace
