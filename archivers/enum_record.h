// The record the libraries hand to the enumeration callback
// (SetEnumMembersProc64): 1094 bytes, packed, little-endian. Its layout is
// the libraries' own; the program passes it on unread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace archivers {

#pragma pack(push, 1)
struct EnumMemberRecord {
  std::uint64_t OriginalSize;    // 0
  std::uint64_t CompressedSize;  // 8; 0 when the format does not tell
  std::uint64_t LastWriteTime;   // 16; file times (100 ns since 1601 UTC), 0 unknown
  std::uint64_t LastAccessTime;  // 24
  std::uint64_t CreationTime;    // 32
  std::uint32_t Attributes;      // 40; Windows attribute bits
  std::uint32_t Index;           // 44; 0-based position in the archive
  std::uint16_t DosDate;         // 48; local time
  std::uint16_t DosTime;         // 50
  std::uint16_t Ratio;           // 52; per mille
  char Attribute[8];             // 54; as in the member record
  char Method[8];                // 62
  char FileName[1024];           // 70; host code page, NUL-terminated
};
#pragma pack(pop)

static_assert(sizeof(EnumMemberRecord) == 1094);
static_assert(offsetof(EnumMemberRecord, Attributes) == 40);
static_assert(offsetof(EnumMemberRecord, FileName) == 70);

}  // namespace archivers
