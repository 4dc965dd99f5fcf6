#include "rtl/sysmsg.h"

namespace rtl {

std::string TrimSystemMessage(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0) {
    const unsigned char c = static_cast<unsigned char>(text[end - 1]);
    if (c > ' ' && c != '.') {
      break;
    }
    --end;
  }
  return std::string(text.substr(0, end));
}

}  // namespace rtl
