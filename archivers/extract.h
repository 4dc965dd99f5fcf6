// The reading commands: extracting to disk, listing, testing, extracting
// one member to memory, and the checks of OpenArchive, CheckArchive and
// GetArchiveType.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "family.h"
#include "member.h"
#include "text.h"
#include "wildcard.h"

namespace archivers {

// What happens to a file of the member's name that exists already.
enum class Overwrite {
  Replace,
  Skip,       // keep it (warning "already exist")
  NewerOnly,  // replace it only with a newer member (warning "more fresh")
  Rename,     // write the member as "name_1.ext", "name_2.ext", ...
};

struct ExtractRequest {
  std::string Archive;                // host code page
  std::string Destination;            // host code page; empty: the current directory
  std::vector<std::string> Patterns;  // UTF-8, normalised; empty: every member
  std::vector<std::string> Excludes;  // UTF-8, normalised
  PatternRules Rules;
  bool WithPaths = true;
  Overwrite Policy = Overwrite::Replace;
};

int ExtractToDisk(Family family, const ExtractRequest& request, OutputText& output);
int ListMembers(Family family, const ExtractRequest& request, OutputText& output);
int TestMembers(Family family, const ExtractRequest& request, OutputText& output);

struct MemoryTarget {
  std::uint8_t* Buffer = nullptr;
  std::uint32_t Size = 0;
  std::uint32_t* Written = nullptr;
  std::uint32_t* Time = nullptr;        // Unix time of the member
  std::uint16_t* Attributes = nullptr;  // Windows attribute bits
};
// The first regular member that `pattern` (UTF-8, normalised) matches.
int ExtractToMemory(Family family, const std::string& archive, const std::string& pattern,
                    PatternRules rules, const MemoryTarget& target);

// Every member of the archive; a damaged tail ends the list. Raises
// EngineError when not even the first header can be read.
std::vector<Member> ReadMembers(Family family, const std::string& archive);

bool IsArchive(Family family, const std::string& archive, int mode);
int ArchiveType(Family family, const std::string& archive);

}  // namespace archivers
