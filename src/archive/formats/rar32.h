// The archiver of RAR archives, bound to UNRAR32.DLL under the prefix
// "Unrar". It only extracts.
#pragma once

#include <memory>
#include <string>

#include "archive/archiver.h"
#include "archive/formats/bound_archiver.h"

namespace archive {

class TRar32 : public TBoundArchiver<TArchiver, atRar> {
 public:
  static TArchiverDll* RarDll() { return Binding(); }

  // The command word, then the RAR switches, the quoted archive and
  // directory, and the file list.
  static std::string BuildRarCommand(const std::string& command, const std::string& archiveFileName,
                                     const TArchiverOptions& options, const std::string& dir,
                                     const FileItems& files, bool useResponseFile);

 protected:
  std::span<const TCommandPlan> CommandPlans() const override;
  std::string BuildCommand(const TCommandRequest& request) override;
};

// Whether the library opens the file as a RAR archive; never raises.
bool IsRarArchive(const std::string& fileName);

}  // namespace archive
