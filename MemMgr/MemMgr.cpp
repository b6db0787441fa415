// MemMgr.cpp - the memory manager's requests: zero-filled pieces in 32-byte nodes, first fit.
#include "MemMgr/MemMgr.h"

#include "MemMgr/MemChain.h"
#include "MemMgr/MemPoison.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr int kWords = MEM_WORDS;  // words of a block's bit maps

bool IsDedicated(const MemBlock* b) { return b->Size > MEM_BLOCK_SIZE; }

// Bits 0 to n - 1 set (n from 0 to 64).
constexpr uint64_t LowBits(int n) { return n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1; }

// The longest run of set bits of a word. Run by run from the lowest: adding the
// lowest set bit carries through the run to the bit after it, so the run is as long
// as the lowest set bits of x and of the sum lie apart, and the sum masks the run
// off. With the top bit set in both, neither is ever 0 and no round needs a test: a
// round on no bits left counts 0, and the run that reaches the top counts one short,
// which the run the word ends with makes up. Most words of a map hold four runs or
// fewer, so four rounds come first, without a branch.
int LongestOnes(uint64_t x) {
  constexpr uint64_t top = uint64_t{1} << 63;
  int best = std::countl_one(x);
  const auto round = [&x, &best] {
    const uint64_t carried = x + (x & (~x + 1));
    best = std::max(best, std::countr_zero(carried | top) - std::countr_zero(x | top));
    x &= carried;
  };
  round();
  round();
  round();
  round();
  while (x) round();
  return best;
}

// Sums up the free runs of word w of a block's map anew from its bits.
void SumWord(MemBlock* b, int w) {
  const uint64_t x = b->Words[w].FreeBits;
  b->WordPre[w] = static_cast<uint8_t>(std::countr_one(x));
  b->WordSuf[w] = static_cast<uint8_t>(std::countl_one(x));
  b->WordBest[w] = static_cast<uint8_t>(LongestOnes(x));
}

// The longest free run of a block, counted up to MEM_SHORT_RUN: the longest run
// within a word or across the border of two. A run longer than a word spans a
// whole word, which counts 64 on its own; any shorter run lies within one word or
// across one border. (Bytes all through, so that the loop runs on vector registers.)
int LongestInBlock(const MemBlock* b) {
  uint8_t best = 0;
  for (int w = 0; w < kWords; ++w) {
    const auto across = static_cast<uint8_t>(b->WordSuf[w] + b->WordPre[w + 1]);
    best = std::max(best, std::max(across, b->WordBest[w]));
  }
  return std::min<int>(best, MEM_SHORT_RUN);
}

// Sets count map characters from `to` on to ch: a short run (as most are) by two
// overlapping stores of one width instead of a call.
void FillMat(char* to, int count, char ch) {
  const uint64_t all = 0x0101010101010101u * static_cast<unsigned char>(ch);
  const auto store = [to, count, all](size_t width) {
    std::memcpy(to, &all, width);
    std::memcpy(to + count - static_cast<int>(width), &all, width);
  };
  if (count > 16) {
    std::memset(to, ch, static_cast<size_t>(count));
  } else if (count >= 8) {
    store(8);
  } else if (count >= 4) {
    store(4);
  } else if (count >= 2) {
    store(2);
  } else if (count == 1) {
    *to = ch;
  }
}

// Sets count nodes (at least one) from node `from` on free or in use (ch): their map
// characters, their bits, the sums of their words and the block's longest free run.
void SetNodes(MemBlock* b, int from, int count, char ch) {
  assert(count > 0 && from + count <= MEM_BLOCK_NODES);
  FillMat(b->Mat + from, count, ch);
  auto at = static_cast<unsigned>(from);
  auto left = static_cast<unsigned>(count);
  // Word by word: the n nodes of the run that fall in word w, from bit at % 64 on.
  do {
    const unsigned w = at / 64;
    const unsigned n = std::min(left, 64 - at % 64);
    const uint64_t mask = ~uint64_t{0} >> (64 - n) << at % 64;
    uint64_t& word = b->Words[w].FreeBits;
    word = ch == MEM_MAT_FREE ? word | mask : word & ~mask;
    SumWord(b, static_cast<int>(w));
    at += n;
    left -= n;
  } while (left > 0);
  const int longest = LongestInBlock(b);
  if (longest == b->LongestFree) return;
  b->LongestFree = longest;
  memmgr::NoteLongestFree(b);
}

#ifndef NDEBUG
// The node number of the first match of k blanks in a block's map, or -1: the
// search that first fit stands for, done the slow way.
int MatSearch(const MemBlock* b, int k) {
  const size_t at = std::string_view(b->Mat, MEM_BLOCK_NODES).find(std::string(static_cast<size_t>(k), MEM_MAT_FREE));
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

// Checks the bookkeeping of one block: in a standard block FreeNodes equals the
// blanks of the map, the bits mirror the map and the records, the sums of the
// words and the block's LongestFree hold, and every allocation is a
// run of 'U' that starts at a record with its length and address; the runs cover
// exactly the nodes in use.
void CheckBlock(const MemBlock* b) {
  assert(b->MatEnd == 0);
  assert(!b->pNext || b->pNext->pPrev == b);
  assert(!b->pPrev || b->pPrev->pNext == b);
  assert(b->pPrev || b == pMemB);
  assert(b->pPrev ? b->ChainPos == b->pPrev->ChainPos + 1 : b->ChainPos == 0);
  if (IsDedicated(b)) {
    assert(b->FreeNodes == 0 && b->LongestFree == 0);
    assert(b->Used > 0);
    assert(b->Used <= b->Size);
    return;
  }
  assert(b->Size == MEM_BLOCK_SIZE && b->Used == 0);
  int blanks = 0;
  int run = 0;
  int longest = 0;
  int wordRun = 0;             // the run within the word, from the map
  int wordBest[kWords] = {};
  for (int i = 0; i < MEM_BLOCK_NODES; ++i) {
    const char c = b->Mat[i];
    assert(c == MEM_MAT_FREE || c == MEM_MAT_USED);
    assert(((b->Words[i / 64].FreeBits >> (i % 64)) & 1) == (c == MEM_MAT_FREE ? 1u : 0u));
    assert(((b->Words[i / 64].StartBits >> (i % 64)) & 1) == (b->Nodes[i].NodeCnt != 0 ? 1u : 0u));
    run = c == MEM_MAT_FREE ? run + 1 : 0;
    wordRun = c == MEM_MAT_FREE ? (i % 64 == 0 ? 1 : wordRun + 1) : 0;
    wordBest[i / 64] = std::max(wordBest[i / 64], wordRun);
    blanks += c == MEM_MAT_FREE;
    longest = std::max(longest, run);
  }
  assert(blanks == b->FreeNodes);
  assert(b->LongestFree == std::min(longest, MEM_SHORT_RUN));
  for (int w = 0; w < kWords; ++w) {
    const uint64_t x = b->Words[w].FreeBits;
    assert(b->WordPre[w] == std::countr_one(x) && b->WordSuf[w] == std::countl_one(x));
    assert(b->WordBest[w] == wordBest[w]);
  }
  for (int w = kWords; w < kWords + 8; ++w) assert(b->WordPre[w] == 0);
  int covered = 0;
  for (int i = 0; i < MEM_BLOCK_NODES; ++i) {
    const MemNode& node = b->Nodes[i];
    if (node.NodeCnt == 0) {
      assert(node.pAddr == nullptr);
      continue;
    }
    assert(node.pAddr == b->pData + i * MEM_NODE_SIZE);
    assert(i + node.NodeCnt <= MEM_BLOCK_NODES);
    for (int n = 0; n < node.NodeCnt; ++n) assert(b->Mat[i + n] == MEM_MAT_USED);
    assert(i + node.NodeCnt == MEM_BLOCK_NODES || b->Mat[i + node.NodeCnt] == MEM_MAT_FREE ||
           b->Nodes[i + node.NodeCnt].NodeCnt != 0);
    covered += node.NodeCnt;
  }
  assert(covered == MEM_BLOCK_NODES - blanks);
}
#define CHECK_BLOCK(b) CheckBlock(b)
#else
#define CHECK_BLOCK(b) ((void)0)
#endif

void ReportOutOfMem() { std::fprintf(stderr, "ERROR: %s\n", OutOfMem); }

// The rounded size r of a request of n bytes: n + 1 rounded up to whole nodes (31
// bytes take one node, 32 bytes two). 0 when no block could ever hold it.
size_t RoundRequest(size_t n) {
  if (n >= MEM_MAX_BLOCK_SIZE) return 0;
  return (n + MEM_NODE_SIZE) / MEM_NODE_SIZE * MEM_NODE_SIZE;
}

// Bit i set when bits i to i + k - 1 of x are all set (1 <= k <= 64).
uint64_t RunStarts(uint64_t x, int k) {
  for (int len = 1; len < k && x;) {
    const int step = len < k - len ? len : k - len;
    x &= x >> step;
    len += step;
  }
  return x;
}

// The first byte (lane) of x, in memory order, whose top bit is set; x not 0.
int FirstLane(uint64_t x) {
  return (std::endian::native == std::endian::little ? std::countr_zero(x) : std::countl_zero(x)) / 8;
}

// The 8 bytes from p on as one word, p[0] in the first lane.
uint64_t Lanes(const uint8_t* p) {
  uint64_t x = 0;
  std::memcpy(&x, p, sizeof x);
  return x;
}

// The lanes of v that are at least k, by their top bits. Every lane is at most 128
// and k from 1 to 128, so that no lane carries into the next.
uint64_t LanesAtLeast(uint64_t v, int k) {
  return (v + 0x0101010101010101u * static_cast<uint64_t>(128 - k)) & 0x8080808080808080u;
}

// Node number of the leftmost run of k free nodes (k above 64) in a block, or -1.
// Word by word, the free nodes carried in from the words before (the free end of
// the last, and whole free words before it) and those the word starts with.
int FindLongRun(const MemBlock* b, int k) {
  int carry = 0;  // free nodes that end the words passed
  for (int w = 0; w < kWords; ++w) {
    const uint64_t x = b->Words[w].FreeBits;
    if (carry + std::countr_one(x) >= k) return w * 64 - carry;
    carry = x == ~uint64_t{0} ? carry + 64 : std::countl_one(x);
  }
  return -1;
}

// Node number of the leftmost run of k free nodes in a block, the first match of
// k blanks in its map, or -1. A run of up to 64 nodes lies within one word or
// across the border of two: eight words at a time, the first word whose longest run
// is long enough and the first border whose runs add up to enough; the earlier of
// the two is where the run starts.
int FindFreeRun(const MemBlock* b, int k) {
  if (b->LongestFree < std::min(k, MEM_SHORT_RUN)) return -1;
  if (k > MEM_SHORT_RUN) return FindLongRun(b, k);
  for (int w = 0; w < kWords; w += 8) {
    const uint64_t within = LanesAtLeast(Lanes(b->WordBest + w), k);
    const uint64_t across = LanesAtLeast(Lanes(b->WordSuf + w) + Lanes(b->WordPre + w + 1), k);
    if ((within | across) == 0) continue;
    int at = MEM_BLOCK_NODES;
    if (within != 0) {
      const int v = w + FirstLane(within);
      at = v * 64 + std::countr_zero(RunStarts(b->Words[v].FreeBits, k));
    }
    if (across != 0) {
      const int v = w + FirstLane(across);
      at = std::min(at, v * 64 + 64 - b->WordSuf[v]);
    }
    return at;
  }
  return -1;
}

// The first block along the chain with a free run of k nodes, or null.
MemBlock* FirstBlockWithRun(int k) {
  if (k <= MEM_SHORT_RUN) return memmgr::FirstBlockWithRun(k);
  // Long runs are rare: the blocks whose longest run is long are asked one by one.
  MemBlock* b = pMemB;
  while (b && FindFreeRun(b, k) < 0) b = b->pNext;
  return b;
}

// The nodes of the allocation that starts at node i: up to the next node that is
// free or starts another allocation, or to the end of the block.
int AllocationLength(const MemBlock* b, int i) {
  int w = i / 64;
  uint64_t ends = (b->Words[w].FreeBits | b->Words[w].StartBits) & ~LowBits(i % 64 + 1);
  while (ends == 0 && ++w < kWords) ends = b->Words[w].FreeBits | b->Words[w].StartBits;
  return (ends == 0 ? MEM_BLOCK_NODES : w * 64 + std::countr_zero(ends)) - i;
}

// Writes the record of an allocation of count nodes that starts at node i (count 0:
// none starts there), and its start bit.
void SetRecord(MemBlock* b, int i, int count) {
  uint64_t& starts = b->Words[i / 64].StartBits;
  const uint64_t bit = uint64_t{1} << (i % 64);
  if (count == 0) {
    b->Nodes[i] = MemNode{};
    starts &= ~bit;
    return;
  }
  b->Nodes[i] = MemNode{static_cast<uint16_t>(count), b->pData + i * MEM_NODE_SIZE};
  starts |= bit;
}

// Frees the count nodes at node `from` of a standard block; in sanitizer builds
// they become poisoned, so the caller zeroes them first when it must.
void FreeRun(MemBlock* b, int from, int count) {
  SetNodes(b, from, count, MEM_MAT_FREE);
  memmgr::Poison(b->pData + from * MEM_NODE_SIZE, static_cast<size_t>(count) * MEM_NODE_SIZE);
  b->FreeNodes += count;
}

// Hands out the k free nodes at node i of a standard block, zeroed.
void* TakeNodes(MemBlock* b, int i, int k) {
  char* addr = b->pData + i * MEM_NODE_SIZE;
  SetNodes(b, i, k, MEM_MAT_USED);
  SetRecord(b, i, k);
  memmgr::Unpoison(addr, static_cast<size_t>(k) * MEM_NODE_SIZE);
  std::memset(addr, 0, static_cast<size_t>(k) * MEM_NODE_SIZE);
  b->FreeNodes -= k;
  CHECK_BLOCK(b);
  return addr;
}

// A request of r bytes above 64 KB: a block of its own, never shared.
void* GetDedicated(size_t r) {
  const size_t blocks = (r + MEM_BLOCK_SIZE - 1) / MEM_BLOCK_SIZE;
  MemBlock* b = GetNewBlock(blocks * MEM_BLOCK_SIZE);
  if (!b) return nullptr;
  // Only the r bytes handed out are the caller's; the rest of the area stays poisoned.
  // The area is new from MapBlock, zero already: writing zeros would only make the
  // system hand over every page of it at once.
  memmgr::Unpoison(b->pData, r);
  SetNodes(b, 0, MEM_BLOCK_NODES, MEM_MAT_USED);
  b->FreeNodes = 0;
  b->Used = static_cast<int32_t>(r);
  CHECK_BLOCK(b);
  return b->pData;
}

// True when an allocation starts at node i of a standard block.
bool IsStart(const MemBlock* b, int i) { return (b->Words[i / 64].StartBits >> (i % 64)) & 1; }

// Node number of p in a standard block when an allocation starts there, else -1.
int AllocationIndex(const MemBlock* b, const void* p) {
  const auto offset = static_cast<size_t>(static_cast<const char*>(p) - b->pData);
  if (offset % MEM_NODE_SIZE != 0) return -1;
  const int i = static_cast<int>(offset / MEM_NODE_SIZE);
  return IsStart(b, i) ? i : -1;
}

// True when p is the start of an allocation of block b (of a dedicated block, its data).
bool IsAllocationStart(const MemBlock* b, const void* p) {
  if (IsDedicated(b)) return p == b->pData;
  return AllocationIndex(b, p) >= 0;
}

// Resizes the allocation at node i of a standard block to k nodes: shrink in
// place, grow into the free nodes after it, slide back into the free nodes before
// it, or move. Null (p untouched) when a move finds no memory.
void* AdjustNodes(MemBlock* b, int i, size_t r) {
  const int k = static_cast<int>(r / MEM_NODE_SIZE);
  const int c = AllocationLength(b, i);
  char* p = b->pData + i * MEM_NODE_SIZE;
  if (k == c) return p;
  if (k < c) {
    // The released tail goes back zeroed.
    std::memset(p + k * MEM_NODE_SIZE, 0, static_cast<size_t>(c - k) * MEM_NODE_SIZE);
    FreeRun(b, i + k, c - k);
    SetRecord(b, i, k);
    CHECK_BLOCK(b);
    return p;
  }
  const int e = k - c;
  if (i + k <= MEM_BLOCK_NODES && TestMAT(b->Mat + i + c, MEM_MAT_FREE, e)) {
    SetNodes(b, i + c, e, MEM_MAT_USED);
    memmgr::Unpoison(p + c * MEM_NODE_SIZE, static_cast<size_t>(e) * MEM_NODE_SIZE);
    std::memset(p + c * MEM_NODE_SIZE, 0, static_cast<size_t>(e) * MEM_NODE_SIZE);
    SetRecord(b, i, k);
    b->FreeNodes -= e;
    CHECK_BLOCK(b);
    return p;
  }
  if (i >= e && TestMAT(b->Mat + i - e, MEM_MAT_FREE, e)) {
    const int j = i - e;
    char* dest = b->pData + j * MEM_NODE_SIZE;
    SetNodes(b, j, e, MEM_MAT_USED);
    memmgr::Unpoison(dest, static_cast<size_t>(k) * MEM_NODE_SIZE);
    std::memmove(dest, p, static_cast<size_t>(c) * MEM_NODE_SIZE);
    std::memset(dest + c * MEM_NODE_SIZE, 0, static_cast<size_t>(e) * MEM_NODE_SIZE);
    SetRecord(b, j, k);
    SetRecord(b, i, 0);
    b->FreeNodes -= e;
    CHECK_BLOCK(b);
    return dest;
  }
  // A move asks for r bytes, which rounds once more: the new piece has one node
  // more than k, room for the next growth.
  void* q = GetMem(r);
  if (!q) return nullptr;
  std::memcpy(q, p, static_cast<size_t>(c) * MEM_NODE_SIZE);
  PutMem(p);
  return q;
}

// Resizes an allocation to r bytes when r needs more than a standard block or p
// is a dedicated allocation. Null (p untouched) when a move finds no memory.
void* AdjustLarge(MemBlock* b, void* p, size_t r) {
  if (r > static_cast<size_t>(b->Size)) {
    void* q = GetMem(r);
    if (!q) return nullptr;
    // A dedicated area holds zeros past the part in use, and the new piece is zeroed:
    // copying the part in use keeps the whole content.
    const size_t keep = IsDedicated(b)
                            ? static_cast<size_t>(b->Used)
                            : static_cast<size_t>(AllocationLength(b, AllocationIndex(b, p))) * MEM_NODE_SIZE;
    std::memcpy(q, p, keep);
    PutMem(p);
    return q;
  }
  // A dedicated block large enough keeps its place and its mapping: only the part
  // that changes hands is zeroed, the released tail or the newly used part.
  const auto used = static_cast<size_t>(b->Used);
  if (r < used) {
    std::memset(b->pData + r, 0, used - r);
    memmgr::Poison(b->pData + r, used - r);
  }
  if (r > used) {
    memmgr::Unpoison(b->pData + used, r - used);
    std::memset(b->pData + used, 0, r - used);
  }
  b->Used = static_cast<int32_t>(r);
  CHECK_BLOCK(b);
  return p;
}

}  // namespace

void* GetMem(size_t n) {
  if (n == 0) return nullptr;
  const size_t r = RoundRequest(n);
  if (r == 0) {
    ReportOutOfMem();
    return nullptr;
  }
  if (r > MEM_BLOCK_SIZE) return GetDedicated(r);
  const int k = static_cast<int>(r / MEM_NODE_SIZE);
  // Older blocks come first: the first block along the chain with a free run of k
  // nodes, else a new block at the tail.
  MemBlock* b = FirstBlockWithRun(k);
#ifndef NDEBUG
  for (const MemBlock* c = pMemB; c != b; c = c->pNext) assert(IsDedicated(c) || MatSearch(c, k) < 0);
#endif
  if (!b && !(b = GetNewBlock(MEM_BLOCK_SIZE))) return nullptr;
  const int i = FindFreeRun(b, k);
  assert(i == MatSearch(b, k));
  return TakeNodes(b, i, k);
}

void PutMem(void* p) {
  const memmgr::Extent* e = memmgr::FindExtent(p);
  if (!e) return;
  MemBlock* b = e->block;
  const uintptr_t offset = reinterpret_cast<uintptr_t>(p) - e->start;
  if (e->dedicated) {
    // Only the allocation's own address releases it; a pointer into it does not.
    if (offset == 0) FreeBlock(b);
    return;
  }
  const auto i = static_cast<int>(offset / MEM_NODE_SIZE);
  if (offset % MEM_NODE_SIZE != 0 || !IsStart(b, i)) return;
  FreeRun(b, i, AllocationLength(b, i));
  SetRecord(b, i, 0);
  CHECK_BLOCK(b);
  // A block that holds nothing goes back to the system at once.
  if (b->FreeNodes == MEM_BLOCK_NODES) FreeBlock(b);
}

void* AdjustMem(void* p, size_t n) {
  if (n == 0) {
    PutMem(p);
    return nullptr;
  }
  MemBlock* b = FindBlock(p);
  // A pointer that is no allocation of the manager is left alone.
  if (!b || !IsAllocationStart(b, p)) return GetMem(n);
  const size_t r = RoundRequest(n);
  if (r == 0) {
    ReportOutOfMem();
    return nullptr;
  }
  if (r <= MEM_BLOCK_SIZE && !IsDedicated(b)) return AdjustNodes(b, AllocationIndex(b, p), r);
  return AdjustLarge(b, p, r);
}
