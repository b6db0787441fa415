// MemMgrTesting.h - hooks of the memory manager for its tests and fuzz targets:
// a system that runs out of memory on cue, and a count of what is mapped.
#pragma once

// Let the next count calls of MapBlock succeed and make every later one fail, as
// when the system has no memory left; a negative count (the default) lifts the limit.
void MemSetMapLimit(long count);
// Pieces obtained by MapBlock and not yet given back by FreeBlock (two per block).
long MemMappedPieces();
