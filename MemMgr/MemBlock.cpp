// MemBlock.cpp - blocks of the memory manager: pages from /dev/zero, the chain of blocks.
#include "MemMgr/MemMgr.h"

#include "MemMgr/MemChain.h"
#include "MemMgr/MemMgrTesting.h"
#include "MemMgr/MemPoison.h"

#include <algorithm>
#include <bit>
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

// One slot of the table of granules: a standard data area of 64 KB meets at most
// two granules of the address space (address / 65536), and each of those names it.
struct Granule {
  uintptr_t key;     // the granule + 1; 0 for an empty slot
  const Extent* at;  // the area's extent
};
constexpr uintptr_t kGranuleBits = 16;

constexpr size_t kSpan = 64;  // blocks summed up by one entry of ChainIndex::spanLongest

// The chain's index, kept by PushBlock and PopBlock: the blocks in chain order with
// their longest free runs side by side, and the longest of every span of 64 of them,
// so that a search reads a few short arrays instead of the blocks' headers.
struct ChainIndex {
  std::vector<MemBlock*> order;        // the chain, head first: order[b->ChainPos] == b
  std::vector<uint16_t> longest;       // LongestFree of order[pos], then 0 up to a multiple of 4
  std::vector<uint16_t> spanLongest;   // the largest of longest[64 s] to longest[64 s + 63]
  std::vector<Extent> extents;         // data areas of the chain, by address
  std::vector<Granule> granules;       // a hash table: the standard data areas by their 64 KB granules
  int granuleShift = 64;               // 64 - log2 of the table's size
};

struct MapState {
  long mapLimit = -1;     // MapBlock calls still allowed to succeed; negative: no limit
  long mappedPieces = 0;  // pieces handed out by MapBlock and not yet given back
  Quarantined quarantine[kQuarantineSlots] = {};  // oldest first
  int quarantined = 0;
  size_t quarantinedBytes = 0;
  size_t headColour = 0;  // the cache line of its page where the next header starts
  ChainIndex chain;
};
MapState S;

// The longest free run among the blocks of span s.
uint16_t SpanLongest(size_t s) {
  const auto from = S.chain.longest.begin() + static_cast<long>(s * kSpan);
  const auto to = S.chain.longest.begin() + static_cast<long>(std::min(S.chain.longest.size(), (s + 1) * kSpan));
  return from < to ? *std::max_element(from, to) : 0;
}

// Sums up the index anew from the chain, from position pos on.
void RebuildIndex(size_t pos) {
  ChainIndex& c = S.chain;
  c.longest.resize((c.order.size() + 3) / 4 * 4);  // read four at a time: zeros after the last
  if (c.order.size() < c.longest.size()) c.longest[c.order.size()] = 0;
  c.spanLongest.resize((c.order.size() + kSpan - 1) / kSpan);
  for (size_t i = pos; i < c.order.size(); ++i) {
    c.order[i]->ChainPos = static_cast<int32_t>(i);
    c.longest[i] = static_cast<uint16_t>(memmgr::LongestFree(c.order[i]));
  }
  for (size_t s = pos / kSpan; s < c.spanLongest.size(); ++s) c.spanLongest[s] = SpanLongest(s);
}

// The slot where the search for granule g begins.
size_t GranuleSlot(uintptr_t g) {
  return static_cast<size_t>((g * 0x9E3779B97F4A7C15u) >> S.chain.granuleShift);
}

// Fills the table of granules anew from the extents (whose addresses it keeps).
void RebuildGranules() {
  ChainIndex& c = S.chain;
  if (c.granules.empty()) return;
  std::fill(c.granules.begin(), c.granules.end(), Granule{0, nullptr});
  const size_t mask = c.granules.size() - 1;
  for (const Extent& e : c.extents) {
    if (e.dedicated) continue;  // found by the search of the extents instead
    for (const uintptr_t g : {e.start >> kGranuleBits, (e.end - 1) >> kGranuleBits}) {
      size_t slot = GranuleSlot(g);
      while (c.granules[slot].key != 0 && (c.granules[slot].key != g + 1 || c.granules[slot].at != &e)) {
        slot = (slot + 1) & mask;
      }
      c.granules[slot] = {g + 1, &e};
    }
  }
}

// The first extent that starts above addr.
std::vector<Extent>::iterator ExtentAbove(uintptr_t addr) {
  return std::upper_bound(S.chain.extents.begin(), S.chain.extents.end(), addr,
                          [](uintptr_t a, const Extent& e) { return a < e.start; });
}

// The last extent that starts at or below addr, or null when none does. The halving
// has no branch to mispredict, whichever block the address lies in.
const Extent* ExtentAtOrBelow(uintptr_t addr) {
  size_t n = S.chain.extents.size();
  if (n == 0 || addr < S.chain.extents[0].start) return nullptr;
  const Extent* base = S.chain.extents.data();
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

// Cache lines of a page where a header may start. Every mapping begins a page, and
// a processor's cache picks the place of a line by its offset in the page: headers
// all at the start of their pages would keep their busiest lines (the sums, the
// bits of the map) in the same few places and push one another out. Successive
// headers start one line further on, round the first 4 KB of the page.
constexpr size_t kHeadColours = 64;

// A new header's memory, zero-filled; null when none can be had. It starts within
// the first page of its mapping, which ReturnHeader gives back.
MemBlock* MapHeader() {
  const size_t offset = S.headColour * 64 % static_cast<size_t>(getpagesize());
  void* base = MapBlock(sizeof(MemBlock) + offset);
  if (!base) return nullptr;
  S.headColour = (S.headColour + 1) % kHeadColours;
  return reinterpret_cast<MemBlock*>(static_cast<char*>(base) + offset);
}

// Gives the memory of a header from MapHeader back (null is ignored).
void ReturnHeader(MemBlock* b, bool fromHeap) {
  const size_t offset = reinterpret_cast<uintptr_t>(b) % static_cast<size_t>(getpagesize());
  ReturnPiece(b ? reinterpret_cast<char*>(b) - offset : nullptr, sizeof(MemBlock) + offset, fromHeap, false);
}

}  // namespace

namespace memmgr {

bool ReserveChainSlot() {
  ChainIndex& c = S.chain;
  const size_t n = c.order.size() + 1;
  const auto reserve = [](auto& v, size_t want) {
    if (v.capacity() < want) v.reserve(std::max({size_t{16}, 2 * v.capacity(), want}));
  };
  const Extent* extents = c.extents.data();
  const size_t slots = c.granules.size();
  bool room = true;
  try {
    reserve(c.order, n);
    reserve(c.longest, (n + 3) / 4 * 4);
    reserve(c.extents, n);
    reserve(c.spanLongest, (n + kSpan - 1) / kSpan);
    // A quarter of the slots at most is taken: two granules a block, eight slots each.
    if (c.granules.size() < 8 * n) {
      const size_t more = std::bit_ceil(std::max<size_t>(64, 16 * n));
      c.granules.assign(more, Granule{0, nullptr});
      c.granuleShift = 64 - std::countr_zero(more);
    }
  } catch (const std::bad_alloc&) {
    room = false;
  }
  // The table holds the extents' addresses: it is filled anew when they moved or it grew.
  if (c.extents.data() != extents || c.granules.size() != slots) RebuildGranules();
  return room;
}

void NoteLongestFree(const MemBlock* b) {
  ChainIndex& c = S.chain;
  const auto pos = static_cast<size_t>(b->ChainPos);
  const uint16_t old = c.longest[pos];
  const auto now = static_cast<uint16_t>(LongestFree(b));
  c.longest[pos] = now;
  uint16_t& span = c.spanLongest[pos / kSpan];
  if (now > span) {
    span = now;
  } else if (old == span && now < old) {
    span = SpanLongest(pos / kSpan);  // it may have been the span's longest
  }
}

const Extent* FindExtent(const void* p) {
  const auto addr = reinterpret_cast<uintptr_t>(p);
  const ChainIndex& c = S.chain;
  if (!c.granules.empty()) {
    const uintptr_t key = (addr >> kGranuleBits) + 1;
    const size_t mask = c.granules.size() - 1;
    for (size_t slot = GranuleSlot(key - 1); c.granules[slot].key != 0; slot = (slot + 1) & mask) {
      const Extent* e = c.granules[slot].at;
      if (c.granules[slot].key == key && addr >= e->start && addr < e->end) return e;
    }
  }
  // A dedicated area, or no area at all.
  const Extent* e = ExtentAtOrBelow(addr);
  // The end of the data area is not part of it: a pointer there would name node
  // 2048 of a standard block, which does not exist.
  return p && e && addr < e->end ? e : nullptr;
}

MemBlock* FirstBlockWithRun(int k) {
  const ChainIndex& c = S.chain;
  // Four entries at a time: a lane of 0x8000 + entry - k keeps its top bit exactly
  // when the entry is at least k (entries are at most 2048, so no lane overflows).
  const uint64_t add = 0x0001000100010001u * static_cast<uint64_t>(0x8000 - k);
  for (size_t s = 0; s < c.spanLongest.size(); ++s) {
    if (c.spanLongest[s] < k) continue;
    for (size_t pos = s * kSpan;; pos += 4) {
      uint64_t four = 0;
      std::memcpy(&four, &c.longest[pos], sizeof four);
      const uint64_t fits = (four + add) & 0x8000800080008000u;
      if (fits == 0) continue;
      // The first entry in memory order: the lowest lane on a little-endian host,
      // the highest on a big-endian one.
      const int lane = std::endian::native == std::endian::little ? std::countr_zero(fits) : std::countl_zero(fits);
      return c.order[pos + static_cast<size_t>(lane) / 16];
    }
  }
  return nullptr;
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
    b = MapHeader();
    headFromHeap = MemId < 0;
  }
  if (b) data = static_cast<char*>(MapBlock(dataSize));
  if (!data || !memmgr::ReserveChainSlot()) {
    ReturnPiece(data, dataSize, MemId < 0, true);
    // A header without its data area is given back at once: nothing leaks.
    ReturnHeader(b, headFromHeap);
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
  for (MemWord& word : b->Words) word.FreeBits = ~uint64_t{0};
  std::memset(b->WordPre, 64, MEM_WORDS);  // the rest stays 0
  std::memset(b->WordSuf, 64, sizeof b->WordSuf);
  std::memset(b->WordBest, 64, sizeof b->WordBest);
  b->LongestFree = MEM_SHORT_RUN;
  PushBlock(b);
  return b;
}

void PushBlock(MemBlock* b) {
  if (!memmgr::ReserveChainSlot()) {
    // GetNewBlock makes room before it maps anything; only a caller of its own gets here.
    std::fprintf(stderr, "ERROR: %s\n", OutOfMem);
    std::abort();
  }
  ChainIndex& c = S.chain;
  b->pNext = nullptr;
  b->pPrev = c.order.empty() ? nullptr : c.order.back();  // the tail
  if (b->pPrev) {
    b->pPrev->pNext = b;
  } else {
    pMemB = b;
  }
  c.order.push_back(b);
  RebuildIndex(c.order.size() - 1);
  const auto start = reinterpret_cast<uintptr_t>(b->pData);
  c.extents.insert(ExtentAbove(start),
                   {start, start + static_cast<uintptr_t>(b->Size), b, b->Size > MEM_BLOCK_SIZE});
  RebuildGranules();
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
  ChainIndex& c = S.chain;
  const auto pos = static_cast<size_t>(b->ChainPos);
  if (pos >= c.order.size() || c.order[pos] != b) return;  // not in the chain
  c.order.erase(c.order.begin() + static_cast<long>(pos));
  RebuildIndex(pos);
  auto e = ExtentAbove(reinterpret_cast<uintptr_t>(b->pData));
  if (e != c.extents.begin() && (--e)->block == b) c.extents.erase(e);
  RebuildGranules();
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
  ReturnHeader(b, headFromHeap);
}

int TestMAT(const char* pos, char ch, int count) {
  for (int n = 0; n < count; ++n) {
    if (pos[n] != ch) return 0;
  }
  return 1;
}
