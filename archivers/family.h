// The archive families the engine serves, one per library, and what sets
// them apart when reading.
#pragma once

#include <archive.h>

#include <string_view>

namespace archivers {

enum class Family { Lha, Zip, Cab, Tar, Rar, SevenZip };

struct FamilyTraits {
  Family Id;
  std::string_view Name;
  // The character set libarchive is told for names. LZH headers carry no
  // character set and libarchive cannot read the Shift_JIS names of
  // Windows-made archives without being told. Empty: names come as stored
  // (or as the format declares them) and the engine tells UTF-8 from
  // Shift_JIS itself (StoredNameToUtf8).
  std::string_view HeaderCharset;
  // "\" in a member name is a path delimiter (written so by DOS and
  // Windows tools).
  bool BackslashDelimits = false;
  // "[...]" in patterns is a set (the ZIP family's callers escape "[").
  bool PatternSets = false;
};

const FamilyTraits& TraitsOf(Family family);

// Lets `reader` read exactly the family's formats (and, for TAR, the
// compression filters and a lone compressed file).
void EnableReadFormats(archive* reader, Family family);

}  // namespace archivers
