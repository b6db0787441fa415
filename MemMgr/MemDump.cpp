// MemDump.cpp - prints the memory manager's blocks, maps and allocations for debugging.
#include "MemMgr/MemMgr.h"

#include <cstdint>
#include <cstdio>

namespace {

long AddressOf(const void* p) { return static_cast<long>(reinterpret_cast<intptr_t>(p)); }

constexpr int kMatLine = 64;  // map characters per printed line

void DumpStandard(const MemBlock* b) {
  int blanks = 0;
  for (char c : b->Mat) blanks += c == MEM_MAT_FREE;
  int counted = 0;
  for (const MemNode& node : b->Nodes) counted += node.NodeCnt;
  std::printf("\n============ Block(%li) size(%li) Free(%i) Used(%i) FreeNodeCount(%i) SizeCnt(%i)"
              " <==(%li) (%li)==>\n\tBlock MAT:",
              AddressOf(b), static_cast<long>(b->Size), blanks, MEM_BLOCK_NODES - blanks,
              b->FreeNodes, MEM_BLOCK_NODES - counted, AddressOf(b->pPrev), AddressOf(b->pNext));
  for (int start = 0; start < MEM_BLOCK_NODES; start += kMatLine) {
    char line[kMatLine + 1];
    for (int n = 0; n < kMatLine; ++n) {
      const char c = b->Mat[start + n];
      line[n] = c == MEM_MAT_FREE ? '_' : c;
    }
    line[kMatLine] = '\0';
    std::printf("\n\t%s", line);
  }
  std::printf("\n\n\tAllocated Nodes:\n");
  for (int i = 0; i < MEM_BLOCK_NODES; ++i) {
    const MemNode& node = b->Nodes[i];
    if (node.NodeCnt == 0 || !node.pAddr) continue;
    const int bytes = node.NodeCnt * MEM_NODE_SIZE;
    // The content is shown as text, never read past the allocation's own nodes.
    std::printf("\tMAT index(%6i) Memory Addr(%6li) nodes(%5i) size(%5i) Memory(%.*s)\n", i,
                AddressOf(node.pAddr), node.NodeCnt, bytes, bytes, static_cast<const char*>(node.pAddr));
  }
  std::printf("\n");
}

void DumpDedicated(const MemBlock* b) {
  std::printf("\n============ Dedicated Block(%li) size(%li) FreeNodeCount(%i) <==(%li) (%li)==>",
              AddressOf(b->pData), static_cast<long>(b->Size), b->FreeNodes, AddressOf(b->pPrev),
              AddressOf(b->pNext));
}

}  // namespace

void DumpMem() {
  for (const MemBlock* b = pMemB; b; b = b->pNext) {
    if (b->Size > MEM_BLOCK_SIZE) {
      DumpDedicated(b);
    } else {
      DumpStandard(b);
    }
  }
}
