// Member names of the tests' archives as libarchive takes and gives them:
// the Windows side. A Windows program cannot put a thread in a UTF-8
// locale; in its "C" locale libarchive keeps names given as bytes byte for
// byte and converts names given as UTF-16 to the character set a format
// declares. (The pax writer of libarchive 3.6.2 still wants a form of each
// name in the locale, which a name beyond Latin-1 has not: the tests' TAR
// archives have ASCII names.)
#pragma once

#include <archive.h>
#include <archive_entry.h>

#include <cwchar>
#include <string>

#include "rtl/codepage.h"

namespace testing_support {

// For the scope of writing or reading one archive. Names are UTF-8; with
// `asBytes` they are stored byte for byte, with no character set declared,
// otherwise in the character set the format declares.
class ArchiveNames {
 public:
  explicit ArchiveNames(bool asBytes) : asBytes_(asBytes) {}

  void SetPathname(archive_entry* entry, const std::string& name) const {
    if (asBytes_) {
      archive_entry_copy_pathname(entry, name.c_str());
    } else {
      archive_entry_copy_pathname_w(entry, Wide(name).c_str());
    }
  }
  void SetSymlink(archive_entry* entry, const std::string& name) const {
    if (asBytes_) {
      archive_entry_copy_symlink(entry, name.c_str());
    } else {
      archive_entry_copy_symlink_w(entry, Wide(name).c_str());
    }
  }
  void SetHardlink(archive_entry* entry, const std::string& name) const {
    if (asBytes_) {
      archive_entry_copy_hardlink(entry, name.c_str());
    } else {
      archive_entry_copy_hardlink_w(entry, Wide(name).c_str());
    }
  }
  std::string Pathname(archive_entry* entry) const {
    return Utf8(archive_entry_pathname_w(entry), archive_entry_pathname(entry));
  }
  std::string Symlink(archive_entry* entry) const {
    return Utf8(archive_entry_symlink_w(entry), archive_entry_symlink(entry));
  }

 private:
  static std::wstring Wide(const std::string& utf8) {
    const rtl::WideString wide = rtl::AnsiToWide(utf8, rtl::CP_UTF8_);
    return {wide.begin(), wide.end()};
  }
  // A name libarchive has no UTF-16 form of is given as its bytes.
  static std::string Utf8(const wchar_t* wide, const char* bytes) {
    if (wide == nullptr) {
      return bytes != nullptr ? bytes : "";
    }
    return rtl::WideToAnsi(std::u16string(wide, wide + std::wcslen(wide)), rtl::CP_UTF8_);
  }

  bool asBytes_;
};

}  // namespace testing_support
