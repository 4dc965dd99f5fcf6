#include "archive/archiver.h"

#include <algorithm>

#include "archive/errors.h"
#include "platform/fs.h"
#include "rtl/mbcs.h"
#include "rtl/strtable.h"

namespace archive {
namespace {

[[noreturn]] void Unsupported(rtl::StrId message) {
  throw EArchiver(rtl::LoadStr(message));
}

bool UsesResponseFile(TResponseFileRule rule, const TArchiverOptions& options, bool callerAsks) {
  switch (rule) {
    case TResponseFileRule::Never:
      return false;
    case TResponseFileRule::Caller:
      return callerAsks;
    case TResponseFileRule::OnPack:
      return options.ResFileUsage.Contains(ruOnPack);
    case TResponseFileRule::OnUnpack:
      return options.ResFileUsage.Contains(ruOnUnpack);
    case TResponseFileRule::OnRemoveItem:
      return options.ResFileUsage.Contains(ruOnRemoveItem);
    case TResponseFileRule::OnUpdate:
      return options.ResFileUsage.Contains(ruOnUpdate);
  }
  return false;
}

}  // namespace

void TArchiver::LoadDLL() {
  throw EArchiver(rtl::LoadStr(rtl::SAbstractLoadDLL));
}

void TArchiver::FreeDLL() {
  throw EArchiver(rtl::LoadStr(rtl::SAbstractFreeDLL));
}

TArchiveHandle TArchiver::OpenArchive(TWindowHandle window, const std::string& archiveFileName,
                                      std::uint32_t mode) {
  return ArchiverDll().OpenArchive(window, platform::ExpandFileName(archiveFileName), mode);
}

int TArchiver::FindFirst(TArchiveHandle archive, TMemberInfo& info, const std::string& wildName) {
  return ArchiverDll().FindFirst(archive, wildName, info);
}

int TArchiver::FindNext(TArchiveHandle archive, TMemberInfo& info) {
  return ArchiverDll().FindNext(archive, info);
}

int TArchiver::CloseArchive(TArchiveHandle archive) {
  return ArchiverDll().CloseArchive(archive);
}

void TArchiver::EnumMember(const TEnumMemberInfo64& /*info*/, const TArchiverOptions& /*options*/,
                           bool& /*abort*/) {}

int TArchiver::ExtractFiles(TWindowHandle window, const std::string& archiveFileName,
                            const TArchiverOptions& options, const std::string& dir,
                            const FileItems& files, bool useResponseFile, std::string& commandLine,
                            std::string& output) {
  commandLine = GetExtractCommand(window, archiveFileName, options, dir, files, useResponseFile);
  return RunUnpackCommand(window, archiveFileName, output, commandLine);
}

int TArchiver::AddFiles(TWindowHandle window, const std::string& archiveFileName,
                        const TArchiverOptions& options, const std::string& dir,
                        const FileItems& files, bool useResponseFile, std::string& commandLine,
                        std::string& output) {
  commandLine = GetAddCommand(window, archiveFileName, options, dir, files, useResponseFile);
  return RunPackCommand(window, archiveFileName, output, commandLine);
}

int TArchiver::DeleteFiles(TWindowHandle window, const std::string& archiveFileName,
                           const TArchiverOptions& options, const std::string& dir,
                           const FileItems& files, bool useResponseFile, std::string& commandLine,
                           std::string& output) {
  commandLine = GetDeleteCommand(window, archiveFileName, options, dir, files, useResponseFile);
  return RunPackCommand(window, archiveFileName, output, commandLine);
}

int TArchiver::UpdateFiles(TWindowHandle window, const std::string& archiveFileName,
                           const TArchiverOptions& options, const std::string& dir,
                           const FileItems& files, bool useResponseFile, std::string& commandLine,
                           std::string& output) {
  commandLine = GetUpdateCommand(window, archiveFileName, options, dir, files, useResponseFile);
  return RunPackCommand(window, archiveFileName, output, commandLine);
}

int TArchiver::MakeSfx(TWindowHandle window, const std::string& archiveFileName,
                       const TArchiverOptions& options, const std::string& dir,
                       std::string& commandLine, std::string& output) {
  commandLine = GetSfxCommand(window, archiveFileName, options, dir);
  return RunPackCommand(window, archiveFileName, output, commandLine);
}

int TArchiver::ExtractMem(TWindowHandle window, const std::string& archiveFileName,
                          const TArchiverOptions& options, const std::string& memberName,
                          std::uint8_t* buffer, std::uint32_t bufferSize,
                          std::uint32_t* writtenSize, std::string& commandLine) {
  commandLine = GetExtractMemCommand(window, archiveFileName, options, memberName);
  return ArchiverDll().ExtractMem(window, commandLine, buffer, bufferSize, nullptr, nullptr,
                                  writtenSize);
}

int TArchiver::CheckArchive(const std::string& fileName, int mode, int addedMode) {
  return ArchiverDll().CheckArchive(fileName, mode + addedMode);
}

std::span<const TCommandPlan> TArchiver::CommandPlans() const {
  return {};
}

std::string TArchiver::BuildCommand(const TCommandRequest& /*request*/) {
  throw EArchiver(rtl::LoadStr(rtl::SAbstractBuildCommand));
}

std::string TArchiver::PlannedCommand(TBuilder builder, rtl::StrId unsupported,
                                      const std::string& archiveFileName,
                                      const TArchiverOptions& options, const std::string& dir,
                                      const FileItems& files, bool useResponseFile) {
  const std::span<const TCommandPlan> plans = CommandPlans();
  const auto plan = std::find_if(plans.begin(), plans.end(),
                                 [builder](const TCommandPlan& p) { return p.Builder == builder; });
  if (plan == plans.end()) {
    Unsupported(unsupported);
  }
  return BuildCommand({builder, std::string(plan->Word), archiveFileName, options, dir, files,
                       UsesResponseFile(plan->ResponseFile, options, useResponseFile)});
}

std::string TArchiver::GetExtractCommand(TWindowHandle /*window*/,
                                         const std::string& archiveFileName,
                                         const TArchiverOptions& options, const std::string& dir,
                                         const FileItems& files, bool useResponseFile) {
  return PlannedCommand(TBuilder::Extract, rtl::SAbstractGetExtractCommand, archiveFileName,
                        options, dir, files, useResponseFile);
}

std::string TArchiver::GetAddCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                     const TArchiverOptions& options, const std::string& dir,
                                     const FileItems& files, bool useResponseFile) {
  return PlannedCommand(TBuilder::Add, rtl::SAddNotSupported, archiveFileName, options, dir, files,
                        useResponseFile);
}

std::string TArchiver::GetDeleteCommand(TWindowHandle /*window*/,
                                        const std::string& archiveFileName,
                                        const TArchiverOptions& options, const std::string& /*dir*/,
                                        const FileItems& files, bool useResponseFile) {
  return PlannedCommand(TBuilder::Delete, rtl::SDeleteNotSupported, archiveFileName, options, "",
                        files, useResponseFile);
}

std::string TArchiver::GetUpdateCommand(TWindowHandle /*window*/,
                                        const std::string& archiveFileName,
                                        const TArchiverOptions& options, const std::string& dir,
                                        const FileItems& files, bool useResponseFile) {
  return PlannedCommand(TBuilder::Update, rtl::SUpdateNotSupported, archiveFileName, options, dir,
                        files, useResponseFile);
}

std::string TArchiver::GetSfxCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                     const TArchiverOptions& options, const std::string& dir) {
  return PlannedCommand(TBuilder::Sfx, rtl::SSfxNotSupported, archiveFileName, options, dir,
                        FileItems{}, false);
}

std::string TArchiver::GetExtractMemCommand(TWindowHandle /*window*/,
                                            const std::string& archiveFileName,
                                            const TArchiverOptions& options,
                                            const std::string& memberName) {
  return PlannedCommand(TBuilder::ExtractMem, rtl::SExtractMemNotSupported, archiveFileName,
                        options, "", FileItems{memberName}, false);
}

bool TArchiver::SetOwnerWindow(TWindowHandle window, arcapi::TArchiverProc callback) {
  ownerWindow_ = window;
  return ArchiverDll().SetOwnerWindowEx(window, callback) != 0;
}

bool TArchiver::KillOwnerWindow(TWindowHandle window) {
  const int result = ArchiverDll().KillOwnerWindowEx(window);
  ownerWindow_ = nullptr;
  return result != 0;
}

int TArchiver::SetEnumMembersProc(arcapi::TEnumMembersProc64 callback, std::uint32_t recordSize) {
  return ArchiverDll().SetEnumMembersProc64(callback, recordSize);
}

int TArchiver::ClearEnumMembersProc() {
  return ArchiverDll().ClearEnumMembersProc64();
}

void TArchiver::AddArchiveAndDest(TCmdOpt& opt, const std::string& archiveFileName,
                                  const std::string& dir) {
  opt.AddValue("", archiveFileName);
  opt.AddDir("", dir);
}

int TArchiver::AddFileList(TCmdOpt& opt, const TArchiverOptions& options, bool useResponseFile,
                           const FileItems& files) {
  const int count = (useResponseFile && !options.ResFileName.empty())
                        ? opt.AddResponseFile(files, options.ResFileName)
                        : opt.AddFiles("", files);
  opt.Add(options.UserFileList);
  return count;
}

std::string TArchiver::JoinPath(const std::string& dir, const std::string& fileName,
                                char delimiter) {
  if (dir.empty()) {
    return fileName;
  }
  return rtl::IncludeTrailingDelimiter(dir, delimiter) + fileName;
}

int TArchiver::RunUnpackCommand(TWindowHandle window, const std::string& archiveFileName,
                                std::string& output, const std::string& commandLine) {
  return ArchiverDll().Command(window, archiveFileName, commandLine, output);
}

int TArchiver::RunPackCommand(TWindowHandle window, const std::string& archiveFileName,
                              std::string& output, const std::string& commandLine) {
  return ArchiverDll().PackCommand(window, archiveFileName, commandLine, output);
}

}  // namespace archive
