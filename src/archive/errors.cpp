#include "archive/errors.h"

#include "rtl/codepage.h"

namespace archive {

ESfxNoRequiredFile::ESfxNoRequiredFile(std::string archiveKind, std::string sfxKind,
                                       std::string requiredFile)
    : EArchiver(archiveKind + rtl::Utf8ToAnsi(" 書庫からの") + sfxKind +
                rtl::Utf8ToAnsi("自己解凍書庫の作成には '") + requiredFile +
                rtl::Utf8ToAnsi("' ファイルが必要です。")),
      archiveKind_(std::move(archiveKind)),
      sfxKind_(std::move(sfxKind)),
      requiredFile_(std::move(requiredFile)) {}

}  // namespace archive
