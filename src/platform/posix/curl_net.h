// The libcurl backend of the internet client and the URL download, with the
// limits that keep a dead or stalled server from holding the tool forever.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/net.h"

namespace platform::posix {

struct CurlLimits {
  // Giving up on a server that does not accept the connection.
  long ConnectSeconds = 30;
  // Giving up on a transfer that moves less than one byte a second for this
  // long. There is no limit on the whole transfer: archives may be large
  // and lines slow.
  long StallSeconds = 60;
};

// The default instances use CurlLimits{}; tests make their own.
std::unique_ptr<InternetClient> MakeCurlInternetClient(CurlLimits limits);
std::unique_ptr<UrlDownloader> MakeCurlUrlDownloader(CurlLimits limits);

// `url` as it goes on the wire: blanks, control characters, bytes above 0x7E
// and the characters that addresses never hold as such (" < > \ ^ ` { | })
// percent-encoded, everything else as given.
std::string EscapeUrl(std::string_view url);

}  // namespace platform::posix
