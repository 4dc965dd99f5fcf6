// The command entries: a line split by the family's dialect, read into a
// plan by the family (families/), and carried out here. Also the pieces the
// families' plans share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "extract.h"
#include "family.h"
#include "pack.h"
#include "text.h"

namespace archivers {

enum class Action { Extract, List, Test, Pack, Unsupported };

struct Plan {
  Action What = Action::Extract;
  ExtractRequest Extract;
  PackRequest Pack;
  // The line written when the plan is unsupported.
  std::string_view Refusal = "command not supported";
};

// The family's command entry.
int RunCommand(Family family, std::string_view line, OutputText& output);
// The family's packing entry ("Zip"); "not supported" for a family without
// one.
int RunPackCommand(Family family, std::string_view line, OutputText& output);
// The family's ExtractMem: the line names the archive and the member.
int RunExtractMem(Family family, std::string_view line, const MemoryTarget& target);

// Host patterns as UTF-8 member patterns, empty ones dropped.
std::vector<std::string> MemberPatterns(const std::vector<std::string>& hostPatterns);
// The archive, destination and patterns of the line, with the family's
// pattern rules.
ExtractRequest BaseExtract(Family family, const ParsedCommand& parsed);
// Switch of a number: "-x0" gives 0; nullopt when absent or not a number.
std::optional<int> NumberSwitch(const ParsedCommand& parsed, std::string_view name);
// The plan of the families that give the command as a switch: "-l" or
// "-v" lists, "-t" tests, anything else extracts; "-j" drops the paths;
// existing files are skipped.
Plan SwitchCommandPlan(Family family, const ParsedCommand& parsed);

}  // namespace archivers
