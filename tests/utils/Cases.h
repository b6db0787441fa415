// Cases.h - what the utilities' tests share: the table form of their cases (each an
// expression, its result as text and the text expected) and a scratch directory.
#pragma once

#include "utils/utils.h"

#include "testutil.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <initializer_list>
#include <iomanip>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace cases {

// A result as comparable text: a text ("(null)" for null), a number, a float exactly.
inline std::string Str(const char* s) { return s ? s : "(null)"; }
inline std::string Str(std::nullptr_t) { return "(null)"; }
inline std::string Str(const std::string& s) { return s; }
inline std::string Str(long v) { return std::to_string(v); }
inline std::string Str(int v) { return std::to_string(v); }
inline std::string Str(double v) { return (std::ostringstream() << std::setprecision(17) << v).str(); }

// A modifiable copy of text, kept until the program ends.
inline char* Mut(const std::string& text) {
  static std::deque<std::string> kept;
  return kept.emplace_back(text).data();
}

// True when text holds every part, in this order.
inline bool HasAll(const std::string& text, std::initializer_list<std::string> parts) {
  size_t at = 0;
  for (const std::string& part : parts)
    if ((at = text.find(part, at)) == std::string::npos) return false;
  return true;
}

struct Case {
  const char* expr;
  std::string got, want;
};

// Checks the rows, made in order; a failing row is named by its expression.
inline void Check(std::initializer_list<Case> rows) {
  for (const Case& c : rows) {
    SCOPED_TRACE(c.expr);
    EXPECT_EQ(c.got, c.want);
  }
}

// A scratch directory d that is the current one during the test; the line reader,
// the log and the working directory are as before afterwards.
class InScratch : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(chdir(d), 0); }
  void TearDown() override {
    CloseInputFile();
    flInputFilterState = 1, flUseLog = 0, my_name = nullptr;
    EXPECT_EQ(chdir(saved_.c_str()), 0);
  }
  // Writes the file name here; returns its name.
  const char* Write(const std::string& name, const std::string& content) {
    EXPECT_TRUE(testutil::WriteFile(name, content)) << name;
    return Mut(name);
  }
  testutil::ScratchDir dir_;
  const std::string saved_ = std::filesystem::current_path(), d_ = std::filesystem::canonical(dir_.path());
  const char* d = d_.c_str();
};

}  // namespace cases

#define CASE(expr, want) cases::Case{#expr, cases::Str(expr), cases::Str(want)}

using cases::Check;
using cases::HasAll;
using cases::Mut;
using testutil::Exists;
using testutil::Take;
