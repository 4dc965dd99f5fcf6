// The program's string table: every message of the program (runtime, page
// reader, archive framework, update tool), loaded in the ANSI code page.
#pragma once

#include <string>

namespace rtl {

// Each subsystem has a block of its own below the numbered ids, so adding a
// text never moves an existing id.
enum StrId : int {
  // The runtime: conversions, lists, files and streams.
  SAssignError = 61440,
  SListIndexOutOfBounds,
  SOSError,
  SInvalidFormat,
  SAssertionAt,
  SFOpenError,
  SFOpenErrorBare,  // the same without the system's reason
  SFCreateError,
  SFCreateErrorBare,
  SFReadError,
  SFReadErrorBare,
  SFWriteError,
  SFWriteErrorBare,
  SStreamReadError,
  SStreamWriteError,

  // The page reader's wide string lists.
  SListIndexError = 61696,
  SSortedListError,
  SDuplicateString,

  // The archive framework.
  SAbstractLoadDLL = 61952,
  SAbstractFreeDLL,
  SAddNotSupported,
  SDeleteNotSupported,
  SUpdateNotSupported,
  SSfxNotSupported,
  SExtractMemNotSupported,
  SFormatNotSet,
  SFormatUnknown,
  SEntryNotFound,
  SLibraryRequired,
  SSfxFileRequired,
  SSfxTooLarge,
  SSfxOutputIsPart,
  SAbstractGetExtractCommand,
  SAbstractBuildCommand,

  // The archiver libraries' result codes in words.
  SResultDiskSpace = 62208,
  SResultReadOnly,
  SResultUserSkip,
  SResultUnknownType,
  SResultMethod,
  SResultPasswordFile,
  SResultVersion,
  SResultFileCrc,
  SResultFileOpen,
  SResultMoreFresh,
  SResultNotExist,
  SResultAlreadyExist,
  SResultTooManyFiles,
  SResultMakeDirectory,
  SResultCannotWrite,
  SResultHuffmanCode,
  SResultHeaderCrc,
  SResultHeaderBroken,
  SResultArchiveFileOpen,
  SResultNotArchiveFile,
  SResultCannotRead,
  SResultAlreadyRunning,
  SResultUserCancel,
  SResultHandleNotOpened,
  SResultNotSearchMode,
  SResultNotSupported,
  SResultUnknown,

  // The archive formats. The names come first and stay together: the
  // format registry checks its rows against this run.
  STarFormat = 62464,
  SRarFormat,
  SArjFormat,
  SZipFormat,
  SBgaFormat,
  SYz1Format,
  SCabFormat,
  SLhaFormat,
  S7zFormat,
  STarBz2NoSfx,
  STarSfxOutputInUse,
  SLhaJseMissing,
  SLhaJsoMissing,
  SZipEntryNotFound,
  SZipExtractLibraryRequired,
  SZipCreateLibraryRequired,
  SYz1LibraryRequired,
  SYz1EitherLibrary,
  SYz1DosSfxStubRequired,
  SYz1Win32SfxStubRequired,
  S7z16BitSfx,

  // The update tool: banner and usage, one id a line.
  SBanner = 62720,
  SUsageSyntax,
  SUsageSource,
  SUsageSourceArchive,
  SUsageSourcePattern,
  SUsageSourcePage,
  SUsageSourcePageLatest,
  SUsageDest,
  SUsageDestDefault,
  SUsageDownPath,
  SUsageDownPathSaved,
  SUsageDelete,
  SUsageDeleteIgnored,

  // The update tool: failures, notices, and the titles of the windows it
  // looks for.
  SErrorCaption = 62976,
  SUnhandledException,
  SInterrupted,
  SRestored,
  SNotRestored,
  SExtractFailed,
  SNothingExtracted,
  SRestoredFromBackup,
  SNotInstalledDotName,
  SWaitingForClose,
  SWaitingForWritable,
  SInstallingInto,
  SExtracting,
  SUnitBytes,
  SUnitFiles,
  SConfirmTitle,
  SYesButtonTitle,

  // The update tool and the directory treatment, at their fixed numbers.
  SPageDownloadFailed = 65280,
  SModuleNotFound = 65281,
  SFileDownloadFailed = 65282,
  SNotUpdated = 65283,
  SCloseFailure = 65306,
  SDestDirMissing = 65307,
  SExecZelFailed = 65308,
  SArchiveNotFound = 65309,
  SCreateDirFailed = 65310,
  SFileCheckFailed = 65311,
  SFileDeleteFailed = 65324,
  SDirDeleteFailed = 65325,
  SDirMissing = 65326,
  SFileCopyFailed = 65327,
};

// The text of `id` in the ANSI code page; empty for an id not in the table.
std::string LoadStr(int id);

}  // namespace rtl
