// Path rules of Windows: "\" delimits, ":" ends a drive.
#pragma once

#include <string_view>

namespace rtl {

inline constexpr char PathDelim = '\\';
inline constexpr std::string_view DriveDelim = ":";

}  // namespace rtl
