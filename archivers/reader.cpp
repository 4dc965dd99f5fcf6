#include "reader.h"

#include <cerrno>

#include "engine_error.h"
#include "host.h"
#include "platform/fs.h"
#include "text.h"

namespace archivers {
namespace {

constexpr std::size_t kReadBlockSize = std::size_t{256} * 1024;

bool Contains(std::string_view text, std::string_view part) {
  return LowerAscii(text).find(part) != std::string::npos;
}

std::string ErrorText(archive* handle) {
  const char* text = archive_error_string(handle);
  return text != nullptr ? text : "unknown error";
}

int HeaderErrorCode(std::string_view message) {
  if (Contains(message, "crc") || Contains(message, "checksum")) {
    return arcapi::kErrorHeaderCrc;
  }
  return arcapi::kErrorHeaderBroken;
}

}  // namespace

std::unique_ptr<MemberReader> OpenMemberReader(Family family, const std::string& hostPath) {
  if (const auto open = TraitsOf(family).OpenReader) {
    return open(hostPath);
  }
  return std::make_unique<ArchiveReader>(family, hostPath);
}

int DataErrorCode(std::string_view message) {
  if (Contains(message, "crc") || Contains(message, "checksum")) {
    return arcapi::kErrorFileCrc;
  }
  if (Contains(message, "unsupported") || Contains(message, "method")) {
    return arcapi::kErrorMethod;
  }
  if (Contains(message, "encrypt") || Contains(message, "passphrase") ||
      Contains(message, "password")) {
    return arcapi::kErrorPasswordFile;
  }
  if (Contains(message, "truncated") || Contains(message, "premature") ||
      Contains(message, "unexpected end")) {
    return arcapi::kErrorCannotRead;
  }
  if (Contains(message, "huffman") || Contains(message, "invalid") || Contains(message, "bad") ||
      Contains(message, "corrupt") || Contains(message, "damaged")) {
    return arcapi::kErrorHuffmanCode;
  }
  return arcapi::kErrorCannotRead;
}

ArchiveReader::ArchiveReader(Family family, const std::string& hostPath)
    : path_(hostPath), archive_(archive_read_new()) {
  platform::FileStatus status;
  if (!platform::GetFileStatus(platform::RealPath(hostPath), status) ||
      status.Kind != platform::EntryKind::File) {
    throw EngineError(arcapi::kErrorArchiveFileOpen, "cannot open the archive " + hostPath);
  }
  if (!archive_) {
    throw EngineError(arcapi::kErrorArchiveFileOpen, "out of memory");
  }
  const FamilyTraits& traits = TraitsOf(family);
  if (traits.EnableFormats != nullptr) {
    traits.EnableFormats(archive_.get());
  }
  if (OpenArchiveForReading(archive_.get(), hostPath, kReadBlockSize) != ARCHIVE_OK) {
    // libarchive reports an unknown format with EILSEQ, a system failure
    // with its errno, and a compression filter that fails on the data it
    // reads to recognise the format with its own -1.
    const int error = archive_errno(archive_.get());
    const std::string message = ErrorText(archive_.get());
    int code = arcapi::kErrorNotArchiveFile;
    if (error > 0 && error != EILSEQ) {
      code = arcapi::kErrorArchiveFileOpen;
    } else if (error != EILSEQ && traits.FilterFailure != nullptr) {
      code = traits.FilterFailure(message);
    }
    throw EngineError(code, message);
  }
  if (traits.OpenFacts != nullptr) {
    facts_ = traits.OpenFacts(hostPath);
  }
}

bool ArchiveReader::Next(Member& member) {
  const int result = archive_read_next_header(archive_.get(), &entry_);
  if (result == ARCHIVE_EOF) {
    entry_ = nullptr;
    return false;
  }
  // A retry is libarchive skipping a header it cannot accept (a TAR header
  // that fails its checksum) to look for the next: the member would go
  // missing unseen.
  if (result == ARCHIVE_RETRY || result < ARCHIVE_WARN) {
    entry_ = nullptr;
    const std::string message = ErrorText(archive_.get());
    throw EngineError(HeaderErrorCode(message), message);
  }
  // Only a compression filter makes a plain file an archive.
  if (archive_format(archive_.get()) == ARCHIVE_FORMAT_RAW &&
      archive_filter_code(archive_.get(), 0) == ARCHIVE_FILTER_NONE) {
    throw EngineError(arcapi::kErrorNotArchiveFile, "not an archive: " + path_);
  }
  ++index_;
  Describe(member);
  return true;
}

void ArchiveReader::Describe(Member& member) {
  member = Member{};
  archive_entry* e = entry_;
  // libarchive gives the names whose format declares a character set in
  // the thread's UTF-8; the others are told apart here.
  member.Name = EntryNameUtf8(e, EntryName::Path);
  member.SizeKnown = archive_entry_size_is_set(e) != 0;
  member.Size = member.SizeKnown ? static_cast<std::uint64_t>(archive_entry_size(e)) : 0;
  if (archive_entry_mtime_is_set(e) != 0) {
    member.ModifiedSeconds = archive_entry_mtime(e);
    member.WriteTime = ToFileTime(archive_entry_mtime(e), archive_entry_mtime_nsec(e));
  }
  if (archive_entry_atime_is_set(e) != 0) {
    member.AccessTime = ToFileTime(archive_entry_atime(e), archive_entry_atime_nsec(e));
  }
  if (archive_entry_birthtime_is_set(e) != 0) {
    member.CreateTime = ToFileTime(archive_entry_birthtime(e), archive_entry_birthtime_nsec(e));
  }
  member.Type = archive_entry_filetype(e);
  member.Permissions = archive_entry_perm(e);
  member.SymlinkTarget = EntryNameUtf8(e, EntryName::Symlink);
  member.HardlinkTarget = EntryNameUtf8(e, EntryName::Hardlink);
  member.Encrypted = archive_entry_is_encrypted(e) != 0;
  if (facts_) {
    facts_->Add(archive_.get(), member);
  }
}

void ArchiveReader::ReadData(const DataSink& sink) {
  for (;;) {
    const void* data = nullptr;
    std::size_t size = 0;
    la_int64_t offset = 0;
    // Any answer but a block or the end fails the member: the ZIP and
    // 7-Zip readers tell a CRC error only as a warning with the last block.
    const int result = archive_read_data_block(archive_.get(), &data, &size, &offset);
    if (result == ARCHIVE_EOF) {
      return;
    }
    if (result != ARCHIVE_OK) {
      RaiseDataError();
    }
    if (!sink(data, size, offset)) {
      throw ReadCancelled();
    }
  }
}

void ArchiveReader::RaiseDataError() const {
  const std::string message = ErrorText(archive_.get());
  throw EngineError(DataErrorCode(message), message);
}

}  // namespace archivers
