// MenuFixture.h - runs engine calls on a given standard input and captures what they
// print, with the build's English core catalogue; test menus come from descriptions.
#pragma once

#include "testutil.h"

#include "Dbm/Dbm.h"
#include "NlsUtils/Nls.h"
#include "TextMenu/TextMenu.h"

#include <functional>

#include <stdio_ext.h>

class MenuTest : public ::testing::Test {
 protected:
  static constexpr const char* kClosed = "<closed>";  // Run's input: descriptor 0 closed

  // A catalogue text as the engine shows it, and one used as a format.
  template <typename... Args>
  static std::string Cat(int set, int num, Args... args) {
    char buf[NLS_REC_SIZE] = {};
    if (sizeof...(args) == 0) return NlsFetchString(pDrvCoreDB, buf, NLS_KIND_NUM, set, num);
    return Nlssprintf(buf, pDrvCoreDB, set, num, args...);
  }
  static void SetUpTestSuite() {
    static std::string tool = std::string(KANDU_BINARY_DIR) + "/share/tvnn";
    pToolPath = tool.data();
    if (pDrvCoreDB == nullptr) pDrvCoreDB = NlsOpenDB("CoreString", 0);
    my_name = const_cast<char*>("prog");
  }

  // Runs fn with input as standard input; returns what it printed on standard output.
  // unread_ is the input it left.
  std::string Run(const std::string& input, const std::function<void()>& fn) {
    testutil::WriteFile(scratch_ / "in", input);
    std::fflush(stdout);
    const int savedIn = dup(0), savedOut = dup(1), in = open((scratch_ / "in").c_str(), O_RDONLY),
              out = open((scratch_ / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    input == kClosed ? close(0) : dup2(in, 0);
    close(in), close(out), __fpurge(stdin), clearerr(stdin);
    flInputEnded = 0;
    fn();
    std::fflush(stdout);
    unread_.clear();
    for (int c; (c = std::getchar()) != EOF;) unread_.push_back(static_cast<char>(c));
    dup2(savedIn, 0), dup2(savedOut, 1), close(savedIn), close(savedOut), __fpurge(stdin), clearerr(stdin);
    return testutil::ReadFile(scratch_ / "out");
  }

  // The top menu of a description; its menus stay for the process.
  TextMenu* Desc(const std::string& text) {
    desc_ = ParseMenuDescription(text.c_str(), "t.menu");
    EXPECT_NE(desc_, nullptr) << text;
    return desc_ != nullptr ? desc_->pTop : nullptr;
  }
  // The values of the last description's entries, "NAME=VALUE" lines.
  std::vector<std::string> Lines() const { return testutil::Lines(testutil::Take(FormatMenuValues(desc_))); }


  testutil::ScratchDir scratch_;
  MenuDescription* desc_ = nullptr;
  std::string unread_;
};
