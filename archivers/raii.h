// Owners of the library and system handles the engine uses.
#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <lhasa.h>
#include <locale.h>  // NOLINT(modernize-deprecated-headers): uselocale is POSIX
#include <unistd.h>
#include <zlib.h>

#include <memory>
#include <utility>

namespace archivers {

struct ReadArchiveDeleter {
  void operator()(archive* handle) const noexcept { archive_read_free(handle); }
};
struct WriteArchiveDeleter {
  void operator()(archive* handle) const noexcept { archive_write_free(handle); }
};
struct EntryDeleter {
  void operator()(archive_entry* entry) const noexcept { archive_entry_free(entry); }
};

using ReadArchive = std::unique_ptr<archive, ReadArchiveDeleter>;
using WriteArchive = std::unique_ptr<archive, WriteArchiveDeleter>;
using Entry = std::unique_ptr<archive_entry, EntryDeleter>;

struct LhaStreamDeleter {
  void operator()(LHAInputStream* stream) const noexcept { lha_input_stream_free(stream); }
};
struct LhaReaderDeleter {
  void operator()(LHAReader* reader) const noexcept { lha_reader_free(reader); }
};
struct LhaDecoderDeleter {
  void operator()(LHADecoder* decoder) const noexcept { lha_decoder_free(decoder); }
};

// A reader does not own its stream: declare the stream first, so that it
// outlives the reader.
using LhaStream = std::unique_ptr<LHAInputStream, LhaStreamDeleter>;
using LhaReader = std::unique_ptr<LHAReader, LhaReaderDeleter>;
using LhaDecoder = std::unique_ptr<LHADecoder, LhaDecoderDeleter>;

// A zlib inflater for gzip streams, ended when the object goes.
class GzipInflater {
 public:
  GzipInflater();
  ~GzipInflater();
  GzipInflater(const GzipInflater&) = delete;
  GzipInflater& operator=(const GzipInflater&) = delete;

  bool IsReady() const { return ready_; }
  z_stream& Stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ready_ = false;
};

// A file descriptor, closed when the object goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int Get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }

 private:
  void Reset() noexcept {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }

  int fd_ = -1;
};

// Makes the calling thread use a UTF-8 locale for the scope. libarchive
// converts member names to the current locale's character set, and the
// process-wide locale of the program ("C" unless it sets one) cannot hold
// Japanese names; a thread locale changes nothing for the rest of the
// program.
class ScopedUtf8Locale {
 public:
  ScopedUtf8Locale();
  ~ScopedUtf8Locale();
  ScopedUtf8Locale(const ScopedUtf8Locale&) = delete;
  ScopedUtf8Locale& operator=(const ScopedUtf8Locale&) = delete;

 private:
  locale_t previous_ = nullptr;
};

}  // namespace archivers
