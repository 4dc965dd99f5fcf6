// Paths written in the tests with "/" as the system writes them.
#pragma once

#include <string>

#include "rtl/mbcs.h"

namespace testing_support {

// `name` with each "/" as the system's path delimiter ("/" is never part of
// a double-byte character).
inline std::string NativeName(std::string name) {
  for (char& c : name) {
    if (c == '/') {
      c = rtl::PathDelim;
    }
  }
  return name;
}

}  // namespace testing_support
