// The LHA family: LZH archives, read by liblhasa (lzh_reader.h), never
// written. The command is a word ("x", "e", "l", "v", "t").
#pragma once

#include <memory>
#include <string>

#include "commands.h"
#include "reader.h"

namespace archivers::lha {

Plan CommandPlan(const ParsedCommand& parsed);
std::unique_ptr<MemberReader> OpenReader(const std::string& hostPath);

}  // namespace archivers::lha
