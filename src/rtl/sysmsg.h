// The system's text for an error code, as it appears in the tool's messages.
#pragma once

#include <string>
#include <string_view>

namespace rtl {

// Trailing blanks, control characters and periods removed.
std::string TrimSystemMessage(std::string_view text);

}  // namespace rtl
