// GetPutMem_test.cpp - requests and releases: rounding, first fit, blocks coming and going.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "MemFixture.h"

namespace {

using memtest::AllZero;
using memtest::CaptureFd;
using memtest::Chain;
using memtest::MapOf;
using GetMemTest = memtest::MemTest;
using PutMemTest = memtest::MemTest;

constexpr const char* kNoMemory = "ERROR: Unable to allocate memory\n";

TEST_F(GetMemTest, RequestsRoundUpToWholeNodesWithRoomForATerminator) {
  EXPECT_EQ(GetMem(0), nullptr);  // zero bytes: no piece and no block
  EXPECT_EQ(pMemB, nullptr);
  void* one = GetMem(1);
  void* thirtyOne = GetMem(31);
  void* thirtyTwo = GetMem(32);
  ASSERT_NE(one, nullptr);
  MemBlock* b = pMemB;
  EXPECT_EQ(one, b->pData);
  EXPECT_EQ(thirtyOne, b->pData + 32);
  EXPECT_EQ(thirtyTwo, b->pData + 64);
  EXPECT_EQ(b->Nodes[0].NodeCnt, 1);
  EXPECT_EQ(b->Nodes[1].NodeCnt, 1);
  EXPECT_EQ(b->Nodes[2].NodeCnt, 2);
  EXPECT_EQ(b->FreeNodes, 2048 - 4);
  EXPECT_EQ(MapOf(b), "UUUU" + std::string(2044, ' '));
  PutMem(one);
  PutMem(thirtyOne);
  PutMem(thirtyTwo);
}

TEST_F(GetMemTest, LargestStandardRequestFillsABlockAndOneByteMoreGetsADedicatedBlockOfTwiceThatSize) {
  const struct { size_t n; long size, used; int freeNodes, nodeCnt; } rows[] = {
      {65535, 65536, 0, 0, 2048}, {65536, 131072, 65568, 0, 0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.n);
    void* p = GetMem(r.n);
    ASSERT_NE(p, nullptr);
    MemBlock* b = pMemB;
    EXPECT_EQ(p, b->pData);
    EXPECT_EQ(b->Size, r.size);
    EXPECT_EQ(b->Used, r.used);
    EXPECT_EQ(b->FreeNodes, r.freeNodes);
    EXPECT_EQ(b->Nodes[0].NodeCnt, r.nodeCnt);
    EXPECT_EQ(MapOf(b), std::string(2048, 'U'));
    EXPECT_TRUE(AllZero(p, static_cast<size_t>(r.size)));
    PutMem(p);
  }
  // A dedicated block is never searched for other requests; larger ones take whole multiples of 64 KB.
  void* p = GetMem(65536);
  void* small = GetMem(10);
  ASSERT_EQ(Chain().size(), 2u);
  EXPECT_EQ(small, Chain()[1]->pData);
  void* larger = GetMem(200000);  // r = 200032
  ASSERT_EQ(Chain().size(), 3u);
  EXPECT_EQ(Chain()[2]->Size, 262144);
  EXPECT_EQ(Chain()[2]->Used, 200032);
  PutMem(larger);
  PutMem(small);
  PutMem(p);
}

TEST_F(GetMemTest, FirstFitReusesTheLeftmostFreeRunZeroFilledAndPrefersOlderBlocks) {
  char* a = static_cast<char*>(GetMem(100));
  char* b = static_cast<char*>(GetMem(100));
  MemBlock* block = pMemB;
  EXPECT_EQ(a, block->pData);
  EXPECT_EQ(b, block->pData + 128);
  std::memset(a, 'x', 100);
  PutMem(a);
  char* c = static_cast<char*>(GetMem(60));
  EXPECT_EQ(c, block->pData);
  EXPECT_TRUE(AllZero(c, 64)) << "reused memory must come back zero-filled";
  EXPECT_EQ(MapOf(block).substr(0, 9), "UU  UUUU ");
  // A request that does not fit the hole left in front goes after b.
  char* d = static_cast<char*>(GetMem(90));
  EXPECT_EQ(d, block->pData + 256);
  PutMem(b);
  PutMem(c);
  PutMem(d);
  // A full request beside one used node creates a second block at the tail.
  void* small = GetMem(1);
  void* full = GetMem(65535);
  auto blocks = Chain();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(full, blocks[1]->pData);
  EXPECT_EQ(blocks[0]->pNext, blocks[1]);
  EXPECT_EQ(blocks[1]->pPrev, blocks[0]);
  EXPECT_EQ(blocks[0]->pPrev, nullptr);
  EXPECT_EQ(blocks[1]->pNext, nullptr);
  void* next = GetMem(1);  // an older block with room is preferred over the newer one
  EXPECT_EQ(next, blocks[0]->pData + 32);
  PutMem(small);
  PutMem(next);
  PutMem(full);
}

TEST_F(GetMemTest, TooLargeRequestsOrNoMemoryFromTheSystemGiveNullAndAMessageAndLeaveTheChain) {
  void* keep = GetMem(10);
  MemBlock* head = pMemB;
  EXPECT_EQ(CaptureFd(2, [] {
              EXPECT_EQ(GetMem(SIZE_MAX), nullptr);
              EXPECT_EQ(GetMem(MEM_MAX_BLOCK_SIZE), nullptr);
            }),
            std::string(kNoMemory) + kNoMemory);
  EXPECT_EQ(Chain(), std::vector<MemBlock*>{head});
  EXPECT_EQ(head->FreeNodes, 2047);
  PutMem(keep);
  keep = GetMem(65535);  // the only block is full
  MemSetMapLimit(0);
  EXPECT_EQ(CaptureFd(2, [] {
              EXPECT_EQ(GetMem(10), nullptr);
              EXPECT_EQ(GetMem(100000), nullptr);
            }),
            std::string(kNoMemory) + kNoMemory);
  EXPECT_EQ(Chain().size(), 1u);
  MemSetMapLimit(-1);
  PutMem(keep);
  // A header whose data area cannot be mapped is given back.
  const long before = MemMappedPieces();
  MemSetMapLimit(1);
  EXPECT_EQ(CaptureFd(2, [] { EXPECT_EQ(GetMem(10), nullptr); }), kNoMemory);
  EXPECT_EQ(pMemB, nullptr);
  EXPECT_EQ(MemMappedPieces(), before);
}

TEST_F(PutMemTest, ReleasingTheLastPieceReturnsTheBlockAndASecondReleaseDoesNothing) {
  const long before = MemMappedPieces();
  void* p = GetMem(100);
  EXPECT_EQ(MemMappedPieces(), before + 2);
  PutMem(p);
  EXPECT_EQ(pMemB, nullptr);
  EXPECT_EQ(MemMappedPieces(), before);
  EXPECT_EQ(CaptureFd(1, [] { DumpMem(); }), "");
  void* keep = GetMem(10);
  p = GetMem(100);
  PutMem(p);
  PutMem(p);
  EXPECT_EQ(pMemB->FreeNodes, 2047);
  // Once the nodes are handed out again, the old pointer names the new piece.
  void* again = GetMem(100);
  EXPECT_EQ(again, p);
  PutMem(keep);
  PutMem(again);
}

TEST_F(PutMemTest, EmptyHeadBlockLeavesTheChainAndTheNextBecomesHead) {
  void* first = GetMem(65535);
  void* second = GetMem(65535);
  void* third = GetMem(65535);
  auto blocks = Chain();
  ASSERT_EQ(blocks.size(), 3u);
  PutMem(first);
  EXPECT_EQ(pMemB, blocks[1]);
  EXPECT_EQ(blocks[1]->pPrev, nullptr);
  EXPECT_EQ(Chain(), (std::vector<MemBlock*>{blocks[1], blocks[2]}));
  // A new block still goes to the tail.
  void* fourth = GetMem(65535);
  auto now = Chain();
  ASSERT_EQ(now.size(), 3u);
  EXPECT_EQ(now[2]->pData, fourth);
  EXPECT_EQ(now[2]->pPrev, blocks[2]);
  PutMem(third);  // a middle block leaves; its neighbours are joined
  EXPECT_EQ(Chain(), (std::vector<MemBlock*>{blocks[1], now[2]}));
  EXPECT_EQ(now[2]->pPrev, blocks[1]);
  EXPECT_EQ(blocks[1]->pNext, now[2]);
  PutMem(fourth);
  EXPECT_EQ(blocks[1]->pNext, nullptr);
  PutMem(second);
}

TEST_F(PutMemTest, NullHeapAndInteriorPointersAreIgnored) {
  char* p = static_cast<char*>(GetMem(100));
  char* big = static_cast<char*>(GetMem(100000));
  auto blocks = Chain();
  const std::string map = MapOf(blocks[0]);
  void* heap = std::malloc(64);
  EXPECT_EQ(CaptureFd(2, [&] {
              PutMem(nullptr);
              PutMem(heap);
              PutMem(p + 1);
              PutMem(p + 32);                    // a node inside the allocation
              PutMem(blocks[0]->pData + 96);     // a free node
              PutMem(big + 32);                  // inside a dedicated allocation
              PutMem(blocks[0]->pData + 65536);  // the end of the data area
            }),
            "");
  std::free(heap);
  EXPECT_EQ(Chain(), blocks);
  EXPECT_EQ(MapOf(blocks[0]), map);
  EXPECT_EQ(blocks[0]->FreeNodes, 2044);
  PutMem(big);
  PutMem(p);
}

}  // namespace
