#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string_view>

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

// The code page of that locale ("Japanese_Japan.932"), as libarchive reads it.
unsigned LocaleCodePage() {
  const char* name = std::setlocale(LC_CTYPE, nullptr);
  const char* dot = name != nullptr ? std::strrchr(name, '.') : nullptr;
  const long number = dot != nullptr ? std::strtol(dot + 1, nullptr, 10) : 0;
  return number > 0 ? static_cast<unsigned>(number) : rtl::AnsiCodePage();
}

// How libarchive hands out stored bytes as UTF-16: decoded in the locale's
// code page, or one character per byte in the "C" locale.
std::u16string LocaleForm(std::string_view bytes) {
  if (InCLocale()) {
    std::u16string form;
    for (const char byte : bytes) {
      form += static_cast<char16_t>(static_cast<unsigned char>(byte));
    }
    return form;
  }
  return rtl::AnsiToWide(bytes, LocaleCodePage());
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

bool ToLocalTime(std::int64_t seconds, std::tm& local) {
  const auto time = static_cast<std::time_t>(seconds);
  return ::localtime_s(&local, &time) == 0;
}

std::string EntryNameUtf8(archive_entry* entry, EntryName which) {
  const wchar_t* wide = StoredWide(entry, which);
  const char* bytes = StoredBytes(entry, which);
  if (wide == nullptr) {
    return bytes != nullptr ? StoredNameToUtf8(bytes) : std::string();
  }
  const std::u16string text(wide, wide + std::wcslen(wide));
  if (bytes == nullptr) {
    return rtl::WideToAnsi(text, rtl::CP_UTF8_);
  }
  // A name stored without a character set comes as its bytes, and as
  // UTF-16 only in the locale's reading of them; a name converted from a
  // declared character set has its real characters in UTF-16 and a lossy
  // form in bytes. UTF-8 bytes are no code page's reading of another name.
  const std::string_view raw(bytes);
  if (!InCLocale() && !IsAscii(raw) && IsValidUtf8(raw)) {
    return std::string(raw);
  }
  if (LocaleForm(raw) == text) {
    return StoredNameToUtf8(raw);
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
