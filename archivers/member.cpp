#include "member.h"

#include <ctime>
#include <limits>

#include "host.h"
#include "text.h"

namespace archivers {
namespace {

constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr std::uint64_t kFileTimeUnitsPerSecond = 10000000;

}  // namespace

bool Member::IsDirectory() const {
  return Type == AE_IFDIR;
}

bool Member::IsRegular() const {
  return Type == AE_IFREG && HardlinkTarget.empty();
}

bool Member::IsSymlink() const {
  return Type == AE_IFLNK;
}

std::uint32_t Member::WindowsAttributes() const {
  if (Attributes) {
    return *Attributes;
  }
  std::uint32_t attributes = IsDirectory() ? kAttributeDirectory : kAttributeArchive;
  if ((Permissions & 0200) == 0) {
    attributes |= kAttributeReadOnly;
  }
  return attributes;
}

mode_t Member::FilePermissions() const {
  if (!DosMade) {
    return Permissions;
  }
  mode_t permissions = (WindowsAttributes() & kAttributeReadOnly) != 0 ? 0444 : 0666;
  const std::size_t dot = Name.rfind('.');
  const std::string extension = dot == std::string::npos ? "" : LowerAscii(Name.substr(dot));
  if (extension == ".exe" || extension == ".com" || extension == ".bat" || extension == ".cmd") {
    permissions |= 0111;
  }
  return permissions;
}

std::optional<std::uint64_t> ToFileTime(std::int64_t seconds, long nanoseconds) {
  if (seconds < -kSecondsFrom1601To1970) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(seconds + kSecondsFrom1601To1970) * kFileTimeUnitsPerSecond +
         static_cast<std::uint64_t>(nanoseconds / 100);
}

DosDateTime ToDosDateTime(const std::optional<std::int64_t>& seconds) {
  if (!seconds) {
    return {};
  }
  std::tm local{};
  if (!ToLocalTime(*seconds, local)) {
    return {};
  }
  const int year = local.tm_year + 1900;
  if (year < 1980 || year > 2107) {
    return {};
  }
  DosDateTime dos;
  dos.Date =
      static_cast<std::uint16_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  dos.Time =
      static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  return dos;
}

std::uint16_t RatioOf(const Member& member) {
  if (!member.CompressedSize || member.Size == 0) {
    return 0;
  }
  const std::uint64_t ratio = *member.CompressedSize * 1000 / member.Size;
  return static_cast<std::uint16_t>(
      std::min<std::uint64_t>(ratio, std::numeric_limits<std::uint16_t>::max()));
}

std::string AttributeText(std::uint32_t attributes) {
  std::string text = "-----";
  const std::string letters = "RHSDA";
  const std::uint32_t bits[] = {kAttributeReadOnly, kAttributeHidden, kAttributeSystem,
                                kAttributeDirectory, kAttributeArchive};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((attributes & bits[i]) != 0) {
      text[i] = letters[i];
    }
  }
  return text;
}

std::uint32_t Clip32(std::uint64_t value) {
  return static_cast<std::uint32_t>(
      std::min<std::uint64_t>(value, std::numeric_limits<std::uint32_t>::max()));
}

void FillMemberRecord(const Member& member, arcapi::TDllMemberInfo& record) {
  record = arcapi::TDllMemberInfo{};
  record.OriginalSize = Clip32(member.Size);
  record.CompressedSize = Clip32(member.CompressedSize.value_or(0));
  record.Crc = member.Crc;
  record.OsType = member.OsType;
  record.Ratio = RatioOf(member);
  const DosDateTime dos = ToDosDateTime(member.ModifiedSeconds);
  record.DosDate = dos.Date;
  record.DosTime = dos.Time;
  CopyField(record.FileName, ToHost(member.Name));
  CopyField(record.Attribute, AttributeText(member.WindowsAttributes()));
  CopyField(record.Method, member.Method);
}

void FillExtractingInfo(const Member& member, const std::string& destination,
                        arcapi::TExtractingInfoEx& info) {
  info = arcapi::TExtractingInfoEx{};
  info.Info.FileSize = Clip32(member.Size);
  CopyField(info.Info.SourceFileName, ToHost(member.Name));
  CopyField(info.Info.DestFileName, destination);
  info.CompressedSize = Clip32(member.CompressedSize.value_or(0));
  info.Crc = member.Crc;
  info.OsType = member.OsType;
  info.Ratio = RatioOf(member);
  const DosDateTime dos = ToDosDateTime(member.ModifiedSeconds);
  info.DosDate = dos.Date;
  info.DosTime = dos.Time;
  CopyField(info.Attribute, AttributeText(member.WindowsAttributes()));
  CopyField(info.Method, member.Method);
}

void FillEnumRecord(const Member& member, std::uint32_t index, EnumMemberRecord& record) {
  record = EnumMemberRecord{};
  record.OriginalSize = member.Size;
  record.CompressedSize = member.CompressedSize.value_or(0);
  record.LastWriteTime = member.WriteTime.value_or(0);
  record.LastAccessTime = member.AccessTime.value_or(0);
  record.CreationTime = member.CreateTime.value_or(0);
  record.Attributes = member.WindowsAttributes();
  record.Index = index;
  const DosDateTime dos = ToDosDateTime(member.ModifiedSeconds);
  record.DosDate = dos.Date;
  record.DosTime = dos.Time;
  record.Ratio = RatioOf(member);
  CopyField(record.Attribute, AttributeText(member.WindowsAttributes()));
  CopyField(record.Method, member.Method);
  CopyField(record.FileName, ToHost(member.Name));
}

}  // namespace archivers
