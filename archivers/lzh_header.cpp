#include "lzh_header.h"

#include <algorithm>
#include <array>
#include <vector>

#include "archive/arcapi.h"
#include "text.h"

namespace archivers {
namespace {

constexpr std::size_t kLevelOffset = 20;
constexpr std::size_t kMinimumHeader = 22;
constexpr std::uint8_t kExtendedCommon = 0x00;
constexpr std::uint8_t kExtendedFileName = 0x01;
constexpr std::uint8_t kExtendedDirectory = 0x02;
constexpr std::uint8_t kDirectoryDelimiter = 0xFF;

constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < table.size(); ++i) {
    unsigned crc = i;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    table[i] = static_cast<std::uint16_t>(crc);
  }
  return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = MakeCrcTable();

std::uint32_t LittleEndian(ByteSpan bytes, std::size_t at, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = size; i-- > 0;) {
    value = (value << 8) | bytes[at + i];
  }
  return value;
}

// Bytes up to the first NUL: a C tool ends every name there.
std::string_view UpToNul(ByteSpan bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return text.substr(0, text.find('\0'));
}

// Calls visit(type, data) for each extended header of the raw header (level
// 1 to 3), in order; a size that leaves the header ends the walk.
template <class Visit>
void ForEachExtendedHeader(ByteSpan raw, Visit&& visit) {
  if (raw.size() < kMinimumHeader) {
    return;
  }
  // Where the size of the first extended header is, and how wide sizes are.
  std::size_t at = 0;
  std::size_t width = 2;
  switch (raw[kLevelOffset]) {
    case 1:
      at = raw[0];
      break;
    case 2:
      at = 24;
      break;
    case 3:
      at = 28;
      width = 4;
      break;
    default:
      return;
  }
  // Each extended header is its type, its data and the size of the next.
  while (at + width <= raw.size()) {
    const std::size_t size = LittleEndian(raw, at, width);
    if (size == 0 || size < width + 1 || size > raw.size() - at - width) {
      return;
    }
    visit(raw[at + width], raw.subspan(at + width + 1, size - width - 1));
    at += size;
  }
}

// A path of 0xFF-delimited components, each converted on its own: 0xFF is
// no Shift_JIS byte. Ends with "/" when not empty.
std::string DirectoryName(ByteSpan data) {
  const std::string_view raw = UpToNul(data);
  if (raw.empty()) {
    return {};
  }
  std::string directory;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = raw.find(static_cast<char>(kDirectoryDelimiter), start);
    directory += ShiftJisToUtf8(raw.substr(start, end - start));
    if (end == std::string_view::npos) {
      break;
    }
    directory += '/';
    start = end + 1;
  }
  if (!directory.empty() && directory.back() != '/') {
    directory += '/';
  }
  return directory;
}

}  // namespace

std::uint16_t LzhCrc16(std::uint16_t crc, ByteSpan bytes) {
  for (const std::uint8_t byte : bytes) {
    crc = static_cast<std::uint16_t>(kCrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8));
  }
  return crc;
}

std::string LzhStoredName(ByteSpan raw) {
  std::string directory;
  std::string file;
  if (raw.size() >= kMinimumHeader && raw[kLevelOffset] <= 1) {
    // The base header's name is the whole path: "\" (and "/") delimit.
    const std::size_t length = std::min<std::size_t>(raw[21], raw.size() - kMinimumHeader);
    file = ShiftJisToUtf8(UpToNul(raw.subspan(kMinimumHeader, length)));
    std::replace(file.begin(), file.end(), '\\', '/');
    const std::size_t slash = file.rfind('/');
    if (slash != std::string::npos) {
      directory = file.substr(0, slash + 1);
      file.erase(0, slash + 1);
    }
  }
  ForEachExtendedHeader(raw, [&](std::uint8_t type, ByteSpan data) {
    if (type == kExtendedFileName) {
      file = ShiftJisToUtf8(UpToNul(data));
    } else if (type == kExtendedDirectory) {
      directory = DirectoryName(data);
    }
  });
  std::string name = directory + file;
  // Windows tools write "\" in extended headers too; after the conversion
  // a "\" is a real one, never the second byte of a character.
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

std::optional<std::uint32_t> LzhAttributes(ByteSpan raw) {
  if (raw.size() < kMinimumHeader || raw[kLevelOffset] > 1) {
    return std::nullopt;
  }
  return raw[19];
}

bool LooksLikeLzhHeader(ByteSpan bytes) {
  if (bytes.size() < kMinimumHeader || bytes[2] != '-' || bytes[6] != '-') {
    return false;
  }
  const std::string_view method(reinterpret_cast<const char*>(bytes.data()) + 3, 3);
  const bool lha = method.starts_with("lh");
  const bool larc = method == "lz4" || method == "lz5" || method == "lzs";
  const bool pmarc = method.starts_with("pm") && method[2] != 's';
  return lha || larc || pmarc;
}

int LzhHeaderFailure(ByteSpan bytes) {
  if (bytes.size() < kMinimumHeader) {
    return arcapi::kErrorCannotRead;
  }
  const unsigned level = bytes[kLevelOffset];
  if (level <= 1) {
    const std::size_t end = std::size_t{bytes[0]} + 2;
    if (bytes.size() < end) {
      return arcapi::kErrorCannotRead;
    }
    unsigned sum = 0;
    for (const std::uint8_t byte : bytes.subspan(2, end - 2)) {
      sum += byte;
    }
    return (sum & 0xFF) != bytes[1] ? arcapi::kErrorHeaderCrc : arcapi::kErrorHeaderBroken;
  }
  const std::size_t size = LittleEndian(bytes, 0, 2);
  if (level != 2 || size < 26) {
    return arcapi::kErrorHeaderBroken;
  }
  if (bytes.size() < size) {
    return arcapi::kErrorCannotRead;
  }
  // The CRC of the whole header, computed with its own field as zeros.
  std::vector<std::uint8_t> header(bytes.begin(),
                                   bytes.begin() + static_cast<std::ptrdiff_t>(size));
  std::optional<std::uint16_t> stored;
  ForEachExtendedHeader(header, [&](std::uint8_t type, ByteSpan data) {
    if (type == kExtendedCommon && data.size() >= 2 && !stored) {
      stored = static_cast<std::uint16_t>(LittleEndian(data, 0, 2));
      const auto at = static_cast<std::size_t>(data.data() - header.data());
      header[at] = 0;
      header[at + 1] = 0;
    }
  });
  if (stored && LzhCrc16(0, header) != *stored) {
    return arcapi::kErrorHeaderCrc;
  }
  return arcapi::kErrorHeaderBroken;
}

}  // namespace archivers
