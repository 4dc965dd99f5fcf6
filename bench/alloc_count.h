// Counts the heap bytes a benchmark holds, for peak memory figures. The
// replaced operator new and delete count the program's own allocations;
// the peer libraries are handed the counting functions below as their
// allocators. A block counts with its usable size (what malloc really
// reserved for it, without its header).
#pragma once

#include <cstddef>

namespace bench {

void* CountedMalloc(std::size_t size);
void* CountedRealloc(void* block, std::size_t size);
void CountedFree(void* block);
char* CountedStrdup(const char* text);

// Bytes held now.
std::size_t LiveBytes();
// The most bytes held at once since the last ResetPeak.
std::size_t PeakBytes();
void ResetPeak();

}  // namespace bench
