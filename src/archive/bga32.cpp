#include "archive/bga32.h"

#include "archive/errors.h"
#include "platform/fs.h"
#include "rtl/codepage.h"

namespace archive {
namespace {

std::unique_ptr<TArchiverDll>& BgaDllSlot() {
  static std::unique_ptr<TArchiverDll> dll;
  return dll;
}

constexpr std::uint32_t kOpenArchiveMode = 0x800002;

}  // namespace

TBGA32::TBGA32() {
  LoadDLL();
}

void TBGA32::LoadDLL() {
  LoadFormatBinding(BgaDllSlot(), "BGA 形式書庫", "BGA32.DLL", "Bga");
}

void TBGA32::FreeDLL() {
  BgaDllSlot().reset();
}

TArchiverDll* TBGA32::BgaDll() {
  return BgaDllSlot().get();
}

TCustomArchiverDll& TBGA32::ArchiverDll() const {
  LoadDLL();
  return *BgaDll();
}

void TBGA32::EnsureDLL() {
  LoadDLL();
}

std::string TBGA32::BuildBgaCommand(const std::string& command, const std::string& archiveFileName,
                                    const TArchiverOptions& options, const std::string& dir,
                                    const FileItems& files, bool useResponseFile) const {
  TCmdOpt opt;
  opt.AddFlag("a", options.a > 0);
  opt.Add(options.c > 0 ? "-o" : "-n");
  opt.AddFlag("i", options.n > 0 || HasOwnerWindow());
  opt.AddFlag("r", options.r > 0);
  // An unset x (-1) counts as below 1.
  opt.AddFlag("j", options.x < 1);
  opt.AddSwitch("l", options.jm);
  opt.Add(options.UserOptions);
  AddArchiveAndDest(opt, archiveFileName, dir);
  AddFileList(opt, options, useResponseFile, files);
  return command + opt.Text;
}

std::string TBGA32::GetExtractCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                      const TArchiverOptions& options, const std::string& dir,
                                      const FileItems& files, bool useResponseFile) {
  return BuildBgaCommand("x", archiveFileName, options, dir, files, useResponseFile);
}

std::string TBGA32::GetAddCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                  const TArchiverOptions& options, const std::string& dir,
                                  const FileItems& files, bool useResponseFile) {
  return BuildBgaCommand("a", archiveFileName, options, dir, files, useResponseFile);
}

std::string TBGA32::GetDeleteCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                     const TArchiverOptions& options, const std::string& /*dir*/,
                                     const FileItems& files, bool /*useResponseFile*/) {
  return BuildBgaCommand("d", archiveFileName, options, "", files,
                         options.ResFileUsage.Contains(ruOnRemoveItem));
}

std::string TBGA32::GetSfxCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                  const TArchiverOptions& options, const std::string& dir) {
  return BuildBgaCommand("s", archiveFileName, options, dir, FileItems{},
                         options.ResFileUsage.Contains(ruOnRemoveItem));
}

bool IsBgaArchive(const std::string& fileName) {
  try {
    TBGA32::LoadDLL();
    TArchiverDll& dll = *TBGA32::BgaDll();
    const std::string fullName = platform::ExpandFileName(fileName);
    if (!platform::FileExists(fullName)) {
      return false;
    }
    const TArchiveHandle handle = dll.OpenArchive(nullptr, fullName, kOpenArchiveMode);
    dll.CloseArchive(handle);
    return handle != nullptr;
  } catch (const rtl::Exception&) {
    return false;
  }
}

}  // namespace archive
