// The archiver of CAB archives, bound to CAB32.DLL under the prefix "Cab".
#pragma once

#include <memory>
#include <string>

#include "archive/archiver.h"
#include "archive/formats/bound_archiver.h"

namespace archive {

class TCab32 : public TBoundArchiver<TArchiver, atCab> {
 public:
  static TArchiverDll* CabDll() { return Binding(); }

  // The command word, then the CAB switches, the quoted archive and
  // directory, and the file list.
  std::string BuildCabCommand(const std::string& command, const std::string& archiveFileName,
                              const TArchiverOptions& options, const std::string& dir,
                              const FileItems& files, bool useResponseFile) const;

 protected:
  std::span<const TCommandPlan> CommandPlans() const override;
  std::string BuildCommand(const TCommandRequest& request) override;
};

// Whether the library opens the file as a CAB archive; never raises.
bool IsCabArchive(const std::string& fileName);

}  // namespace archive
