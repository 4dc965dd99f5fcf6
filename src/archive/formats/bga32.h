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

  // The command word, then the BGA switches, the quoted archive and
  // directory, and the file list.
  std::string BuildBgaCommand(const std::string& command, const std::string& archiveFileName,
                              const TArchiverOptions& options, const std::string& dir,
                              const FileItems& files, bool useResponseFile) const;

 protected:
  std::span<const TCommandPlan> CommandPlans() const override;
  std::string BuildCommand(const TCommandRequest& request) override;
};

// Whether the file exists and the library opens it as a BGA archive; never
// raises.
bool IsBgaArchive(const std::string& fileName);

}  // namespace archive
