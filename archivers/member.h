// One archive member as the engine describes it, and the interface records
// made from it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

#include "archive/arcapi.h"
#include "enum_record.h"

namespace archivers {

// Windows file attribute bits.
inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kAttributeHidden = 0x02;
inline constexpr std::uint32_t kAttributeSystem = 0x04;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeArchive = 0x20;

struct Member {
  std::string Name;  // UTF-8, "/" as delimiter
  std::uint64_t Size = 0;
  bool SizeKnown = false;
  std::optional<std::uint64_t> CompressedSize;
  std::optional<std::int64_t> ModifiedSeconds;  // Unix time
  std::optional<std::uint64_t> WriteTime;       // file times, UTC
  std::optional<std::uint64_t> AccessTime;
  std::optional<std::uint64_t> CreateTime;
  mode_t Type = 0;  // AE_IFREG, AE_IFDIR, ...
  mode_t Permissions = 0;
  std::string Method;
  std::uint32_t Crc = 0;
  std::uint32_t OsType = 0;
  std::optional<std::uint32_t> Attributes;  // from the archive, when it keeps them
  std::string SymlinkTarget;                // UTF-8
  std::string HardlinkTarget;               // UTF-8
  bool Encrypted = false;
  // Made on DOS or Windows: the archive keeps no Unix permissions.
  bool DosMade = false;

  bool IsDirectory() const;
  bool IsRegular() const;
  bool IsSymlink() const;
  bool IsHardlink() const { return !HardlinkTarget.empty(); }
  // The archive's attributes, or ones made from the type and permissions.
  std::uint32_t WindowsAttributes() const;
  // The permissions to write a file with. A DOS-made file gets read and
  // write for all (less the umask, read-only when its attribute says so)
  // and is executable when its name says it is a program, as on Windows.
  mode_t FilePermissions() const;
};

// Unix seconds and nanoseconds as a file time (100 ns since 1601 UTC);
// nullopt before 1601.
std::optional<std::uint64_t> ToFileTime(std::int64_t seconds, long nanoseconds);

struct DosDateTime {
  std::uint16_t Date = 0;
  std::uint16_t Time = 0;
};
// In local time; 0 and 0 outside 1980-2107 or without a time.
DosDateTime ToDosDateTime(const std::optional<std::int64_t>& seconds);

// Per mille of the compressed to the original size; 0 when unknown.
std::uint16_t RatioOf(const Member& member);
// "RHSDA": read-only, hidden, system, directory, archive, "-" where absent.
std::string AttributeText(std::uint32_t attributes);

std::uint32_t Clip32(std::uint64_t value);

void FillMemberRecord(const Member& member, arcapi::TDllMemberInfo& record);
// `destination` is the host path being written.
void FillExtractingInfo(const Member& member, const std::string& destination,
                        arcapi::TExtractingInfoEx& info);
void FillEnumRecord(const Member& member, std::uint32_t index, EnumMemberRecord& record);

}  // namespace archivers
