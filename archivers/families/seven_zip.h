// The 7-Zip family: 7z archives read and written by libarchive. The
// command is a word ("x", "e", "l", "t", "u", "a", "d").
#pragma once

#include <memory>
#include <string>

#include "commands.h"
#include "reader.h"

namespace archivers::seven_zip {

Plan CommandPlan(const ParsedCommand& parsed);
void EnableFormats(archive* reader);
std::unique_ptr<MemberFacts> OpenFacts(const std::string& hostPath);

}  // namespace archivers::seven_zip
