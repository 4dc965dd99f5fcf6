// The binding to one archiver library of the common interface: loading by
// file name, entry lookup on first use, required and optional entries, and
// the completion of member records with the program's own fields.
//
// All strings are 8-bit in the ANSI code page. Results of the library are
// handed back unjudged; only a missing library or a missing required entry
// raises.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "archive/arcapi.h"
#include "platform/library.h"
#include "rtl/strtable.h"

namespace archive {

using arcapi::TArchiveHandle;
using arcapi::TEnumMemberInfo64;
using arcapi::TMemberInfo;
using arcapi::TWindowHandle;

// The seventeen entry slots, in the interface's order; null until bound.
struct TArchiverEntries {
  arcapi::TCommandEntry Command = nullptr;
  arcapi::TOpenArchiveEntry OpenArchive = nullptr;
  arcapi::TCloseArchiveEntry CloseArchive = nullptr;
  arcapi::TFindFirstEntry FindFirst = nullptr;
  arcapi::TFindNextEntry FindNext = nullptr;
  arcapi::TExtractMemEntry ExtractMem = nullptr;
  arcapi::TCheckArchiveEntry CheckArchive = nullptr;
  arcapi::TSetOwnerWindowExEntry SetOwnerWindowEx = nullptr;
  arcapi::TKillOwnerWindowExEntry KillOwnerWindowEx = nullptr;
  arcapi::TGetFileTimeExEntry GetWriteTimeEx = nullptr;
  arcapi::TGetFileTimeExEntry GetCreateTimeEx = nullptr;
  arcapi::TGetFileTimeExEntry GetAccessTimeEx = nullptr;
  arcapi::TGetSizeExEntry GetOriginalSizeEx = nullptr;
  arcapi::TGetSizeExEntry GetCompressedSizeEx = nullptr;
  arcapi::TGetArchiveTypeEntry GetArchiveType = nullptr;
  arcapi::TSetEnumMembersProc64Entry SetEnumMembersProc64 = nullptr;
  arcapi::TClearEnumMembersProc64Entry ClearEnumMembersProc64 = nullptr;
};

// A DOS date and time as a UTC file time; both 0 give 0. False, with
// `fileTime` set to 0, when the DOS values are not a valid date and time.
bool DosTimeToFileTime(std::uint16_t dosDate, std::uint16_t dosTime, std::uint64_t& fileTime);

// The operations every binding offers, each calling its slot. A derived
// binding binds a required entry before it runs the body here; an optional
// operation answers 0 while its slot is null.
class TCustomArchiverDll {
 public:
  TCustomArchiverDll() = default;
  virtual ~TCustomArchiverDll();
  TCustomArchiverDll(const TCustomArchiverDll&) = delete;
  TCustomArchiverDll& operator=(const TCustomArchiverDll&) = delete;

  virtual void Load() = 0;
  // Forgets every bound entry.
  virtual void Unload();
  // Runs one command line. The library writes its text output in place into
  // `output` (its own storage and length; an empty string passes a null
  // buffer and size 0). `archiveFileName` is for bindings that need it.
  virtual int Command(TWindowHandle window, const std::string& archiveFileName,
                      const std::string& commandLine, std::string& output);
  virtual int PackCommand(TWindowHandle window, const std::string& archiveFileName,
                          const std::string& commandLine, std::string& output);
  virtual int CheckArchive(const std::string& fileName, int mode);
  virtual int CloseArchive(TArchiveHandle archive);
  virtual int ExtractMem(TWindowHandle window, const std::string& commandLine, std::uint8_t* buffer,
                         std::uint32_t bufferSize, std::uint32_t* time, std::uint16_t* attribute,
                         std::uint32_t* writtenSize);
  // 0 when a member was found; `info` is then complete (CompleteMemberInfo).
  virtual int FindFirst(TArchiveHandle archive, const std::string& wildName, TMemberInfo& info);
  virtual int FindNext(TArchiveHandle archive, TMemberInfo& info);
  virtual int KillOwnerWindowEx(TWindowHandle window);
  virtual TArchiveHandle OpenArchive(TWindowHandle window, const std::string& fileName,
                                     std::uint32_t mode);
  virtual int SetOwnerWindowEx(TWindowHandle window, arcapi::TArchiverProc callback);
  // Non-zero when a value was delivered.
  virtual int GetWriteTimeEx(TArchiveHandle archive, std::uint64_t& fileTime);
  virtual int GetCreateTimeEx(TArchiveHandle archive, std::uint64_t& fileTime);
  virtual int GetAccessTimeEx(TArchiveHandle archive, std::uint64_t& fileTime);
  virtual int GetOriginalSizeEx(TArchiveHandle archive, std::uint64_t& size);
  virtual int GetCompressedSizeEx(TArchiveHandle archive, std::uint64_t& size);
  virtual int GetArchiveType(const std::string& fileName);
  virtual int SetEnumMembersProc64(arcapi::TEnumMembersProc64 callback, std::uint32_t recordSize);
  virtual int ClearEnumMembersProc64();

  // The slots as they stand (null: not bound yet).
  const TArchiverEntries& Entries() const { return entries_; }

 protected:
  TArchiverEntries& EntrySlots() { return entries_; }

  // Fills the program's fields of `info` after a successful search: the
  // time and size entries, falling back to the DOS date and time and the
  // 32-bit sizes where an entry delivers nothing.
  void CompleteMemberInfo(TArchiveHandle archive, TMemberInfo& info);

  // Binds `slot` to the entry `entryName` of `module` unless it is bound
  // already; a bound entry is kept until Unload. True when the slot holds an
  // address. A missing required entry raises EEntryNotFound naming the
  // module's file and the entry.
  template <class Entry>
  static bool BindEntry(Entry& slot, const platform::Library& module, const std::string& entryName,
                        bool required) {
    if (slot == nullptr) {
      slot = module.GetProcAddressAs<Entry>(entryName);
      if (slot == nullptr && required) {
        RaiseEntryNotFound(module, entryName);
      }
    }
    return slot != nullptr;
  }

 private:
  [[noreturn]] static void RaiseEntryNotFound(const platform::Library& module,
                                              const std::string& entryName);

  TArchiverEntries entries_;
};

// Binds one library under one prefix: the command entry is the prefix
// alone, the others the prefix and the entry's suffix. The library is loaded
// by Load (not by the constructor); operations that need it load it first.
class TArchiverDll : public TCustomArchiverDll {
 public:
  TArchiverDll(std::string formatName, std::string dllName, std::string prefix);
  ~TArchiverDll() override;
  TArchiverDll(const TArchiverDll&) = delete;
  TArchiverDll& operator=(const TArchiverDll&) = delete;

  // 0 while not loaded.
  std::uintptr_t ModuleHandle() const { return module_.Handle(); }
  const std::string& FormatName() const { return formatName_; }
  const std::string& DllName() const { return dllName_; }
  const std::string& Prefix() const { return prefix_; }

  // Loads the library unless it is loaded; raises ENoArchiverDLL naming the
  // format and the file when it cannot. A failed attempt leaves nothing, so
  // the next call tries again.
  void Load() override;
  // Forgets the entries and frees the library.
  void Unload() override;

  int Command(TWindowHandle window, const std::string& archiveFileName,
              const std::string& commandLine, std::string& output) override;
  int CheckArchive(const std::string& fileName, int mode) override;
  int CloseArchive(TArchiveHandle archive) override;
  int ExtractMem(TWindowHandle window, const std::string& commandLine, std::uint8_t* buffer,
                 std::uint32_t bufferSize, std::uint32_t* time, std::uint16_t* attribute,
                 std::uint32_t* writtenSize) override;
  int FindFirst(TArchiveHandle archive, const std::string& wildName, TMemberInfo& info) override;
  int FindNext(TArchiveHandle archive, TMemberInfo& info) override;
  int KillOwnerWindowEx(TWindowHandle window) override;
  TArchiveHandle OpenArchive(TWindowHandle window, const std::string& fileName,
                             std::uint32_t mode) override;
  int SetOwnerWindowEx(TWindowHandle window, arcapi::TArchiverProc callback) override;
  int GetWriteTimeEx(TArchiveHandle archive, std::uint64_t& fileTime) override;
  int GetCreateTimeEx(TArchiveHandle archive, std::uint64_t& fileTime) override;
  int GetAccessTimeEx(TArchiveHandle archive, std::uint64_t& fileTime) override;
  int GetOriginalSizeEx(TArchiveHandle archive, std::uint64_t& size) override;
  int GetCompressedSizeEx(TArchiveHandle archive, std::uint64_t& size) override;
  int GetArchiveType(const std::string& fileName) override;
  int SetEnumMembersProc64(arcapi::TEnumMembersProc64 callback, std::uint32_t recordSize) override;
  int ClearEnumMembersProc64() override;

 protected:
  const platform::Library& Module() const { return module_; }
  // BindEntry with this library and the name Prefix + `suffix`.
  template <class Entry>
  bool Bind(Entry& slot, std::string_view suffix, bool required) {
    return BindEntry(slot, module_, prefix_ + std::string(suffix), required);
  }

 private:
  platform::Library module_;
  std::string formatName_;
  std::string dllName_;
  std::string prefix_;
};

// A format's process-wide binding: created and stored by the first call,
// then loaded. The binding stays stored when loading fails, so later calls
// return at once and each operation that loads first reports the missing
// library again. The text of `formatName` names the format in the message.
void LoadFormatBinding(std::unique_ptr<TArchiverDll>& binding, rtl::StrId formatName,
                       std::string_view dllName, std::string_view prefix);

}  // namespace archive
