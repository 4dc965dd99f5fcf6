// Facts libarchive keeps to itself, read from the archive's own headers:
// the method, compressed size, CRC and attributes of the ZIP members from
// the central directory. Every read is bounded; a directory that does not
// parse gives nothing, never an error.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/fs.h"

namespace archivers {

// Up to `size` bytes of the file at `position`; fewer at its end.
std::vector<unsigned char> ReadAt(const platform::InputFile& file, std::uint64_t position,
                                  std::size_t size);

struct ZipFacts {
  std::string Method;
  std::uint64_t Compressed = 0;
  std::uint32_t Crc = 0;
  std::optional<std::uint32_t> Attributes;
};

class ZipDirectory {
 public:
  // Reads the central directory of the file; empty when there is none.
  static ZipDirectory Read(const platform::InputFile& file);
  // The facts of the next member of that UTF-8 name ("/" as delimiter).
  std::optional<ZipFacts> Take(const std::string& name);
  // Whether every member's local header is where the directory says and
  // bears the same name.
  bool Consistent() const { return consistent_; }

 private:
  bool consistent_ = true;
  std::map<std::string, std::vector<ZipFacts>> entries_;
  std::map<std::string, std::size_t> taken_;
};

}  // namespace archivers
