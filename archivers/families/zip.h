// The ZIP family: read by libarchive, with what only the central directory
// tells (probe.h); written by the packing entry ("Zip"). The command is a
// switch.
#pragma once

#include <memory>
#include <string>

#include "commands.h"
#include "reader.h"

namespace archivers::zip {

Plan CommandPlan(const ParsedCommand& parsed);
Plan PackPlan(const ParsedCommand& parsed);
void EnableFormats(archive* reader);
std::unique_ptr<MemberFacts> OpenFacts(const std::string& hostPath);

}  // namespace archivers::zip
