// Member names of the tests' archives as libarchive takes and gives them:
// the Linux side. libarchive converts between UTF-8 and the names of a
// format in the character set of the calling thread's locale.
#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>  // NOLINT(modernize-deprecated-headers): uselocale is POSIX

#include <string>

namespace testing_support {

// For the scope of writing or reading one archive. Names are UTF-8; with
// `asBytes` they are stored byte for byte, with no character set declared
// (the "C" locale), otherwise in the character set the format declares.
class ArchiveNames {
 public:
  explicit ArchiveNames(bool asBytes)
      : locale_(newlocale(LC_ALL_MASK, asBytes ? "C" : "C.UTF-8", nullptr)) {
    if (locale_ != nullptr) {
      previous_ = uselocale(locale_);
    }
  }
  ~ArchiveNames() {
    if (locale_ != nullptr) {
      uselocale(previous_);
      freelocale(locale_);
    }
  }
  ArchiveNames(const ArchiveNames&) = delete;
  ArchiveNames& operator=(const ArchiveNames&) = delete;

  void SetPathname(archive_entry* entry, const std::string& name) const {
    archive_entry_set_pathname_utf8(entry, name.c_str());
  }
  void SetSymlink(archive_entry* entry, const std::string& name) const {
    archive_entry_set_symlink_utf8(entry, name.c_str());
  }
  void SetHardlink(archive_entry* entry, const std::string& name) const {
    archive_entry_set_hardlink_utf8(entry, name.c_str());
  }
  std::string Pathname(archive_entry* entry) const {
    return Text(archive_entry_pathname_utf8(entry));
  }
  std::string Symlink(archive_entry* entry) const {
    return Text(archive_entry_symlink_utf8(entry));
  }

 private:
  static std::string Text(const char* text) { return text != nullptr ? text : ""; }

  locale_t locale_;
  locale_t previous_ = nullptr;
};

}  // namespace testing_support
