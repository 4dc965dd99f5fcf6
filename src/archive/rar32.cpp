#include "archive/rar32.h"

#include "archive/errors.h"
#include "platform/fs.h"
#include "rtl/codepage.h"

namespace archive {
namespace {

std::unique_ptr<TArchiverDll>& RarDllSlot() {
  static std::unique_ptr<TArchiverDll> dll;
  return dll;
}

constexpr std::uint32_t kOpenArchiveMode = 0x800002;

}  // namespace

TRar32::TRar32() {
  LoadDLL();
}

void TRar32::LoadDLL() {
  LoadFormatBinding(RarDllSlot(), "RAR 形式書庫", "UNRAR32.DLL", "Unrar");
}

void TRar32::FreeDLL() {
  RarDllSlot().reset();
}

TArchiverDll* TRar32::RarDll() {
  return RarDllSlot().get();
}

TCustomArchiverDll& TRar32::ArchiverDll() const {
  LoadDLL();
  return *RarDll();
}

void TRar32::EnsureDLL() {
  LoadDLL();
}

std::string TRar32::BuildRarCommand(const std::string& command, const std::string& archiveFileName,
                                    const TArchiverOptions& options, const std::string& dir,
                                    const FileItems& files, bool useResponseFile) {
  TCmdOpt opt;
  // An unset c (-1) counts as below 1.
  opt.AddFlag("u", options.c < 1);
  opt.AddFlag("y", options.m > 0);
  opt.AddFlag("s", options.p > 0);
  opt.Add(options.UserOptions);
  AddArchiveAndDest(opt, archiveFileName, dir);
  AddFileList(opt, options, useResponseFile, files);
  return command + opt.Text;
}

std::string TRar32::GetExtractCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                      const TArchiverOptions& options, const std::string& dir,
                                      const FileItems& files, bool /*useResponseFile*/) {
  return BuildRarCommand(options.x == 0 ? "-e" : "-x", archiveFileName, options, dir, files,
                         options.ResFileUsage.Contains(ruOnUnpack));
}

std::string TRar32::GetExtractMemCommand(TWindowHandle /*window*/,
                                         const std::string& archiveFileName,
                                         const TArchiverOptions& options,
                                         const std::string& memberName) {
  return BuildRarCommand("", archiveFileName, options, "", FileItems{memberName}, false);
}

bool IsRarArchive(const std::string& fileName) {
  try {
    TRar32::LoadDLL();
    TArchiverDll& dll = *TRar32::RarDll();
    const TArchiveHandle handle =
        dll.OpenArchive(nullptr, platform::ExpandFileName(fileName), kOpenArchiveMode);
    dll.CloseArchive(handle);
    return handle != nullptr;
  } catch (const rtl::Exception&) {
    return false;
  }
}

}  // namespace archive
