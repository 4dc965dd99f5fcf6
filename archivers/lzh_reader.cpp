#include "lzh_reader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <optional>

#include "engine_error.h"
#include "host.h"
#include "lzh_header.h"
#include "probe.h"

namespace archivers {
namespace {

constexpr std::size_t kBlockSize = std::size_t{64} * 1024;
// How far lhasa looks for the first header behind a self-extracting stub,
// and the largest header it reads (level 3).
constexpr std::uint64_t kStubSearch = std::uint64_t{64} * 1024;
constexpr std::size_t kMaxHeader = std::size_t{1024} * 1024;
constexpr std::uint64_t kFileTimeUnitsPerSecond = 10000000;
constexpr std::uint64_t kSecondsFrom1601To1970 = 11644473600;

// liblhasa's callbacks: C code calls them, so nothing may be thrown.
int ReadSource(void* handle, void* buffer, std::size_t size) noexcept {
  auto& source = *static_cast<LzhSource*>(handle);
  const std::size_t wanted = std::min<std::size_t>(size, INT_MAX);
  std::size_t done = 0;
  while (done < wanted) {
    const std::int64_t got = source.File.ReadAt(source.Position + done,
                                                static_cast<char*>(buffer) + done, wanted - done);
    if (got < 0) {
      return -1;
    }
    if (got == 0) {
      source.PastEnd = true;
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  source.Position += done;
  return static_cast<int>(done);
}

int SkipSource(void* handle, std::size_t size) noexcept {
  auto& source = *static_cast<LzhSource*>(handle);
  source.Position += size;
  if (source.Position > source.Size) {
    source.PastEnd = true;
    return 0;
  }
  return 1;
}

const LHAInputStreamType kSourceType{ReadSource, SkipSource, nullptr};

// A member's compressed data read a second time, straight from the file.
struct DataRange {
  const platform::InputFile* File = nullptr;
  std::uint64_t Position = 0;
  std::uint64_t End = 0;
  bool PastEnd = false;
};

std::size_t ReadRange(void* buffer, std::size_t size, void* handle) noexcept {
  auto& range = *static_cast<DataRange*>(handle);
  const auto wanted = static_cast<std::size_t>(
      std::min<std::uint64_t>(size, range.End > range.Position ? range.End - range.Position : 0));
  std::size_t done = 0;
  while (done < wanted) {
    const std::int64_t got =
        range.File->ReadAt(range.Position + done, static_cast<char*>(buffer) + done, wanted - done);
    if (got <= 0) {
      range.PastEnd = true;
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  range.Position += done;
  return done;
}

std::optional<std::uint64_t> NonZero(std::uint64_t value) {
  return value != 0 ? std::optional<std::uint64_t>(value) : std::nullopt;
}

void AddTimes(const LHAFileHeader& header, Member& member) {
  const bool windows = LHA_FILE_HAVE_EXTRA(&header, LHA_FILE_WINDOWS_TIMESTAMPS);
  if (windows && header.win_modification_time != 0) {
    member.WriteTime = header.win_modification_time;
    member.ModifiedSeconds =
        static_cast<std::int64_t>(header.win_modification_time / kFileTimeUnitsPerSecond) -
        static_cast<std::int64_t>(kSecondsFrom1601To1970);
  } else if (header.timestamp != 0) {
    member.ModifiedSeconds = header.timestamp;
    member.WriteTime = ToFileTime(header.timestamp, 0);
  }
  if (windows) {
    member.AccessTime = NonZero(header.win_access_time);
    member.CreateTime = NonZero(header.win_creation_time);
  }
}

mode_t PermissionsOf(const LHAFileHeader& header, const Member& member) {
  if (LHA_FILE_HAVE_EXTRA(&header, LHA_FILE_UNIX_PERMS)) {
    return static_cast<mode_t>(header.unix_perms & 07777);
  }
  mode_t permissions = member.IsDirectory() ? 0777 : 0666;
  if (member.Attributes && (*member.Attributes & kAttributeReadOnly) != 0) {
    permissions = static_cast<mode_t>(permissions & ~0222U);
  }
  return permissions;
}

void SetTime(archive_entry* entry, const std::optional<std::uint64_t>& fileTime,
             void (*set)(archive_entry*, time_t, long)) {
  if (!fileTime || *fileTime < kSecondsFrom1601To1970 * kFileTimeUnitsPerSecond) {
    return;
  }
  set(entry, static_cast<time_t>(*fileTime / kFileTimeUnitsPerSecond - kSecondsFrom1601To1970),
      static_cast<long>(*fileTime % kFileTimeUnitsPerSecond * 100));
}

}  // namespace

LzhReader::LzhReader(const std::string& hostPath) {
  if (source_.File.Open(hostPath).Failed()) {
    throw EngineError(arcapi::kErrorArchiveFileOpen, "cannot open the archive " + hostPath);
  }
  source_.Size = source_.File.Size();
  stream_.reset(lha_input_stream_new(&kSourceType, &source_));
  reader_.reset(stream_ ? lha_reader_new(stream_.get()) : nullptr);
  if (!reader_) {
    throw EngineError(arcapi::kErrorArchiveFileOpen, "out of memory");
  }
  // The engine writes the members itself: every header comes once, where
  // it is stored.
  lha_reader_set_dir_policy(reader_.get(), LHA_READER_DIR_PLAIN);
  Advance();
  pending_ = true;
}

bool LzhReader::Next(Member& member) {
  if (!pending_) {
    Advance();
  }
  pending_ = false;
  if (header_ == nullptr) {
    return false;
  }
  ++index_;
  Describe(member);
  hasData_ = member.IsRegular();
  MakeEntry(member);
  return true;
}

void LzhReader::Advance() {
  const bool first = index_ == 0;
  if (header_ == nullptr && !first) {
    return;
  }
  // liblhasa skips what is left of the current member's data first.
  const std::uint64_t headerStart = first ? 0 : dataStart_ + header_->compressed_length;
  source_.PastEnd = false;
  header_ = lha_reader_next_file(reader_.get());
  if (header_ != nullptr) {
    dataStart_ = source_.Position;
    if (first) {
      CheckFirstHeaderPlace();
    }
    return;
  }
  // liblhasa answers the end of the archive and a header it cannot decode
  // alike; what lies where the header should start tells them apart.
  if (first) {
    RaiseFirstHeaderFailure();
  }
  if (headerStart > source_.Size) {
    throw EngineError(arcapi::kErrorCannotRead, "the archive ends early");
  }
  const std::vector<unsigned char> next = ReadAt(source_.File, headerStart, 1);
  if (!next.empty() && next.front() != 0) {
    RaiseHeaderFailure(headerStart);
  }
}

void LzhReader::CheckFirstHeaderPlace() const {
  // liblhasa looks past a self-extracting stub for the first header. A file
  // that begins like a header has no stub: when the header found is not at
  // its start, the first header is broken and its member would be lost.
  // Three of the four fixed bytes of a method id suffice, so that one
  // damaged byte still counts as a header.
  const std::vector<unsigned char> start = ReadAt(source_.File, 0, 7);
  if (start.size() < 7) {
    return;
  }
  const std::array<bool, 4> fixed{start[2] == '-', start[3] == 'l' || start[3] == 'p',
                                  start[4] == 'h' || start[4] == 'z' || start[4] == 'm',
                                  start[6] == '-'};
  const auto alike = std::count(fixed.begin(), fixed.end(), true);
  // A PMarc stub begins with "-pms-", which is no method.
  const bool pmarcStub = start[3] == 'p' && start[4] == 'm' && start[5] == 's';
  // Every byte of the header passed through the stream, and nothing after.
  const std::uint64_t foundAt = dataStart_ - header_->raw_data_len;
  if (alike >= 3 && !pmarcStub && foundAt != 0) {
    RaiseHeaderFailure(0);
  }
}

void LzhReader::RaiseFirstHeaderFailure() const {
  const std::vector<unsigned char> start =
      ReadAt(source_.File, 0, static_cast<std::size_t>(kStubSearch) + 24);
  for (std::size_t at = 0; at < start.size(); ++at) {
    if (LooksLikeLzhHeader(ByteSpan(start).subspan(at))) {
      RaiseHeaderFailure(at);
    }
  }
  throw EngineError(arcapi::kErrorNotArchiveFile, "not an LZH archive");
}

void LzhReader::RaiseHeaderFailure(std::uint64_t headerStart) const {
  const std::vector<unsigned char> bytes = ReadAt(source_.File, headerStart, kMaxHeader);
  switch (const int code = LzhHeaderFailure(bytes)) {
    case arcapi::kErrorCannotRead:
      throw EngineError(code, "the archive ends inside a header");
    case arcapi::kErrorHeaderCrc:
      throw EngineError(code, "a header fails its checksum");
    default:
      throw EngineError(code, "a header is broken");
  }
}

void LzhReader::Describe(Member& member) const {
  const LHAFileHeader& header = *header_;
  const ByteSpan raw(header.raw_data, header.raw_data_len);
  const std::string method(header.compress_method);
  member = Member{};
  member.Name = LzhStoredName(raw);
  if (header.symlink_target != nullptr) {
    // Stored as "name|target".
    const std::size_t bar = member.Name.find('|');
    member.SymlinkTarget = bar != std::string::npos ? member.Name.substr(bar + 1) : "";
    member.Name = member.Name.substr(0, bar);
    member.Type = AE_IFLNK;
  } else if (method == LHA_COMPRESS_TYPE_DIR) {
    member.Type = AE_IFDIR;
    if (!member.Name.ends_with('/')) {
      member.Name += '/';
    }
  } else {
    member.Type = AE_IFREG;
  }
  member.Size = header.length;
  member.SizeKnown = true;
  member.CompressedSize = header.compressed_length;
  member.Method = method;
  member.Crc = header.crc;
  member.OsType = header.os_type;
  member.Attributes = LzhAttributes(raw);
  // Only headers written on Unix carry meaningful permissions.
  member.DosMade = header.os_type != LHA_OS_TYPE_UNIX;
  member.Permissions = PermissionsOf(header, member);
  AddTimes(header, member);
}

void LzhReader::MakeEntry(const Member& member) {
  entry_.reset(archive_entry_new());
  if (!entry_) {
    throw EngineError(arcapi::kErrorCannotRead, "out of memory");
  }
  archive_entry* entry = entry_.get();
  SetEntryNameUtf8(entry, EntryName::Path, member.Name);
  archive_entry_set_filetype(entry, member.Type);
  archive_entry_set_perm(entry, member.Permissions);
  // No size: the disk writer would pad a file to it, and a MacLHA member
  // comes out shorter than its header says once its MacBinary header goes.
  SetTime(entry, member.WriteTime, archive_entry_set_mtime);
  SetTime(entry, member.AccessTime, archive_entry_set_atime);
  SetTime(entry, member.CreateTime, archive_entry_set_birthtime);
}

void LzhReader::ReadData(const DataSink& sink) {
  if (header_ == nullptr || !hasData_) {
    return;
  }
  std::string method(header_->compress_method);
  if (lha_decoder_for_name(method.data()) == nullptr) {
    throw EngineError(arcapi::kErrorMethod, "the compression method " + method + " is unknown");
  }
  buffer_.resize(kBlockSize);
  source_.PastEnd = false;
  DataCheck check;
  for (;;) {
    const std::size_t got = lha_reader_read(reader_.get(), buffer_.data(), buffer_.size());
    if (got == 0) {
      break;
    }
    if (!sink(buffer_.data(), got, static_cast<std::int64_t>(check.Length))) {
      throw ReadCancelled();
    }
    check.Length += got;
    check.Crc = LzhCrc16(check.Crc, ByteSpan(buffer_.data(), got));
  }
  Verify(check);
}

void LzhReader::Verify(DataCheck check) {
  // liblhasa strips a MacLHA member's MacBinary header as it reads, but
  // the header's CRC and length cover the data with it: decode it again
  // to see the whole.
  if (header_->os_type == LHA_OS_TYPE_MACOS && check.Length != header_->length &&
      !source_.PastEnd) {
    check = DecodeAgain();
  }
  if (source_.PastEnd) {
    throw EngineError(arcapi::kErrorCannotRead, "the data ends early");
  }
  if (check.Length != header_->length) {
    throw EngineError(arcapi::kErrorHuffmanCode, "the compressed data is broken");
  }
  if (check.Crc != header_->crc) {
    throw EngineError(arcapi::kErrorFileCrc, "CRC error");
  }
}

LzhReader::DataCheck LzhReader::DecodeAgain() {
  std::string method(header_->compress_method);
  DataRange range{&source_.File, dataStart_, dataStart_ + header_->compressed_length};
  const LhaDecoder decoder(
      lha_decoder_new(lha_decoder_for_name(method.data()), ReadRange, &range, header_->length));
  if (!decoder) {
    throw EngineError(arcapi::kErrorCannotRead, "out of memory");
  }
  while (lha_decoder_read(decoder.get(), buffer_.data(), buffer_.size()) > 0) {
  }
  source_.PastEnd = range.PastEnd;
  return DataCheck{lha_decoder_get_length(decoder.get()), lha_decoder_get_crc(decoder.get())};
}

}  // namespace archivers
