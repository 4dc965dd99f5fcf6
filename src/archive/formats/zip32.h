// The archiver of ZIP archives. Three libraries may serve it, any of them
// installed: UNZIP32.DLL (extraction), ZIP32J.DLL (creation) and LMZIP32.DLL
// (both). The binding loads whichever it finds and takes each entry from
// the first library that has it, in an order fixed per operation.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "archive/archiver.h"
#include "archive/formats/bound_archiver.h"
#include "platform/library.h"

namespace archive {

// A file name as the ZIP libraries expect it: a leading "-" becomes "[-]",
// every "\" a "/" and every "[" a "[[]" (which they would otherwise read as
// a wildcard set). The scan respects double-byte characters of the ANSI
// code page, so a trail byte equal to "\" or "[" stays as it is.
std::string ZipPathConverter(const std::string& fileName);

class TZipDll : public TCustomArchiverDll {
 public:
  TZipDll() = default;
  ~TZipDll() override;
  TZipDll(const TZipDll&) = delete;
  TZipDll& operator=(const TZipDll&) = delete;

  // 0 while the library is not loaded.
  std::uintptr_t UnzipModule() const { return unzipModule_.Handle(); }
  std::uintptr_t LmzipModule() const { return lmzipModule_.Handle(); }
  std::uintptr_t ZipModule() const { return zipModule_.Handle(); }
  // The command entries as last bound; null until bound.
  arcapi::TCommandEntry ZipEntry() const { return zipEntry_; }
  arcapi::TCommandEntry UnZipEntry() const { return unZipEntry_; }

  // Loads each of the three libraries that is not loaded yet and can be
  // found. Never fails, even when none is found.
  void Load() override;
  // Frees the libraries and forgets every entry.
  void Unload() override;

  // Runs "UnZip" of UNZIP32.DLL or LMZIP32.DLL.
  int Command(TWindowHandle window, const std::string& archiveFileName,
              const std::string& commandLine, std::string& output) override;
  // Runs "Zip" of ZIP32J.DLL or LMZIP32.DLL. The archive file is never
  // removed here: deleting, freshening and adding keep its members.
  int PackCommand(TWindowHandle window, const std::string& archiveFileName,
                  const std::string& commandLine, std::string& output) override;
  int CheckArchive(const std::string& fileName, int mode) override;
  int CloseArchive(TArchiveHandle archive) override;
  int ExtractMem(TWindowHandle window, const std::string& commandLine, std::uint8_t* buffer,
                 std::uint32_t bufferSize, std::uint32_t* time, std::uint16_t* attribute,
                 std::uint32_t* writtenSize) override;
  int FindFirst(TArchiveHandle archive, const std::string& wildName, TMemberInfo& info) override;
  int FindNext(TArchiveHandle archive, TMemberInfo& info) override;
  // The owner-window entries come from UNZIP32.DLL only and are kept once
  // found; without that library they raise EEntryNotFound.
  int KillOwnerWindowEx(TWindowHandle window) override;
  TArchiveHandle OpenArchive(TWindowHandle window, const std::string& fileName,
                             std::uint32_t mode) override;
  int SetOwnerWindowEx(TWindowHandle window, arcapi::TArchiverProc callback) override;
  int GetWriteTimeEx(TArchiveHandle archive, std::uint64_t& fileTime) override;
  int GetCreateTimeEx(TArchiveHandle archive, std::uint64_t& fileTime) override;
  int GetAccessTimeEx(TArchiveHandle archive, std::uint64_t& fileTime) override;

 private:
  using ModuleOrder = std::initializer_list<const platform::Library*>;

  // Looks `entryName` up afresh in each loaded module of `order` and
  // stores the first address found in `slot` (null when none has it). A
  // missing required entry raises EEntryNotFound naming the entry.
  template <class Entry>
  bool BindFromModules(Entry& slot, ModuleOrder order, const std::string& entryName,
                       bool required) const;
  // The name the entry has in `module`: LMZIP32.DLL spells "UnZip" "Unzip".
  std::string NameIn(const platform::Library& module, const std::string& entryName) const;

  platform::Library unzipModule_;
  platform::Library lmzipModule_;
  platform::Library zipModule_;
  arcapi::TCommandEntry zipEntry_ = nullptr;
  arcapi::TCommandEntry unZipEntry_ = nullptr;
};

// Creates and loads the ZIP binding unless one is stored: whichever of the
// three libraries are present; it never fails for want of them (the
// operations that need one say so). A library installed after that is not
// picked up.
void LoadZipBinding(std::unique_ptr<TZipDll>& binding);

class TZip32 : public TBoundArchiver<TArchiver, atZip, TZipDll, &LoadZipBinding> {
 public:
  static TZipDll* ZipDll() { return Binding(); }

  // The template's steps, except that an empty file named as the archive
  // (a placeholder without members, which no library could add to) is
  // removed before the new archive is made. An archive with content is
  // never removed.
  int AddFiles(TWindowHandle window, const std::string& archiveFileName,
               const TArchiverOptions& options, const std::string& dir, const FileItems& files,
               bool useResponseFile, std::string& commandLine, std::string& output) override;

  // Which line an operation gets depends on the libraries loaded, so ZIP
  // builds its lines itself instead of from plans.
  std::string GetExtractCommand(TWindowHandle window, const std::string& archiveFileName,
                                const TArchiverOptions& options, const std::string& dir,
                                const FileItems& files, bool useResponseFile) override;
  std::string GetAddCommand(TWindowHandle window, const std::string& archiveFileName,
                            const TArchiverOptions& options, const std::string& dir,
                            const FileItems& files, bool useResponseFile) override;
  std::string GetDeleteCommand(TWindowHandle window, const std::string& archiveFileName,
                               const TArchiverOptions& options, const std::string& dir,
                               const FileItems& files, bool useResponseFile) override;
  std::string GetUpdateCommand(TWindowHandle window, const std::string& archiveFileName,
                               const TArchiverOptions& options, const std::string& dir,
                               const FileItems& files, bool useResponseFile) override;
  // Writes the self-extracting file (stub, then archive) named like the
  // archive with the extension ".EXE", in `dir` when one is given, and
  // returns the line that has ZIP32J.DLL adjust it.
  std::string GetSfxCommand(TWindowHandle window, const std::string& archiveFileName,
                            const TArchiverOptions& options, const std::string& dir) override;
  std::string GetExtractMemCommand(TWindowHandle window, const std::string& archiveFileName,
                                   const TArchiverOptions& options,
                                   const std::string& memberName) override;

  // The command word, the dialect's switches, UserOptions, the quoted
  // archive and directory, and the file list.
  std::string BuildUnzipCommand(const std::string& command, const std::string& archiveFileName,
                                const TArchiverOptions& options, const std::string& dir,
                                const FileItems& files, bool useResponseFile) const;
  static std::string BuildLmzipCommand(const std::string& command,
                                       const std::string& archiveFileName,
                                       const TArchiverOptions& options, const std::string& dir,
                                       const FileItems& files, bool useResponseFile);
  static std::string BuildZipCommand(const std::string& command, const std::string& archiveFileName,
                                     const TArchiverOptions& options, const std::string& dir,
                                     const FileItems& files, bool useResponseFile);
};

// Whether the file is a ZIP archive by the libraries' check and by opening
// it; never raises.
bool IsZipArchive(const std::string& fileName);

}  // namespace archive
