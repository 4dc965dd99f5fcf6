#include "archive/arj32.h"

#include "archive/errors.h"
#include "platform/fs.h"
#include "rtl/codepage.h"

namespace archive {
namespace {

std::unique_ptr<TArchiverDll>& ArjDllSlot() {
  static std::unique_ptr<TArchiverDll> dll;
  return dll;
}

constexpr std::uint32_t kOpenArchiveMode = 0x800002;

}  // namespace

TArj32::TArj32() : TLha32(NoLoad{}) {
  LoadDLL();
}

void TArj32::LoadDLL() {
  LoadFormatBinding(ArjDllSlot(), "ARJ 形式書庫", "UNARJ32J.DLL", "Unarj");
}

void TArj32::FreeDLL() {
  ArjDllSlot().reset();
}

TArchiverDll* TArj32::ArjDll() {
  return ArjDllSlot().get();
}

TCustomArchiverDll& TArj32::ArchiverDll() const {
  LoadDLL();
  return *ArjDll();
}

void TArj32::EnsureDLL() {
  LoadDLL();
}

std::string TArj32::GetExtractCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                      const TArchiverOptions& options, const std::string& dir,
                                      const FileItems& files, bool useResponseFile) {
  return BuildLhaCommand("x", archiveFileName, options, dir, files, useResponseFile);
}

bool IsArjArchive(const std::string& fileName) {
  try {
    TArj32::LoadDLL();
    TArchiverDll& dll = *TArj32::ArjDll();
    const TArchiveHandle handle =
        dll.OpenArchive(nullptr, platform::ExpandFileName(fileName), kOpenArchiveMode);
    dll.CloseArchive(handle);
    return handle != nullptr;
  } catch (const rtl::Exception&) {
    return false;
  }
}

}  // namespace archive
