#include "archive/formats/zip32.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <string_view>
#include <utility>

#include "archive/errors.h"
#include "archive/sfx_file.h"
#include "platform/fs.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "rtl/mbcs.h"
#include "rtl/strtable.h"

namespace archive {
namespace {

constexpr int kCheckArchiveMode = 24;

// Entry names; the lookup in LMZIP32.DLL adjusts them (TZipDll::NameIn).
constexpr std::string_view kUnZip = "UnZip";
constexpr std::string_view kZip = "Zip";
// Every ZIP library spells this one entry with a lower-case "z".
constexpr std::string_view kUnzipGetWriteTimeEx = "UnzipGetWriteTimeEx";

std::string UnZipEntryName(std::string_view suffix) {
  return std::string(kUnZip) + std::string(suffix);
}

// The library's view of the caller's output storage.
char* OutputBuffer(std::string& output) {
  return output.empty() ? nullptr : output.data();
}

std::uint32_t OutputSize(const std::string& output) {
  return static_cast<std::uint32_t>(
      std::min<std::size_t>(output.size(), std::numeric_limits<std::uint32_t>::max()));
}

[[noreturn]] void RaiseNoEntry(const std::string& entryName) {
  throw EEntryNotFound(rtl::Format(rtl::LoadStr(rtl::SZipEntryNotFound), {entryName}));
}

[[noreturn]] void RaiseNeedsLibrary(rtl::StrId message) {
  throw EArchiver(rtl::LoadStr(message));
}

// --- packing into a placeholder ---

// True when `path` names an existing file of no bytes.
bool IsEmptyFile(const std::string& path) {
  const std::string name = rtl::ExtractFileName(path);
  platform::DirectorySearch search(path);
  platform::FindData entry;
  // The name may hold wildcard characters; only the exact name counts.
  while (search.Next(entry)) {
    if (entry.Name == name) {
      return (entry.Attributes & platform::kFaDirectory) == 0 && entry.Size == 0;
    }
  }
  return false;
}

// The common tail of every builder.
std::string FinishLine(const std::string& command, TCmdOpt& opt, const std::string& archiveFileName,
                       const TArchiverOptions& options, const std::string& dir,
                       const FileItems& files, bool useResponseFile) {
  opt.Add(options.UserOptions);
  TArchiver::AddArchiveAndDest(opt, archiveFileName, dir);
  TArchiver::AddFileList(opt, options, useResponseFile, files);
  return command + opt.Text;
}

}  // namespace

std::string ZipPathConverter(const std::string& fileName) {
  std::string result;
  std::size_t i = 0;
  // A leading minus would read as a switch.
  if (!fileName.empty() && fileName.front() == '-') {
    result = "[-]";
    i = 1;
  }
  while (i < fileName.size()) {
    const char c = fileName[i];
    if (rtl::IsLeadByte(static_cast<unsigned char>(c))) {
      // A double-byte character is copied whole, trail byte included.
      result.append(fileName, i, 2);
      i += 2;
      continue;
    }
    if (c == '\\') {
      result += '/';
    } else if (c == '[') {
      result += "[[]";
    } else {
      result += c;
    }
    ++i;
  }
  return result;
}

// --- TZipDll ---

TZipDll::~TZipDll() {
  TZipDll::Unload();
}

void TZipDll::Load() {
  const std::array<std::pair<platform::Library*, std::string_view>, 3> libraries{{
      {&unzipModule_, "UNZIP32.DLL"},
      {&zipModule_, "ZIP32J.DLL"},
      {&lmzipModule_, "LMZIP32.DLL"},
  }};
  for (const auto& [module, fileName] : libraries) {
    if (!module->IsLoaded()) {
      *module = platform::LoadLibrary(fileName);
    }
  }
}

void TZipDll::Unload() {
  // Forget the addresses before the code they point into goes.
  zipEntry_ = nullptr;
  unZipEntry_ = nullptr;
  TCustomArchiverDll::Unload();
  unzipModule_.Free();
  lmzipModule_.Free();
  zipModule_.Free();
}

std::string TZipDll::NameIn(const platform::Library& module, const std::string& entryName) const {
  std::string name = entryName;
  if (&module == &lmzipModule_ && name.size() >= 3 && name[2] == 'Z') {
    name[2] = 'z';
  }
  return name;
}

template <class Entry>
bool TZipDll::BindFromModules(Entry& slot, ModuleOrder order, const std::string& entryName,
                              bool required) const {
  // Never trusted from an earlier call: looked up again every time.
  slot = nullptr;
  for (const platform::Library* module : order) {
    if (!module->IsLoaded()) {
      continue;
    }
    slot = module->GetProcAddressAs<Entry>(NameIn(*module, entryName));
    if (slot != nullptr) {
      return true;
    }
  }
  if (required) {
    RaiseNoEntry(entryName);
  }
  return false;
}

int TZipDll::Command(TWindowHandle window, const std::string& /*archiveFileName*/,
                     const std::string& commandLine, std::string& output) {
  Load();
  BindFromModules(unZipEntry_, {&unzipModule_, &lmzipModule_}, std::string(kUnZip), true);
  return unZipEntry_(window, commandLine.c_str(), OutputBuffer(output), OutputSize(output));
}

int TZipDll::PackCommand(TWindowHandle window, const std::string& /*archiveFileName*/,
                         const std::string& commandLine, std::string& output) {
  Load();
  BindFromModules(zipEntry_, {&zipModule_, &lmzipModule_}, std::string(kZip), true);
  return zipEntry_(window, commandLine.c_str(), OutputBuffer(output), OutputSize(output));
}

int TZipDll::CheckArchive(const std::string& fileName, int mode) {
  Load();
  BindFromModules(EntrySlots().CheckArchive, {&unzipModule_, &lmzipModule_, &zipModule_},
                  UnZipEntryName(arcapi::kCheckArchiveSuffix), true);
  return TCustomArchiverDll::CheckArchive(fileName, mode);
}

int TZipDll::CloseArchive(TArchiveHandle archive) {
  Load();
  BindFromModules(EntrySlots().CloseArchive, {&lmzipModule_, &zipModule_, &unzipModule_},
                  UnZipEntryName(arcapi::kCloseArchiveSuffix), true);
  return TCustomArchiverDll::CloseArchive(archive);
}

int TZipDll::ExtractMem(TWindowHandle window, const std::string& commandLine, std::uint8_t* buffer,
                        std::uint32_t bufferSize, std::uint32_t* time, std::uint16_t* attribute,
                        std::uint32_t* writtenSize) {
  BindFromModules(EntrySlots().ExtractMem, {&unzipModule_, &lmzipModule_, &zipModule_},
                  UnZipEntryName(arcapi::kExtractMemSuffix), true);
  return TCustomArchiverDll::ExtractMem(window, commandLine, buffer, bufferSize, time, attribute,
                                        writtenSize);
}

int TZipDll::FindFirst(TArchiveHandle archive, const std::string& wildName, TMemberInfo& info) {
  Load();
  BindFromModules(EntrySlots().FindFirst, {&lmzipModule_, &zipModule_, &unzipModule_},
                  UnZipEntryName(arcapi::kFindFirstSuffix), true);
  return TCustomArchiverDll::FindFirst(archive, wildName, info);
}

int TZipDll::FindNext(TArchiveHandle archive, TMemberInfo& info) {
  BindFromModules(EntrySlots().FindNext, {&lmzipModule_, &zipModule_, &unzipModule_},
                  UnZipEntryName(arcapi::kFindNextSuffix), true);
  return TCustomArchiverDll::FindNext(archive, info);
}

int TZipDll::KillOwnerWindowEx(TWindowHandle window) {
  BindEntry(EntrySlots().KillOwnerWindowEx, unzipModule_,
            UnZipEntryName(arcapi::kKillOwnerWindowExSuffix), true);
  return TCustomArchiverDll::KillOwnerWindowEx(window);
}

TArchiveHandle TZipDll::OpenArchive(TWindowHandle window, const std::string& fileName,
                                    std::uint32_t mode) {
  Load();
  BindFromModules(EntrySlots().OpenArchive, {&lmzipModule_, &zipModule_, &unzipModule_},
                  UnZipEntryName(arcapi::kOpenArchiveSuffix), true);
  return TCustomArchiverDll::OpenArchive(window, fileName, mode);
}

int TZipDll::SetOwnerWindowEx(TWindowHandle window, arcapi::TArchiverProc callback) {
  BindEntry(EntrySlots().SetOwnerWindowEx, unzipModule_,
            UnZipEntryName(arcapi::kSetOwnerWindowExSuffix), true);
  return TCustomArchiverDll::SetOwnerWindowEx(window, callback);
}

int TZipDll::GetWriteTimeEx(TArchiveHandle archive, std::uint64_t& fileTime) {
  BindFromModules(EntrySlots().GetWriteTimeEx, {&lmzipModule_, &zipModule_, &unzipModule_},
                  std::string(kUnzipGetWriteTimeEx), false);
  return TCustomArchiverDll::GetWriteTimeEx(archive, fileTime);
}

int TZipDll::GetCreateTimeEx(TArchiveHandle archive, std::uint64_t& fileTime) {
  BindFromModules(EntrySlots().GetCreateTimeEx, {&lmzipModule_, &zipModule_, &unzipModule_},
                  UnZipEntryName(arcapi::kGetCreateTimeExSuffix), false);
  return TCustomArchiverDll::GetCreateTimeEx(archive, fileTime);
}

int TZipDll::GetAccessTimeEx(TArchiveHandle archive, std::uint64_t& fileTime) {
  BindFromModules(EntrySlots().GetAccessTimeEx, {&lmzipModule_, &zipModule_, &unzipModule_},
                  UnZipEntryName(arcapi::kGetAccessTimeExSuffix), false);
  return TCustomArchiverDll::GetAccessTimeEx(archive, fileTime);
}

// --- TZip32 ---

void LoadZipBinding(std::unique_ptr<TZipDll>& binding) {
  if (binding != nullptr) {
    return;
  }
  binding = std::make_unique<TZipDll>();
  binding->Load();
}

int TZip32::AddFiles(TWindowHandle window, const std::string& archiveFileName,
                     const TArchiverOptions& options, const std::string& dir,
                     const FileItems& files, bool useResponseFile, std::string& commandLine,
                     std::string& output) {
  commandLine = GetAddCommand(window, archiveFileName, options, dir, files, useResponseFile);
  if (IsEmptyFile(archiveFileName)) {
    // Nothing to lose; should it stay, the library reports the placeholder itself.
    platform::DeleteFile(archiveFileName);
  }
  return RunPackCommand(window, archiveFileName, output, commandLine);
}

std::string TZip32::BuildUnzipCommand(const std::string& command,
                                      const std::string& archiveFileName,
                                      const TArchiverOptions& options, const std::string& dir,
                                      const FileItems& files, bool useResponseFile) const {
  TCmdOpt opt;
  opt.PathConverter = ZipPathConverter;
  opt.AddFlag("o", options.c == 1);
  opt.AddFlag("-i", options.n > 0 || HasOwnerWindow());
  opt.AddFlag("j", options.x == 0);
  return FinishLine(command, opt, archiveFileName, options, dir, files, useResponseFile);
}

std::string TZip32::BuildLmzipCommand(const std::string& command,
                                      const std::string& archiveFileName,
                                      const TArchiverOptions& options, const std::string& dir,
                                      const FileItems& files, bool useResponseFile) {
  TCmdOpt opt;
  opt.AddFlag("o", options.c == 1);
  opt.AddFlag("j", options.x == 0);
  return FinishLine(command, opt, archiveFileName, options, dir, files, useResponseFile);
}

std::string TZip32::BuildZipCommand(const std::string& command, const std::string& archiveFileName,
                                    const TArchiverOptions& options, const std::string& dir,
                                    const FileItems& files, bool useResponseFile) {
  TCmdOpt opt;
  opt.PathConverter = ZipPathConverter;
  opt.AddFlag("S", options.a > 0);
  opt.AddFlag("D", options.a < 2);
  opt.AddFlag("v", options.l > 0);
  opt.AddFlag("q", options.n > 0);
  opt.AddFlag("r", options.r > 0);
  opt.AddFlag("o", options.n > 0);
  opt.AddFlag("u", options.u > 0);
  opt.AddFlag("j", options.x == 0);
  opt.AddFlag("FF", options.jc > 0);
  opt.AddFlag("k", options.ji > 0);
  // The compression level: a minus and the number alone, such as -9.
  opt.AddSwitch("", options.jm);
  opt.AddFlag("J", options.gd > 0);
  return FinishLine(command, opt, archiveFileName, options, dir, files, useResponseFile);
}

std::string TZip32::GetExtractCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                      const TArchiverOptions& options, const std::string& dir,
                                      const FileItems& files, bool useResponseFile) {
  const TZipDll& dll = TZip32::LoadedBinding();
  if (dll.UnzipModule() == 0 && dll.LmzipModule() == 0) {
    RaiseNeedsLibrary(rtl::SZipExtractLibraryRequired);
  }
  return BuildUnzipCommand("-x", archiveFileName, options, dir, files, useResponseFile);
}

std::string TZip32::GetAddCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                  const TArchiverOptions& options, const std::string& dir,
                                  const FileItems& files, bool useResponseFile) {
  const TZipDll& dll = TZip32::LoadedBinding();
  if (dll.ZipModule() != 0) {
    return BuildZipCommand("", archiveFileName, options, dir, files, useResponseFile);
  }
  if (dll.LmzipModule() == 0) {
    RaiseNeedsLibrary(rtl::SZipCreateLibraryRequired);
  }
  return BuildLmzipCommand("-ru", archiveFileName, options, "", files, useResponseFile);
}

std::string TZip32::GetDeleteCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                     const TArchiverOptions& options, const std::string& /*dir*/,
                                     const FileItems& files, bool useResponseFile) {
  return BuildZipCommand("-d", archiveFileName, options, "", files, useResponseFile);
}

std::string TZip32::GetUpdateCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                     const TArchiverOptions& options, const std::string& dir,
                                     const FileItems& files, bool useResponseFile) {
  return BuildZipCommand("-f", archiveFileName, options, dir, files, useResponseFile);
}

std::string TZip32::GetSfxCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                  const TArchiverOptions& options, const std::string& dir) {
  if (TZip32::LoadedBinding().ZipModule() == 0) {
    throw ESfxNoRequiredFile("zip", "", "ZIP32J.DLL");
  }
  const bool win32 = options.gw > 0;
  const std::string stubName = win32 ? "sfx32gui.dat" : "sfx16.dat";
  const std::string stubPath = platform::SearchPath(stubName);
  if (stubPath.empty()) {
    throw ESfxNoRequiredFile("zip", win32 ? "Win32" : "DOS", stubName);
  }
  const std::string outputPath = SfxOutputFileName(archiveFileName, ".EXE", dir);
  WriteSfxFile(outputPath, {stubPath, archiveFileName}, TSfxTail::None);
  return "-A " + outputPath;
}

std::string TZip32::GetExtractMemCommand(TWindowHandle /*window*/,
                                         const std::string& archiveFileName,
                                         const TArchiverOptions& options,
                                         const std::string& memberName) {
  return BuildUnzipCommand("", archiveFileName, options, "", FileItems{memberName}, false);
}

bool IsZipArchive(const std::string& fileName) {
  try {
    TZipDll& dll = TZip32::LoadedBinding();
    if (dll.CheckArchive(platform::ExpandFileName(fileName), kCheckArchiveMode) == 0) {
      return false;
    }
  } catch (const rtl::Exception&) {
    return false;
  }
  try {
    TZipDll& dll = TZip32::LoadedBinding();
    const std::string fullName = platform::ExpandFileName(fileName);
    if (!platform::FileExists(fullName)) {
      return false;
    }
    const TArchiveHandle handle = dll.OpenArchive(nullptr, fullName, kProbeOpenMode);
    if (handle == nullptr) {
      return false;
    }
    dll.CloseArchive(handle);
    return true;
  } catch (const rtl::Exception&) {
    return false;
  }
}

}  // namespace archive
