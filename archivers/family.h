// The archive families the engine serves, one per library, and what sets
// each apart: one row per family (family.cpp), its behaviour in
// families/<family>.cpp. The generic code asks the row, never the family.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "libraries.h"

namespace archivers {

enum class Family { Lha, Zip, Cab, Tar, Rar, SevenZip };

struct Dialect;
struct ParsedCommand;
struct Plan;
class MemberReader;
class MemberFacts;

struct FamilyTraits {
  Family Id;
  std::string_view Name;
  // "[...]" in patterns is a set (the ZIP family's callers escape "[").
  bool PatternSets = false;

  // How the family's lines split into items (command_line.h).
  Dialect (*LineDialect)() = nullptr;
  // What the command entry's line asks for.
  Plan (*CommandPlan)(const ParsedCommand& parsed) = nullptr;
  // What the packing entry's line asks for; null for a family without one.
  Plan (*PackPlan)(const ParsedCommand& parsed) = nullptr;

  // A family libarchive does not read opens a reader of its own ...
  std::unique_ptr<MemberReader> (*OpenReader)(const std::string& hostPath) = nullptr;
  // ... the others enable exactly their formats (and filters) on
  // libarchive's reader,
  void (*EnableFormats)(archive* reader) = nullptr;
  // and may add what the format tells beyond libarchive's entry.
  std::unique_ptr<MemberFacts> (*OpenFacts)(const std::string& hostPath) = nullptr;
  // The code of a compression filter that fails while the format is being
  // recognised; null for a family without filters.
  int (*FilterFailure)(std::string_view message) = nullptr;
  // Checks the whole archive before any member is trusted; raises
  // EngineError. Null when members' own checks are enough.
  void (*CheckStream)(const std::string& hostPath) = nullptr;
  // GetArchiveType from libarchive's open reader; null: 1 for every archive
  // of the family.
  int (*ArchiveType)(archive* reader) = nullptr;
};

const FamilyTraits& TraitsOf(Family family);

}  // namespace archivers
