#include "rtl/strtable.h"

#include <algorithm>
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
// Sorted by id, for the binary search of LoadStr.
constexpr std::array kTable{
    // The runtime.
    Entry{SAssignError, "%s を %s に代入することはできません"},
    Entry{SListIndexOutOfBounds, "List index out of bounds (%d)"},
    Entry{SOSError, "System Error.  Code: %d. %s"},
    Entry{SInvalidFormat, "Format '%s' invalid or incompatible with argument"},
    Entry{SAssertionAt, "%s (%s, %d 行)"},
    Entry{SFOpenError, "Cannot open file \"%s\". %s"},
    Entry{SFOpenErrorBare, "Cannot open file \"%s\"."},
    Entry{SFCreateError, "Cannot create file \"%s\". %s"},
    Entry{SFCreateErrorBare, "Cannot create file \"%s\"."},
    Entry{SFReadError, "Cannot read file \"%s\". %s"},
    Entry{SFReadErrorBare, "Cannot read file \"%s\"."},
    Entry{SFWriteError, "Cannot write file \"%s\". %s"},
    Entry{SFWriteErrorBare, "Cannot write file \"%s\"."},
    Entry{SStreamReadError, "Stream read error"},
    Entry{SStreamWriteError, "Stream write error"},

    // The page reader's wide string lists.
    Entry{SListIndexError, "リストのインデックスが範囲を超えています (%d)"},
    Entry{SSortedListError, "ソートされる文字列リストに対しては許されない動作です"},
    Entry{SDuplicateString, "文字列リストは重複を許しません"},

    // The archive framework.
    Entry{SAbstractLoadDLL, "Abstract method 'TArchiver.LoadDLL' was called"},
    Entry{SAbstractFreeDLL, "Abstract method 'TArchiver.FreeDLL' was called"},
    Entry{SAddNotSupported, "この形式では書庫ファイルの作成をサポートしておりません。"},
    Entry{SDeleteNotSupported, "この形式の書庫ではファイルの削除をサポートしておりません。"},
    Entry{SUpdateNotSupported, "この形式の書庫では書庫の更新をサポートしておりません。"},
    Entry{SSfxNotSupported, "この形式では自己解凍書庫の作成をサポートしておりません。"},
    Entry{SExtractMemNotSupported, "この形式ではメモリ展開をサポートしておりません。"},
    Entry{SFormatNotSet, "書庫の形式を特定できませんでした。"},
    Entry{SFormatUnknown, "書庫の形式を判別できません。"},
    Entry{SEntryNotFound, "%0:s に %1:s のエントリが見つかりません。"},
    Entry{SLibraryRequired, "%0:s を扱うには %1:s が 必要です。"},
    Entry{SSfxFileRequired, "%s 書庫からの%s自己解凍書庫の作成には '%s' ファイルが必要です。"},
    Entry{SSfxTooLarge, "%s は 4GB 以上あるため自己解凍書庫にできません。"},
    Entry{SSfxOutputIsPart, "It is one of the files the self-extracting archive is made from"},
    Entry{SAbstractGetExtractCommand, "Abstract method 'TArchiver.GetExtractCommand' was called"},
    Entry{SAbstractBuildCommand, "Abstract method 'TArchiver.BuildCommand' was called"},

    // The archiver libraries' result codes.
    Entry{SResultDiskSpace, "ディスクの空き容量が足りません"},
    Entry{SResultReadOnly, "読み出し専用のファイルがあります"},
    Entry{SResultUserSkip, "飛ばされたファイルがあります"},
    Entry{SResultUnknownType, "種類のわからないファイルがあります"},
    Entry{SResultMethod, "対応していない圧縮方式です"},
    Entry{SResultPasswordFile, "パスワードの必要なファイルです"},
    Entry{SResultVersion, "対応していない版です"},
    Entry{SResultFileCrc, "ファイルの CRC が合いません"},
    Entry{SResultFileOpen, "ファイルを開けません"},
    Entry{SResultMoreFresh, "より新しいファイルがあります"},
    Entry{SResultNotExist, "ファイルがありません"},
    Entry{SResultAlreadyExist, "同じ名前のファイルがあります"},
    Entry{SResultTooManyFiles, "ファイルが多すぎます"},
    Entry{SResultMakeDirectory, "ディレクトリを作れません"},
    Entry{SResultCannotWrite, "書き込めません"},
    Entry{SResultHuffmanCode, "圧縮データが壊れています"},
    Entry{SResultHeaderCrc, "ヘッダの CRC が合いません"},
    Entry{SResultHeaderBroken, "ヘッダが壊れています"},
    Entry{SResultArchiveFileOpen, "書庫を開けません"},
    Entry{SResultNotArchiveFile, "書庫ではありません"},
    Entry{SResultCannotRead, "読み出せません"},
    Entry{SResultAlreadyRunning, "ほかの処理の最中です"},
    Entry{SResultUserCancel, "中止されました"},
    Entry{SResultHandleNotOpened, "書庫が開かれていません"},
    Entry{SResultNotSearchMode, "検索中ではありません"},
    Entry{SResultNotSupported, "対応していない操作です"},
    Entry{SResultUnknown, "不明なエラーです"},

    // The archive formats.
    Entry{STarFormat, "tar/tgz/taz/bz2 形式書庫"},
    Entry{SRarFormat, "RAR 形式書庫"},
    Entry{SArjFormat, "ARJ 形式書庫"},
    Entry{SZipFormat, "ZIP 形式書庫"},
    Entry{SBgaFormat, "BGA 形式書庫"},
    Entry{SYz1Format, "YZ1 形式書庫"},
    Entry{SCabFormat, "CAB 形式書庫"},
    Entry{SLhaFormat, "LHA 形式書庫"},
    Entry{S7zFormat, "7z 形式書庫"},
    Entry{STarBz2NoSfx, "BZ2 形式書庫は自己解凍形式にできません。"},
    Entry{STarSfxOutputInUse,
          "The process cannot access the file because it is being used by another process"},
    Entry{SLhaJseMissing, "jse オプションが設定されていません。"},
    Entry{SLhaJsoMissing, "jso オプションが設定されていません。"},
    Entry{SZipEntryNotFound, "%0:s のエントリが DLL に見つかりませんでした。"},
    Entry{SZipExtractLibraryRequired,
          "ZIP 形式書庫の解凍には UNZIP32.DLL または LMZIP32.DLL が必要です。"},
    Entry{SZipCreateLibraryRequired,
          "ZIP 形式書庫の作成には ZIP32J.DLL または LMZIP32.DLL が必要です。"},
    Entry{SYz1LibraryRequired, "Yz1 形式書庫を扱うには %s が必要です。"},
    Entry{SYz1EitherLibrary, "%s か %s"},
    Entry{SYz1DosSfxStubRequired, "yz1 書庫からのDOS自己解凍書庫の作成には %s が必要です。"},
    Entry{SYz1Win32SfxStubRequired,
          "yz1 書庫からのWin32自己解凍書庫の作成には yzw32cui.sfx か yzdec.exe が必要です。"},
    Entry{S7z16BitSfx, "16bit SFX を作成することはできません。"},

    // The update tool: banner and usage.
    Entry{SBanner, "ZElUpd.EXE  R.T   ver.0.8"},
    Entry{SUsageSyntax,
          "  usage: ZElUpd.EXE NewZelPath DestZelPath [/DOWNPATH DownPathName] [/DELETE]"},
    Entry{SUsageSource, "         NewZelPath :  新しい ZEl.EXE のある転送元パス"},
    Entry{SUsageSourceArchive, "                       もしくは、新しいZEl.EXEのあるLZHファイル"},
    Entry{SUsageSourcePattern,
          "                       ファイルをzel*.lzhと指定すると一番大きいものを選ぶ"},
    Entry{SUsageSourcePage, "                       ここで %s "},
    Entry{SUsageSourcePageLatest,
          "                       を指定すると最新の.lzhを探しそれを対象とする。"},
    Entry{SUsageDest, "         DestZelPath : 古い ZEl.EXE のある転送先パス"},
    Entry{SUsageDestDefault, "                       省略時は、このEXEのあるパス"},
    Entry{SUsageDownPath,
          "         /DOWNPATH :   NewZelPathで http:// を選んだときにダウンロードした"},
    Entry{SUsageDownPathSaved, "                       最新のファイルを保存するパス"},
    Entry{SUsageDelete, "         /DELETE :     このオプションがあるときは、NewZelPathを削除"},
    Entry{SUsageDeleteIgnored, "                       LZHファイルを指定したときには、無視される"},

    // The update tool: failures, notices and window titles.
    Entry{SErrorCaption, "Error"},
    Entry{SUnhandledException, "Exception %s in module %s: %s"},
    Entry{SInterrupted, "処理が中断されました"},
    Entry{SRestored, " / インストール先は元に戻しました"},
    Entry{SNotRestored, "インストール先[%s]を元に戻せませんでした（%s が残っています）"},
    Entry{SExtractFailed, "書庫[%s]を展開できませんでした (コード 0x%x: %s)"},
    Entry{SNothingExtracted, "書庫[%s]からは何も展開されませんでした"},
    Entry{SRestoredFromBackup, "restored %s from the backup of an interrupted update"},
    Entry{SNotInstalledDotName, "not installed (name begins with a period): %s"},
    Entry{SWaitingForClose, "waiting for the file manager to close"},
    Entry{SWaitingForWritable, "waiting until %s can be written"},
    Entry{SInstallingInto, "installing into %s"},
    Entry{SExtracting, "extracting %s"},
    Entry{SUnitBytes, "bytes"},
    Entry{SUnitFiles, "files"},
    Entry{SConfirmTitle, " 再見確認"},
    Entry{SYesButtonTitle, "はい(&Y)"},

    // The update tool and the directory treatment.
    // 65324 and 65325 have an ideographic space (U+3000) before the system text.
    Entry{SPageDownloadFailed, "ページ[%s]のダウンロードに失敗しました"},
    Entry{SModuleNotFound, "ページ[%s]には\"ろぬ\"のモジュールが見あたりません"},
    Entry{SFileDownloadFailed, "ファイル[%s]のダウンロードに失敗しました"},
    Entry{SNotUpdated, "更新されていないようです"},
    Entry{SCloseFailure, "発見しましたが、クローズに失敗しました"},
    Entry{SDestDirMissing, "インストール先ディレクトリ[%s]が存在しません"},
    Entry{SExecZelFailed, "ろぬの起動に失敗しました %s(%d)"},
    Entry{SArchiveNotFound, "ファイル[%s]が見つかりません"},
    Entry{SCreateDirFailed, "ディレクトリ[%s]の作成に失敗しました"},
    Entry{SFileCheckFailed, "ファイル[%s]のチェックに失敗しました %d"},
    Entry{SFileDeleteFailed, "ファイル[%s]の削除に失敗しました\u3000%s(%d)"},
    Entry{SDirDeleteFailed, "ディレクトリ[%s]の削除に失敗しました\u3000%s(%d)"},
    Entry{SDirMissing, "ディレクトリ[%s]が存在しません"},
    Entry{SFileCopyFailed, "ファイル[%s]をディレクトリ[%s]にコピーできませんでした %s(%d)"},
};

// Strictly ascending ids are unique ones too.
constexpr bool SortedAndUnique() {
  return std::adjacent_find(kTable.begin(), kTable.end(), [](const Entry& a, const Entry& b) {
           return a.id >= b.id;
         }) == kTable.end();
}

constexpr bool EveryTextPresent() {
  return std::none_of(kTable.begin(), kTable.end(),
                      [](const Entry& entry) { return entry.utf8.empty(); });
}

static_assert(SortedAndUnique());
static_assert(EveryTextPresent());

}  // namespace

std::string LoadStr(int id) {
  const auto* found = std::lower_bound(kTable.begin(), kTable.end(), id,
                                       [](const Entry& entry, int key) { return entry.id < key; });
  if (found == kTable.end() || found->id != id) {
    return {};
  }
  return Utf8ToAnsi(found->utf8);
}

}  // namespace rtl
