// The archive formats the program tells apart, one row each: how a file is
// recognised as one (extension, content check), which archiver serves it
// and which library that archiver binds.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "archive/archiver.h"
#include "archive/archiver_type.h"
#include "rtl/strtable.h"

namespace archive {

// The name of a format without an archiver: no text of the table.
inline constexpr rtl::StrId kNoFormatName{};

struct TFormatRow {
  TArchiverType Type;
  // Lower-case, each with its dot, separated by blanks.
  std::string_view Extensions;
  // The type the content check takes the file for, or atNone; never
  // raises. Null where another row's check answers for the type.
  TArchiverType (*Detect)(const std::string& fileName);
  // Null for a type that is told apart but has no archiver.
  std::unique_ptr<TArchiver> (*Create)();
  // The format's name in the missing-library message, its library and the
  // prefix of its entries. A format that tries more than one library (ZIP,
  // YZ1) names the first; its own loader knows the rest.
  rtl::StrId FormatName;
  std::string_view LibraryName;
  std::string_view Prefix;
};

// Whether `accepts` holds for any of the blank-separated extensions of
// `extensions`.
template <class Predicate>
constexpr bool AnyExtension(std::string_view extensions, Predicate accepts) {
  while (!extensions.empty()) {
    const std::size_t end = std::min(extensions.find(' '), extensions.size());
    if (end > 0 && accepts(extensions.substr(0, end))) {
      return true;
    }
    extensions.remove_prefix(std::min(end + 1, extensions.size()));
  }
  return false;
}

// Every row, in the order the content checks run.
std::span<const TFormatRow> FormatRows();
// The row of `type`; null for atNone and atAutoDetect.
const TFormatRow* FindFormat(TArchiverType type);
// The type a file extension (with its dot, ASCII case ignored) stands for,
// or atNone.
TArchiverType FormatOfExtension(std::string_view extension);
// Every content check in the rows' order, a later positive answer replacing
// the earlier one; atNone when none says yes.
TArchiverType FormatOfContent(const std::string& fileName);

}  // namespace archive
