#include "archive/archiver_dll.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

#include "archive/errors.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "rtl/strtable.h"

namespace archive {
namespace {

// The library's view of the caller's output storage.
char* OutputBuffer(std::string& output) {
  return output.empty() ? nullptr : output.data();
}

std::uint32_t OutputSize(const std::string& output) {
  return static_cast<std::uint32_t>(
      std::min<std::size_t>(output.size(), std::numeric_limits<std::uint32_t>::max()));
}

// A derived binding binds a required entry before it calls the body; a
// null slot here is that binding's fault, reported rather than called.
template <class Entry>
Entry Required(Entry slot, const char* name) {
  rtl::Assert(slot != nullptr, name);
  return slot;
}

}  // namespace

bool DosTimeToFileTime(std::uint16_t dosDate, std::uint16_t dosTime, std::uint64_t& fileTime) {
  if (dosDate == 0 && dosTime == 0) {
    fileTime = 0;
    return true;
  }
  std::uint64_t local = 0;
  if (platform::DosDateTimeToFileTime(dosDate, dosTime, local) &&
      platform::LocalFileTimeToFileTime(local, fileTime)) {
    return true;
  }
  // Never leave what an earlier member put there.
  fileTime = 0;
  return false;
}

// --- TCustomArchiverDll ---

TCustomArchiverDll::~TCustomArchiverDll() {
  TCustomArchiverDll::Unload();
}

void TCustomArchiverDll::Unload() {
  entries_ = TArchiverEntries{};
}

int TCustomArchiverDll::Command(TWindowHandle window, const std::string& /*archiveFileName*/,
                                const std::string& commandLine, std::string& output) {
  return Required(entries_.Command, "Command")(window, commandLine.c_str(), OutputBuffer(output),
                                               OutputSize(output));
}

int TCustomArchiverDll::PackCommand(TWindowHandle window, const std::string& archiveFileName,
                                    const std::string& commandLine, std::string& output) {
  return Command(window, archiveFileName, commandLine, output);
}

int TCustomArchiverDll::CheckArchive(const std::string& fileName, int mode) {
  return Required(entries_.CheckArchive, "CheckArchive")(fileName.c_str(), mode);
}

int TCustomArchiverDll::CloseArchive(TArchiveHandle archive) {
  return Required(entries_.CloseArchive, "CloseArchive")(archive);
}

int TCustomArchiverDll::ExtractMem(TWindowHandle window, const std::string& commandLine,
                                   std::uint8_t* buffer, std::uint32_t bufferSize,
                                   std::uint32_t* time, std::uint16_t* attribute,
                                   std::uint32_t* writtenSize) {
  return Required(entries_.ExtractMem, "ExtractMem")(window, commandLine.c_str(), buffer,
                                                     bufferSize, time, attribute, writtenSize);
}

int TCustomArchiverDll::FindFirst(TArchiveHandle archive, const std::string& wildName,
                                  TMemberInfo& info) {
  const int result =
      Required(entries_.FindFirst, "FindFirst")(archive, wildName.c_str(), &info.Dll);
  if (result == 0) {
    CompleteMemberInfo(archive, info);
  }
  return result;
}

int TCustomArchiverDll::FindNext(TArchiveHandle archive, TMemberInfo& info) {
  const int result = Required(entries_.FindNext, "FindNext")(archive, &info.Dll);
  if (result == 0) {
    CompleteMemberInfo(archive, info);
  }
  return result;
}

int TCustomArchiverDll::KillOwnerWindowEx(TWindowHandle window) {
  return entries_.KillOwnerWindowEx != nullptr ? entries_.KillOwnerWindowEx(window) : 0;
}

TArchiveHandle TCustomArchiverDll::OpenArchive(TWindowHandle window, const std::string& fileName,
                                               std::uint32_t mode) {
  return Required(entries_.OpenArchive, "OpenArchive")(window, fileName.c_str(), mode);
}

int TCustomArchiverDll::SetOwnerWindowEx(TWindowHandle window, arcapi::TArchiverProc callback) {
  return entries_.SetOwnerWindowEx != nullptr ? entries_.SetOwnerWindowEx(window, callback) : 0;
}

int TCustomArchiverDll::GetWriteTimeEx(TArchiveHandle archive, std::uint64_t& fileTime) {
  return entries_.GetWriteTimeEx != nullptr ? entries_.GetWriteTimeEx(archive, &fileTime) : 0;
}

int TCustomArchiverDll::GetCreateTimeEx(TArchiveHandle archive, std::uint64_t& fileTime) {
  return entries_.GetCreateTimeEx != nullptr ? entries_.GetCreateTimeEx(archive, &fileTime) : 0;
}

int TCustomArchiverDll::GetAccessTimeEx(TArchiveHandle archive, std::uint64_t& fileTime) {
  return entries_.GetAccessTimeEx != nullptr ? entries_.GetAccessTimeEx(archive, &fileTime) : 0;
}

int TCustomArchiverDll::GetOriginalSizeEx(TArchiveHandle archive, std::uint64_t& size) {
  return entries_.GetOriginalSizeEx != nullptr ? entries_.GetOriginalSizeEx(archive, &size) : 0;
}

int TCustomArchiverDll::GetCompressedSizeEx(TArchiveHandle archive, std::uint64_t& size) {
  return entries_.GetCompressedSizeEx != nullptr ? entries_.GetCompressedSizeEx(archive, &size) : 0;
}

int TCustomArchiverDll::GetArchiveType(const std::string& fileName) {
  return Required(entries_.GetArchiveType, "GetArchiveType")(fileName.c_str());
}

int TCustomArchiverDll::SetEnumMembersProc64(arcapi::TEnumMembersProc64 callback,
                                             std::uint32_t recordSize) {
  return entries_.SetEnumMembersProc64 != nullptr
             ? entries_.SetEnumMembersProc64(callback, recordSize)
             : 0;
}

int TCustomArchiverDll::ClearEnumMembersProc64() {
  return entries_.ClearEnumMembersProc64 != nullptr ? entries_.ClearEnumMembersProc64() : 0;
}

void TCustomArchiverDll::CompleteMemberInfo(TArchiveHandle archive, TMemberInfo& info) {
  // The DOS fallback is the same for all three times; convert it once.
  std::optional<std::uint64_t> dosFileTime;
  const auto dosTime = [&info, &dosFileTime] {
    if (!dosFileTime) {
      std::uint64_t converted = 0;
      DosTimeToFileTime(info.Dll.DosDate, info.Dll.DosTime, converted);
      dosFileTime = converted;
    }
    return *dosFileTime;
  };
  // The entries write into aligned locals: the record's fields are packed.
  std::uint64_t value = 0;
  info.LastWriteTime = GetWriteTimeEx(archive, value) != 0 ? value : dosTime();
  value = 0;
  info.LastAccessTime = GetAccessTimeEx(archive, value) != 0 ? value : dosTime();
  value = 0;
  info.CreationTime = GetCreateTimeEx(archive, value) != 0 ? value : dosTime();
  value = 0;
  info.OriginalSize64 = GetOriginalSizeEx(archive, value) != 0 ? value : info.Dll.OriginalSize;
  value = 0;
  info.CompressedSize64 =
      GetCompressedSizeEx(archive, value) != 0 ? value : info.Dll.CompressedSize;
}

void TCustomArchiverDll::RaiseEntryNotFound(const platform::Library& module,
                                            const std::string& entryName) {
  // Module handle 0 stands for the program itself, as on Windows.
  const std::string moduleName =
      module.IsLoaded() ? module.GetModuleFileName() : platform::GetModuleFileName();
  throw EEntryNotFound(rtl::Format(rtl::LoadStr(rtl::SEntryNotFound), {moduleName, entryName}));
}

// --- TArchiverDll ---

TArchiverDll::TArchiverDll(std::string formatName, std::string dllName, std::string prefix)
    : formatName_(std::move(formatName)),
      dllName_(std::move(dllName)),
      prefix_(std::move(prefix)) {}

TArchiverDll::~TArchiverDll() {
  TArchiverDll::Unload();
}

void TArchiverDll::Load() {
  if (!module_.IsLoaded()) {
    module_ = platform::LoadLibrary(dllName_);
  }
  if (!module_.IsLoaded()) {
    throw ENoArchiverDLL(rtl::Format(rtl::LoadStr(rtl::SLibraryRequired), {formatName_, dllName_}));
  }
}

void TArchiverDll::Unload() {
  // Forget the addresses before the code they point into goes.
  TCustomArchiverDll::Unload();
  module_.Free();
}

int TArchiverDll::Command(TWindowHandle window, const std::string& archiveFileName,
                          const std::string& commandLine, std::string& output) {
  Load();
  BindEntry(EntrySlots().Command, module_, prefix_, true);
  return TCustomArchiverDll::Command(window, archiveFileName, commandLine, output);
}

int TArchiverDll::CheckArchive(const std::string& fileName, int mode) {
  Load();
  Bind(EntrySlots().CheckArchive, arcapi::kCheckArchiveSuffix, true);
  return TCustomArchiverDll::CheckArchive(fileName, mode);
}

int TArchiverDll::CloseArchive(TArchiveHandle archive) {
  Load();
  Bind(EntrySlots().CloseArchive, arcapi::kCloseArchiveSuffix, true);
  return TCustomArchiverDll::CloseArchive(archive);
}

int TArchiverDll::ExtractMem(TWindowHandle window, const std::string& commandLine,
                             std::uint8_t* buffer, std::uint32_t bufferSize, std::uint32_t* time,
                             std::uint16_t* attribute, std::uint32_t* writtenSize) {
  Bind(EntrySlots().ExtractMem, arcapi::kExtractMemSuffix, true);
  return TCustomArchiverDll::ExtractMem(window, commandLine, buffer, bufferSize, time, attribute,
                                        writtenSize);
}

int TArchiverDll::FindFirst(TArchiveHandle archive, const std::string& wildName,
                            TMemberInfo& info) {
  Load();
  Bind(EntrySlots().FindFirst, arcapi::kFindFirstSuffix, true);
  return TCustomArchiverDll::FindFirst(archive, wildName, info);
}

int TArchiverDll::FindNext(TArchiveHandle archive, TMemberInfo& info) {
  Bind(EntrySlots().FindNext, arcapi::kFindNextSuffix, true);
  return TCustomArchiverDll::FindNext(archive, info);
}

int TArchiverDll::KillOwnerWindowEx(TWindowHandle window) {
  Bind(EntrySlots().KillOwnerWindowEx, arcapi::kKillOwnerWindowExSuffix, false);
  return TCustomArchiverDll::KillOwnerWindowEx(window);
}

TArchiveHandle TArchiverDll::OpenArchive(TWindowHandle window, const std::string& fileName,
                                         std::uint32_t mode) {
  Load();
  Bind(EntrySlots().OpenArchive, arcapi::kOpenArchiveSuffix, true);
  return TCustomArchiverDll::OpenArchive(window, fileName, mode);
}

int TArchiverDll::SetOwnerWindowEx(TWindowHandle window, arcapi::TArchiverProc callback) {
  Bind(EntrySlots().SetOwnerWindowEx, arcapi::kSetOwnerWindowExSuffix, false);
  return TCustomArchiverDll::SetOwnerWindowEx(window, callback);
}

int TArchiverDll::GetWriteTimeEx(TArchiveHandle archive, std::uint64_t& fileTime) {
  Bind(EntrySlots().GetWriteTimeEx, arcapi::kGetWriteTimeExSuffix, false);
  return TCustomArchiverDll::GetWriteTimeEx(archive, fileTime);
}

int TArchiverDll::GetCreateTimeEx(TArchiveHandle archive, std::uint64_t& fileTime) {
  Bind(EntrySlots().GetCreateTimeEx, arcapi::kGetCreateTimeExSuffix, false);
  return TCustomArchiverDll::GetCreateTimeEx(archive, fileTime);
}

int TArchiverDll::GetAccessTimeEx(TArchiveHandle archive, std::uint64_t& fileTime) {
  Bind(EntrySlots().GetAccessTimeEx, arcapi::kGetAccessTimeExSuffix, false);
  return TCustomArchiverDll::GetAccessTimeEx(archive, fileTime);
}

int TArchiverDll::GetOriginalSizeEx(TArchiveHandle archive, std::uint64_t& size) {
  Bind(EntrySlots().GetOriginalSizeEx, arcapi::kGetOriginalSizeExSuffix, false);
  return TCustomArchiverDll::GetOriginalSizeEx(archive, size);
}

int TArchiverDll::GetCompressedSizeEx(TArchiveHandle archive, std::uint64_t& size) {
  Bind(EntrySlots().GetCompressedSizeEx, arcapi::kGetCompressedSizeExSuffix, false);
  return TCustomArchiverDll::GetCompressedSizeEx(archive, size);
}

int TArchiverDll::GetArchiveType(const std::string& fileName) {
  Load();
  Bind(EntrySlots().GetArchiveType, arcapi::kGetArchiveTypeSuffix, true);
  return TCustomArchiverDll::GetArchiveType(fileName);
}

int TArchiverDll::SetEnumMembersProc64(arcapi::TEnumMembersProc64 callback,
                                       std::uint32_t recordSize) {
  Load();
  Bind(EntrySlots().SetEnumMembersProc64, arcapi::kSetEnumMembersProc64Suffix, false);
  return TCustomArchiverDll::SetEnumMembersProc64(callback, recordSize);
}

int TArchiverDll::ClearEnumMembersProc64() {
  Load();
  Bind(EntrySlots().ClearEnumMembersProc64, arcapi::kClearEnumMembersProc64Suffix, false);
  return TCustomArchiverDll::ClearEnumMembersProc64();
}

void LoadFormatBinding(std::unique_ptr<TArchiverDll>& binding, rtl::StrId formatName,
                       std::string_view dllName, std::string_view prefix) {
  if (binding != nullptr) {
    return;
  }
  binding = std::make_unique<TArchiverDll>(rtl::LoadStr(formatName), std::string(dllName),
                                           std::string(prefix));
  binding->Load();
}

}  // namespace archive
