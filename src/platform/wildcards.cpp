#include "platform/fs.h"

#include <string_view>

namespace platform {
namespace {

bool MatchHere(std::string_view name, std::string_view mask) {
  // Iterative wildcard match with one backtrack point for the last "*".
  std::size_t n = 0;
  std::size_t m = 0;
  std::size_t starMask = std::string_view::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') {
    ++m;
  }
  return m == mask.size();
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
  if (mask == "*.*" || mask == "*") {
    return true;
  }
  // "name." asks for names without an extension.
  if (!mask.empty() && mask.back() == '.') {
    return name.find('.') == std::string_view::npos &&
           MatchHere(name, mask.substr(0, mask.size() - 1));
  }
  // "*.*" at the end also takes names without a period, as Windows does.
  if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" &&
      MatchHere(name, mask.substr(0, mask.size() - 2))) {
    return true;
  }
  return MatchHere(name, mask);
}

}  // namespace platform
