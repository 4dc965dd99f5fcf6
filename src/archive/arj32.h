// The archiver of ARJ archives, bound to UNARJ32J.DLL under the prefix
// "Unarj". It shares the LHA command lines: only extraction is its own, and
// every other operation sends the LHA line to the ARJ library.
#pragma once

#include <memory>
#include <string>

#include "archive/lha32.h"

namespace archive {

class TArj32 : public TLha32 {
 public:
  // Loads the ARJ library (never the LHA one); ENoArchiverDLL when it is
  // missing.
  TArj32();

  // The process-wide binding: created and loaded by the first LoadDLL,
  // kept (even when loading failed) until FreeDLL.
  static void LoadDLL();
  static void FreeDLL();
  static TArchiverDll* ArjDll();

  TCustomArchiverDll& ArchiverDll() const override;
  void EnsureDLL() override;

  // The LHA extraction line; unlike LHA it follows the caller's
  // response-file flag.
  std::string GetExtractCommand(TWindowHandle window, const std::string& archiveFileName,
                                const TArchiverOptions& options, const std::string& dir,
                                const FileItems& files, bool useResponseFile) override;
};

// Whether the library opens the file as an ARJ archive; never raises.
bool IsArjArchive(const std::string& fileName);

}  // namespace archive
