// Archives written and read with libarchive for the tests. Kept apart
// from the framework's headers: libarchive's global "struct archive" and
// the framework's namespace of that name cannot meet in one file.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace archivers_test {

struct Item {
  enum Kind { File, Directory, Symlink, Hardlink };
  Item(std::string name, std::string data, Kind type = File, std::string link = "")
      : Name(std::move(name)), Data(std::move(data)), Type(type), Link(std::move(link)) {}

  std::string Name;
  std::string Data;
  Kind Type = File;
  std::string Link;
  std::int64_t Modified = 1704164646;
  std::optional<std::int64_t> Accessed;
  std::optional<std::int64_t> Created;
};

// ZipCp932 stores names in Shift_JIS, ZipUnflagged their UTF-8 bytes
// without the UTF-8 flag; Zip flags them. The Stored formats do not
// compress, so a member's bytes can be found in the archive.
enum class Format { Zip, ZipStored, ZipCp932, ZipUnflagged, Pax, SevenZip, SevenZipStored, Raw };
enum class Filter { None, Gzip, Bzip2, Compress, Xz };

// Writes the items with libarchive; failures are test failures.
void WriteArchive(const std::string& path, Format format, Filter filter,
                  const std::vector<Item>& items);

// A cabinet of stored (uncompressed) files, written by hand: libarchive
// has no CAB writer. `utf8Names` sets the flag that says the names are
// UTF-8; without it the names are written as given (bytes).
void WriteStoredCab(const std::string& path, const std::vector<Item>& items, bool utf8Names);

// Member name to contents (directories end with "/", links read
// "-> target"), read with libarchive.
std::map<std::string, std::string> ReadBack(const std::string& path);

}  // namespace archivers_test
