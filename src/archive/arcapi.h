// The common archiver library interface: calling convention, handles,
// records, return codes, modes and entry types. Shared by the binding and by
// every library that implements the interface, so it depends on nothing but
// the standard library. Records are packed and little-endian; strings are
// 8-bit, NUL-terminated, in the ANSI code page. The types are plain C layouts
// so that a library can use them in its extern "C" entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Every entry and callback of the interface uses the platform's standard
// calling convention (ARCAPI).
#include "platform/abi.h"

namespace arcapi {

// Opaque, pointer-sized handles; the library gives an archive handle its
// meaning, a null handle is "none" or a failure.
struct TWindowTag;
struct TArchiveTag;
using TWindowHandle = TWindowTag*;
using TArchiveHandle = TArchiveTag*;

#pragma pack(push, 1)

// The library's per-member record, filled by FindFirst and FindNext.
struct TDllMemberInfo {
  std::uint32_t OriginalSize;  // uncompressed size
  std::uint32_t CompressedSize;
  std::uint32_t Crc;
  std::uint32_t Flag;
  std::uint32_t OsType;
  std::uint16_t Ratio;  // per mille
  std::uint16_t DosDate;
  std::uint16_t DosTime;
  char FileName[513];
  char Reserved[3];
  char Attribute[8];  // attribute text
  char Method[8];     // method text, e.g. "-lh5-"
};

// The records are packed: read a field into a value (a copy) rather than
// binding a reference or pointer to it, which may be misaligned.

// The member record the program hands out: the library's record, then the
// program's own fields, filled after each successful search call. The file
// times are 100 ns units since 1601-01-01 UTC.
struct TMemberInfo {
  TDllMemberInfo Dll;
  std::uint64_t LastWriteTime;
  std::uint64_t LastAccessTime;
  std::uint64_t CreationTime;
  std::uint64_t OriginalSize64;
  std::uint64_t CompressedSize64;
};

// The record a progress message points at.
struct TExtractingInfo {
  std::uint32_t FileSize;
  std::uint32_t WriteSize;
  char SourceFileName[513];  // the member's name in the archive
  char Reserved1[3];
  char DestFileName[513];  // the file being written
  char Reserved2[3];
};

struct TExtractingInfoEx {
  TExtractingInfo Info;
  std::uint32_t CompressedSize;
  std::uint32_t Crc;
  std::uint32_t OsType;
  std::uint16_t Ratio;
  std::uint16_t DosDate;
  std::uint16_t DosTime;
  char Attribute[8];
  char Method[8];
};

// The record handed to the enumeration callback. Its size is what the
// program announces through SetEnumMembersProc64; the program never reads
// it, so it is kept opaque here rather than guessing at fields.
struct TEnumMemberInfo64 {
  std::uint8_t Bytes[1094];
};

#pragma pack(pop)

static_assert(sizeof(TDllMemberInfo) == 558);
static_assert(offsetof(TDllMemberInfo, OriginalSize) == 0);
static_assert(offsetof(TDllMemberInfo, CompressedSize) == 4);
static_assert(offsetof(TDllMemberInfo, DosDate) == 22);
static_assert(offsetof(TDllMemberInfo, DosTime) == 24);
static_assert(offsetof(TDllMemberInfo, FileName) == 26);
static_assert(offsetof(TDllMemberInfo, Attribute) == 542);
static_assert(offsetof(TDllMemberInfo, Method) == 550);
static_assert(sizeof(TMemberInfo) == 598);
static_assert(offsetof(TMemberInfo, LastWriteTime) == 558);
static_assert(offsetof(TMemberInfo, LastAccessTime) == 566);
static_assert(offsetof(TMemberInfo, CreationTime) == 574);
static_assert(offsetof(TMemberInfo, OriginalSize64) == 582);
static_assert(offsetof(TMemberInfo, CompressedSize64) == 590);
static_assert(sizeof(TExtractingInfo) == 1040);
static_assert(offsetof(TExtractingInfo, SourceFileName) == 8);
static_assert(offsetof(TExtractingInfo, DestFileName) == 524);
static_assert(sizeof(TExtractingInfoEx) == 1074);
static_assert(offsetof(TExtractingInfoEx, CompressedSize) == 1040);
static_assert(offsetof(TExtractingInfoEx, Method) == 1066);
static_assert(sizeof(TEnumMemberInfo64) == 1094);

inline constexpr std::uint32_t kEnumMemberInfo64Size = sizeof(TEnumMemberInfo64);

// Return codes of the command entry and the search entries.
inline constexpr int kSuccess = 0;
inline constexpr int kFindEnd = -1;  // FindFirst/FindNext: no more members
inline constexpr int kWarningFirst = 0x8005;
inline constexpr int kErrorDiskSpace = 0x8005;
inline constexpr int kErrorReadOnly = 0x8006;
inline constexpr int kErrorUserSkip = 0x8007;
inline constexpr int kErrorUnknownType = 0x8008;
inline constexpr int kErrorMethod = 0x8009;
inline constexpr int kErrorPasswordFile = 0x800A;  // 32778
inline constexpr int kErrorVersion = 0x800B;
inline constexpr int kErrorFileCrc = 0x800C;
inline constexpr int kErrorFileOpen = 0x800D;
inline constexpr int kErrorMoreFresh = 0x800E;
inline constexpr int kErrorNotExist = 0x800F;
inline constexpr int kErrorAlreadyExist = 0x8010;
inline constexpr int kErrorTooManyFiles = 0x8011;
inline constexpr int kErrorFirst = 0x8012;
inline constexpr int kErrorMakeDirectory = 0x8012;
inline constexpr int kErrorCannotWrite = 0x8013;
inline constexpr int kErrorHuffmanCode = 0x8014;
inline constexpr int kErrorHeaderCrc = 0x8016;
inline constexpr int kErrorHeaderBroken = 0x8017;
inline constexpr int kErrorArchiveFileOpen = 0x8018;
inline constexpr int kErrorNotArchiveFile = 0x8019;
inline constexpr int kErrorCannotRead = 0x801A;
inline constexpr int kErrorAlreadyRunning = 0x801F;
inline constexpr int kErrorUserCancel = 0x8020;
inline constexpr int kErrorHandleNotOpened = 0x8021;
inline constexpr int kErrorNotSearchMode = 0x8022;
inline constexpr int kErrorNotSupported = 0x8023;

// CheckArchive modes; the last four combine with the first three.
inline constexpr int kCheckRapid = 0;
inline constexpr int kCheckBasic = 1;
inline constexpr int kCheckFullCrc = 2;
inline constexpr int kCheckRecovery = 4;
inline constexpr int kCheckSfx = 8;
inline constexpr int kCheckAll = 16;
inline constexpr int kCheckEndData = 32;

// OpenArchive mode bits.
inline constexpr std::uint32_t kOpenUseIniFile = 0x1;
inline constexpr std::uint32_t kOpenRegardlessIniFile = 0x2;
inline constexpr std::uint32_t kOpenNoBackgroundMode = 0x4;
inline constexpr std::uint32_t kOpenCheckAllPath = 0x100;
inline constexpr std::uint32_t kOpenCheckFileNameOnly = 0x200;
inline constexpr std::uint32_t kOpenErrorMessageOn = 0x400000;
inline constexpr std::uint32_t kOpenErrorMessageOff = 0x800000;
inline constexpr std::uint32_t kOpenRecoveryOn = 0x8000000;
inline constexpr std::uint32_t kOpenExtractFoundFile = 0x40000000;
inline constexpr std::uint32_t kOpenExtractNamedFile = 0x80000000;

// Progress messages: the registered message's name and its states (first
// parameter); the second parameter points at a TExtractingInfoEx.
inline constexpr std::string_view kExtractMessageName = "wm_arcextract";
inline constexpr int kExtractBegin = 0;
inline constexpr int kExtractInProcess = 1;
inline constexpr int kExtractEnd = 2;
inline constexpr int kExtractOpen = 3;
inline constexpr int kExtractCopy = 4;

// Entry-name suffixes; the command entry is the prefix alone.
inline constexpr std::string_view kOpenArchiveSuffix = "OpenArchive";
inline constexpr std::string_view kCloseArchiveSuffix = "CloseArchive";
inline constexpr std::string_view kFindFirstSuffix = "FindFirst";
inline constexpr std::string_view kFindNextSuffix = "FindNext";
inline constexpr std::string_view kExtractMemSuffix = "ExtractMem";
inline constexpr std::string_view kCheckArchiveSuffix = "CheckArchive";
inline constexpr std::string_view kSetOwnerWindowExSuffix = "SetOwnerWindowEx";
inline constexpr std::string_view kKillOwnerWindowExSuffix = "KillOwnerWindowEx";
inline constexpr std::string_view kGetWriteTimeExSuffix = "GetWriteTimeEx";
inline constexpr std::string_view kGetCreateTimeExSuffix = "GetCreateTimeEx";
inline constexpr std::string_view kGetAccessTimeExSuffix = "GetAccessTimeEx";
inline constexpr std::string_view kGetOriginalSizeExSuffix = "GetOriginalSizeEx";
inline constexpr std::string_view kGetCompressedSizeExSuffix = "GetCompressedSizeEx";
inline constexpr std::string_view kGetArchiveTypeSuffix = "GetArchiveType";
inline constexpr std::string_view kSetEnumMembersProc64Suffix = "SetEnumMembersProc64";
inline constexpr std::string_view kClearEnumMembersProc64Suffix = "ClearEnumMembersProc64";
inline constexpr std::string_view kSetDefaultPasswordSuffix = "SetDefaultPassword";
inline constexpr std::string_view kPasswordDialogSuffix = "PasswordDialog";

// Callbacks the program hands to a library. The owner-window callback is
// passed null by the program (progress then comes as window messages); the
// enumeration callback returns non-zero to go on, 0 to stop.
using TArchiverProc = int(ARCAPI*)(TWindowHandle window, std::uint32_t message, std::uint32_t state,
                                   void* info);
using TEnumMembersProc64 = int(ARCAPI*)(TEnumMemberInfo64* info);

// The entries.
using TCommandEntry = int(ARCAPI*)(TWindowHandle window, const char* commandLine, char* output,
                                   std::uint32_t outputSize);
using TOpenArchiveEntry = TArchiveHandle(ARCAPI*)(TWindowHandle window, const char* fileName,
                                                  std::uint32_t mode);
using TCloseArchiveEntry = int(ARCAPI*)(TArchiveHandle archive);
using TFindFirstEntry = int(ARCAPI*)(TArchiveHandle archive, const char* wildName,
                                     TDllMemberInfo* info);
using TFindNextEntry = int(ARCAPI*)(TArchiveHandle archive, TDllMemberInfo* info);
// `time` receives the library's own time stamp; the program passes null for
// it and for `attribute`.
using TExtractMemEntry = int(ARCAPI*)(TWindowHandle window, const char* commandLine,
                                      std::uint8_t* buffer, std::uint32_t bufferSize,
                                      std::uint32_t* time, std::uint16_t* attribute,
                                      std::uint32_t* writtenSize);
using TCheckArchiveEntry = int(ARCAPI*)(const char* fileName, int mode);
using TSetOwnerWindowExEntry = int(ARCAPI*)(TWindowHandle window, TArchiverProc callback);
using TKillOwnerWindowExEntry = int(ARCAPI*)(TWindowHandle window);
// Write, creation and access time of the member last found.
using TGetFileTimeExEntry = int(ARCAPI*)(TArchiveHandle archive, std::uint64_t* fileTime);
// Original or compressed 64-bit size of the member last found.
using TGetSizeExEntry = int(ARCAPI*)(TArchiveHandle archive, std::uint64_t* size);
using TGetArchiveTypeEntry = int(ARCAPI*)(const char* fileName);
using TSetEnumMembersProc64Entry = int(ARCAPI*)(TEnumMembersProc64 callback,
                                                std::uint32_t recordSize);
using TClearEnumMembersProc64Entry = int(ARCAPI*)();
using TSetDefaultPasswordEntry = int(ARCAPI*)(TArchiveHandle archive, const char* password);
using TPasswordDialogEntry = int(ARCAPI*)(TWindowHandle window, char* buffer,
                                          std::uint32_t bufferSize);

}  // namespace arcapi
