#include "stream_check.h"

#include <vector>

#include "engine_error.h"
#include "families/tar.h"
#include "host.h"
#include "probe.h"
#include "raii.h"
#include "text.h"

namespace archivers {
namespace {

constexpr std::size_t kBlockSize = std::size_t{256} * 1024;

[[noreturn]] void Fail(bool early, const std::string& detail) {
  throw EngineError(early ? arcapi::kErrorCannotRead : arcapi::kErrorFileCrc,
                    std::string("the compressed stream ") +
                        (early ? "ends early" : "fails its check") + " (" + detail + ")");
}

bool EndsEarly(std::string_view message) {
  const std::string lower = LowerAscii(message);
  return lower.find("truncated") != std::string::npos ||
         lower.find("premature") != std::string::npos ||
         lower.find("unexpected end") != std::string::npos;
}

bool StartsGzipMember(const platform::InputFile& fd, std::uint64_t position) {
  const std::vector<unsigned char> magic = ReadAt(fd, position, 2);
  return magic.size() == 2 && magic[0] == 0x1F && magic[1] == 0x8B;
}

// Every gzip member to its trailer; data after the last member that starts
// no other is ignored, as libarchive ignores it.
void CheckGzip(const platform::InputFile& fd) {
  GzipInflater inflater;
  if (!inflater.IsReady()) {
    throw EngineError(arcapi::kErrorCannotRead, "out of memory");
  }
  z_stream& stream = inflater.Stream();
  std::vector<unsigned char> input(kBlockSize);
  std::vector<unsigned char> output(kBlockSize);
  std::uint64_t position = 0;
  bool needInput = true;
  for (;;) {
    if (needInput) {
      const std::int64_t got = fd.ReadAt(position, input.data(), input.size());
      if (got <= 0) {
        Fail(got == 0, got == 0 ? "no gzip trailer" : "read error");
      }
      position += static_cast<std::uint64_t>(got);
      stream.next_in = input.data();
      stream.avail_in = static_cast<uInt>(got);
    }
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    const int result = inflate(&stream, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      if (!StartsGzipMember(fd, position - stream.avail_in)) {
        return;
      }
      inflateReset(&stream);
    } else if (result != Z_OK && result != Z_BUF_ERROR) {
      Fail(false, stream.msg != nullptr ? stream.msg : "gzip data error");
    }
    // A full output buffer may hold back more output of the same input.
    needInput = stream.avail_in == 0 && (result == Z_STREAM_END || stream.avail_out != 0);
  }
}

[[noreturn]] void FailWith(archive* reader) {
  const char* text = archive_error_string(reader);
  const std::string message = text != nullptr ? text : "decompression failed";
  Fail(EndsEarly(message), message);
}

// The decompressed stream as one raw member, read to its end.
void CheckThroughLibarchive(const std::string& hostPath) {
  const ReadArchive reader(archive_read_new());
  if (!reader) {
    throw EngineError(arcapi::kErrorCannotRead, "out of memory");
  }
  tar::EnableCompressionFilters(reader.get());
  archive_read_support_format_raw(reader.get());
  if (OpenArchiveForReading(reader.get(), hostPath, kBlockSize) != ARCHIVE_OK) {
    FailWith(reader.get());
  }
  if (archive_filter_code(reader.get(), 0) == ARCHIVE_FILTER_NONE) {
    return;
  }
  archive_entry* entry = nullptr;
  if (archive_read_next_header(reader.get(), &entry) < ARCHIVE_WARN) {
    FailWith(reader.get());
  }
  for (;;) {
    const void* data = nullptr;
    std::size_t size = 0;
    la_int64_t offset = 0;
    const int result = archive_read_data_block(reader.get(), &data, &size, &offset);
    if (result == ARCHIVE_EOF) {
      return;
    }
    if (result != ARCHIVE_OK) {
      FailWith(reader.get());
    }
  }
}

}  // namespace

int CompressedStreamFailure(std::string_view message) {
  return EndsEarly(message) ? arcapi::kErrorCannotRead : arcapi::kErrorFileCrc;
}

void CheckCompressedStream(const std::string& hostPath) {
  platform::InputFile file;
  if (file.Open(hostPath).Failed()) {
    throw EngineError(arcapi::kErrorArchiveFileOpen, "cannot open the archive " + hostPath);
  }
  if (StartsGzipMember(file, 0)) {
    CheckGzip(file);
  } else {
    CheckThroughLibarchive(hostPath);
  }
}

}  // namespace archivers
