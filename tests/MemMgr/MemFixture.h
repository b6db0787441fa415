// MemFixture.h - what the memory manager's tests share: the chain as a list, block maps,
// and a fixture that starts and ends every test with an empty chain.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "MemMgr/MemMgr.h"
#include "MemMgr/MemMgrTesting.h"

namespace memtest {

// The blocks of the chain from head to tail.
inline std::vector<MemBlock*> Chain() {
  std::vector<MemBlock*> blocks;
  for (MemBlock* b = pMemB; b; b = b->pNext) blocks.push_back(b);
  return blocks;
}

// The map of a block as a text of 'U' and ' ' (2048 characters).
inline std::string MapOf(const MemBlock* b) { return std::string(b->Mat, MEM_BLOCK_NODES); }

// True when the n bytes at p are all zero. Free nodes and released tails are read on
// purpose: sanitizer builds poison them, and this reading is not what it is there for.
__attribute__((no_sanitize("address"))) inline bool AllZero(const void* p, size_t n) {
  const auto* c = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; ++i) {
    if (c[i] != 0) return false;
  }
  return true;
}

// Every test starts and must end with an empty chain, no limit on mappings, and all
// mappings given back to the system.
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
