// Colon-separated directory lists of the environment (PATH and the like).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::posix {

// The non-empty entries of `list`, in order.
inline std::vector<std::string> SplitPathList(std::string_view list) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(':', start);
    if (end == std::string_view::npos) {
      end = list.size();
    }
    if (end > start) {
      parts.emplace_back(list.substr(start, end - start));
    }
    start = end + 1;
  }
  return parts;
}

}  // namespace platform::posix
