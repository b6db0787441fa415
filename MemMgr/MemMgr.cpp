// MemMgr.cpp - the memory manager's requests: zero-filled pieces in 32-byte nodes, first fit.
#include "MemMgr/MemMgr.h"

#include "MemMgr/MemPoison.h"

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

bool IsDedicated(const MemBlock* b) { return b->Size > MEM_BLOCK_SIZE; }

#ifndef NDEBUG
// Checks the bookkeeping of one block: in a standard block FreeNodes equals the
// blanks of the map, the bits mirror the map, the search hints hold, and every
// allocation is a run of 'U' that starts at a record with its length and
// address; the runs cover exactly the nodes in use.
void CheckBlock(const MemBlock* b) {
  assert(b->MatEnd == 0);
  assert(!b->pNext || b->pNext->pPrev == b);
  assert(!b->pPrev || b->pPrev->pNext == b);
  assert(b->pPrev || b == pMemB);
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
  int first = MEM_BLOCK_NODES;
  for (int i = 0; i < MEM_BLOCK_NODES; ++i) {
    const char c = b->Mat[i];
    assert(c == MEM_MAT_FREE || c == MEM_MAT_USED);
    if (c == MEM_MAT_USED) {
      run = 0;
      continue;
    }
    if (first == MEM_BLOCK_NODES) first = i;
    ++blanks;
    ++run;
    if (run > longest) longest = run;
  }
  assert(blanks == b->FreeNodes);
  for (int i = 0; i < MEM_BLOCK_NODES; ++i) {
    assert(((b->FreeBits[i / 64] >> (i % 64)) & 1) == (b->Mat[i] == MEM_MAT_FREE ? 1u : 0u));
  }
  // The search hints may be loose but never wrong.
  assert(b->LongestFree >= longest);
  assert(b->FirstFree <= first);
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

constexpr int kWords = MEM_BLOCK_NODES / 64;

// Bits 0 to n - 1 set (n from 0 to 64).
constexpr uint64_t LowBits(int n) { return n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1; }

// Sets count map characters from node `from` on to ch, and their bits to match.
void SetNodes(MemBlock* b, int from, int count, char ch) {
  std::memset(b->Mat + from, ch, static_cast<size_t>(count));
  while (count > 0) {
    const int bit = from % 64;
    const int n = count < 64 - bit ? count : 64 - bit;
    const uint64_t mask = LowBits(n) << bit;
    uint64_t& word = b->FreeBits[from / 64];
    word = ch == MEM_MAT_FREE ? word | mask : word & ~mask;
    from += n;
    count -= n;
  }
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

// Node number of the leftmost run of k free nodes in a block, the first match
// of k blanks in its map, or -1. The map is read through its bits, 64 nodes at a
// time, from the first node that may be free. A failed search records that no
// run of k exists, so that later requests of k or more pass the block by.
int FindFreeRun(MemBlock* b, int k) {
  if (b->FreeNodes < k || b->LongestFree < k) return -1;
  int carry = 0;  // free nodes that end the words already read
  for (int w = b->FirstFree / 64; w < kWords; ++w) {
    const uint64_t x = b->FreeBits[w];
    if (carry > 0 && k - carry <= 64 && (x & LowBits(k - carry)) == LowBits(k - carry)) return w * 64 - carry;
    if (k <= 64) {
      const uint64_t starts = RunStarts(x, k);
      if (starts) return w * 64 + std::countr_zero(starts);
    }
    carry = x == ~uint64_t{0} ? carry + 64 : std::countl_one(x);
  }
  b->LongestFree = k - 1;
  return -1;
}

// Frees the count nodes at node `from` of a standard block; in sanitizer builds
// they become poisoned, so the caller zeroes them first when it must. The free run
// they join may be the block's longest now, and may be its first.
void FreeRun(MemBlock* b, int from, int count) {
  SetNodes(b, from, count, MEM_MAT_FREE);
  memmgr::Poison(b->pData + from * MEM_NODE_SIZE, static_cast<size_t>(count) * MEM_NODE_SIZE);
  b->FreeNodes += count;
  int start = from;
  while (start > 0 && b->Mat[start - 1] == MEM_MAT_FREE) --start;
  int end = from + count;
  while (end < MEM_BLOCK_NODES && b->Mat[end] == MEM_MAT_FREE) ++end;
  if (end - start > b->LongestFree) b->LongestFree = end - start;
  if (start < b->FirstFree) b->FirstFree = start;
}

// Hands out the k free nodes at node i of a standard block, zeroed.
void* TakeNodes(MemBlock* b, int i, int k) {
  char* addr = b->pData + i * MEM_NODE_SIZE;
  SetNodes(b, i, k, MEM_MAT_USED);
  b->Nodes[i].NodeCnt = static_cast<uint16_t>(k);
  b->Nodes[i].pAddr = addr;
  memmgr::Unpoison(addr, static_cast<size_t>(k) * MEM_NODE_SIZE);
  std::memset(addr, 0, static_cast<size_t>(k) * MEM_NODE_SIZE);
  b->FreeNodes -= k;
  if (i == b->FirstFree) b->FirstFree = i + k;
  CHECK_BLOCK(b);
  return addr;
}

// A request of r bytes above 64 KB: a block of its own, never shared.
void* GetDedicated(size_t r) {
  const size_t blocks = (r + MEM_BLOCK_SIZE - 1) / MEM_BLOCK_SIZE;
  MemBlock* b = GetNewBlock(blocks * MEM_BLOCK_SIZE);
  if (!b) return nullptr;
  // Only the r bytes handed out are the caller's; the rest of the area stays poisoned.
  memmgr::Unpoison(b->pData, r);
  std::memset(b->pData, 0, r);
  SetNodes(b, 0, MEM_BLOCK_NODES, MEM_MAT_USED);
  b->FreeNodes = 0;
  b->LongestFree = 0;
  b->FirstFree = MEM_BLOCK_NODES;
  b->Used = static_cast<int32_t>(r);
  CHECK_BLOCK(b);
  return b->pData;
}

// Node number of p in a standard block when an allocation starts there, else -1.
int AllocationIndex(const MemBlock* b, const void* p) {
  const auto offset = static_cast<size_t>(static_cast<const char*>(p) - b->pData);
  if (offset % MEM_NODE_SIZE != 0) return -1;
  const int i = static_cast<int>(offset / MEM_NODE_SIZE);
  const MemNode& node = b->Nodes[i];
  if (node.NodeCnt == 0 || node.pAddr != p) return -1;
  return i;
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
  MemNode& node = b->Nodes[i];
  const int c = node.NodeCnt;
  char* p = b->pData + i * MEM_NODE_SIZE;
  if (k == c) return p;
  if (k < c) {
    // The released tail goes back zeroed.
    std::memset(p + k * MEM_NODE_SIZE, 0, static_cast<size_t>(c - k) * MEM_NODE_SIZE);
    FreeRun(b, i + k, c - k);
    node.NodeCnt = static_cast<uint16_t>(k);
    CHECK_BLOCK(b);
    return p;
  }
  const int e = k - c;
  if (i + k <= MEM_BLOCK_NODES && TestMAT(b->Mat + i + c, MEM_MAT_FREE, e)) {
    SetNodes(b, i + c, e, MEM_MAT_USED);
    memmgr::Unpoison(p + c * MEM_NODE_SIZE, static_cast<size_t>(e) * MEM_NODE_SIZE);
    std::memset(p + c * MEM_NODE_SIZE, 0, static_cast<size_t>(e) * MEM_NODE_SIZE);
    node.NodeCnt = static_cast<uint16_t>(k);
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
    b->Nodes[j].NodeCnt = static_cast<uint16_t>(k);
    b->Nodes[j].pAddr = dest;
    b->Nodes[i] = MemNode{};
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
                            : static_cast<size_t>(b->Nodes[AllocationIndex(b, p)].NodeCnt) * MEM_NODE_SIZE;
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
  if (!pMemB && !GetNewBlock(MEM_BLOCK_SIZE)) return nullptr;
  // Older blocks come first; a block without room for k nodes is not searched.
  for (MemBlock* b = pMemB; b; b = b->pNext) {
    const int i = FindFreeRun(b, k);
    if (i >= 0) return TakeNodes(b, i, k);
    // The new block is appended and becomes the next one visited.
    if (!b->pNext && !GetNewBlock(MEM_BLOCK_SIZE)) return nullptr;
  }
  return nullptr;
}

void PutMem(void* p) {
  MemBlock* b = FindBlock(p);
  if (!b) return;
  if (IsDedicated(b)) {
    // Only the allocation's own address releases it; a pointer into it does not.
    if (p == b->pData) FreeBlock(b);
    return;
  }
  const int i = AllocationIndex(b, p);
  if (i < 0) return;
  MemNode& node = b->Nodes[i];
  FreeRun(b, i, node.NodeCnt);
  node = MemNode{};
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
