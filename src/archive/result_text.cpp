#include "archive/result_text.h"

#include <algorithm>
#include <array>

#include "archive/arcapi.h"
#include "rtl/strtable.h"

namespace archive {
namespace {

struct TResultText {
  int Code;
  rtl::StrId Text;
};

constexpr std::array kResultTexts{
    TResultText{arcapi::kErrorDiskSpace, rtl::SResultDiskSpace},
    TResultText{arcapi::kErrorReadOnly, rtl::SResultReadOnly},
    TResultText{arcapi::kErrorUserSkip, rtl::SResultUserSkip},
    TResultText{arcapi::kErrorUnknownType, rtl::SResultUnknownType},
    TResultText{arcapi::kErrorMethod, rtl::SResultMethod},
    TResultText{arcapi::kErrorPasswordFile, rtl::SResultPasswordFile},
    TResultText{arcapi::kErrorVersion, rtl::SResultVersion},
    TResultText{arcapi::kErrorFileCrc, rtl::SResultFileCrc},
    TResultText{arcapi::kErrorFileOpen, rtl::SResultFileOpen},
    TResultText{arcapi::kErrorMoreFresh, rtl::SResultMoreFresh},
    TResultText{arcapi::kErrorNotExist, rtl::SResultNotExist},
    TResultText{arcapi::kErrorAlreadyExist, rtl::SResultAlreadyExist},
    TResultText{arcapi::kErrorTooManyFiles, rtl::SResultTooManyFiles},
    TResultText{arcapi::kErrorMakeDirectory, rtl::SResultMakeDirectory},
    TResultText{arcapi::kErrorCannotWrite, rtl::SResultCannotWrite},
    TResultText{arcapi::kErrorHuffmanCode, rtl::SResultHuffmanCode},
    TResultText{arcapi::kErrorHeaderCrc, rtl::SResultHeaderCrc},
    TResultText{arcapi::kErrorHeaderBroken, rtl::SResultHeaderBroken},
    TResultText{arcapi::kErrorArchiveFileOpen, rtl::SResultArchiveFileOpen},
    TResultText{arcapi::kErrorNotArchiveFile, rtl::SResultNotArchiveFile},
    TResultText{arcapi::kErrorCannotRead, rtl::SResultCannotRead},
    TResultText{arcapi::kErrorAlreadyRunning, rtl::SResultAlreadyRunning},
    TResultText{arcapi::kErrorUserCancel, rtl::SResultUserCancel},
    TResultText{arcapi::kErrorHandleNotOpened, rtl::SResultHandleNotOpened},
    TResultText{arcapi::kErrorNotSearchMode, rtl::SResultNotSearchMode},
    TResultText{arcapi::kErrorNotSupported, rtl::SResultNotSupported},
};

}  // namespace

std::string ResultText(int code) {
  const auto* found = std::find_if(kResultTexts.begin(), kResultTexts.end(),
                                   [code](const TResultText& entry) { return entry.Code == code; });
  return rtl::LoadStr(found != kResultTexts.end() ? found->Text : rtl::SResultUnknown);
}

}  // namespace archive
