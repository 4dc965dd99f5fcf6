// Console output of the tool: 8-bit text, one line each.
#pragma once

#include <string_view>

namespace rtl {

void WriteLn(std::string_view line);     // standard output
void WriteErrLn(std::string_view line);  // standard error

}  // namespace rtl
