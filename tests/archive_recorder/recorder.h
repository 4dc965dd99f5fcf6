// The recording archiver library: what every generated entry forwards to.
// Each function records its call (entry name, arguments, result) in the log
// file named by ZEL_RECORDER_LOG and answers what the script file named by
// ZEL_RECORDER_SCRIPT says (see README.md). None of them throws.
#pragma once

#include <cstdint>

#include "archive/arcapi.h"

namespace recorder {

// The file name of the library being built ("libunlha32.so" on Linux,
// "UNLHA32.DLL" on Windows), defined by its generated entries.
extern const char* const kLibraryName;

int Command(const char* entry, const char* kind, arcapi::TWindowHandle window,
            const char* commandLine, char* output, std::uint32_t outputSize) noexcept;
arcapi::TArchiveHandle OpenArchive(const char* entry, arcapi::TWindowHandle window,
                                   const char* fileName, std::uint32_t mode) noexcept;
int CloseArchive(const char* entry, arcapi::TArchiveHandle archive) noexcept;
int FindFirst(const char* entry, arcapi::TArchiveHandle archive, const char* wildName,
              arcapi::TDllMemberInfo* info) noexcept;
int FindNext(const char* entry, arcapi::TArchiveHandle archive,
             arcapi::TDllMemberInfo* info) noexcept;
int ExtractMem(const char* entry, arcapi::TWindowHandle window, const char* commandLine,
               std::uint8_t* buffer, std::uint32_t bufferSize, std::uint32_t* time,
               std::uint16_t* attribute, std::uint32_t* writtenSize) noexcept;
int CheckArchive(const char* entry, const char* fileName, int mode) noexcept;
int SetOwnerWindowEx(const char* entry, arcapi::TWindowHandle window,
                     arcapi::TArchiverProc callback) noexcept;
int KillOwnerWindowEx(const char* entry, arcapi::TWindowHandle window) noexcept;
// GetWriteTimeEx, GetCreateTimeEx, GetAccessTimeEx, GetOriginalSizeEx and
// GetCompressedSizeEx, told apart by `kind`.
int GetMemberValue(const char* entry, const char* kind, arcapi::TArchiveHandle archive,
                   std::uint64_t* value) noexcept;
int GetArchiveType(const char* entry, const char* fileName) noexcept;
int SetEnumMembersProc64(const char* entry, arcapi::TEnumMembersProc64 callback,
                         std::uint32_t recordSize) noexcept;
int ClearEnumMembersProc64(const char* entry) noexcept;
int SetDefaultPassword(const char* entry, arcapi::TArchiveHandle archive,
                       const char* password) noexcept;
int PasswordDialog(const char* entry, arcapi::TWindowHandle window, char* buffer,
                   std::uint32_t bufferSize) noexcept;

}  // namespace recorder
