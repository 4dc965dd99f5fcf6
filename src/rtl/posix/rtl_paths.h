// Path rules of the host: "/" delimits, there are no drives.
#pragma once

#include <string_view>

namespace rtl {

inline constexpr char PathDelim = '/';
inline constexpr std::string_view DriveDelim{};

}  // namespace rtl
