#include "html/dom_arena.h"

// The address sanitizer's poisoning of freed arena memory, where the
// compiler offers it; nothing elsewhere.
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "html/dom_exception.h"

namespace html {

// --- TDomArena ---

// Under the address sanitizer the parts of a chunk that hold no live block
// are poisoned, so a node used after it was freed is caught there too.
void* TDomArena::Allocate(std::size_t size) {
  const std::size_t rounded = Rounded(std::max<std::size_t>(size, 1));
  if (rounded > kLargeBlock) {
    return ::operator new(rounded);
  }
  TFreeBlock*& freeList = freeLists_[rounded / kGranule];
  if (freeList != nullptr) {
    TFreeBlock* const block = freeList;
    ASAN_UNPOISON_MEMORY_REGION(block, rounded);
    freeList = block->next;
    return block;
  }
  return Carve(rounded);
}

void TDomArena::Deallocate(void* block, std::size_t size) noexcept {
  const std::size_t rounded = Rounded(std::max<std::size_t>(size, 1));
  if (rounded > kLargeBlock) {
    ::operator delete(block);
    return;
  }
  TFreeBlock*& freeList = freeLists_[rounded / kGranule];
  // The chunks are byte arrays, which give the link its life here.
  auto* const freed = static_cast<TFreeBlock*>(block);
  freed->next = freeList;
  freeList = freed;
  ASAN_POISON_MEMORY_REGION(freed, rounded);
}

void* TDomArena::Carve(std::size_t rounded) {
  if (static_cast<std::size_t>(limit_ - cursor_) < rounded) {
    // The rest of the old chunk is given up: at most one large block.
    // Chunks double up to kMaxChunk, so small documents stay small.
    const std::size_t size = std::clamp(chunkBytes_, kFirstChunk, kMaxChunk);
    chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(size));
    cursor_ = chunks_.back().get();
    limit_ = cursor_ + size;
    chunkBytes_ += size;
    ASAN_POISON_MEMORY_REGION(cursor_, size);
  }
  std::byte* const block = cursor_;
  cursor_ += rounded;
  ASAN_UNPOISON_MEMORY_REGION(block, rounded);
  return block;
}

// --- TNodeText ---

void TNodeText::Assign(std::u16string_view text, TDomArena* arena) {
  if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw DomException(DomException::DOMSTRING_SIZE_ERR);
  }
  if (text.size() <= kInline) {
    // Copied out first: `text` may be this very text.
    std::array<char16_t, kInline> chars{};
    std::copy(text.begin(), text.end(), chars.begin());
    Release(arena);
    inline_ = chars;
    length_ = static_cast<std::uint32_t>(text.size());
    return;
  }
  // The new block first: `text` may be this very text.
  const std::size_t bytes = BlockBytes(text.size());
  void* const memory = arena != nullptr ? arena->Allocate(bytes) : ::operator new(bytes);
  auto* const chars = static_cast<char16_t*>(memory);
  std::memcpy(chars, text.data(), bytes);
  Release(arena);
  block_ = chars;
  length_ = static_cast<std::uint32_t>(text.size());
}

void TNodeText::FreeBlock(TDomArena* arena) noexcept {
  if (arena != nullptr) {
    arena->Deallocate(block_, BlockBytes(length_));
  } else {
    ::operator delete(block_);
  }
}

}  // namespace html
