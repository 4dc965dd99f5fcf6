#include "probe.h"

#include <algorithm>
#include <array>

#include "text.h"

namespace archivers {
namespace {

constexpr std::size_t kZipEndSearch = 65535 + 22;
constexpr std::uint64_t kMaxZipDirectory = 256ULL * 1024 * 1024;

using Bytes = std::vector<unsigned char>;

std::uint32_t Le16(const Bytes& b, std::size_t at) {
  return at + 2 <= b.size() ? static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8)) : 0;
}

std::uint32_t Le32(const Bytes& b, std::size_t at) {
  if (at + 4 > b.size()) {
    return 0;
  }
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint64_t Le64(const Bytes& b, std::size_t at) {
  return static_cast<std::uint64_t>(Le32(b, at)) |
         (static_cast<std::uint64_t>(Le32(b, at + 4)) << 32);
}

std::string ZipMethodName(std::uint32_t method) {
  switch (method) {
    case 0:
      return "Store";
    case 8:
      return "Deflate";
    case 9:
      return "Defl64";
    case 12:
      return "BZip2";
    case 14:
      return "LZMA";
    case 93:
      return "Zstd";
    case 95:
      return "XZ";
    case 98:
      return "PPMd";
    case 99:
      return "AES";
    default:
      return "M" + std::to_string(method);
  }
}

struct ZipEnd {
  std::uint64_t DirectoryStart = 0;
  std::uint64_t DirectorySize = 0;
  // How far a self-extracting stub moved the archive from where its own
  // offsets say it starts.
  std::uint64_t Shift = 0;
};

std::optional<ZipEnd> FindZipEnd(const platform::InputFile& fd, std::uint64_t fileSize) {
  const std::uint64_t tailStart = fileSize > kZipEndSearch ? fileSize - kZipEndSearch : 0;
  const Bytes tail = ReadAt(fd, tailStart, static_cast<std::size_t>(fileSize - tailStart));
  for (std::size_t at = tail.size() >= 22 ? tail.size() - 22 + 1 : 0; at-- > 0;) {
    if (tail[at] != 'P' || tail[at + 1] != 'K' || tail[at + 2] != 5 || tail[at + 3] != 6) {
      continue;
    }
    const std::uint64_t endPosition = tailStart + at;
    ZipEnd end{Le32(tail, at + 16), Le32(tail, at + 12)};
    std::uint64_t directoryEnd = endPosition;
    if (end.DirectoryStart == 0xFFFFFFFF || end.DirectorySize == 0xFFFFFFFF) {
      const Bytes locator = ReadAt(fd, endPosition >= 20 ? endPosition - 20 : 0, 20);
      if (locator.size() == 20 && Le32(locator, 0) == 0x07064B50) {
        const std::uint64_t recordAt = Le64(locator, 8);
        const Bytes record = ReadAt(fd, recordAt, 56);
        if (record.size() == 56 && Le32(record, 0) == 0x06064B50) {
          end = ZipEnd{Le64(record, 48), Le64(record, 40)};
          directoryEnd = recordAt;
        }
      }
    }
    // A self-extracting stub shifts everything; the directory ends where
    // the end record begins.
    if (end.DirectorySize <= directoryEnd &&
        end.DirectoryStart + end.DirectorySize != directoryEnd) {
      const std::uint64_t actual = directoryEnd - end.DirectorySize;
      end.Shift = actual > end.DirectoryStart ? actual - end.DirectoryStart : 0;
      end.DirectoryStart = actual;
    }
    return end;
  }
  return std::nullopt;
}

std::string DecodeZipName(const Bytes& directory, std::size_t at, std::size_t length, bool utf8) {
  std::string raw(reinterpret_cast<const char*>(directory.data() + at), length);
  std::string name = utf8 ? raw : StoredNameToUtf8(raw);
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

// The name of the local header at `position` ("\\" read as "/"), or
// nullopt when no local header is there.
std::optional<std::string> LocalName(const platform::InputFile& fd, std::uint64_t position) {
  const Bytes head = ReadAt(fd, position, 30);
  if (head.size() < 30 || Le32(head, 0) != 0x04034B50) {
    return std::nullopt;
  }
  const Bytes name = ReadAt(fd, position + 30, Le16(head, 26));
  std::string text(name.begin(), name.end());
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

void ApplyZip64(const Bytes& d, std::size_t extra, std::size_t extraLength, std::uint32_t size,
                ZipFacts& facts) {
  std::size_t at = extra;
  while (at + 4 <= extra + extraLength) {
    const std::uint32_t id = Le16(d, at);
    const std::uint32_t length = Le16(d, at + 2);
    if (id == 1) {
      std::size_t field = at + 4;
      if (size == 0xFFFFFFFF) {
        field += 8;
      }
      if (facts.Compressed == 0xFFFFFFFF && field + 8 <= at + 4 + length) {
        facts.Compressed = Le64(d, field);
      }
      return;
    }
    at += 4 + length;
  }
}

}  // namespace

std::vector<unsigned char> ReadAt(const platform::InputFile& file, std::uint64_t position,
                                  std::size_t size) {
  std::vector<unsigned char> bytes(size);
  const std::int64_t got = file.ReadAt(position, bytes.data(), size);
  bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return bytes;
}

ZipDirectory ZipDirectory::Read(const platform::InputFile& fd) {
  ZipDirectory directory;
  const std::uint64_t fileSize = fd.Size();
  if (fileSize == 0) {
    return directory;
  }
  const std::optional<ZipEnd> end = FindZipEnd(fd, fileSize);
  if (!end || end->DirectorySize > kMaxZipDirectory || end->DirectoryStart > fileSize) {
    return directory;
  }
  const Bytes d = ReadAt(fd, end->DirectoryStart, static_cast<std::size_t>(end->DirectorySize));
  std::size_t at = 0;
  while (at + 46 <= d.size() && Le32(d, at) == 0x02014B50) {
    const std::uint32_t madeBy = Le16(d, at + 4) >> 8;
    const std::uint32_t flags = Le16(d, at + 8);
    const std::size_t nameLength = Le16(d, at + 28);
    const std::size_t extraLength = Le16(d, at + 30);
    const std::size_t commentLength = Le16(d, at + 32);
    if (at + 46 + nameLength + extraLength > d.size()) {
      break;
    }
    ZipFacts facts;
    facts.Method = ZipMethodName(Le16(d, at + 10));
    facts.Crc = Le32(d, at + 16);
    facts.Compressed = Le32(d, at + 20);
    ApplyZip64(d, at + 46 + nameLength, extraLength, Le32(d, at + 24), facts);
    // DOS, NTFS and VFAT hosts keep DOS attributes in the low byte.
    if (madeBy == 0 || madeBy == 10 || madeBy == 14) {
      facts.Attributes = Le32(d, at + 38) & 0xFF;
    }
    const std::string name = DecodeZipName(d, at + 46, nameLength, (flags & 0x800) != 0);
    // The reader names a member by its local header; one that says another
    // name than the directory, or is not there, is a broken archive.
    if (const std::uint32_t offset = Le32(d, at + 42); offset != 0xFFFFFFFF) {
      std::string stored(reinterpret_cast<const char*>(d.data() + at + 46), nameLength);
      std::replace(stored.begin(), stored.end(), '\\', '/');
      if (LocalName(fd, offset + end->Shift) != stored) {
        directory.consistent_ = false;
      }
    }
    directory.entries_[name].push_back(std::move(facts));
    at += 46 + nameLength + extraLength + commentLength;
  }
  return directory;
}

std::optional<ZipFacts> ZipDirectory::Take(const std::string& name) {
  const auto found = entries_.find(name);
  if (found == entries_.end()) {
    return std::nullopt;
  }
  std::size_t& next = taken_[name];
  if (next >= found->second.size()) {
    return found->second.back();
  }
  return found->second[next++];
}

}  // namespace archivers
