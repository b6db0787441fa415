// DbmFixture.h - what the record database tests share: a scratch tool directory that
// is also the current directory, and record bytes built by hand.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "Dbm/Dbm.h"
#include "testutil.h"

namespace dbmtest {

// Every test runs in its own scratch directory, which is both the tool directory
// and the current directory (the database code creates "./db" there).
class DbmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    pToolPath = tool_.data();
  }
  void TearDown() override {
    for (DbTHandle* h : handles_) DbTClose(h);
    pToolPath = nullptr;
    std::filesystem::current_path(oldCwd_);
  }
  // A handle, closed when the test ends.
  DbTHandle* Open(const std::string& name, int flags = 0) { return handles_.emplace_back(DbTOpen(name.c_str(), flags)); }
  testutil::ScratchDir dir_;
  std::vector<DbTHandle*> handles_;
  std::string tool_ = dir_.path(), oldCwd_ = std::filesystem::current_path();
};

// The XOR chain: each byte XOR the byte after it, the last one plain.
inline std::string Chain(std::string p) {
  for (size_t i = 0; i + 1 < p.size(); i++) p[i] = static_cast<char>(p[i] ^ p[i + 1]);
  return p;
}

// Two bytes of n, the high one first when bigEndian.
inline std::string Two(size_t n, bool bigEndian) {
  const char lo = static_cast<char>(n & 0xff), hi = static_cast<char>(n >> 8);
  return bigEndian ? std::string{hi, lo} : std::string{lo, hi};
}

// A record of the record file format on this (little-endian) host: the payload chained whole.
inline std::string LegacyRecord(const std::string& key, const std::string& value) {
  return Two(2 + key.size() + 1 + value.size(), false) + Chain(Two(key.size() + 1, false) + key + '\0' + value);
}

// A record of the typed format: big-endian lengths, key and value chained apart.
inline std::string TypedRecord(const std::string& key, const std::string& value) {
  return Two(2 + key.size() + 1 + value.size(), true) + Two(key.size() + 1, true) + Chain(key + '\0') + Chain(value);
}

// A typed header for count, its filler bytes zero.
inline std::string TypedHeader(size_t count) {
  std::string h = "TXDBAA" + std::to_string(count);
  h.resize(DBT_HEADER_SIZE, '\0');
  return h;
}

// A file's bytes with the filler of a typed header (the bytes after the count's zero)
// set to zero, as TypedHeader has them.
inline std::string WithoutFiller(std::string bytes) {
  const size_t zero = bytes.compare(0, 6, "TXDBAA") == 0 ? bytes.find('\0', 6) : std::string::npos;
  if (zero < DBT_HEADER_SIZE) bytes.replace(zero, DBT_HEADER_SIZE - zero, DBT_HEADER_SIZE - zero, '\0');
  return bytes;
}

}  // namespace dbmtest
