#include "alloc_count.h"

#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

// The benchmarks are single-threaded: plain counters suffice.
namespace {

std::size_t liveBytes = 0;
std::size_t peakBytes = 0;

void Added(void* block) {
  liveBytes += ::malloc_usable_size(block);
  peakBytes = std::max(peakBytes, liveBytes);
}

void Removed(void* block) {
  liveBytes -= ::malloc_usable_size(block);
}

}  // namespace

namespace bench {

// NOLINTBEGIN(cppcoreguidelines-no-malloc,cppcoreguidelines-owning-memory): an allocator
void* CountedMalloc(std::size_t size) {
  void* const block = std::malloc(size);
  if (block != nullptr) {
    Added(block);
  }
  return block;
}

void* CountedRealloc(void* block, std::size_t size) {
  const std::size_t before = block != nullptr ? ::malloc_usable_size(block) : 0;
  void* const moved = std::realloc(block, size);
  if (moved != nullptr || size == 0) {
    liveBytes -= before;
    if (moved != nullptr) {
      Added(moved);
    }
  }
  return moved;
}

void CountedFree(void* block) {
  if (block != nullptr) {
    Removed(block);
    std::free(block);
  }
}

char* CountedStrdup(const char* text) {
  const std::size_t size = std::strlen(text) + 1;
  auto* const copy = static_cast<char*>(CountedMalloc(size));
  if (copy != nullptr) {
    std::memcpy(copy, text, size);
  }
  return copy;
}
// NOLINTEND(cppcoreguidelines-no-malloc,cppcoreguidelines-owning-memory)

std::size_t LiveBytes() {
  return liveBytes;
}

std::size_t PeakBytes() {
  return peakBytes;
}

void ResetPeak() {
  peakBytes = liveBytes;
}

}  // namespace bench

// The replaceable global allocation functions; the nothrow and array forms
// of the standard library call these.
void* operator new(std::size_t size) {
  void* const block = bench::CountedMalloc(size == 0 ? 1 : size);
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  return block;
}

void* operator new[](std::size_t size) {
  return ::operator new(size);
}

void operator delete(void* block) noexcept {
  bench::CountedFree(block);
}

void operator delete[](void* block) noexcept {
  bench::CountedFree(block);
}

void operator delete(void* block, std::size_t /*size*/) noexcept {
  bench::CountedFree(block);
}

void operator delete[](void* block, std::size_t /*size*/) noexcept {
  bench::CountedFree(block);
}
