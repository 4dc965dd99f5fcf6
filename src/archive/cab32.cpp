#include "archive/cab32.h"

#include "archive/errors.h"
#include "platform/fs.h"
#include "rtl/codepage.h"

namespace archive {
namespace {

std::unique_ptr<TArchiverDll>& CabDllSlot() {
  static std::unique_ptr<TArchiverDll> dll;
  return dll;
}

constexpr std::uint32_t kOpenArchiveMode = 0x800002;

}  // namespace

TCab32::TCab32() {
  LoadDLL();
}

void TCab32::LoadDLL() {
  LoadFormatBinding(CabDllSlot(), "CAB 形式書庫", "CAB32.DLL", "Cab");
}

void TCab32::FreeDLL() {
  CabDllSlot().reset();
}

TArchiverDll* TCab32::CabDll() {
  return CabDllSlot().get();
}

TCustomArchiverDll& TCab32::ArchiverDll() const {
  LoadDLL();
  return *CabDll();
}

void TCab32::EnsureDLL() {
  LoadDLL();
}

std::string TCab32::BuildCabCommand(const std::string& command, const std::string& archiveFileName,
                                    const TArchiverOptions& options, const std::string& dir,
                                    const FileItems& files, bool useResponseFile) const {
  TCmdOpt opt;
  opt.AddFlag("o", options.c == 1);
  opt.AddFlag("i", options.n > 0 || HasOwnerWindow());
  opt.AddFlag("r", options.r > 0);
  opt.AddDir("h", options.w);
  opt.AddFlag("j", options.x == 0);
  opt.AddFlag("q", options.ji > 0);
  opt.Add(options.UserOptions);
  AddArchiveAndDest(opt, archiveFileName, dir);
  AddFileList(opt, options, useResponseFile, files);
  return command + opt.Text;
}

std::string TCab32::GetExtractCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                      const TArchiverOptions& options, const std::string& dir,
                                      const FileItems& files, bool /*useResponseFile*/) {
  return BuildCabCommand("-x", platform::ExpandFileName(archiveFileName), options, dir, files,
                         options.ResFileUsage.Contains(ruOnUnpack));
}

std::string TCab32::GetAddCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                  const TArchiverOptions& options, const std::string& dir,
                                  const FileItems& files, bool /*useResponseFile*/) {
  return BuildCabCommand("-a", archiveFileName, options, dir, files,
                         options.ResFileUsage.Contains(ruOnPack));
}

std::string TCab32::GetSfxCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                  const TArchiverOptions& options, const std::string& dir) {
  return BuildCabCommand("-f", archiveFileName, options, dir, FileItems{}, false);
}

std::string TCab32::GetExtractMemCommand(TWindowHandle /*window*/,
                                         const std::string& archiveFileName,
                                         const TArchiverOptions& options,
                                         const std::string& memberName) {
  return BuildCabCommand("", archiveFileName, options, "", FileItems{memberName}, false);
}

bool IsCabArchive(const std::string& fileName) {
  try {
    TCab32::LoadDLL();
    TArchiverDll& dll = *TCab32::CabDll();
    const TArchiveHandle handle =
        dll.OpenArchive(nullptr, platform::ExpandFileName(fileName), kOpenArchiveMode);
    dll.CloseArchive(handle);
    return handle != nullptr;
  } catch (const rtl::Exception&) {
    return false;
  }
}

}  // namespace archive
