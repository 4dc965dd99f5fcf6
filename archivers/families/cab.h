// The CAB family: cabinets read by libarchive, never written. The command
// is a switch.
#pragma once

#include <memory>
#include <string>

#include "commands.h"
#include "reader.h"

namespace archivers::cab {

Plan CommandPlan(const ParsedCommand& parsed);
void EnableFormats(archive* reader);
std::unique_ptr<MemberFacts> OpenFacts(const std::string& hostPath);

}  // namespace archivers::cab
