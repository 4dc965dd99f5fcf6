#include "rtl/strtable.h"

#include <array>
#include <string_view>

#include "rtl/codepage.h"

namespace rtl {
namespace {

struct Entry {
  int id;
  std::string_view utf8;
};

// Kept in UTF-8 here and converted on load, so a CP932 system prints CP932.
// 65324 and 65325 have an ideographic space (U+3000) before the system text.
constexpr std::array<Entry, 14> kTable{{
    {SPageDownloadFailed, "ページ[%s]のダウンロードに失敗しました"},
    {SModuleNotFound, "ページ[%s]には\"ろぬ\"のモジュールが見あたりません"},
    {SFileDownloadFailed, "ファイル[%s]のダウンロードに失敗しました"},
    {SNotUpdated, "更新されていないようです"},
    {SCloseFailure, "発見しましたが、クローズに失敗しました"},
    {SDestDirMissing, "インストール先ディレクトリ[%s]が存在しません"},
    {SExecZelFailed, "ろぬの起動に失敗しました %s(%d)"},
    {SArchiveNotFound, "ファイル[%s]が見つかりません"},
    {SCreateDirFailed, "ディレクトリ[%s]の作成に失敗しました"},
    {SFileCheckFailed, "ファイル[%s]のチェックに失敗しました %d"},
    {SFileDeleteFailed, "ファイル[%s]の削除に失敗しました\u3000%s(%d)"},
    {SDirDeleteFailed, "ディレクトリ[%s]の削除に失敗しました\u3000%s(%d)"},
    {SDirMissing, "ディレクトリ[%s]が存在しません"},
    {SFileCopyFailed, "ファイル[%s]をディレクトリ[%s]にコピーできませんでした %s(%d)"},
}};

}  // namespace

std::string LoadStr(int id) {
  for (const Entry& entry : kTable) {
    if (entry.id == id) {
      return Utf8ToAnsi(entry.utf8);
    }
  }
  return {};
}

}  // namespace rtl
