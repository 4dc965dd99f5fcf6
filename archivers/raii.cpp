#include "raii.h"

namespace archivers {
namespace {

// One UTF-8 locale for the life of the library.
class Utf8Locale {
 public:
  Utf8Locale() : locale_(::newlocale(LC_ALL_MASK, "C.UTF-8", nullptr)) {}
  ~Utf8Locale() {
    if (locale_ != nullptr) {
      ::freelocale(locale_);
    }
  }
  Utf8Locale(const Utf8Locale&) = delete;
  Utf8Locale& operator=(const Utf8Locale&) = delete;

  locale_t Get() const { return locale_; }

 private:
  locale_t locale_;
};

locale_t SharedUtf8Locale() {
  static const Utf8Locale locale;
  return locale.Get();
}

}  // namespace

GzipInflater::GzipInflater() {
  // 16 + the largest window: a gzip wrapper, whose CRC-32 and length zlib checks.
  ready_ = inflateInit2(&stream_, 16 + MAX_WBITS) == Z_OK;
}

GzipInflater::~GzipInflater() {
  if (ready_) {
    inflateEnd(&stream_);
  }
}

ScopedUtf8Locale::ScopedUtf8Locale() {
  if (const locale_t utf8 = SharedUtf8Locale(); utf8 != nullptr) {
    previous_ = ::uselocale(utf8);
  }
}

ScopedUtf8Locale::~ScopedUtf8Locale() {
  if (previous_ != nullptr) {
    ::uselocale(previous_);
  }
}

}  // namespace archivers
