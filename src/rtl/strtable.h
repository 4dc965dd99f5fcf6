// The program's string table: every message of the update tool and of the
// directory treatment, loaded in the ANSI code page.
#pragma once

#include <string>

namespace rtl {

enum StrId : int {
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
