#include "family.h"

#include <algorithm>
#include <array>

#include "command_line.h"
#include "engine_error.h"
#include "families/cab.h"
#include "families/lha.h"
#include "families/rar.h"
#include "families/seven_zip.h"
#include "families/tar.h"
#include "families/zip.h"
#include "stream_check.h"

namespace archivers {
namespace {

constexpr std::array<FamilyTraits, 6> kTraits{{
    {.Id = Family::Lha,
     .Name = "LHA",
     .LineDialect = &WordDialect,
     .CommandPlan = &lha::CommandPlan,
     .OpenReader = &lha::OpenReader},
    {.Id = Family::Zip,
     .Name = "ZIP",
     .PatternSets = true,
     .LineDialect = &SwitchDialect,
     .CommandPlan = &zip::CommandPlan,
     .PackPlan = &zip::PackPlan,
     .EnableFormats = &zip::EnableFormats,
     .OpenFacts = &zip::OpenFacts},
    {.Id = Family::Cab,
     .Name = "CAB",
     .LineDialect = &SwitchDialect,
     .CommandPlan = &cab::CommandPlan,
     .EnableFormats = &cab::EnableFormats,
     .OpenFacts = &cab::OpenFacts},
    {.Id = Family::Tar,
     .Name = "TAR",
     .LineDialect = &tar::LineDialect,
     .CommandPlan = &tar::CommandPlan,
     .EnableFormats = &tar::EnableFormats,
     .OpenFacts = &tar::OpenFacts,
     .FilterFailure = &CompressedStreamFailure,
     .CheckStream = &CheckCompressedStream,
     .ArchiveType = &tar::ArchiveType},
    {.Id = Family::Rar,
     .Name = "RAR",
     .LineDialect = &SwitchDialect,
     .CommandPlan = &rar::CommandPlan,
     .EnableFormats = &rar::EnableFormats,
     .OpenFacts = &rar::OpenFacts},
    {.Id = Family::SevenZip,
     .Name = "7-Zip",
     .LineDialect = &WordDialect,
     .CommandPlan = &seven_zip::CommandPlan,
     .EnableFormats = &seven_zip::EnableFormats,
     .OpenFacts = &seven_zip::OpenFacts},
}};

// Every family has a command language and is read either by a reader of
// its own or by libarchive; what only libarchive's reader asks for is not
// given to a family with its own. Checked when the table is first used, not
// at compile time: GCC's sanitizer builds take no function's address for a
// constant.
bool EveryRowComplete() {
  return std::all_of(kTraits.begin(), kTraits.end(), [](const FamilyTraits& row) {
    const bool ownReader = row.OpenReader != nullptr;
    const bool libarchiveOnly =
        row.OpenFacts != nullptr || row.FilterFailure != nullptr || row.ArchiveType != nullptr;
    return row.LineDialect != nullptr && row.CommandPlan != nullptr &&
           ownReader != (row.EnableFormats != nullptr) && !(ownReader && libarchiveOnly);
  });
}

constexpr bool EachFamilyOnce() {
  return std::all_of(kTraits.begin(), kTraits.end(), [](const FamilyTraits& row) {
    return std::count_if(kTraits.begin(), kTraits.end(),
                         [&](const FamilyTraits& other) { return other.Id == row.Id; }) == 1;
  });
}

static_assert(EachFamilyOnce());

}  // namespace

const FamilyTraits& TraitsOf(Family family) {
  static const bool complete = EveryRowComplete();
  if (!complete) {
    throw EngineError(arcapi::kErrorNotSupported, "the family table is incomplete");
  }
  for (const FamilyTraits& traits : kTraits) {
    if (traits.Id == family) {
      return traits;
    }
  }
  return kTraits.front();
}

}  // namespace archivers
