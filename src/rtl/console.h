// Console output of the tool: 8-bit text, one line each.
#pragma once

#include <string_view>

namespace rtl {

void WriteLn(std::string_view line);     // standard output
void WriteErrLn(std::string_view line);  // standard error
// Standard error without a line break, at once (progress rewritten in place).
void WriteErr(std::string_view text);

}  // namespace rtl
