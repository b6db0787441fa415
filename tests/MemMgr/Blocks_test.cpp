// Blocks_test.cpp - the block operations, the heap fallback and the printed state of the chain.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include "MemFixture.h"

namespace {

using memtest::AllZero;
using memtest::Chain;
using BlockTest = memtest::MemTest;
using DumpMemTest = memtest::MemTest;

TEST(MapBlockTest, GivesZeroFilledWritablePagesBeyondTheSizeAndTestMATChecksARunOfTheMap) {
  const size_t page = static_cast<size_t>(getpagesize());
  for (size_t size : {size_t{0}, size_t{1}, page, 3 * page + 1}) {
    const size_t length = (size / page + 1) * page;
    auto* p = static_cast<char*>(MapBlock(size));
    ASSERT_NE(p, nullptr) << size;
    EXPECT_TRUE(AllZero(p, length)) << size;
    p[length - 1] = 'x';  // the whole length is writable
    if (MemId >= 0) munmap(p, length);
  }
  EXPECT_GE(MemId, 0);
  // TestMAT tells whether a run of map characters is uniform.
  const char map[] = "UU   U";
  EXPECT_EQ(TestMAT(map + 2, ' ', 3), 1);
  EXPECT_EQ(TestMAT(map + 2, ' ', 4), 0);
  EXPECT_EQ(TestMAT(map, 'U', 2), 1);
  EXPECT_EQ(TestMAT(map, 'U', 3), 0);
  EXPECT_EQ(TestMAT(map + 1, ' ', 0), 1);
  EXPECT_EQ(TestMAT(map + 5, 'U', 2), 0) << "the terminator ends every run";
}

TEST_F(BlockTest, NewBlockHasAllNodesFreeAndAZeroTerminatedMap) {
  MemBlock* b = GetNewBlock(100);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(pMemB, b);
  EXPECT_EQ(b->Size, 65536);
  EXPECT_EQ(b->Used, 0);
  EXPECT_EQ(b->FreeNodes, 2048);
  EXPECT_EQ(memtest::MapOf(b), std::string(2048, ' '));
  EXPECT_EQ(b->MatEnd, 0u);
  EXPECT_FALSE(b->HeadFromHeap);
  EXPECT_FALSE(b->DataFromHeap);
  EXPECT_TRUE(AllZero(b->pData, 65536));
  MemBlock* big = GetNewBlock(3 * 65536);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->Size, 3 * 65536);
  EXPECT_EQ(b->pNext, big);
  FreeBlock(b);
  FreeBlock(big);
}

TEST_F(BlockTest, FindBlockCoversExactlyTheDataArea) {
  char* a = static_cast<char*>(GetMem(65535));
  char* d = static_cast<char*>(GetMem(100000));
  auto blocks = Chain();
  int onHeap = 0;
  EXPECT_EQ(FindBlock(a), blocks[0]);
  EXPECT_EQ(FindBlock(a + 65535), blocks[0]);
  EXPECT_EQ(FindBlock(a + 65536), nullptr);
  EXPECT_EQ(FindBlock(a - 1), nullptr);
  EXPECT_EQ(FindBlock(d + 131071), blocks[1]);
  EXPECT_EQ(FindBlock(d + 131072), nullptr);
  EXPECT_EQ(FindBlock(blocks[0]), nullptr) << "the header is no part of the data";
  EXPECT_EQ(FindBlock(nullptr), nullptr);
  EXPECT_EQ(FindBlock(&onHeap), nullptr);
  PutMem(a);
  PutMem(d);
}

// The child of the heap-fallback test: /dev/zero cannot be opened (no descriptor
// is left), so blocks come from the heap, and go back to it; once a descriptor is
// free again the manager maps /dev/zero as usual. Exit status 0 when all held.
[[noreturn]] void AllocateWithoutDevZero() {
  const long pieces = MemMappedPieces();
  if (MemId >= 0) close(MemId);
  MemId = -1;
  rlimit saved{};
  getrlimit(RLIMIT_NOFILE, &saved);
  rlimit none = saved;
  none.rlim_cur = 0;
  if (setrlimit(RLIMIT_NOFILE, &none) != 0) _exit(2);
  auto* p = static_cast<char*>(GetMem(100));
  auto* big = static_cast<char*>(GetMem(100000));
  if (!p || !big || MemId != -1) _exit(3);
  MemBlock* first = pMemB;
  if (!first->HeadFromHeap || !first->DataFromHeap || !first->pNext->DataFromHeap) _exit(4);
  if (!AllZero(p, 128) || !AllZero(big, 131072)) _exit(5);
  std::memset(p, 'h', 100);
  std::memset(big, 'b', 100000);  // the piece handed out, not the whole area
  PutMem(big);
  if (pMemB != first || first->pNext) _exit(6);
  setrlimit(RLIMIT_NOFILE, &saved);
  auto* mapped = static_cast<char*>(GetMem(65535));
  if (!mapped || MemId < 0 || first->pNext->HeadFromHeap || first->pNext->DataFromHeap) _exit(7);
  PutMem(mapped);
  PutMem(p);
  if (pMemB || MemMappedPieces() != pieces) _exit(8);
  // The heap is still sound after the blocks went back to it.
  for (int n = 0; n < 100; ++n) std::free(std::calloc(1, 70000));
  _exit(0);
}

TEST_F(BlockTest, WithoutDevZeroBlocksComeFromAndReturnToTheHeap) {
  EXPECT_EXIT(AllocateWithoutDevZero(), ::testing::ExitedWithCode(0), "");
}

std::string Address(const void* p) { return std::to_string(static_cast<long>(reinterpret_cast<intptr_t>(p))); }

TEST_F(DumpMemTest, PrintsEachBlockItsMapAndItsAllocationsBoundedByTheirNodes) {
  char* hello = static_cast<char*>(GetMem(5));
  char* abc = static_cast<char*>(GetMem(40));
  char* big = static_cast<char*>(GetMem(70000));
  std::memcpy(hello, "hello", 5);
  std::memcpy(abc, "abc", 3);
  auto blocks = Chain();
  std::string out = memtest::CaptureFd(1, [] { DumpMem(); });
  std::string expected = "\n============ Block(" + Address(blocks[0]) +
                         ") size(65536) Free(2045) Used(3) FreeNodeCount(2045) SizeCnt(2045) <==(0) (" +
                         Address(blocks[1]) + ")==>\n\tBlock MAT:";
  expected += "\n\tUUU" + std::string(61, '_');
  for (int line = 1; line < 32; ++line) expected += "\n\t" + std::string(64, '_');
  expected += "\n\n\tAllocated Nodes:\n";
  expected += "\tMAT index(     0) Memory Addr(" + Address(hello) + ") nodes(    1) size(   32) Memory(hello)\n";
  expected += "\tMAT index(     1) Memory Addr(" + Address(abc) + ") nodes(    2) size(   64) Memory(abc)\n";
  expected += "\n";
  expected += "\n============ Dedicated Block(" + Address(big) + ") size(131072) FreeNodeCount(0) <==(" +
              Address(blocks[0]) + ") (0)==>";
  EXPECT_EQ(out, expected);
  PutMem(hello);
  PutMem(abc);
  PutMem(big);
  // A piece without terminator is shown only up to its last node.
  char* full = static_cast<char*>(GetMem(31));
  char* next = static_cast<char*>(GetMem(10));
  std::memset(full, 'A', 32);  // fills its node, terminator slot included
  std::memcpy(next, "next", 4);
  out = memtest::CaptureFd(1, [] { DumpMem(); });
  EXPECT_NE(out.find("nodes(    1) size(   32) Memory(" + std::string(32, 'A') + ")\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Memory(next)\n"), std::string::npos);
  PutMem(full);
  PutMem(next);
}

}  // namespace
