#include <locale.h>  // NOLINT(modernize-deprecated-headers): uselocale is POSIX

#include "host.h"
#include "text.h"

namespace archivers {
namespace {

const char* Stored(archive_entry* entry, EntryName which) {
  switch (which) {
    case EntryName::Path:
      return archive_entry_pathname(entry);
    case EntryName::Symlink:
      return archive_entry_symlink(entry);
    case EntryName::Hardlink:
      return archive_entry_hardlink(entry);
  }
  return nullptr;
}

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

bool ToLocalTime(std::int64_t seconds, std::tm& local) {
  const auto time = static_cast<std::time_t>(seconds);
  return ::localtime_r(&time, &local) != nullptr;
}

std::string EntryNameUtf8(archive_entry* entry, EntryName which) {
  // In the thread's UTF-8 locale libarchive gives the names whose format
  // declares a character set in UTF-8, the others as stored.
  const char* name = Stored(entry, which);
  return name != nullptr ? StoredNameToUtf8(name) : std::string();
}

void SetEntryNameUtf8(archive_entry* entry, EntryName which, const std::string& utf8) {
  switch (which) {
    case EntryName::Path:
      archive_entry_copy_pathname(entry, utf8.c_str());
      break;
    case EntryName::Symlink:
      archive_entry_copy_symlink(entry, utf8.c_str());
      break;
    case EntryName::Hardlink:
      archive_entry_copy_hardlink(entry, utf8.c_str());
      break;
  }
}

void SetEntryHostPath(archive_entry* entry, const std::string& hostPath) {
  archive_entry_copy_pathname(entry, hostPath.c_str());
}

int OpenArchiveForReading(archive* reader, const std::string& hostPath, std::size_t blockSize) {
  return archive_read_open_filename(reader, hostPath.c_str(), blockSize);
}

int OpenArchiveForWriting(archive* writer, const std::string& hostPath) {
  return archive_write_open_filename(writer, hostPath.c_str());
}

// libarchive converts member names to the current locale's character set,
// and the process-wide locale of the program ("C" unless it sets one)
// cannot hold Japanese names; a thread locale changes nothing for the rest
// of the program.
struct ScopedNameLocale::State {
  locale_t Previous = nullptr;
};

ScopedNameLocale::ScopedNameLocale() : state_(std::make_unique<State>()) {
  if (const locale_t utf8 = SharedUtf8Locale(); utf8 != nullptr) {
    state_->Previous = ::uselocale(utf8);
  }
}

ScopedNameLocale::~ScopedNameLocale() {
  if (state_->Previous != nullptr) {
    ::uselocale(state_->Previous);
  }
}

}  // namespace archivers
