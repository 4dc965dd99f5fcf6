#include "archive/result_text.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "archive/arcapi.h"
#include "rtl/codepage.h"

namespace archive {
namespace {

struct TResultText {
  int Code;
  std::string_view Utf8;
};

constexpr std::array kResultTexts{
    TResultText{arcapi::kErrorDiskSpace, "ディスクの空き容量が足りません"},
    TResultText{arcapi::kErrorReadOnly, "読み出し専用のファイルがあります"},
    TResultText{arcapi::kErrorUserSkip, "飛ばされたファイルがあります"},
    TResultText{arcapi::kErrorUnknownType, "種類のわからないファイルがあります"},
    TResultText{arcapi::kErrorMethod, "対応していない圧縮方式です"},
    TResultText{arcapi::kErrorPasswordFile, "パスワードの必要なファイルです"},
    TResultText{arcapi::kErrorVersion, "対応していない版です"},
    TResultText{arcapi::kErrorFileCrc, "ファイルの CRC が合いません"},
    TResultText{arcapi::kErrorFileOpen, "ファイルを開けません"},
    TResultText{arcapi::kErrorMoreFresh, "より新しいファイルがあります"},
    TResultText{arcapi::kErrorNotExist, "ファイルがありません"},
    TResultText{arcapi::kErrorAlreadyExist, "同じ名前のファイルがあります"},
    TResultText{arcapi::kErrorTooManyFiles, "ファイルが多すぎます"},
    TResultText{arcapi::kErrorMakeDirectory, "ディレクトリを作れません"},
    TResultText{arcapi::kErrorCannotWrite, "書き込めません"},
    TResultText{arcapi::kErrorHuffmanCode, "圧縮データが壊れています"},
    TResultText{arcapi::kErrorHeaderCrc, "ヘッダの CRC が合いません"},
    TResultText{arcapi::kErrorHeaderBroken, "ヘッダが壊れています"},
    TResultText{arcapi::kErrorArchiveFileOpen, "書庫を開けません"},
    TResultText{arcapi::kErrorNotArchiveFile, "書庫ではありません"},
    TResultText{arcapi::kErrorCannotRead, "読み出せません"},
    TResultText{arcapi::kErrorAlreadyRunning, "ほかの処理の最中です"},
    TResultText{arcapi::kErrorUserCancel, "中止されました"},
    TResultText{arcapi::kErrorHandleNotOpened, "書庫が開かれていません"},
    TResultText{arcapi::kErrorNotSearchMode, "検索中ではありません"},
    TResultText{arcapi::kErrorNotSupported, "対応していない操作です"},
};

}  // namespace

std::string ResultText(int code) {
  const auto* found = std::find_if(kResultTexts.begin(), kResultTexts.end(),
                                   [code](const TResultText& entry) { return entry.Code == code; });
  return rtl::Utf8ToAnsi(found != kResultTexts.end() ? found->Utf8 : "不明なエラーです");
}

}  // namespace archive
