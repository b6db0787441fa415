// MemMgr.cpp - the memory manager's requests: zero-filled pieces in 32-byte nodes, first fit.
#include "MemMgr/MemMgr.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

bool IsDedicated(const MemBlock* b) { return b->Size > MEM_BLOCK_SIZE; }

#ifndef NDEBUG
// Checks the bookkeeping of one block: in a standard block FreeNodes equals the
// blanks of the map, and every allocation is a run of 'U' that starts at a record
// with its length and address; the runs cover exactly the nodes in use.
void CheckBlock(const MemBlock* b) {
  assert(b->MatEnd == 0);
  assert(!b->pNext || b->pNext->pPrev == b);
  assert(!b->pPrev || b->pPrev->pNext == b);
  assert(b->pPrev || b == pMemB);
  if (IsDedicated(b)) {
    assert(b->FreeNodes == 0);
    assert(b->Used > 0);
    assert(b->Used <= b->Size);
    return;
  }
  assert(b->Size == MEM_BLOCK_SIZE && b->Used == 0);
  int blanks = 0;
  for (char c : b->Mat) {
    assert(c == MEM_MAT_FREE || c == MEM_MAT_USED);
    blanks += c == MEM_MAT_FREE;
  }
  assert(blanks == b->FreeNodes);
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

// Node number of the leftmost run of k free nodes in a block's map, or -1.
int FindFreeRun(const MemBlock* b, int k) {
  const char* mat = b->Mat;
  int pos = 0;
  while (MEM_BLOCK_NODES - pos >= k) {
    // A run must start early enough to fit before the end of the map.
    const auto* blank = static_cast<const char*>(
        std::memchr(mat + pos, MEM_MAT_FREE, static_cast<size_t>(MEM_BLOCK_NODES - pos - k + 1)));
    if (!blank) return -1;
    const auto* used = static_cast<const char*>(std::memchr(blank, MEM_MAT_USED, static_cast<size_t>(k)));
    if (!used) return static_cast<int>(blank - mat);
    pos = static_cast<int>(used - mat) + 1;
  }
  return -1;
}

// Hands out the k free nodes at node i of a standard block, zeroed.
void* TakeNodes(MemBlock* b, int i, int k) {
  char* addr = b->pData + i * MEM_NODE_SIZE;
  std::memset(b->Mat + i, MEM_MAT_USED, static_cast<size_t>(k));
  b->Nodes[i].NodeCnt = static_cast<uint16_t>(k);
  b->Nodes[i].pAddr = addr;
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
  std::memset(b->pData, 0, r);
  std::memset(b->Mat, MEM_MAT_USED, sizeof b->Mat);
  b->FreeNodes = 0;
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
    std::memset(b->Mat + i + k, MEM_MAT_FREE, static_cast<size_t>(c - k));
    std::memset(p + k * MEM_NODE_SIZE, 0, static_cast<size_t>(c - k) * MEM_NODE_SIZE);
    node.NodeCnt = static_cast<uint16_t>(k);
    b->FreeNodes += c - k;
    CHECK_BLOCK(b);
    return p;
  }
  const int e = k - c;
  if (i + k <= MEM_BLOCK_NODES && TestMAT(b->Mat + i + c, MEM_MAT_FREE, e)) {
    std::memset(b->Mat + i + c, MEM_MAT_USED, static_cast<size_t>(e));
    std::memset(p + c * MEM_NODE_SIZE, 0, static_cast<size_t>(e) * MEM_NODE_SIZE);
    node.NodeCnt = static_cast<uint16_t>(k);
    b->FreeNodes -= e;
    CHECK_BLOCK(b);
    return p;
  }
  if (i >= e && TestMAT(b->Mat + i - e, MEM_MAT_FREE, e)) {
    const int j = i - e;
    char* dest = b->pData + j * MEM_NODE_SIZE;
    std::memset(b->Mat + j, MEM_MAT_USED, static_cast<size_t>(e));
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
    const size_t keep = IsDedicated(b)
                            ? static_cast<size_t>(b->Size)
                            : static_cast<size_t>(b->Nodes[AllocationIndex(b, p)].NodeCnt) * MEM_NODE_SIZE;
    std::memcpy(q, p, keep);
    PutMem(p);
    return q;
  }
  // A dedicated block large enough keeps its place and its mapping: only the part
  // that changes hands is zeroed, the released tail or the newly used part.
  const auto used = static_cast<size_t>(b->Used);
  if (r < used) std::memset(b->pData + r, 0, used - r);
  if (r > used) std::memset(b->pData + used, 0, r - used);
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
  // Older blocks come first; a block whose FreeNodes is too small is not searched.
  for (MemBlock* b = pMemB; b; b = b->pNext) {
    if (b->FreeNodes >= k) {
      const int i = FindFreeRun(b, k);
      if (i >= 0) return TakeNodes(b, i, k);
    }
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
  std::memset(b->Mat + i, MEM_MAT_FREE, node.NodeCnt);
  b->FreeNodes += node.NodeCnt;
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
