#include "archive/errors.h"

#include "rtl/format.h"
#include "rtl/strtable.h"

namespace archive {

ESfxNoRequiredFile::ESfxNoRequiredFile(std::string archiveKind, std::string sfxKind,
                                       std::string requiredFile)
    : EArchiver(
          rtl::Format(rtl::LoadStr(rtl::SSfxFileRequired), {archiveKind, sfxKind, requiredFile})),
      archiveKind_(std::move(archiveKind)),
      sfxKind_(std::move(sfxKind)),
      requiredFile_(std::move(requiredFile)) {}

}  // namespace archive
