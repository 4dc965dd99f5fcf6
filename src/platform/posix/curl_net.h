// The libcurl backend of the internet client and the URL download, with the
// limits that keep a dead or stalled server from holding the tool forever.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/net.h"
#include "platform/wire_url.h"

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

// The wire form of an address, shared with the other backend.
using platform::EscapeUrl;

}  // namespace platform::posix
