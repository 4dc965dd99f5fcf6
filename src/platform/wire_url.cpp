#include "platform/wire_url.h"

namespace platform {

std::string EscapeUrl(std::string_view url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  // Never part of an address as such; the backslash also keeps a Shift_JIS
  // trail byte from being read as a delimiter on the way.
  static constexpr std::string_view kNotInAddresses = "\"<>\\^`{|}";
  std::string wire;
  wire.reserve(url.size());
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || kNotInAddresses.find(c) != std::string_view::npos) {
      wire += '%';
      wire += kHex[byte >> 4];
      wire += kHex[byte & 0x0F];
    } else {
      wire += c;
    }
  }
  return wire;
}

}  // namespace platform
