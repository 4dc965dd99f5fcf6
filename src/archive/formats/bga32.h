// The archiver of BGA archives, bound to BGA32.DLL under the prefix "Bga".
#pragma once

#include <memory>
#include <string>

#include "archive/archiver.h"
#include "archive/formats/bound_archiver.h"

namespace archive {

class TBGA32 : public TBoundArchiver<TArchiver, atBga> {
 public:
  static TArchiverDll* BgaDll() { return Binding(); }

  // Extracting and adding follow the caller's response-file flag.
  std::string GetExtractCommand(TWindowHandle window, const std::string& archiveFileName,
                                const TArchiverOptions& options, const std::string& dir,
                                const FileItems& files, bool useResponseFile) override;
  std::string GetAddCommand(TWindowHandle window, const std::string& archiveFileName,
                            const TArchiverOptions& options, const std::string& dir,
                            const FileItems& files, bool useResponseFile) override;
  std::string GetDeleteCommand(TWindowHandle window, const std::string& archiveFileName,
                               const TArchiverOptions& options, const std::string& dir,
                               const FileItems& files, bool useResponseFile) override;
  // Takes its response-file decision from ruOnRemoveItem, so with a response
  // file named the line carries the item of an empty one.
  std::string GetSfxCommand(TWindowHandle window, const std::string& archiveFileName,
                            const TArchiverOptions& options, const std::string& dir) override;

  // The command word, then the BGA switches, the quoted archive and
  // directory, and the file list.
  std::string BuildBgaCommand(const std::string& command, const std::string& archiveFileName,
                              const TArchiverOptions& options, const std::string& dir,
                              const FileItems& files, bool useResponseFile) const;
};

// Whether the file exists and the library opens it as a BGA archive; never
// raises.
bool IsBgaArchive(const std::string& fileName);

}  // namespace archive
