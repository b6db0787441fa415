// AdjustMem_test.cpp - resizing: shrink and grow in place, slide back, move, dedicated pieces.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/resource.h>

#include "MemFixture.h"

namespace {

using memtest::AllEqual;
using memtest::AllZero;
using memtest::CaptureFd;
using memtest::Chain;
using memtest::MapOf;
using AdjustMemTest = memtest::MemTest;
using AdjustMemFailureTest = memtest::MemTest;

constexpr const char* kNoMemory = "ERROR: Unable to allocate memory\n";

TEST_F(AdjustMemTest, ShrinkKeepsThePlaceAndZeroesTheReleasedNodesAndTheSameNodeCountChangesNothing) {
  char* p = static_cast<char*>(GetMem(100));  // four nodes
  std::memset(p, 'a', 128);
  MemBlock* b = pMemB;
  EXPECT_EQ(AdjustMem(p, 40), p);  // two nodes
  EXPECT_EQ(b->Nodes[0].NodeCnt, 2);
  EXPECT_EQ(b->FreeNodes, 2046);
  EXPECT_EQ(MapOf(b).substr(0, 5), "UU   ");
  EXPECT_TRUE(AllEqual(p, 64, 'a'));
  EXPECT_TRUE(AllZero(p + 64, 64));
  // The two nodes are still free, so growing back stays in place.
  EXPECT_EQ(AdjustMem(p, 100), p);
  EXPECT_EQ(b->Nodes[0].NodeCnt, 4);
  EXPECT_EQ(b->FreeNodes, 2044);
  EXPECT_TRUE(AllEqual(p, 64, 'a'));
  EXPECT_TRUE(AllZero(p + 64, 64));
  std::memset(p, 'b', 128);
  EXPECT_EQ(AdjustMem(p, 120), p);
  EXPECT_EQ(AdjustMem(p, 97), p);
  EXPECT_TRUE(AllEqual(p, 128, 'b'));
  EXPECT_EQ(b->FreeNodes, 2044);
  PutMem(p);
}

TEST_F(AdjustMemTest, GrowthOverTakenNodesSlidesBackIntoFreeNodesBefore) {
  char* a = static_cast<char*>(GetMem(63));   // nodes 0-1
  char* b = static_cast<char*>(GetMem(127));  // nodes 2-5
  char* c = static_cast<char*>(GetMem(1));    // node 6
  MemBlock* block = pMemB;
  for (int n = 0; n < 128; ++n) b[n] = static_cast<char>('A' + n % 26);
  const std::string before(b, 128);
  PutMem(a);
  char* grown = static_cast<char*>(AdjustMem(b, 191));  // six nodes: two more
  EXPECT_EQ(grown, block->pData);
  EXPECT_EQ(std::string(grown, 128), before);  // the overlapping move kept the content
  EXPECT_TRUE(AllZero(grown + 128, 64));
  EXPECT_EQ(block->Nodes[0].NodeCnt, 6);
  EXPECT_EQ(block->Nodes[2].NodeCnt, 0);
  EXPECT_EQ(block->Nodes[2].pAddr, nullptr);
  EXPECT_EQ(MapOf(block).substr(0, 8), "UUUUUUU ");
  EXPECT_EQ(block->FreeNodes, 2048 - 7);
  PutMem(b);  // the old address no longer names an allocation
  EXPECT_EQ(block->FreeNodes, 2048 - 7);
  PutMem(grown);
  PutMem(c);
}

TEST_F(AdjustMemTest, GrowthAtTheEndOfABlockNeverRunsPastTheLastNode) {
  void* front = GetMem(32 * 2045 - 1);             // nodes 0-2044
  char* middle = static_cast<char*>(GetMem(31));  // node 2045
  char* last = static_cast<char*>(GetMem(63));    // nodes 2046-2047
  MemBlock* first = pMemB;
  ASSERT_EQ(last, first->pData + 32 * 2046);
  std::memset(last, 'z', 64);
  // Neither after (the end) nor before (taken) is room: the piece moves, and
  // the move takes one node more than asked for.
  char* moved = static_cast<char*>(AdjustMem(last, 95));
  auto blocks = Chain();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(moved, blocks[1]->pData);
  EXPECT_EQ(blocks[1]->Nodes[0].NodeCnt, 4);
  EXPECT_TRUE(AllEqual(moved, 64, 'z'));
  EXPECT_TRUE(AllZero(moved + 64, 64));
  EXPECT_EQ(first->FreeNodes, 2);
  EXPECT_EQ(MapOf(first).substr(2044), "UU  ");
  // Growth into the last free nodes of a block stays in place.
  middle[0] = 't';
  EXPECT_EQ(AdjustMem(middle, 95), middle);  // nodes 2045-2047
  EXPECT_EQ(first->FreeNodes, 0);
  EXPECT_EQ(middle[0], 't');
  PutMem(front);
  PutMem(middle);
  PutMem(moved);
}

TEST_F(AdjustMemTest, ZeroBytesReleaseNullAndForeignOrInteriorPointersGetFreshMemory) {
  void* p = GetMem(100);
  EXPECT_EQ(AdjustMem(p, 0), nullptr);
  EXPECT_EQ(pMemB, nullptr);
  EXPECT_EQ(AdjustMem(nullptr, 0), nullptr);
  char* q = static_cast<char*>(AdjustMem(nullptr, 10));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q, pMemB->pData);
  EXPECT_EQ(pMemB->Nodes[0].NodeCnt, 1);
  EXPECT_TRUE(AllZero(q, 32));
  PutMem(q);
  // Foreign and interior pointers are left alone.
  char* own = static_cast<char*>(GetMem(100));
  std::memset(own, 'o', 100);
  char* heap = static_cast<char*>(std::malloc(16));
  std::memcpy(heap, "heap text", 10);
  char* fresh = static_cast<char*>(AdjustMem(heap, 50));
  EXPECT_EQ(fresh, pMemB->pData + 128);
  EXPECT_STREQ(heap, "heap text");
  std::free(heap);
  char* other = static_cast<char*>(AdjustMem(own + 32, 10));
  EXPECT_EQ(other, pMemB->pData + 192);
  EXPECT_EQ(pMemB->Nodes[0].NodeCnt, 4);
  EXPECT_TRUE(AllEqual(own, 100, 'o'));
  PutMem(own);
  PutMem(fresh);
  PutMem(other);
}

TEST_F(AdjustMemTest, StandardPieceGrowingPast64KBMovesToADedicatedBlock) {
  char* p = static_cast<char*>(GetMem(100));
  std::memset(p, 'p', 128);
  char* big = static_cast<char*>(AdjustMem(p, 70000));
  auto blocks = Chain();
  ASSERT_EQ(blocks.size(), 1u) << "the emptied standard block must be gone";
  EXPECT_EQ(big, blocks[0]->pData);
  EXPECT_EQ(blocks[0]->Size, 131072);
  EXPECT_EQ(blocks[0]->Used, 70048);  // 70000 rounded once more
  EXPECT_TRUE(AllEqual(big, 128, 'p'));
  EXPECT_TRUE(AllZero(big + 128, 131072 - 128));
  PutMem(big);
}

TEST_F(AdjustMemTest, DedicatedPieceShrinksAndGrowsInPlaceWithinItsBlockAndMovesBeyondWithAZeroTail) {
  char* p = static_cast<char*>(GetMem(100000));  // r = 100032, Size 131072
  MemBlock* b = pMemB;
  std::memset(p, 'd', 100000);
  EXPECT_EQ(AdjustMem(p, 1000), p);  // stays dedicated below 64 KB
  EXPECT_EQ(b->Used, 1024);
  EXPECT_EQ(b->Size, 131072);
  EXPECT_TRUE(AllEqual(p, 1000, 'd'));
  EXPECT_TRUE(AllZero(p + 1024, 131072 - 1024));
  EXPECT_EQ(AdjustMem(p, 131071), p);  // exactly the block's size
  EXPECT_EQ(b->Used, 131072);
  EXPECT_EQ(Chain().size(), 1u);
  std::memset(p, 'f', 131072);
  ASSERT_EQ(AdjustMem(p, 1000), p);
  EXPECT_TRUE(AllZero(p + 1024, 131072 - 1024)) << "the released tail must be zeroed";
  char* q = static_cast<char*>(AdjustMem(p, 200000));
  ASSERT_NE(q, nullptr);
  ASSERT_EQ(Chain().size(), 1u);
  EXPECT_EQ(pMemB->Size, 262144);
  EXPECT_EQ(pMemB->Used, 200064);  // 200000 rounded twice: once by AdjustMem, once by GetMem
  EXPECT_TRUE(AllEqual(q, 1024, 'f'));
  EXPECT_TRUE(AllZero(q + 1024, 262144 - 1024));
  PutMem(q);
}

// The original allocation is valid and unchanged whenever a resize cannot get memory.
TEST_F(AdjustMemFailureTest, FailedMoveGrowthOrImpossibleSizeLeavesThePieceUntouched) {
  void* front = GetMem(32 * 2045 - 1);
  void* middle = GetMem(31);
  char* last = static_cast<char*>(GetMem(63));
  char* big = static_cast<char*>(GetMem(100000));
  std::memset(last, 'k', 64);
  std::memset(big, 'g', 100000);
  const std::string map = MapOf(pMemB);
  MemSetMapLimit(0);
  EXPECT_EQ(CaptureFd(2, [&] {
              EXPECT_EQ(AdjustMem(last, 95), nullptr);
              EXPECT_EQ(AdjustMem(last, 70000), nullptr);
              EXPECT_EQ(AdjustMem(big, 300000), nullptr);
            }),
            std::string(kNoMemory) + kNoMemory + kNoMemory);
  MemSetMapLimit(-1);
  EXPECT_EQ(CaptureFd(2, [&] { EXPECT_EQ(AdjustMem(last, SIZE_MAX), nullptr); }), kNoMemory);
  ASSERT_EQ(Chain().size(), 2u);
  EXPECT_EQ(MapOf(pMemB), map);
  EXPECT_EQ(pMemB->Nodes[2046].NodeCnt, 2);
  EXPECT_TRUE(AllEqual(last, 64, 'k'));
  EXPECT_EQ(Chain()[1]->Used, 100032);
  EXPECT_TRUE(AllEqual(big, 100000, 'g'));
  PutMem(front);
  PutMem(middle);
  PutMem(last);
  PutMem(big);
}

#ifndef KANDU_SANITIZED
// The child of the exhausted-memory test: a dedicated piece that cannot grow once
// the address space is capped a little above what the process already uses.
// Exit status 0 when the piece stayed valid and untouched.
[[noreturn]] void GrowUnderCappedAddressSpace() {
  char* p = static_cast<char*>(GetMem(100000));
  if (!p) _exit(2);
  std::memset(p, 'r', 100000);
  long pages = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  if (pages == 0) _exit(3);
  const rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(getpagesize()) + (8u << 20);
  const rlimit limit{cap, cap};
  if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(4);
  if (AdjustMem(p, 256u << 20) != nullptr) _exit(5);
  if (!AllEqual(p, 100000, 'r') || pMemB->Used != 100032 || pMemB->pNext) _exit(6);
  _exit(0);
}
#endif

// With the address space capped, the system itself refuses the new block.
TEST_F(AdjustMemFailureTest, ExhaustedAddressSpaceLeavesThePieceUntouched) {
#ifdef KANDU_SANITIZED
  GTEST_SKIP() << "the sanitizers reserve more address space than any cap allows";
#else
  EXPECT_EXIT(GrowUnderCappedAddressSpace(), ::testing::ExitedWithCode(0),
              "ERROR: Unable to allocate memory\n");
#endif
}

}  // namespace
