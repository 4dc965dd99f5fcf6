// Self-extracting files that the program puts together itself, without the
// archiver library: a stub, optional further files and the archive, joined
// byte for byte into one new file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "rtl/mbcs.h"

namespace archive {

// `fileName` with its extension (the period included) replaced by `ext`,
// or with `ext` appended when it has none. Only the file-name part counts.
std::string ChangeFileExt(std::string_view fileName, std::string_view ext,
                          char delimiter = rtl::PathDelim);

// Where a self-extracting file goes: the archive name with the extension
// `ext`; with a directory, that name's file part in the directory.
std::string SfxOutputFileName(const std::string& archiveFileName, std::string_view ext,
                              const std::string& dir);

// What follows the parts in the output.
enum class TSfxTail {
  None,
  // The size of the last part as an unsigned 32-bit number, most
  // significant byte first.
  LastPartSizeBigEndian,
};

// Creates `outputName` (replacing a file of that name) from the whole
// content of each file of `partNames`, in order, and the tail.
//
// All parts are opened before the output is touched; a part that cannot be
// opened raises EFOpenError. An output that is one of its own parts would be
// emptied before it is read, so it is refused with EFCreateError, as is an
// output that cannot be created. A last part too large for the 32-bit tail
// raises EArchiver before anything is written. A failed read or write
// raises EReadError or EWriteError and removes the partly written output, so
// no broken file is left looking like a finished one. Every file is closed
// on every path.
void WriteSfxFile(const std::string& outputName, const std::vector<std::string>& partNames,
                  TSfxTail tail);

}  // namespace archive
