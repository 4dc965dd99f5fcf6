#include "app/entry.h"

#include <array>
#include <string_view>

#include "app/command_line.h"
#include "app/installation.h"
#include "app/zelupd_main.h"
#include "platform/desktop.h"
#include "platform/fs.h"
#include "rtl/codepage.h"
#include "rtl/console.h"
#include "rtl/exceptions.h"
#include "rtl/mbcs.h"

namespace app {
namespace {

constexpr std::string_view kBanner = "ZElUpd.EXE  R.T   ver.0.8";

// The usage text around its line with the download page's address.
constexpr std::array<std::string_view, 4> kUsageHead{{
    "  usage: ZElUpd.EXE NewZelPath DestZelPath [/DOWNPATH DownPathName] [/DELETE]",
    "         NewZelPath :  新しい ZEl.EXE のある転送元パス",
    "                       もしくは、新しいZEl.EXEのあるLZHファイル",
    "                       ファイルをzel*.lzhと指定すると一番大きいものを選ぶ",
}};
constexpr std::array<std::string_view, 7> kUsageTail{{
    "                       を指定すると最新の.lzhを探しそれを対象とする。",
    "         DestZelPath : 古い ZEl.EXE のある転送先パス",
    "                       省略時は、このEXEのあるパス",
    "         /DOWNPATH :   NewZelPathで http:// を選んだときにダウンロードした",
    "                       最新のファイルを保存するパス",
    "         /DELETE :     このオプションがあるときは、NewZelPathを削除",
    "                       LZHファイルを指定したときには、無視される",
}};

void WriteUtf8Line(std::string_view line) {
  rtl::WriteLn(rtl::Utf8ToAnsi(line));
}

void RunUpdate(const TCommandLine& commandLine) {
  // An installation that a killed run left half-done is put back before
  // anything else happens to it.
  if (RestoreInterruptedInstallation(commandLine.DestZelPath)) {
    rtl::WriteErrLn("restored " + rtl::EscapeControlCharacters(commandLine.DestZelPath) +
                    " from the backup of an interrupted update");
  }
  CZelUpd updater;
  switch (SourceKindOf(commandLine.NewZelPath)) {
    case SourceKind::Page:
      updater.UpdateFromPage(commandLine.NewZelPath, commandLine.DestZelPath,
                             commandLine.DeleteSource, commandLine.DownPathName);
      break;
    case SourceKind::Directory:
      updater.UpdateFromDirectory(commandLine.NewZelPath, commandLine.DestZelPath,
                                  commandLine.DeleteSource);
      break;
    case SourceKind::Archive:
      // "/DELETE" never reaches an archive the user named.
      updater.UpdateFromArchive(commandLine.NewZelPath, commandLine.DestZelPath);
      break;
  }
}

}  // namespace

void PrintUsage() {
  WriteUtf8Line(kBanner);
  for (std::string_view line : kUsageHead) {
    WriteUtf8Line(line);
  }
  WriteUtf8Line(std::string("                       ここで ") + kDownloadPageUrl + " ");
  for (std::string_view line : kUsageTail) {
    WriteUtf8Line(line);
  }
}

SourceKind SourceKindOf(const std::string& source) {
  const std::string upper = rtl::UpperCaseAscii(source);
  if (rtl::AnsiPos("HTTP://", upper) != 0 || rtl::AnsiPos("HTTPS://", upper) != 0) {
    return SourceKind::Page;
  }
  std::string delimiters(1, rtl::PathDelim);
  delimiters += '.';
  delimiters += rtl::DriveDelim;
  // An empty source names no directory; it goes on to be reported as a missing archive.
  if (!source.empty() && rtl::LastDelimiter(delimiters, source) == source.size()) {
    return SourceKind::Directory;
  }
  return SourceKind::Archive;
}

int RunZelUpd(const rtl::TStringList& arguments) {
  if (arguments.Count() == 0) {
    PrintUsage();
    return 0;
  }
  const TCommandLine commandLine =
      ParseCommandLine(arguments, rtl::ExtractFilePath(platform::GetModuleFileName()));
  try {
    RunUpdate(commandLine);
  } catch (const rtl::Exception& e) {
    // Names in messages come from archives and pages: never raw controls.
    const std::string message = rtl::EscapeControlCharacters(e.Message());
    rtl::WriteLn(message);
    platform::CurrentDesktop().MessageBox({}, message, "Error", platform::kMbOk);
    return 1;
  }
  return 0;
}

void ReportUnhandled(std::string_view className, std::string_view message) {
  const std::string module = rtl::ExtractFileName(platform::GetModuleFileName());
  rtl::WriteErrLn("Exception " + std::string(className) + " in module " + module + ": " +
                  std::string(message));
}

}  // namespace app
