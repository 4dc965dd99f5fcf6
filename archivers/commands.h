// Each family's command language: which command words and switches it
// honours, on top of the common line syntax (command_line.h).
#pragma once

#include <cstdint>
#include <string_view>

#include "extract.h"
#include "family.h"
#include "text.h"

namespace archivers {

// The family's command entry.
int RunCommand(Family family, std::string_view line, OutputText& output);
// The ZIP packing entry ("Zip").
int RunZipPackCommand(std::string_view line, OutputText& output);
// The family's ExtractMem: the line names the archive and the member.
int RunExtractMem(Family family, std::string_view line, const MemoryTarget& target);

}  // namespace archivers
