// Owners of the library and system handles the engine uses.
#pragma once

#include "libraries.h"

#include <memory>

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

}  // namespace archivers
