// The internet client (a session, an address opened in it, its answer read
// in chunks) and the download of an address into a file, behind seams that
// tests can replace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

// How far a transfer has come: the bytes received so far and the size the
// server announced (-1 when it announced none).
using TransferProgress = std::function<void(std::uint64_t done, std::int64_t total)>;

// An address opened in a session; closed when the object goes.
class InternetRequest {
 public:
  InternetRequest() = default;
  virtual ~InternetRequest() = default;
  InternetRequest(const InternetRequest&) = delete;
  InternetRequest& operator=(const InternetRequest&) = delete;

  // Reads the next bytes of the server's answer (whatever its status, its
  // content encoding undone) into `buffer` and sets `count`, 0 at the end.
  // False when the transfer failed (connection lost, stalled, shorter than
  // announced, an encoding that does not decode): what came before it is
  // not the whole answer.
  virtual bool Read(std::span<char> buffer, std::size_t& count) = 0;
  // The body length the server announced, -1 when it announced none.
  virtual std::int64_t ContentLength() const = 0;
  // The answer's Content-Type header as sent; empty when there is none.
  virtual std::string ContentType() const = 0;
  // The address that answered: the one opened, or where its redirections
  // led.
  virtual std::string Url() const = 0;
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
  // `progress`, when set, hears how far the transfer is, now and then.
  virtual std::int32_t DownloadToFile(const std::string& url, const std::string& localPath,
                                      const std::string& agent,
                                      const TransferProgress& progress) = 0;
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
                                      const std::string& agent,
                                      const TransferProgress& progress = {}) {
  return Seam<UrlDownloader>::Current().DownloadToFile(url, localPath, agent, progress);
}

}  // namespace platform
