// MemBlock.cpp - blocks of the memory manager: pages from /dev/zero, the chain of blocks.
#include "MemMgr/MemMgr.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

struct MapState {
  long mapLimit = -1;     // MapBlock calls still allowed to succeed; negative: no limit
  long mappedPieces = 0;  // pieces handed out by MapBlock and not yet given back
};
MapState S;

// Bytes that MapBlock takes for a size: always at least one page more than the
// whole pages the size fills, so a text that runs to the end of a data area
// still meets zero bytes.
size_t MapLength(size_t size) {
  const size_t page = static_cast<size_t>(getpagesize());
  return (size / page + 1) * page;
}

// Gives one piece obtained by MapBlock back to where it came from.
void ReturnPiece(void* p, size_t size, bool fromHeap) {
  if (!p) return;
  --S.mappedPieces;
  if (fromHeap) {
    std::free(p);
    return;
  }
  munmap(p, MapLength(size));
}

}  // namespace

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
  if (!data) {
    // A header without its data area is given back at once: nothing leaks.
    ReturnPiece(b, sizeof(MemBlock), headFromHeap);
    std::fprintf(stderr, "ERROR: %s\n", OutOfMem);
    return nullptr;
  }
  std::memset(static_cast<void*>(b), 0, sizeof(MemBlock));
  std::memset(b->Mat, MEM_MAT_FREE, sizeof b->Mat);
  b->MatEnd = 0;
  b->HeadFromHeap = headFromHeap;
  b->DataFromHeap = MemId < 0;
  PushBlock(b);
  b->Size = static_cast<int32_t>(dataSize);
  b->pData = data;
  b->FreeNodes = MEM_BLOCK_NODES;
  b->LongestFree = MEM_BLOCK_NODES;
  b->FirstFree = 0;
  std::memset(b->FreeBits, 0xFF, sizeof b->FreeBits);
  return b;
}

void PushBlock(MemBlock* b) {
  b->pNext = nullptr;
  b->pPrev = nullptr;
  if (!pMemB) {
    pMemB = b;
    return;
  }
  MemBlock* tail = pMemB;
  while (tail->pNext) tail = tail->pNext;
  tail->pNext = b;
  b->pPrev = tail;
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
}

MemBlock* FindBlock(const void* p) {
  if (!p) return nullptr;
  const auto addr = reinterpret_cast<uintptr_t>(p);
  for (MemBlock* b = pMemB; b; b = b->pNext) {
    const auto start = reinterpret_cast<uintptr_t>(b->pData);
    // The end of the data area is not part of it: a pointer there would name node
    // 2048 of a standard block, which does not exist.
    if (addr >= start && addr - start < static_cast<uintptr_t>(b->Size)) return b;
  }
  return nullptr;
}

void FreeBlock(MemBlock* b) {
  if (!b) return;
  PopBlock(b);
  const bool headFromHeap = b->HeadFromHeap;
  ReturnPiece(b->pData, static_cast<size_t>(b->Size), b->DataFromHeap);
  ReturnPiece(b, sizeof(MemBlock), headFromHeap);
}

int TestMAT(const char* pos, char ch, int count) {
  for (int n = 0; n < count; ++n) {
    if (pos[n] != ch) return 0;
  }
  return 1;
}
