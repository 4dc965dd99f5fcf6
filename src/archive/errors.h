// Failures the archive classes raise themselves, each with a ready message.
#pragma once

#include <string>

#include "rtl/exceptions.h"

namespace archive {

class EArchiver : public rtl::Exception {
 public:
  using Exception::Exception;
  std::string_view ClassName() const noexcept override { return "EArchiver"; }
};

// The format's library could not be loaded.
class ENoArchiverDLL : public EArchiver {
 public:
  using EArchiver::EArchiver;
  std::string_view ClassName() const noexcept override { return "ENoArchiverDLL"; }
};

// A required entry is missing from the loaded library.
class EEntryNotFound : public EArchiver {
 public:
  using EArchiver::EArchiver;
  std::string_view ClassName() const noexcept override { return "EEntryNotFound"; }
};

// A file that a self-extracting archive is built from is missing.
class ESfxNoRequiredFile : public EArchiver {
 public:
  ESfxNoRequiredFile(std::string archiveKind, std::string sfxKind, std::string requiredFile);
  std::string_view ClassName() const noexcept override { return "ESfxNoRequiredFile"; }

  const std::string& ArchiveKind() const { return archiveKind_; }
  const std::string& SfxKind() const { return sfxKind_; }
  const std::string& RequiredFile() const { return requiredFile_; }

 private:
  std::string archiveKind_;
  std::string sfxKind_;
  std::string requiredFile_;
};

}  // namespace archive
