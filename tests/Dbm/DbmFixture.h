// DbmFixture.h - what the record database tests share: a scratch tool directory that
// is also the current directory, and record bytes built by hand.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "Dbm/Dbm.h"
#include "testutil.h"

namespace dbmtest {

// Every test runs in its own scratch directory, which is both the tool directory
// and the current directory (the database code creates "./db" there).
class DbmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(getcwd(oldCwd_, sizeof oldCwd_), nullptr);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    tool_ = dir_.path();
    pToolPath = tool_.data();
  }
  void TearDown() override {
    pToolPath = nullptr;
    if (chdir(oldCwd_) != 0) ADD_FAILURE() << "cannot return to " << oldCwd_;
  }
  // Path of a file below the scratch directory.
  std::string Path(const std::string& name) const { return dir_ / name; }
  // Path of the database file of a plain name.
  std::string DbFile(const std::string& name) const { return dir_ / ("db/" + name + ".xdb"); }
  std::string Read(const std::string& path) const { return testutil::ReadFile(path); }
  void Write(const std::string& path, const std::string& bytes) const {
    ASSERT_TRUE(testutil::WriteFile(path, bytes)) << path;
  }
  void MakeDb() const { ASSERT_TRUE(mkdir(Path("db").c_str(), 0777) == 0 || errno == EEXIST); }

  testutil::ScratchDir dir_;

 private:
  std::string tool_;
  char oldCwd_[4096] = {};
};

// The bytes as a string, e.g. Bytes({0x07, 0x00}).
inline std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

// Hexadecimal text of bytes, for readable failure messages.
inline std::string Hex(const std::string& bytes) {
  std::string s;
  char buf[4];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02x ", c);
    s += buf;
  }
  return s;
}

// The XOR chain: each byte XOR the byte after it, the last one plain.
inline std::string Chain(std::string p) {
  for (size_t i = 0; i + 1 < p.size(); i++) p[i] = static_cast<char>(p[i] ^ p[i + 1]);
  return p;
}

// A record of the record file format on this (little-endian) host.
inline std::string LegacyRecord(const std::string& key, const std::string& value) {
  size_t k = key.size() + 1, L = 2 + k + value.size();
  std::string payload = Bytes({static_cast<int>(k & 0xff), static_cast<int>(k >> 8)}) + key +
                        std::string(1, '\0') + value;
  return Bytes({static_cast<int>(L & 0xff), static_cast<int>(L >> 8)}) + Chain(payload);
}

// A record of the typed format: big-endian lengths, key and value scrambled apart.
inline std::string TypedRecord(const std::string& key, const std::string& value) {
  size_t k = key.size() + 1, L = 2 + k + value.size();
  return Bytes({static_cast<int>(L >> 8), static_cast<int>(L & 0xff), static_cast<int>(k >> 8),
                static_cast<int>(k & 0xff)}) +
         Chain(key + std::string(1, '\0')) + Chain(value);
}

// A typed header for count (filler bytes zero; readers ignore them).
inline std::string TypedHeader(int count) {
  std::string h = "TXDBAA" + std::to_string(count);
  h.resize(16, '\0');
  return h;
}

}  // namespace dbmtest
