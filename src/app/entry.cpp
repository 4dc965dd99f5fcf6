#include "app/entry.h"

#include <array>
#include <string_view>

#include "app/command_line.h"
#include "app/installation.h"
#include "app/zelupd_main.h"
#include "platform/desktop.h"
#include "platform/fs.h"
#include "rtl/console.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "rtl/mbcs.h"
#include "rtl/strtable.h"

namespace app {
namespace {

// The usage text around its line with the download page's address.
constexpr std::array kUsageHead{rtl::SBanner, rtl::SUsageSyntax, rtl::SUsageSource,
                                rtl::SUsageSourceArchive, rtl::SUsageSourcePattern};
constexpr std::array kUsageTail{
    rtl::SUsageSourcePageLatest, rtl::SUsageDest,   rtl::SUsageDestDefault,  rtl::SUsageDownPath,
    rtl::SUsageDownPathSaved,    rtl::SUsageDelete, rtl::SUsageDeleteIgnored};

void RunUpdate(const TCommandLine& commandLine) {
  // An installation that a killed run left half-done is put back before
  // anything else happens to it.
  if (RestoreInterruptedInstallation(commandLine.DestZelPath)) {
    rtl::WriteErrLn(rtl::Format(rtl::LoadStr(rtl::SRestoredFromBackup),
                                {rtl::EscapeControlCharacters(commandLine.DestZelPath)}));
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
  for (const rtl::StrId line : kUsageHead) {
    rtl::WriteLn(rtl::LoadStr(line));
  }
  rtl::WriteLn(rtl::Format(rtl::LoadStr(rtl::SUsageSourcePage), {kDownloadPageUrl}));
  for (const rtl::StrId line : kUsageTail) {
    rtl::WriteLn(rtl::LoadStr(line));
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
    platform::CurrentDesktop().MessageBox({}, message, rtl::LoadStr(rtl::SErrorCaption),
                                          platform::kMbOk);
    return 1;
  }
  return 0;
}

void ReportUnhandled(std::string_view className, std::string_view message) {
  const std::string module = rtl::ExtractFileName(platform::GetModuleFileName());
  rtl::WriteErrLn(
      rtl::Format(rtl::LoadStr(rtl::SUnhandledException), {className, module, message}));
}

}  // namespace app
