// Reading an archive of one family member by member, with the failures of
// the reading library turned into the interface's codes. LZH is read by
// liblhasa (lzh_reader.h), every other family by libarchive.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "family.h"
#include "member.h"
#include "raii.h"

namespace archivers {

// Takes a block of the member's data at `offset`; false stops the reading.
using DataSink = std::function<bool(const void* data, std::size_t size, std::int64_t offset)>;

// Raised by ReadData when the sink stops.
struct ReadCancelled {};

class MemberReader {
 public:
  MemberReader() = default;
  virtual ~MemberReader() = default;
  MemberReader(const MemberReader&) = delete;
  MemberReader& operator=(const MemberReader&) = delete;
  MemberReader(MemberReader&&) = delete;
  MemberReader& operator=(MemberReader&&) = delete;

  // The next member; false at the end. A broken header raises (header
  // broken, header CRC).
  virtual bool Next(Member& member) = 0;
  // The current member as a libarchive entry (for the disk writer), valid
  // after Next returned true.
  virtual archive_entry* CurrentEntry() const = 0;
  // 0-based index of the current member.
  virtual std::uint32_t Index() const = 0;
  // Reads the current member's data block by block, to its end and its
  // checks. Raises EngineError with the code of a data failure,
  // ReadCancelled when the sink stops.
  virtual void ReadData(const DataSink& sink) = 0;
};

// The family's reader for the host path: EngineError "archive file open"
// when the file cannot be read, "not an archive file" when it is none of
// the family's formats.
std::unique_ptr<MemberReader> OpenMemberReader(Family family, const std::string& hostPath);

// What a family's format tells of its members beyond libarchive's entry,
// added as each member is read (the family's OpenFacts).
class MemberFacts {
 public:
  MemberFacts() = default;
  virtual ~MemberFacts() = default;
  MemberFacts(const MemberFacts&) = delete;
  MemberFacts& operator=(const MemberFacts&) = delete;
  MemberFacts(MemberFacts&&) = delete;
  MemberFacts& operator=(MemberFacts&&) = delete;

  // May raise EngineError (a header that contradicts the archive's index).
  virtual void Add(archive* reader, Member& member) = 0;
};

// The libarchive reader of the families that have no reader of their own.
class ArchiveReader final : public MemberReader {
 public:
  ArchiveReader(Family family, const std::string& hostPath);

  bool Next(Member& member) override;
  archive_entry* CurrentEntry() const override { return entry_; }
  std::uint32_t Index() const override { return index_ - 1; }
  void ReadData(const DataSink& sink) override;

  archive* Handle() const { return archive_.get(); }

 private:
  [[noreturn]] void RaiseDataError() const;
  void Describe(Member& member);

  std::string path_;
  ReadArchive archive_;
  archive_entry* entry_ = nullptr;
  std::uint32_t index_ = 0;
  std::unique_ptr<MemberFacts> facts_;
};

// The interface code for a libarchive failure message about member data.
int DataErrorCode(std::string_view message);

}  // namespace archivers
