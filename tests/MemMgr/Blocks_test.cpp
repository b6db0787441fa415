// Blocks_test.cpp - the block operations, the printed chain, and requests that cannot
// be met (memory the system refuses).
#include <cstdint>
#include <cstring>
#include <string>

#include <unistd.h>

#include "MemFixture.h"
#include "testutil.h"

namespace {

using memtest::AllZero;
using BlocksTest = memtest::MemTest;

// TestMAT: whether a run of map characters is uniform, the terminator ending every run;
// FindBlock: exactly the data areas; MapBlock: zero-filled pages, one more than the size fills.
TEST_F(BlocksTest, TestMATFindBlockAndMapBlock) {
  const char map[] = "UU   U";
  const struct { int at; char ch; int count, want; } runs[] = {
      {2, ' ', 3, 1}, {2, ' ', 4, 0}, {1, ' ', 0, 1}, {5, 'U', 2, 0}};
  for (const auto& r : runs) EXPECT_EQ(TestMAT(map + r.at, r.ch, r.count), r.want) << r.at << r.ch << r.count;
  char* a = static_cast<char*>(GetMem(65535));
  char* d = static_cast<char*>(GetMem(100000));
  EXPECT_TRUE(FindBlock(a + 65535) == pMemB && !FindBlock(a + 65536) && FindBlock(d + 131071) == pMemB->pNext);
  EXPECT_TRUE(AllZero(a, 65536 + static_cast<size_t>(getpagesize())));
  PutMem(a);
  PutMem(d);
  // The only block unlinked empties the chain; unlinked again, or freed after, nothing changes twice.
  MemBlock* b = GetNewBlock(0);
  PopBlock(b);
  PopBlock(b);
  EXPECT_TRUE(pMemB == nullptr && b->pPrev == nullptr && b->pNext == nullptr && FindBlock(b->pData) == nullptr);
  FreeBlock(b);
}

std::string Address(const void* p) { return std::to_string(reinterpret_cast<intptr_t>(p)); }

// Each standard block with its map and its allocations (shown up to their last node),
// each dedicated block on one line; nothing once the chain is empty.
TEST_F(BlocksTest, DumpMemShowsEveryBlock) {
  char* full = static_cast<char*>(GetMem(31));
  char* abc = static_cast<char*>(GetMem(40));
  char* big = static_cast<char*>(GetMem(70000));
  std::memset(full, 'A', 32);  // its node, terminator slot included
  std::memcpy(abc, "abc", 3);
  const auto blocks = memtest::Chain();
  std::string want = "\n============ Block(" + Address(blocks[0]) + ") size(65536) Free(2045) Used(3) FreeNodeCount(2045)" +
                     " SizeCnt(2045) <==(0) (" + Address(blocks[1]) + ")==>\n\tBlock MAT:\n\tUUU" + std::string(61, '_');
  for (int line = 1; line < 32; ++line) want += "\n\t" + std::string(64, '_');
  want += "\n\n\tAllocated Nodes:\n\tMAT index(     0) Memory Addr(" + Address(full) + ") nodes(    1) size(   32) Memory(" +
          std::string(32, 'A') + ")\n\tMAT index(     1) Memory Addr(" + Address(abc) + ") nodes(    2) size(   64) Memory(abc)\n\n" +
          "\n============ Dedicated Block(" + Address(big) + ") size(131072) FreeNodeCount(0) <==(" + Address(blocks[0]) + ") (0)==>";
  EXPECT_EQ(testutil::CaptureFd(1, [] { DumpMem(); }), want);
  PutMem(full);
  PutMem(abc);
  PutMem(big);
  EXPECT_EQ(testutil::CaptureFd(1, [] { DumpMem(); }), "");
}

// The chain as text: each block's address, sizes and map.
std::string State() {
  std::string s;
  for (const MemBlock* b : memtest::Chain()) {
    s += Address(b) + " " + std::to_string(b->Size) + " " + std::to_string(b->Used) + " " +
         std::to_string(b->FreeNodes) + " " + memtest::MapOf(b) + "\n";
  }
  return s;
}

// A request that cannot be met gives null after the message, and leaves the chain and
// every piece as they were: too large for any block, or no memory from the system for
// a new block beside a full one and a dedicated piece.
TEST_F(BlocksTest, RequestsThatCannotBeMetChangeNothing) {
  char* front = static_cast<char*>(GetMem(32 * 2045 - 1));
  char* middle = static_cast<char*>(GetMem(31));
  char* last = static_cast<char*>(GetMem(63));  // the block's last two nodes
  char* big = static_cast<char*>(GetMem(100000));
  std::memset(last, 'k', 64);
  std::memset(big, 'g', 100000);
  const struct {
    long mappings;  // MapBlock calls that may still succeed; -1 any
    const char* what;
    void* (*call)(char* last, char* big);
  } rows[] = {
      {-1, "larger than any block", [](char*, char*) { return GetMem(SIZE_MAX); }},
      {-1, "a block larger than the largest", [](char*, char*) { return GetMem(MEM_MAX_BLOCK_SIZE); }},
      {0, "a new standard block", [](char*, char*) { return GetMem(10); }},
      {0, "a dedicated block", [](char*, char*) { return GetMem(100000); }},
      {1, "a header without its data area", [](char*, char*) { return GetMem(10); }},
      {0, "a move out of a full block", [](char* l, char*) { return AdjustMem(l, 95); }},
      {0, "a move to a dedicated block", [](char* l, char*) { return AdjustMem(l, 70000); }},
      {0, "a dedicated piece outgrowing its block", [](char*, char* b) { return AdjustMem(b, 300000); }},
      {-1, "a resize larger than any block", [](char* l, char*) { return AdjustMem(l, SIZE_MAX); }},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    const std::string before = State();
    const long pieces = MemMappedPieces();
    void* got = nullptr;
    MemSetMapLimit(r.mappings);
    EXPECT_EQ(testutil::CaptureFd(2, [&] { got = r.call(last, big); }), "ERROR: Unable to allocate memory\n");
    MemSetMapLimit(-1);
    EXPECT_EQ(got, nullptr);
    EXPECT_EQ(State(), before);
    EXPECT_EQ(MemMappedPieces(), pieces);
    EXPECT_EQ(std::string(last, 64), std::string(64, 'k'));
    EXPECT_EQ(std::string(big, 100000), std::string(100000, 'g'));
  }
  for (char* p : {front, middle, last, big}) PutMem(p);
  // On an empty chain too; the header whose data area cannot be had is given back.
  MemSetMapLimit(1);
  EXPECT_EQ(testutil::CaptureFd(2, [] { EXPECT_EQ(GetMem(10), nullptr); }), "ERROR: Unable to allocate memory\n");
  EXPECT_EQ(pMemB, nullptr);
}

}  // namespace
