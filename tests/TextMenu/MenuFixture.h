// MenuFixture.h - runs engine calls with a given standard input and captures what
// they print, with the build's English core catalogue for the engine's texts.
#pragma once

#include "testutil.h"

#include "Dbm/Dbm.h"
#include "NlsUtils/Nls.h"
#include "TextMenu/TextMenu.h"

#include <cstdio>
#include <functional>
#include <string>

#include <fcntl.h>
#include <stdio_ext.h>
#include <unistd.h>

class MenuTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static std::string tool = std::string(KANDU_BINARY_DIR) + "/share/tvnn";
    pToolPath = tool.data();
    if (pDrvCoreDB == nullptr) pDrvCoreDB = NlsOpenDB("CoreString", 0);
    my_name = const_cast<char*>("prog");
  }

  void SetUp() override {
    flExitTextMenu = 0;
    flInputEnded = 0;
  }

  // Runs fn with input as standard input; returns what it printed on standard output.
  std::string Run(const std::string& input, const std::function<void()>& fn) {
    const std::string in = scratch_ / "stdin";
    const std::string out = scratch_ / "stdout";
    testutil::WriteFile(in, input);
    std::fflush(stdout);
    const int savedIn = dup(STDIN_FILENO);
    const int savedOut = dup(STDOUT_FILENO);
    const int inFd = open(in.c_str(), O_RDONLY);
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(inFd, STDIN_FILENO);
    dup2(outFd, STDOUT_FILENO);
    close(inFd);
    close(outFd);
    __fpurge(stdin);
    clearerr(stdin);
    flInputEnded = 0;
    fn();
    std::fflush(stdout);
    rest_ = RestOfInput();
    dup2(savedIn, STDIN_FILENO);
    dup2(savedOut, STDOUT_FILENO);
    close(savedIn);
    close(savedOut);
    __fpurge(stdin);
    clearerr(stdin);
    return testutil::ReadFile(out);
  }

  // The input that the last Run left unread.
  const std::string& Unread() const { return rest_; }

  testutil::ScratchDir scratch_;

 public:
  // A catalogue text, as the engine shows it.
  static std::string Cat(int set, int num) {
    char buf[NLS_REC_SIZE] = {};
    return NlsFetchString(pDrvCoreDB, buf, NLS_KIND_NUM, set, num);
  }

  // A catalogue text of a text key.
  static std::string KeyCat(const char* key) {
    char buf[NLS_REC_SIZE] = {};
    return NlsFetchString(pDrvCoreDB, buf, NLS_KIND_KEY, key);
  }

  // A catalogue text used as a format.
  template <typename... Args>
  static std::string CatF(int set, int num, Args... args) {
    char buf[NLS_REC_SIZE] = {};
    Nlssprintf(buf, pDrvCoreDB, set, num, args...);
    return buf;
  }

 private:
  static std::string RestOfInput() {
    std::string rest;
    int c;
    while ((c = std::getchar()) != EOF) rest.push_back(static_cast<char>(c));
    return rest;
  }
  std::string rest_;
};

// A writable copy of a text for the static tables of a test (states are edited in
// place when they are hidden or shown).
struct Text {
  explicit Text(const char* s) : Value(s) {}
  char* operator()() { return Value.data(); }
  std::string Value;
};

// An entry of a test menu.
inline TextMenuItem Item(const char* label, int type, MenuValue def = 0, char* states = nullptr,
                         char* rules = nullptr) {
  TextMenuItem it{};
  it.pLabel = const_cast<char*>(label);
  it.ItemType = type;
  it.pStates = states;
  it.Default = def;
  it.pRules = rules;
  it.Saved = -1;
  return it;
}

inline TextMenuItem EndItem() { return TextMenuItem{}; }
