// Byte-string helpers that read 8-bit text as double-byte text in the ANSI
// code page: a trail byte never counts as a delimiter or as the start of a
// match. Positions are 1-based as in the tool's rules; 0 means "none".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// PathDelim and DriveDelim, from the backend's own header.
#include "rtl_paths.h"

namespace rtl {

enum class MbcsByteType { Single, Lead, Trail };

bool IsLeadByte(unsigned char byte);
// The kind of the byte at 1-based `index` of `s`.
MbcsByteType ByteType(std::string_view s, std::size_t index);

// Position of the last character of `s` that is one of `delimiters`.
std::size_t LastDelimiter(std::string_view delimiters, std::string_view s);
// Position of the first occurrence of `sub` in `s` that starts on a character.
std::size_t AnsiPos(std::string_view sub, std::string_view s);
// True when the character at `index` is `delimiter` (and not a trail byte).
bool IsDelimiterAt(std::string_view s, std::size_t index, char delimiter);
bool IsPathDelimiter(std::string_view s, std::size_t index);

// `path` ends with `delimiter` as a whole character.
bool HasTrailingDelimiter(std::string_view path, char delimiter);
// Appends `delimiter` unless the path is empty or already ends with it.
std::string IncludeTrailingDelimiter(std::string_view path, char delimiter);
std::string IncludeTrailingPathDelimiter(std::string_view path);
// The path without its trailing delimiter (a lone root delimiter stays).
std::string ExcludeTrailingPathDelimiter(std::string_view path);

// File name parts; the separators are PathDelim and DriveDelim.
std::string ExtractFilePath(std::string_view fileName);  // with trailing delimiter
std::string ExtractFileDir(std::string_view fileName);   // without it
std::string ExtractFileName(std::string_view fileName);
std::string ExtractFileExt(std::string_view fileName);  // with the period

// `text` with each control character (below 0x20, and 0x7F) written as
// "\xNN", so that names from archives and the web cannot act on a console.
// No byte of a double-byte character is below 0x40, so none is touched.
std::string EscapeControlCharacters(std::string_view text);

// Only the ASCII letters change; double-byte characters stay as they are.
std::string UpperCaseAscii(std::string_view s);
bool SameTextAscii(std::string_view a, std::string_view b);

}  // namespace rtl
