// MemMgr.h - the block memory manager: zero-filled 32-byte nodes in 64 KB blocks.
#pragma once

#include <cstddef>
#include <cstdint>

// Sizes of the manager's units.
constexpr int MEM_NODE_SIZE = 32;          // bytes per node, the unit of allocation
constexpr int MEM_BLOCK_SIZE = 0x10000;    // data area of a standard block
constexpr int MEM_BLOCK_NODES = MEM_BLOCK_SIZE / MEM_NODE_SIZE;  // 2048 nodes
constexpr char MEM_MAT_USED = 'U';         // map character of a node in use
constexpr char MEM_MAT_FREE = ' ';         // map character of a free node

// One allocation record of a standard block, indexed by node number.
struct MemNode {
  uint16_t NodeCnt;  // nodes of the allocation that starts here; 0 when none starts here
  void* pAddr;       // address of that allocation (pData + 32 * index), null when none
};

constexpr int MEM_WORDS = MEM_BLOCK_NODES / 64;  // words of a block's bit maps, 64 nodes each
constexpr int MEM_SHORT_RUN = 64;  // a block's longest free run is counted up to this many nodes

// The bits of 64 nodes of a block's map (node n: word n / 64, bit n % 64).
struct MemWord {
  uint64_t FreeBits;   // 1 for a free node
  uint64_t StartBits;  // 1 where an allocation starts (NodeCnt not 0)
};

// The header of one block; a mapping of its own, apart from the data area. The
// fields between pData and Nodes are the manager's own sums of the map, laid out so
// that a request or a release reads few cache lines: the runs of the block and of
// its words in two lines, the bits of 256 nodes in one.
struct MemBlock {
  MemBlock* pNext;   // next block in the chain, null at the tail
  MemBlock* pPrev;   // previous block, null at the head
  int32_t Size;      // bytes of the data area: 65536, or a multiple of it for a dedicated block
  int32_t Used;      // dedicated block: rounded size in use; 0 in a standard block
  int32_t FreeNodes; // free nodes of a standard block; 0 for a dedicated block
  char* pData;       // the data area
  int32_t ChainPos;  // position of the block in the chain, counted from the head
  bool HeadFromHeap; // the header came from the C library heap (no /dev/zero), not a mapping
  bool DataFromHeap; // the data area came from the C library heap, not a mapping
  // The longest run of free nodes in Mat, counted up to MEM_SHORT_RUN (a longer run
  // counts MEM_SHORT_RUN); 0 in a dedicated block.
  alignas(64) int32_t LongestFree;
  // The free runs of each word of the map, 8 words to a 64-bit read: the free nodes
  // it starts with (then zeros, as if the map went on in use) and ends with, and its
  // longest free run.
  uint8_t WordPre[MEM_WORDS + 8];
  uint8_t WordSuf[MEM_WORDS];
  uint8_t WordBest[MEM_WORDS];
  // Mat as bits, two words for each 64 nodes side by side, as they are read and
  // written together.
  alignas(64) MemWord Words[MEM_WORDS];
  MemNode Nodes[MEM_BLOCK_NODES];  // allocation records by node number (the MAT index)
  char Mat[MEM_BLOCK_NODES];       // 'U' or ' ' per node
  uint32_t MatEnd;   // always 0: terminates Mat so that a free run never passes the last node
};

// The largest data area a block may have (its Size is a signed 32-bit count); a
// request whose rounded size exceeds it is refused as exhausted memory.
constexpr size_t MEM_MAX_BLOCK_SIZE = 0x7FFF0000;

// Head of the chain of blocks; null while no block exists.
extern MemBlock* pMemB;
// Descriptor of /dev/zero, -1 until first opened, then kept open.
extern int MemId;
// The message of exhausted memory: "Unable to allocate memory".
extern const char OutOfMem[];

// Return zero-filled memory of at least n bytes, aligned to 32 bytes within its
// block. Return null when n is 0 or memory is exhausted (after writing
// "ERROR: Unable to allocate memory" to standard error).
void* GetMem(size_t n);

// Release the allocation that starts at p. Null, foreign and interior pointers
// are ignored. A block goes back to the system when its last piece is released.
void PutMem(void* p);

// Resize the allocation at p to n bytes, possibly moving it; contents up to the
// smaller size stay (in whole nodes), added nodes are zero. n of 0 releases p and
// returns null; a null or foreign p, or one that is not the start of an
// allocation, is left alone and gives GetMem(n). When no memory can be had the
// result is null (after the out-of-memory message) and p stays valid and untouched.
void* AdjustMem(void* p, size_t n);

// Print the state of every block to standard output: each standard block with
// its map and its allocations (their content shown as text, never past their
// nodes), each dedicated block on one line.
void DumpMem();

// Block-level operations (used by the manager and its tests).

// Create a block with a data area of max(size, 65536) bytes, all nodes free, and
// append it to the chain. Null on failure, after writing the out-of-memory message.
MemBlock* GetNewBlock(size_t size);
// Zero-filled memory of (size / page size + 1) pages: a private mapping of
// /dev/zero, or from the C library heap while /dev/zero cannot be opened (MemId
// then stays -1). Null on failure. FreeBlock gives a block's two pieces back.
void* MapBlock(size_t size);
// Append a block at the tail of the chain (the head when the chain is empty).
void PushBlock(MemBlock* b);
// Unlink a block from the chain; its own links are cleared.
void PopBlock(MemBlock* b);
// The block whose data area [pData, pData + Size) holds p; null for null or a
// pointer that lies in no block.
MemBlock* FindBlock(const void* p);
// Unlink a block and return its header and data area to the system (unmapped, or
// freed to the heap when they came from it). Null is ignored.
void FreeBlock(MemBlock* b);
// 1 when the count map characters at pos all equal ch (count 0 included), else 0.
// Stops at the first mismatch, so the map's terminator ends any run.
int TestMAT(const char* pos, char ch, int count);
