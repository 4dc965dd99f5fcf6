#include "archive/formats/arj32.h"

#include "archive/errors.h"
#include "platform/fs.h"
#include "rtl/codepage.h"

namespace archive {

std::string TArj32::GetExtractCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                      const TArchiverOptions& options, const std::string& dir,
                                      const FileItems& files, bool useResponseFile) {
  return BuildLhaCommand("x", archiveFileName, options, dir, files, useResponseFile);
}

bool IsArjArchive(const std::string& fileName) {
  return TArj32::OpensArchive(fileName, false);
}

}  // namespace archive
