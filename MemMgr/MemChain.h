// MemChain.h - the manager's own index of the chain: the blocks in chain order under a
// tree of their longest free runs, so that first fit finds its block without visiting
// the blocks that cannot hold a request. Private to the memory manager.
#pragma once

#include "MemMgr/MemMgr.h"

#include <cstdint>

namespace memmgr {

// The block's longest run of free nodes, counted up to MEM_SHORT_RUN: 0 for a
// dedicated block.
inline int LongestFree(const MemBlock* b) { return b->LongestFree; }

// Makes room in the index for one more block, so that PushBlock cannot fail. False
// when the memory for it cannot be had.
bool ReserveChainSlot();

// Tells the index that the longest free run of a block in the chain has changed.
void NoteLongestFree(const MemBlock* b);

// The data area of a block in the chain.
struct Extent {
  uintptr_t start;  // pData
  uintptr_t end;    // pData + Size, not part of the area
  MemBlock* block;
  bool dedicated;   // the block is a dedicated one
};

// The extent of the block whose data area holds p, as FindBlock finds the block;
// null when there is none. Read from the index alone, not from the block's header.
const Extent* FindExtent(const void* p);

// The first block along the chain whose longest free run is at least k nodes (k up
// to MEM_SHORT_RUN); null when no block has one.
MemBlock* FirstBlockWithRun(int k);

}  // namespace memmgr
