// The form an address takes on the wire, shared by the backends' internet
// clients: the tool hands them addresses that may hold blanks and 8-bit bytes.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// `url` as it goes on the wire: blanks, control characters, bytes above 0x7E
// and the characters that addresses never hold as such (" < > \ ^ ` { | })
// percent-encoded, everything else as given.
std::string EscapeUrl(std::string_view url);

}  // namespace platform
