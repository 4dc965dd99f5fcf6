#include "archive/archiver.h"

#include "archive/errors.h"
#include "platform/fs.h"
#include "rtl/mbcs.h"
#include "rtl/strtable.h"

namespace archive {
namespace {

[[noreturn]] void Unsupported(rtl::StrId message) {
  throw EArchiver(rtl::LoadStr(message));
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

std::string TArchiver::GetAddCommand(TWindowHandle /*window*/,
                                     const std::string& /*archiveFileName*/,
                                     const TArchiverOptions& /*options*/,
                                     const std::string& /*dir*/, const FileItems& /*files*/,
                                     bool /*useResponseFile*/) {
  Unsupported(rtl::SAddNotSupported);
}

std::string TArchiver::GetDeleteCommand(TWindowHandle /*window*/,
                                        const std::string& /*archiveFileName*/,
                                        const TArchiverOptions& /*options*/,
                                        const std::string& /*dir*/, const FileItems& /*files*/,
                                        bool /*useResponseFile*/) {
  Unsupported(rtl::SDeleteNotSupported);
}

std::string TArchiver::GetUpdateCommand(TWindowHandle /*window*/,
                                        const std::string& /*archiveFileName*/,
                                        const TArchiverOptions& /*options*/,
                                        const std::string& /*dir*/, const FileItems& /*files*/,
                                        bool /*useResponseFile*/) {
  Unsupported(rtl::SUpdateNotSupported);
}

std::string TArchiver::GetSfxCommand(TWindowHandle /*window*/,
                                     const std::string& /*archiveFileName*/,
                                     const TArchiverOptions& /*options*/,
                                     const std::string& /*dir*/) {
  Unsupported(rtl::SSfxNotSupported);
}

std::string TArchiver::GetExtractMemCommand(TWindowHandle /*window*/,
                                            const std::string& /*archiveFileName*/,
                                            const TArchiverOptions& /*options*/,
                                            const std::string& /*memberName*/) {
  Unsupported(rtl::SExtractMemNotSupported);
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
