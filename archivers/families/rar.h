// The RAR family: RAR 4 and 5 read by libarchive, never written. The
// command is a switch.
#pragma once

#include <memory>
#include <string>

#include "commands.h"
#include "reader.h"

namespace archivers::rar {

Plan CommandPlan(const ParsedCommand& parsed);
void EnableFormats(archive* reader);
std::unique_ptr<MemberFacts> OpenFacts(const std::string& hostPath);

}  // namespace archivers::rar
