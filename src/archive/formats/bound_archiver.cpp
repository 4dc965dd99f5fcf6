#include "archive/formats/bound_archiver.h"

#include "platform/fs.h"

namespace archive {

bool OpensAsArchive(TCustomArchiverDll& dll, const std::string& fileName, bool mustExist) {
  const std::string fullName = platform::ExpandFileName(fileName);
  if (mustExist && !platform::FileExists(fullName)) {
    return false;
  }
  const TArchiveHandle handle = dll.OpenArchive(nullptr, fullName, kProbeOpenMode);
  dll.CloseArchive(handle);
  return handle != nullptr;
}

}  // namespace archive
