// The engine behind every exported entry. The exported functions of a
// library (generated from exports.cpp.in) pass their family and forward
// here; nothing leaves these functions but a return value.
#pragma once

#include <cstdint>

#include "archive/arcapi.h"
#include "family.h"

namespace archivers::entries {

int Command(Family family, arcapi::TWindowHandle window, const char* commandLine, char* output,
            std::uint32_t outputSize) noexcept;
int PackCommand(Family family, arcapi::TWindowHandle window, const char* commandLine, char* output,
                std::uint32_t outputSize) noexcept;
arcapi::TArchiveHandle OpenArchive(Family family, arcapi::TWindowHandle window,
                                   const char* fileName, std::uint32_t mode) noexcept;
int CloseArchive(arcapi::TArchiveHandle archive) noexcept;
int FindFirst(arcapi::TArchiveHandle archive, const char* wildName,
              arcapi::TDllMemberInfo* info) noexcept;
int FindNext(arcapi::TArchiveHandle archive, arcapi::TDllMemberInfo* info) noexcept;
int ExtractMem(Family family, arcapi::TWindowHandle window, const char* commandLine,
               std::uint8_t* buffer, std::uint32_t bufferSize, std::uint32_t* time,
               std::uint16_t* attribute, std::uint32_t* writtenSize) noexcept;
int CheckArchive(Family family, const char* fileName, int mode) noexcept;
int SetOwnerWindowEx(arcapi::TWindowHandle window, arcapi::TArchiverProc callback) noexcept;
int KillOwnerWindowEx(arcapi::TWindowHandle window) noexcept;
int GetWriteTimeEx(arcapi::TArchiveHandle archive, std::uint64_t* value) noexcept;
int GetCreateTimeEx(arcapi::TArchiveHandle archive, std::uint64_t* value) noexcept;
int GetAccessTimeEx(arcapi::TArchiveHandle archive, std::uint64_t* value) noexcept;
int GetOriginalSizeEx(arcapi::TArchiveHandle archive, std::uint64_t* value) noexcept;
int GetCompressedSizeEx(arcapi::TArchiveHandle archive, std::uint64_t* value) noexcept;
int GetArchiveType(Family family, const char* fileName) noexcept;
int SetEnumMembersProc64(arcapi::TEnumMembersProc64 callback, std::uint32_t recordSize) noexcept;
int ClearEnumMembersProc64() noexcept;

}  // namespace archivers::entries
