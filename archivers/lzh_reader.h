// Reading LZH archives with liblhasa: every method it decodes, every header
// level and OS variant it reads, MacBinary headers of MacLHA archives
// stripped as it strips them. The names, and what a header that does not
// decode means, the engine reads from the raw headers itself
// (lzh_header.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "reader.h"

namespace archivers {

// The archive file as liblhasa reads it: the position of the next byte it
// gets tells where each header and its data lie.
struct LzhSource {
  platform::InputFile File;
  std::uint64_t Size = 0;
  std::uint64_t Position = 0;
  // A read or a skip ran past the end of the file.
  bool PastEnd = false;
};

class LzhReader final : public MemberReader {
 public:
  // Reads the first header: EngineError "archive file open" when the file
  // cannot be read, "not an archive file" when no LZH header is found in
  // its first 64 KiB (the reach of lhasa's search behind a stub), header
  // broken or header CRC when the one found does not decode.
  explicit LzhReader(const std::string& hostPath);

  bool Next(Member& member) override;
  archive_entry* CurrentEntry() const override { return entry_.get(); }
  std::uint32_t Index() const override { return index_ - 1; }
  void ReadData(const DataSink& sink) override;

 private:
  // The length and CRC-16 of decoded data.
  struct DataCheck {
    std::uint64_t Length = 0;
    std::uint16_t Crc = 0;
  };

  void Advance();
  [[noreturn]] void RaiseFirstHeaderFailure() const;
  void CheckFirstHeaderPlace() const;
  [[noreturn]] void RaiseHeaderFailure(std::uint64_t headerStart) const;
  void Describe(Member& member) const;
  void MakeEntry(const Member& member);
  void Verify(DataCheck check);
  DataCheck DecodeAgain();

  LzhSource source_;
  LhaStream stream_;
  LhaReader reader_;
  LHAFileHeader* header_ = nullptr;  // owned by reader_; null at the end
  bool pending_ = false;             // header_ was read but not yet handed out
  bool hasData_ = false;             // the current member is a file
  std::uint64_t dataStart_ = 0;
  std::uint32_t index_ = 0;
  Entry entry_;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace archivers
