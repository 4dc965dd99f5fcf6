// Reading an archive of one family member by member, with the failures of
// libarchive turned into the interface's codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "family.h"
#include "member.h"
#include "probe.h"
#include "raii.h"

namespace archivers {

class ArchiveReader {
 public:
  // Opens the host path for the family: EngineError "archive file open"
  // when the file cannot be read, "not an archive file" when it is none of
  // the family's formats.
  ArchiveReader(Family family, const std::string& hostPath);

  // The next member; false at the end. A broken header raises (header
  // broken, header CRC).
  bool Next(Member& member);
  // libarchive's current entry, valid after Next returned true.
  archive_entry* CurrentEntry() const { return entry_; }
  archive* Handle() const { return archive_.get(); }
  Family FamilyId() const { return family_; }
  // 0-based index of the current member.
  std::uint32_t Index() const { return index_ - 1; }

  // Reads the current member's data block by block; `sink(data, size,
  // offset)` returns false to stop (the result is then user cancel).
  // Raises EngineError with the code of a data failure.
  template <class Sink>
  void ReadData(Sink&& sink) {
    for (;;) {
      const void* data = nullptr;
      std::size_t size = 0;
      la_int64_t offset = 0;
      const int result = archive_read_data_block(archive_.get(), &data, &size, &offset);
      if (result == ARCHIVE_EOF) {
        return;
      }
      if (result != ARCHIVE_OK) {
        RaiseDataError();
      }
      if (!sink(data, size, offset)) {
        throw EngineCancel();
      }
    }
  }

  // Raised by ReadData when the sink stops.
  struct EngineCancel {};

 private:
  [[noreturn]] void RaiseDataError() const;
  void Describe(Member& member);
  std::string NameOf(const char* stored) const;
  void AddFormatFacts(Member& member);

  Family family_;
  std::string path_;
  ReadArchive archive_;
  archive_entry* entry_ = nullptr;
  std::uint32_t index_ = 0;
  UniqueFd probeFd_;
  std::optional<ZipDirectory> zipDirectory_;
};

// The interface code for a libarchive failure message about member data.
int DataErrorCode(std::string_view message);

}  // namespace archivers
