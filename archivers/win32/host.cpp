#include <clocale>
#include <cstring>
#include <cwchar>

#include "host.h"
#include "rtl/codepage.h"
#include "text.h"

namespace archivers {
namespace {

const wchar_t* StoredWide(archive_entry* entry, EntryName which) {
  switch (which) {
    case EntryName::Path:
      return archive_entry_pathname_w(entry);
    case EntryName::Symlink:
      return archive_entry_symlink_w(entry);
    case EntryName::Hardlink:
      return archive_entry_hardlink_w(entry);
  }
  return nullptr;
}

const char* StoredBytes(archive_entry* entry, EntryName which) {
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

std::wstring Wide(std::string_view text, unsigned codePage) {
  const rtl::WideString wide = rtl::AnsiToWide(text, codePage);
  return {wide.begin(), wide.end()};
}

// The C library's locale of the process (the host's, shared with it).
bool InCLocale() {
  const char* name = std::setlocale(LC_CTYPE, nullptr);
  return name == nullptr || std::strcmp(name, "C") == 0;
}

}  // namespace

bool ToLocalTime(std::int64_t seconds, std::tm& local) {
  const auto time = static_cast<std::time_t>(seconds);
  return ::localtime_s(&local, &time) == 0;
}

std::string EntryNameUtf8(archive_entry* entry, EntryName which) {
  const wchar_t* wide = StoredWide(entry, which);
  if (wide == nullptr) {
    const char* bytes = StoredBytes(entry, which);
    return bytes != nullptr ? StoredNameToUtf8(bytes) : std::string();
  }
  const std::u16string text(wide, wide + std::wcslen(wide));
  // In the "C" locale libarchive hands a name stored without a character
  // set over byte for byte, one character per byte; a name it converted
  // from a declared character set has its real characters.
  bool bytes = InCLocale();
  for (const char16_t c : text) {
    bytes = bytes && c <= 0xFF;
  }
  if (bytes) {
    return StoredNameToUtf8(std::string(text.begin(), text.end()));
  }
  return rtl::WideToAnsi(text, rtl::CP_UTF8_);
}

void SetEntryNameUtf8(archive_entry* entry, EntryName which, const std::string& utf8) {
  const std::wstring wide = Wide(utf8, rtl::CP_UTF8_);
  switch (which) {
    case EntryName::Path:
      archive_entry_copy_pathname_w(entry, wide.c_str());
      break;
    case EntryName::Symlink:
      archive_entry_copy_symlink_w(entry, wide.c_str());
      break;
    case EntryName::Hardlink:
      archive_entry_copy_hardlink_w(entry, wide.c_str());
      break;
  }
}

void SetEntryHostPath(archive_entry* entry, const std::string& hostPath) {
  archive_entry_copy_pathname_w(entry, Wide(hostPath, rtl::AnsiCodePage()).c_str());
}

int OpenArchiveForReading(archive* reader, const std::string& hostPath, std::size_t blockSize) {
  return archive_read_open_filename_w(reader, Wide(hostPath, rtl::AnsiCodePage()).c_str(),
                                      blockSize);
}

int OpenArchiveForWriting(archive* writer, const std::string& hostPath) {
  // ZIP names in UTF-8 with the flag that says so: the C locale of a
  // Windows program has no character set for them.
  archive_write_set_format_option(writer, "zip", "hdrcharset", "UTF-8");
  return archive_write_open_filename_w(writer, Wide(hostPath, rtl::AnsiCodePage()).c_str());
}

// Windows programs cannot switch a thread to UTF-8: names pass as UTF-16.
struct ScopedNameLocale::State {};

ScopedNameLocale::ScopedNameLocale() = default;

ScopedNameLocale::~ScopedNameLocale() = default;

}  // namespace archivers
