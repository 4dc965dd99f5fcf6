// The archiver of LHA archives, bound to UNLHA32.DLL under the prefix "Unlha".
#pragma once

#include <memory>
#include <string>

#include "archive/archiver.h"
#include "archive/formats/bound_archiver.h"

namespace archive {

class TLha32 : public TBoundArchiver<TArchiver, atLha> {
 public:
  // Loads the format's library; ENoArchiverDLL when it is missing.
  TLha32() = default;

  static TArchiverDll* LhaDll() { return Binding(); }

  std::string GetExtractCommand(TWindowHandle window, const std::string& archiveFileName,
                                const TArchiverOptions& options, const std::string& dir,
                                const FileItems& files, bool useResponseFile) override;
  std::string GetAddCommand(TWindowHandle window, const std::string& archiveFileName,
                            const TArchiverOptions& options, const std::string& dir,
                            const FileItems& files, bool useResponseFile) override;
  std::string GetDeleteCommand(TWindowHandle window, const std::string& archiveFileName,
                               const TArchiverOptions& options, const std::string& dir,
                               const FileItems& files, bool useResponseFile) override;
  std::string GetUpdateCommand(TWindowHandle window, const std::string& archiveFileName,
                               const TArchiverOptions& options, const std::string& dir,
                               const FileItems& files, bool useResponseFile) override;
  std::string GetSfxCommand(TWindowHandle window, const std::string& archiveFileName,
                            const TArchiverOptions& options, const std::string& dir) override;
  std::string GetExtractMemCommand(TWindowHandle window, const std::string& archiveFileName,
                                   const TArchiverOptions& options,
                                   const std::string& memberName) override;

  // The command word, then the options' switches in their fixed order, the
  // quoted archive and directory, and the file list.
  std::string BuildLhaCommand(const std::string& command, const std::string& archiveFileName,
                              const TArchiverOptions& options, const std::string& dir,
                              const FileItems& files, bool useResponseFile);

 protected:
  // For a format that shares the LHA builders but has a library of its own.
  explicit TLha32(TNoLoad tag) : TBoundArchiver(tag) {}
};

// Whether the file is an LHA archive by the library's own check; never raises.
bool IsLhaArchive(const std::string& fileName);

}  // namespace archive
