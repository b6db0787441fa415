// MemBlock.cpp - blocks of the memory manager: pages from /dev/zero, the chain of blocks.
#include "MemMgr/MemMgr.h"

#include "MemMgr/MemChain.h"
#include "MemMgr/MemPoison.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

MemBlock* pMemB = nullptr;
int MemId = -1;
const char OutOfMem[] = "Unable to allocate memory";

// The map must end in the zero word, or a search for free nodes could run past it.
static_assert(offsetof(MemBlock, MatEnd) == offsetof(MemBlock, Mat) + MEM_BLOCK_NODES,
              "the terminator word must follow the map directly");
static_assert(MEM_MAX_BLOCK_SIZE % MEM_BLOCK_SIZE == 0 && MEM_MAX_BLOCK_SIZE <= INT32_MAX,
              "the largest block must be a whole number of standard blocks");

namespace {

// In sanitizer builds a released data area is not unmapped at once: it stays
// mapped and poisoned for a while, so that a use after PutMem of a block's last
// piece is reported as such instead of reaching whatever the system maps there
// next. The oldest areas are unmapped once the kept ones pass a budget.
constexpr int kQuarantineSlots = 64;
constexpr size_t kQuarantineBytes = 16u << 20;

struct Quarantined {
  void* p;
  size_t length;
};

using memmgr::Extent;

struct MapState {
  long mapLimit = -1;     // MapBlock calls still allowed to succeed; negative: no limit
  long mappedPieces = 0;  // pieces handed out by MapBlock and not yet given back
  Quarantined quarantine[kQuarantineSlots] = {};  // oldest first
  int quarantined = 0;
  size_t quarantinedBytes = 0;
  // The chain's index, kept by PushBlock and PopBlock.
  std::vector<MemBlock*> order;     // the chain, head first: order[b->ChainPos] == b
  size_t leaves = 0;                // leaves of the tree below, a power of two
  std::vector<uint16_t> longest;    // leaf `leaves + pos`: longest free run of order[pos];
                                    // entry j < leaves: the larger of entries 2j and 2j + 1
  std::vector<Extent> extents;      // data areas of the chain, by address
};
MapState S;

// Fills the tree of longest free runs anew from the chain.
void RebuildLongest() {
  std::fill(S.longest.begin(), S.longest.end(), uint16_t{0});
  for (size_t pos = 0; pos < S.order.size(); ++pos) {
    S.longest[S.leaves + pos] = static_cast<uint16_t>(memmgr::LongestFree(S.order[pos]));
  }
  for (size_t j = S.leaves - 1; j >= 1; --j) S.longest[j] = std::max(S.longest[2 * j], S.longest[2 * j + 1]);
}

// The first extent that starts above addr.
std::vector<Extent>::iterator ExtentAbove(uintptr_t addr) {
  return std::upper_bound(S.extents.begin(), S.extents.end(), addr,
                          [](uintptr_t a, const Extent& e) { return a < e.start; });
}

// The last extent that starts at or below addr, or null when none does. The halving
// has no branch to mispredict, whichever block the address lies in.
const Extent* ExtentAtOrBelow(uintptr_t addr) {
  size_t n = S.extents.size();
  if (n == 0 || addr < S.extents[0].start) return nullptr;
  const Extent* base = S.extents.data();
  while (n > 1) {
    const size_t half = n / 2;
    base = base[half].start <= addr ? base + half : base;
    n -= half;
  }
  return base;
}

// Bytes that MapBlock takes for a size: always at least one page more than the
// whole pages the size fills, so a text that runs to the end of a data area
// still meets zero bytes.
size_t MapLength(size_t size) {
  const size_t page = static_cast<size_t>(getpagesize());
  return (size / page + 1) * page;
}

// Unmaps the oldest quarantined area; its poison goes first, so that a later
// mapping at the same place starts clean.
void ReleaseOldest() {
  const Quarantined q = S.quarantine[0];
  memmgr::Unpoison(q.p, q.length);
  munmap(q.p, q.length);
  S.quarantinedBytes -= q.length;
  --S.quarantined;
  std::memmove(S.quarantine, S.quarantine + 1, static_cast<size_t>(S.quarantined) * sizeof(Quarantined));
}

// Keeps a released, poisoned mapping for a while (sanitizer builds only).
void Quarantine(void* p, size_t length) {
  if (S.quarantined == kQuarantineSlots) ReleaseOldest();
  S.quarantine[S.quarantined++] = {p, length};
  S.quarantinedBytes += length;
  while (S.quarantined > 1 && S.quarantinedBytes > kQuarantineBytes) ReleaseOldest();
}

// Gives one piece obtained by MapBlock back to where it came from. A data area
// (poisoned) of a sanitizer build goes to the quarantine first.
void ReturnPiece(void* p, size_t size, bool fromHeap, bool data) {
  if (!p) return;
  --S.mappedPieces;
  const size_t length = MapLength(size);
  if (fromHeap) {
    memmgr::Unpoison(p, length);
    std::free(p);
    return;
  }
  if (data && memmgr::kPoisoning) {
    memmgr::Poison(p, length);
    Quarantine(p, length);
    return;
  }
  munmap(p, length);
}

}  // namespace

namespace memmgr {

bool ReserveChainSlot() {
  const size_t n = S.order.size() + 1;
  try {
    if (S.order.capacity() < n) S.order.reserve(std::max<size_t>(16, 2 * S.order.capacity()));
    if (S.extents.capacity() < n) S.extents.reserve(std::max<size_t>(16, 2 * S.extents.capacity()));
    if (S.leaves < n) {
      const size_t leaves = std::max<size_t>(16, 2 * S.leaves);
      S.longest.assign(2 * leaves, 0);
      S.leaves = leaves;
      RebuildLongest();
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void NoteLongestFree(const MemBlock* b) {
  size_t j = S.leaves + static_cast<size_t>(b->ChainPos);
  S.longest[j] = static_cast<uint16_t>(LongestFree(b));
  for (j /= 2; j >= 1; j /= 2) {
    const uint16_t larger = std::max(S.longest[2 * j], S.longest[2 * j + 1]);
    if (S.longest[j] == larger) break;  // the entries above stay as they are
    S.longest[j] = larger;
  }
}

const Extent* FindExtent(const void* p) {
  const auto addr = reinterpret_cast<uintptr_t>(p);
  const Extent* e = ExtentAtOrBelow(addr);
  // The end of the data area is not part of it: a pointer there would name node
  // 2048 of a standard block, which does not exist.
  return p && e && addr < e->end ? e : nullptr;
}

MemBlock* FirstBlockWithRun(int k) {
  if (S.order.empty() || S.longest[1] < k) return nullptr;
  size_t j = 1;
  while (j < S.leaves) j = 2 * j + (S.longest[2 * j] < k);  // the left half when it has one
  return S.order[j - S.leaves];
}

}  // namespace memmgr

void MemSetMapLimit(long count) { S.mapLimit = count; }

long MemMappedPieces() { return S.mappedPieces; }

void* MapBlock(size_t size) {
  if (S.mapLimit == 0) return nullptr;
  if (S.mapLimit > 0) --S.mapLimit;
  if (MemId < 0) MemId = open("/dev/zero", O_RDWR | O_CLOEXEC);
  const size_t length = MapLength(size);
  void* p = nullptr;
  if (MemId >= 0) {
    p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE, MemId, 0);
    if (p == MAP_FAILED) return nullptr;
  } else {
    // Without /dev/zero the pages come from the heap, page-aligned like a mapping.
    p = std::aligned_alloc(static_cast<size_t>(getpagesize()), length);
    if (!p) return nullptr;
    std::memset(p, 0, length);
  }
  ++S.mappedPieces;
  return p;
}

MemBlock* GetNewBlock(size_t size) {
  const size_t dataSize = std::max(size, static_cast<size_t>(MEM_BLOCK_SIZE));
  MemBlock* b = nullptr;
  char* data = nullptr;
  bool headFromHeap = false;
  if (dataSize <= MEM_MAX_BLOCK_SIZE) {
    b = static_cast<MemBlock*>(MapBlock(sizeof(MemBlock)));
    headFromHeap = MemId < 0;
  }
  if (b) data = static_cast<char*>(MapBlock(dataSize));
  if (!data || !memmgr::ReserveChainSlot()) {
    ReturnPiece(data, dataSize, MemId < 0, true);
    // A header without its data area is given back at once: nothing leaks.
    ReturnPiece(b, sizeof(MemBlock), headFromHeap, false);
    std::fprintf(stderr, "ERROR: %s\n", OutOfMem);
    return nullptr;
  }
  std::memset(static_cast<void*>(b), 0, sizeof(MemBlock));
  std::memset(b->Mat, MEM_MAT_FREE, sizeof b->Mat);
  b->MatEnd = 0;
  b->HeadFromHeap = headFromHeap;
  b->DataFromHeap = MemId < 0;
  b->Size = static_cast<int32_t>(dataSize);
  b->pData = data;
  // Every node is free: nothing of the area, nor the page after it, is anybody's yet.
  memmgr::Poison(data, MapLength(dataSize));
  b->FreeNodes = MEM_BLOCK_NODES;
  std::memset(b->FreeBits, 0xFF, sizeof b->FreeBits);
  std::memset(b->WordBest, 64, sizeof b->WordBest);
  constexpr auto kGroup = static_cast<uint16_t>(MEM_BLOCK_NODES / MEM_GROUPS);
  std::fill(std::begin(b->Groups), std::end(b->Groups), MemRuns{kGroup, kGroup, kGroup});
  b->LongestFree = MEM_BLOCK_NODES;
  PushBlock(b);
  return b;
}

void PushBlock(MemBlock* b) {
  if (!memmgr::ReserveChainSlot()) {
    // GetNewBlock makes room before it maps anything; only a caller of its own gets here.
    std::fprintf(stderr, "ERROR: %s\n", OutOfMem);
    std::abort();
  }
  b->pNext = nullptr;
  b->pPrev = S.order.empty() ? nullptr : S.order.back();  // the tail
  if (b->pPrev) {
    b->pPrev->pNext = b;
  } else {
    pMemB = b;
  }
  b->ChainPos = static_cast<int32_t>(S.order.size());
  S.order.push_back(b);
  memmgr::NoteLongestFree(b);
  const auto start = reinterpret_cast<uintptr_t>(b->pData);
  S.extents.insert(ExtentAbove(start),
                   {start, start + static_cast<uintptr_t>(b->Size), b, b->Size > MEM_BLOCK_SIZE});
}

void PopBlock(MemBlock* b) {
  if (b == pMemB) {
    pMemB = b->pNext;
    if (pMemB) pMemB->pPrev = nullptr;
  } else {
    if (b->pPrev) b->pPrev->pNext = b->pNext;
    if (b->pNext) b->pNext->pPrev = b->pPrev;
  }
  b->pNext = nullptr;
  b->pPrev = nullptr;
  const auto pos = static_cast<size_t>(b->ChainPos);
  if (pos >= S.order.size() || S.order[pos] != b) return;  // not in the chain
  S.order.erase(S.order.begin() + static_cast<long>(pos));
  for (size_t i = pos; i < S.order.size(); ++i) S.order[i]->ChainPos = static_cast<int32_t>(i);
  RebuildLongest();
  auto e = ExtentAbove(reinterpret_cast<uintptr_t>(b->pData));
  if (e != S.extents.begin() && (--e)->block == b) S.extents.erase(e);
}

MemBlock* FindBlock(const void* p) {
  const Extent* e = memmgr::FindExtent(p);
  return e ? e->block : nullptr;
}

void FreeBlock(MemBlock* b) {
  if (!b) return;
  PopBlock(b);
  const bool headFromHeap = b->HeadFromHeap;
  ReturnPiece(b->pData, static_cast<size_t>(b->Size), b->DataFromHeap, true);
  ReturnPiece(b, sizeof(MemBlock), headFromHeap, false);
}

int TestMAT(const char* pos, char ch, int count) {
  for (int n = 0; n < count; ++n) {
    if (pos[n] != ch) return 0;
  }
  return 1;
}
