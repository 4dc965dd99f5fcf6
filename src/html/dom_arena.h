// The memory of one document: its nodes and their names and texts are
// carved from large chunks instead of one heap block each, which is what
// building a tree of a large page spends most of its time on otherwise.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace html {

// Blocks are carved from chunks that grow up to kMaxChunk. A freed block
// goes onto the free list of its size, which the next request of that size
// takes first, so a document whose nodes come and go reuses its memory.
// Blocks above kLargeBlock come from the heap and go back to it. The chunks
// are freed with the arena: every block in it must be dead by then.
class TDomArena {
 public:
  static constexpr std::size_t kGranule = 8;
  static constexpr std::size_t kLargeBlock = 1024;
  static constexpr std::size_t kFirstChunk = 4096;
  static constexpr std::size_t kMaxChunk = std::size_t{64} * 1024;

  TDomArena() = default;
  TDomArena(const TDomArena&) = delete;
  TDomArena& operator=(const TDomArena&) = delete;
  TDomArena(TDomArena&&) = delete;
  TDomArena& operator=(TDomArena&&) = delete;
  ~TDomArena() = default;

  // A block of at least `size` bytes, aligned for any node. The same size
  // must be given back to Deallocate.
  void* Allocate(std::size_t size);
  void Deallocate(void* block, std::size_t size) noexcept;

  // Bytes of the chunks, for tests and measurements.
  std::size_t ChunkBytes() const noexcept { return chunkBytes_; }

 private:
  struct TFreeBlock {
    TFreeBlock* next;
  };
  static std::size_t Rounded(std::size_t size) noexcept {
    return (size + kGranule - 1) / kGranule * kGranule;
  }
  void* Carve(std::size_t rounded);

  std::array<TFreeBlock*, kLargeBlock / kGranule + 1> freeLists_{};
  std::vector<std::unique_ptr<std::byte[]>> chunks_;
  std::byte* cursor_ = nullptr;
  std::byte* limit_ = nullptr;
  std::size_t chunkBytes_ = 0;
};

// The name or the text of a node. Up to kInline characters stand in the
// object itself; longer ones in a block of the document's arena, or of the
// heap for a node without one (the arena is given to every call that
// allocates or frees). The owner frees it with Release.
class TNodeText {
 public:
  static constexpr std::size_t kInline = 4;

  TNodeText() noexcept : inline_{} {}
  TNodeText(const TNodeText&) = delete;
  TNodeText& operator=(const TNodeText&) = delete;
  TNodeText(TNodeText&&) = delete;
  TNodeText& operator=(TNodeText&&) = delete;
  ~TNodeText() = default;

  std::u16string_view View() const noexcept {
    return {length_ <= kInline ? inline_.data() : block_, length_};
  }
  std::size_t size() const noexcept { return length_; }
  bool empty() const noexcept { return length_ == 0; }
  // DOMSTRING_SIZE_ERR for a text of 2^32 characters or more; the old text
  // stays then.
  void Assign(std::u16string_view text, TDomArena* arena);
  void Release(TDomArena* arena) noexcept {
    if (length_ > kInline) {
      FreeBlock(arena);
    }
    length_ = 0;
  }

 private:
  void FreeBlock(TDomArena* arena) noexcept;
  static std::size_t BlockBytes(std::size_t length) noexcept { return length * sizeof(char16_t); }

  union {
    char16_t* block_;
    std::array<char16_t, kInline> inline_;
  };
  std::uint32_t length_ = 0;
};

}  // namespace html
