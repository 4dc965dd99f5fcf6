// The archivers of TAR archives and their compressed variants, all three
// bound to TAR32.DLL under the prefix "Tar". A TTgz32 or TBZ232 differs from
// a TTar32 only by its class, which the shared builder and MakeSfx consult.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "archive/archiver.h"
#include "archive/archiver_type.h"
#include "archive/formats/bound_archiver.h"
#include "rtl/mbcs.h"

namespace archive {

// The binding is shared by the three classes.
class TTar32 : public TBoundArchiver<TArchiver, atTar> {
 public:
  static TArchiverDll* TarDll() { return Binding(); }

  // Writes the self-extracting file itself: the stub "kmtarsef.exe" (found
  // along the standard search path) followed by the archive, named like the
  // archive with the extension ".EXE", in `dir` when one is given. Returns
  // 0; the library is not called and `commandLine` and `output` stay as
  // they are. Raises EArchiver for a TBZ232 (before any file is touched),
  // ESfxNoRequiredFile when the stub is missing, and the runtime's file
  // exceptions when a file cannot be opened, created, read or written (a
  // partly written output is removed again).
  int MakeSfx(TWindowHandle window, const std::string& archiveFileName,
              const TArchiverOptions& options, const std::string& dir, std::string& commandLine,
              std::string& output) override;

  // The command word, then the TAR switches (the compression switch by the
  // object's class), "-f" with the quoted archive, "-o" with the quoted
  // directory, and the file list; switch and value are separate items.
  std::string BuildTarCommand(const std::string& command, const std::string& archiveFileName,
                              const TArchiverOptions& options, const std::string& dir,
                              const FileItems& files, bool useResponseFile) const;

 protected:
  std::span<const TCommandPlan> CommandPlans() const override;
  std::string BuildCommand(const TCommandRequest& request) override;
};

// gzip-compressed TAR: "-z", or "-z" with the level in option jm.
class TTgz32 : public TTar32 {};

// bzip2-compressed TAR: "-B", or "-B" with the level in option jm; it
// cannot be made self-extracting.
class TBZ232 : public TTar32 {};

// The library's type code of the file as atTar, atTgz, atBZ2 or atNone;
// never raises.
TArchiverType GetTarArchiveType(const std::string& fileName);

// The name of a self-extracting file made from `archiveFileName`: the name
// with its extension replaced by `extension`, or, when `dir` is given, the
// file-name part of that in `dir`. The first of `delimiters` is the path
// delimiter; every one of them ends a directory part (the last whole
// character counts, so a double-byte trail byte is no delimiter).
std::string SfxFileName(const std::string& archiveFileName, std::string_view extension,
                        const std::string& dir, std::string_view delimiters);
std::string SfxFileName(const std::string& archiveFileName, std::string_view extension,
                        const std::string& dir);

}  // namespace archive
