#include "raii.h"

namespace archivers {

GzipInflater::GzipInflater() {
  // 16 + the largest window: a gzip wrapper, whose CRC-32 and length zlib checks.
  ready_ = inflateInit2(&stream_, 16 + MAX_WBITS) == Z_OK;
}

GzipInflater::~GzipInflater() {
  if (ready_) {
    inflateEnd(&stream_);
  }
}

}  // namespace archivers
