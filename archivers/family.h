// The archive families the engine serves, one per library, and what sets
// them apart when reading.
#pragma once

#include <string_view>

#include "libraries.h"

namespace archivers {

enum class Family { Lha, Zip, Cab, Tar, Rar, SevenZip };

struct FamilyTraits {
  Family Id;
  std::string_view Name;
  // "[...]" in patterns is a set (the ZIP family's callers escape "[").
  bool PatternSets = false;
};

const FamilyTraits& TraitsOf(Family family);

// Lets `reader` read exactly the family's formats (and, for TAR, the
// compression filters and a lone compressed file). LHA is read by
// liblhasa, not libarchive: nothing is enabled for it.
void EnableReadFormats(archive* reader, Family family);

// The compression filters of the TAR family.
void EnableCompressionFilters(archive* reader);

}  // namespace archivers
