// MemFixture.h - shared helpers of the memory manager's tests: a clean chain per test.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "MemMgr/MemMgr.h"
#include "testutil.h"

namespace memtest {

// The blocks of the chain from head to tail.
inline std::vector<MemBlock*> Chain() {
  std::vector<MemBlock*> blocks;
  for (MemBlock* b = pMemB; b; b = b->pNext) blocks.push_back(b);
  return blocks;
}

// The map of a block as a text of 'U' and ' ' (2048 characters).
inline std::string MapOf(const MemBlock* b) { return std::string(b->Mat, MEM_BLOCK_NODES); }

// True when the n bytes at p are all zero. The tests look at free nodes and
// released tails on purpose: in sanitizer builds those are poisoned, and this
// reading is not what the sanitizer is there to catch.
__attribute__((no_sanitize("address"))) inline bool AllZero(const void* p, size_t n) {
  const auto* c = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; ++i) {
    if (c[i] != 0) return false;
  }
  return true;
}

// True when the n bytes at p all equal c.
inline bool AllEqual(const void* p, size_t n, unsigned char c) {
  const auto* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; ++i) {
    if (b[i] != c) return false;
  }
  return true;
}

using testutil::CaptureFd;

// Every test starts and must end with an empty chain and no limit on mappings.
class MemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MemSetMapLimit(-1);
    ASSERT_EQ(pMemB, nullptr) << "an earlier test left blocks behind";
    basePieces_ = MemMappedPieces();
  }
  void TearDown() override {
    MemSetMapLimit(-1);
    EXPECT_EQ(pMemB, nullptr) << "the test left blocks behind";
    while (pMemB) FreeBlock(pMemB);
    EXPECT_EQ(MemMappedPieces(), basePieces_) << "memory was not given back to the system";
  }

 private:
  long basePieces_ = 0;
};

}  // namespace memtest
