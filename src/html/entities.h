// The character entity references of HTML 4.01: each name with the one UTF-16
// code unit it stands for.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace html {

// One record. Name keeps the case of the standard.
struct TEntity {
  std::string_view Name;
  std::uint16_t Code = 0;
};

inline constexpr int EntityCount = 252;
// What a name the table does not hold stands for: the space character.
inline constexpr std::uint16_t UnknownEntityValue = 32;

// The records sorted by Name (ordinal, case-sensitive), for binary search.
// Constant data, so lookups are safe from any thread.
class TEntList {
 public:
  // `sorted` must satisfy IsValidTable; lookups in any other span stay
  // within it but may miss names.
  constexpr explicit TEntList(std::span<const TEntity> sorted) noexcept : entities_(sorted) {
    std::size_t index = 0;
    for (std::size_t bucket = 0; bucket < kBuckets; ++bucket) {
      bucketStart_[bucket] = index;
      while (index < sorted.size() && BucketOf(sorted[index].Name) == bucket) {
        maxNameLength_ = std::max(maxNameLength_, sorted[index].Name.size());
        ++index;
      }
    }
    bucketStart_[kBuckets] = index;
  }

  // Strictly ascending names, every one starting with an ASCII letter; the
  // shared table is checked at compile time.
  static constexpr bool IsValidTable(std::span<const TEntity> sorted) {
    for (std::size_t i = 0; i < sorted.size(); ++i) {
      if (BucketOf(sorted[i].Name) == kBuckets ||
          (i > 0 && !(sorted[i - 1].Name < sorted[i].Name))) {
        return false;
      }
    }
    return true;
  }

  // The code of the record whose Name equals `name` exactly, or 32.
  std::uint16_t GetEntityValue(std::string_view name) const noexcept;
  // The same for a name held as a wide string; no conversion needed, since
  // every entity name is ASCII.
  std::uint16_t GetEntityValue(std::u16string_view name) const noexcept;

  int Count() const { return static_cast<int>(entities_.size()); }
  // The record at `index` in name order.
  const TEntity& Get(int index) const { return entities_[static_cast<std::size_t>(index)]; }

 private:
  // One bucket per first letter: A to Z, then a to z (their ordinal order);
  // kBuckets for anything else.
  static constexpr std::size_t kBuckets = 52;
  // Wide names are narrowed into a buffer of this size for the lookup.
  static constexpr std::size_t kMaxNameLength = 32;
  static constexpr std::size_t BucketOf(std::string_view name) {
    if (name.empty()) {
      return kBuckets;
    }
    const char c = name[0];
    if (c >= 'A' && c <= 'Z') {
      return static_cast<std::size_t>(c - 'A');
    }
    if (c >= 'a' && c <= 'z') {
      return static_cast<std::size_t>(c - 'a') + 26;
    }
    return kBuckets;
  }

  std::span<const TEntity> entities_;
  std::array<std::size_t, kBuckets + 1> bucketStart_{};
  std::size_t maxNameLength_ = 0;
};

// The shared table, constant-initialised: usable before and after main.
extern const TEntList EntityList;

// Looks up in EntityList.
std::uint16_t GetEntityValue(std::string_view name) noexcept;
std::uint16_t GetEntityValue(std::u16string_view name) noexcept;

// The records in the order of the standard's three sets: HTMLlat1 (96),
// HTMLsymbol (124), HTMLspecial (32).
std::span<const TEntity> EntitiesInStandardOrder() noexcept;

}  // namespace html
