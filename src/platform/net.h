// The internet client (a session, an address opened in it, its answer read
// in chunks) and the download of an address into a file, behind seams that
// tests can replace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/seam.h"

namespace platform {

// Access through the system's configured proxy settings.
inline constexpr std::uint32_t kInternetOpenTypePreconfig = 0;
// Fetch from the server, never from a cache.
inline constexpr std::uint32_t kInternetFlagReload = 0x80000000;

// Results of the download, in the system's own numbering; only 0 means the
// file is there.
inline constexpr std::int32_t kDownloadOk = 0;
inline constexpr auto kInetECannotConnect = static_cast<std::int32_t>(0x800C0004);
inline constexpr auto kInetEResourceNotFound = static_cast<std::int32_t>(0x800C0005);
inline constexpr auto kInetEObjectNotFound = static_cast<std::int32_t>(0x800C0006);
inline constexpr auto kInetEDownloadFailure = static_cast<std::int32_t>(0x800C0008);
inline constexpr auto kEAccessDenied = static_cast<std::int32_t>(0x80070005);

// An address opened in a session; closed when the object goes.
class InternetRequest {
 public:
  InternetRequest() = default;
  virtual ~InternetRequest() = default;
  InternetRequest(const InternetRequest&) = delete;
  InternetRequest& operator=(const InternetRequest&) = delete;

  // Reads the next bytes of the server's answer (whatever its status) into
  // `buffer`; the count, 0 at the end and after a failure.
  virtual std::size_t Read(std::span<char> buffer) = 0;
};

// An internet session; closed when the object goes. Its requests may
// outlive it.
class InternetSession {
 public:
  InternetSession() = default;
  virtual ~InternetSession() = default;
  InternetSession(const InternetSession&) = delete;
  InternetSession& operator=(const InternetSession&) = delete;

  // Sends the request for `url` and waits for the server's answer; null
  // when the address cannot be opened (bad address, no connection, no answer).
  virtual std::unique_ptr<InternetRequest> OpenUrl(const std::string& url, std::uint32_t flags) = 0;
};

class InternetClient {
 public:
  virtual ~InternetClient() = default;
  // A session that names itself `agent` to servers; null when none can be opened.
  virtual std::unique_ptr<InternetSession> Open(const std::string& agent,
                                                std::uint32_t accessType) = 0;
};

class UrlDownloader {
 public:
  virtual ~UrlDownloader() = default;
  // Downloads `url` into `localPath`. kDownloadOk means that the complete
  // file is at `localPath`; after any other result nothing of it is there.
  // `agent` names the tool to the server where the backend lets it choose.
  virtual std::int32_t DownloadToFile(const std::string& url, const std::string& localPath,
                                      const std::string& agent) = 0;
};

// The backend's default instances.
template <>
InternetClient& Seam<InternetClient>::Default();
template <>
UrlDownloader& Seam<UrlDownloader>::Default();

using ScopedInternetClient = ScopedOverride<InternetClient>;
using ScopedUrlDownloader = ScopedOverride<UrlDownloader>;

inline std::unique_ptr<InternetSession> InternetOpen(const std::string& agent,
                                                     std::uint32_t accessType) {
  return Seam<InternetClient>::Current().Open(agent, accessType);
}
inline std::int32_t UrlDownloadToFile(const std::string& url, const std::string& localPath,
                                      const std::string& agent) {
  return Seam<UrlDownloader>::Current().DownloadToFile(url, localPath, agent);
}

}  // namespace platform
