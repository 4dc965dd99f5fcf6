#include "reader.h"

#include <algorithm>
#include <cerrno>

#include "engine_error.h"
#include "host.h"
#include "lzh_reader.h"
#include "rtl/mbcs.h"
#include "stream_check.h"
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

// A lone compressed file is named after the archive without its
// compression extension. The archive's name is a host path: its
// directories end at the host's delimiters ("\\" on Windows) as well as "/".
std::string RawMemberName(const std::string& archivePath) {
  std::string name = BaseName(FromHost(rtl::ExtractFileName(archivePath)));
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    const std::string extension = LowerAscii(name.substr(dot));
    if (extension == ".gz" || extension == ".bz2" || extension == ".z" || extension == ".xz" ||
        extension == ".lzma" || extension == ".lz" || extension == ".zst") {
      return name.substr(0, dot);
    }
  }
  return name + ".out";
}

std::string FilterMethod(archive* handle) {
  switch (archive_filter_code(handle, 0)) {
    case ARCHIVE_FILTER_GZIP:
      return "gzip";
    case ARCHIVE_FILTER_BZIP2:
      return "bzip2";
    case ARCHIVE_FILTER_COMPRESS:
      return "compress";
    case ARCHIVE_FILTER_XZ:
      return "xz";
    case ARCHIVE_FILTER_LZMA:
      return "lzma";
    case ARCHIVE_FILTER_ZSTD:
      return "zstd";
    case ARCHIVE_FILTER_NONE:
      return "-----";
    default:
      return "filter";
  }
}

}  // namespace

std::unique_ptr<MemberReader> OpenMemberReader(Family family, const std::string& hostPath) {
  if (family == Family::Lha) {
    return std::make_unique<LzhReader>(hostPath);
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
    : family_(family), path_(hostPath), archive_(archive_read_new()) {
  platform::FileStatus status;
  if (!platform::GetFileStatus(platform::RealPath(hostPath), status) ||
      status.Kind != platform::EntryKind::File) {
    throw EngineError(arcapi::kErrorArchiveFileOpen, "cannot open the archive " + hostPath);
  }
  if (!archive_) {
    throw EngineError(arcapi::kErrorArchiveFileOpen, "out of memory");
  }
  EnableReadFormats(archive_.get(), family);
  if (OpenArchiveForReading(archive_.get(), hostPath, kReadBlockSize) != ARCHIVE_OK) {
    // libarchive reports an unknown format with EILSEQ, a system failure
    // with its errno, and a compression filter that fails on the data it
    // reads to recognise the format with its own -1.
    const int error = archive_errno(archive_.get());
    const std::string message = ErrorText(archive_.get());
    int code = arcapi::kErrorNotArchiveFile;
    if (error > 0 && error != EILSEQ) {
      code = arcapi::kErrorArchiveFileOpen;
    } else if (error != EILSEQ && family == Family::Tar) {
      code = CompressedStreamFailure(message);
    }
    throw EngineError(code, message);
  }
  if (family == Family::Zip) {
    probe_.Open(hostPath);
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
  if (archive_format(archive_.get()) == ARCHIVE_FORMAT_RAW) {
    member.Name = RawMemberName(path_);
  }
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
  AddFormatFacts(member);
}

void ArchiveReader::AddFormatFacts(Member& member) {
  switch (family_) {
    case Family::Lha:  // read by LzhReader
      break;
    case Family::Zip: {
      if (!zipDirectory_ && probe_.IsOpen()) {
        zipDirectory_ = ZipDirectory::Read(probe_);
      }
      // A damaged local header would put a member under a name the
      // archive does not hold.
      if (zipDirectory_ && !zipDirectory_->Consistent()) {
        throw EngineError(arcapi::kErrorHeaderBroken,
                          "a local header differs from the central directory");
      }
      if (const auto facts = zipDirectory_ ? zipDirectory_->Take(member.Name) : std::nullopt) {
        member.Method = facts->Method;
        member.CompressedSize = facts->Compressed;
        member.Crc = facts->Crc;
        if (facts->Attributes) {
          member.Attributes = *facts->Attributes | (member.IsDirectory() ? kAttributeDirectory : 0);
          member.DosMade = true;
        }
      }
      break;
    }
    case Family::Tar:
      member.Method = FilterMethod(archive_.get());
      if (archive_filter_code(archive_.get(), 0) == ARCHIVE_FILTER_NONE) {
        member.CompressedSize = member.Size;
      }
      break;
    case Family::Cab:
      member.Method = "CAB";
      member.DosMade = true;
      break;
    case Family::Rar:
      member.Method = archive_format(archive_.get()) == ARCHIVE_FORMAT_RAR_V5 ? "RAR5" : "RAR";
      break;
    case Family::SevenZip:
      member.Method = "7z";
      break;
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
