#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/interrupt.h"
#include "platform/posix/curl_net.h"
#include "platform/posix/fd.h"
#include "rtl/mbcs.h"

namespace platform {
namespace posix {
namespace {

// libcurl's process-wide set-up, made once before the first handle.
class CurlGlobal {
 public:
  CurlGlobal() : ok_(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}
  ~CurlGlobal() {
    if (ok_) {
      curl_global_cleanup();
    }
  }
  CurlGlobal(const CurlGlobal&) = delete;
  CurlGlobal& operator=(const CurlGlobal&) = delete;
  bool Ok() const { return ok_; }

 private:
  bool ok_;
};

bool CurlReady() {
  static const CurlGlobal global;
  return global.Ok();
}

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlEasy = std::unique_ptr<CURL, EasyDeleter>;
using CurlMulti = std::unique_ptr<CURLM, MultiDeleter>;
using CurlList = std::unique_ptr<curl_slist, ListDeleter>;

// Appends `line` to `list`; false when there is no memory for it.
bool AppendHeader(CurlList& list, const char* line) {
  curl_slist* longer = curl_slist_append(list.get(), line);
  if (longer == nullptr) {
    return false;
  }
  (void)list.release();  // now part of `longer`
  list.reset(longer);
  return true;
}

// The trust store of the TLS peers: the system's, unless SSL_CERT_FILE or
// SSL_CERT_DIR name another, as the OpenSSL-based tools of the system
// allow.
bool ConfigureTrust(CURL* easy) {
  const char* file = std::getenv("SSL_CERT_FILE");
  const char* dir = std::getenv("SSL_CERT_DIR");
  return (file == nullptr || *file == '\0' ||
          curl_easy_setopt(easy, CURLOPT_CAINFO, file) == CURLE_OK) &&
         (dir == nullptr || *dir == '\0' ||
          curl_easy_setopt(easy, CURLOPT_CAPATH, dir) == CURLE_OK);
}

// What every request of the tool shares. No proxy is set here: libcurl then
// takes the system's settings from http_proxy, https_proxy, all_proxy and
// no_proxy (and their capitalised forms, except HTTP_PROXY). Certificates
// and host names are verified (libcurl's default, never turned off); an
// empty Accept-Encoding offers every encoding libcurl can undo.
bool Configure(CURL* easy, const std::string& url, const std::string& agent, CurlLimits limits) {
  const std::string wire = EscapeUrl(url);
  return curl_easy_setopt(easy, CURLOPT_URL, wire.c_str()) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str()) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "") == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, limits.ConnectSeconds) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, limits.StallSeconds) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK && ConfigureTrust(easy);
}

long ResponseCode(CURL* easy) {
  long code = 0;
  if (curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code) != CURLE_OK) {
    return 0;
  }
  return code;
}

// ---- The internet client ----

// A transfer driven step by step, so that the answer is read in the
// caller's chunks while it arrives.
class CurlRequest final : public InternetRequest {
  static constexpr long kReceiveStep = 1024;
  static constexpr std::size_t kHighWater = std::size_t{64} * 1024;

 public:
  static std::unique_ptr<InternetRequest> Open(const std::string& url, const std::string& agent,
                                               std::uint32_t flags, CurlLimits limits) {
    auto request = std::unique_ptr<CurlRequest>(new CurlRequest());
    if (!request->Start(url, agent, flags, limits)) {
      return nullptr;
    }
    // Opened once the server has answered: its first bytes are here, or
    // the transfer ended with an answer that is not a redirection.
    while (request->pending_.empty() && !request->ended_) {
      request->Pump();
    }
    if (request->pending_.empty() && request->result_ != CURLE_OK) {
      const long code = ResponseCode(request->easy_.get());
      if (code == 0 || (code >= 300 && code < 400)) {
        return nullptr;
      }
    }
    return request;
  }

  ~CurlRequest() override {
    if (added_) {
      curl_multi_remove_handle(multi_.get(), easy_.get());
    }
  }
  CurlRequest(const CurlRequest&) = delete;
  CurlRequest& operator=(const CurlRequest&) = delete;

  bool Read(std::span<char> buffer, std::size_t& count) override {
    while (taken_ == pending_.size() && !ended_) {
      pending_.clear();
      taken_ = 0;
      if (paused_) {
        // Hands over what libcurl kept back at once, or lets it go on.
        paused_ = false;
        if (curl_easy_pause(easy_.get(), CURLPAUSE_CONT) != CURLE_OK) {
          ended_ = true;
          result_ = CURLE_RECV_ERROR;
        }
        continue;
      }
      Pump();
    }
    count = std::min(buffer.size(), pending_.size() - taken_);
    std::memcpy(buffer.data(), pending_.data() + taken_, count);
    taken_ += count;
    // What arrived before a failure is handed out first; the end then tells.
    return count > 0 || result_ == CURLE_OK;
  }

  std::int64_t ContentLength() const override {
    curl_off_t length = -1;
    if (curl_easy_getinfo(easy_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK ||
        length < 0) {
      return -1;
    }
    return length;
  }

  std::string ContentType() const override {
    const char* type = nullptr;
    if (curl_easy_getinfo(easy_.get(), CURLINFO_CONTENT_TYPE, &type) != CURLE_OK ||
        type == nullptr) {
      return {};
    }
    return type;
  }

  std::string Url() const override {
    long redirects = 0;
    const char* effective = nullptr;
    // Unless a redirection led elsewhere, the address is the caller's own,
    // not libcurl's normalised copy.
    if (curl_easy_getinfo(easy_.get(), CURLINFO_REDIRECT_COUNT, &redirects) != CURLE_OK ||
        redirects == 0 ||
        curl_easy_getinfo(easy_.get(), CURLINFO_EFFECTIVE_URL, &effective) != CURLE_OK ||
        effective == nullptr) {
      return url_;
    }
    return effective;
  }

 private:
  CurlRequest() = default;

  bool Start(const std::string& url, const std::string& agent, std::uint32_t flags,
             CurlLimits limits) {
    url_ = url;
    easy_.reset(curl_easy_init());
    multi_.reset(curl_multi_init());
    if (!easy_ || !multi_ || !Configure(easy_.get(), url, agent, limits)) {
      return false;
    }
    // A reload also asks the caches on the way (proxies) to go to the server.
    if ((flags & kInternetFlagReload) != 0 &&
        (!AppendHeader(headers_, "Cache-Control: no-cache") ||
         !AppendHeader(headers_, "Pragma: no-cache") ||
         curl_easy_setopt(easy_.get(), CURLOPT_HTTPHEADER, headers_.get()) != CURLE_OK)) {
      return false;
    }
    // Small receive steps: what one step inflates is kept back whole while
    // the transfer is paused, so a compressed answer cannot swell the memory.
    if (curl_easy_setopt(easy_.get(), CURLOPT_WRITEFUNCTION, &CurlRequest::OnBody) != CURLE_OK ||
        curl_easy_setopt(easy_.get(), CURLOPT_WRITEDATA, this) != CURLE_OK ||
        curl_easy_setopt(easy_.get(), CURLOPT_BUFFERSIZE, kReceiveStep) != CURLE_OK ||
        curl_multi_add_handle(multi_.get(), easy_.get()) != CURLM_OK) {
      return false;
    }
    added_ = true;
    return true;
  }

  // Keeps what arrives until the caller reads it; once enough is waiting,
  // the transfer pauses, as a reader that does not read stops the server.
  static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto* request = static_cast<CurlRequest*>(self);
    if (request->pending_.size() - request->taken_ >= kHighWater) {
      request->paused_ = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    try {
      request->pending_.append(data, size * count);
    } catch (...) {
      return 0;  // ends the transfer; what was read stays readable
    }
    return size * count;
  }

  // One step of the transfer: what can be done now, then a wait for the
  // connection (at most a second, so the stall limit is checked).
  void Pump() {
    // A user's request to stop ends the transfer as a broken one.
    if (Interrupted()) {
      ended_ = true;
      result_ = CURLE_ABORTED_BY_CALLBACK;
      return;
    }
    int running = 0;
    if (curl_multi_perform(multi_.get(), &running) != CURLM_OK) {
      ended_ = true;
      result_ = CURLE_RECV_ERROR;
      return;
    }
    if (running == 0) {
      Finish();
      return;
    }
    // Something to hand over, or paused until it is read: no waiting.
    if (paused_ || taken_ < pending_.size()) {
      return;
    }
    curl_multi_poll(multi_.get(), nullptr, 0, 1000, nullptr);
  }

  void Finish() {
    ended_ = true;
    int left = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi_.get(), &left)) {
      if (message->msg == CURLMSG_DONE) {
        result_ = message->data.result;
      }
    }
  }

  // Destroyed last to first: the handles go before the header list they use.
  std::string url_;
  CurlList headers_;
  CurlEasy easy_;
  CurlMulti multi_;
  bool added_ = false;
  std::string pending_;
  std::size_t taken_ = 0;
  bool paused_ = false;
  bool ended_ = false;
  CURLcode result_ = CURLE_OK;
};

class CurlSession final : public InternetSession {
 public:
  CurlSession(std::string agent, CurlLimits limits) : agent_(std::move(agent)), limits_(limits) {}

  std::unique_ptr<InternetRequest> OpenUrl(const std::string& url, std::uint32_t flags) override {
    return CurlRequest::Open(url, agent_, flags, limits_);
  }

 private:
  std::string agent_;
  CurlLimits limits_;
};

class CurlInternetClient final : public InternetClient {
 public:
  explicit CurlInternetClient(CurlLimits limits) : limits_(limits) {}

  // libcurl has one kind of access: the system's proxy settings.
  std::unique_ptr<InternetSession> Open(const std::string& agent,
                                        std::uint32_t /*accessType*/) override {
    if (!CurlReady()) {
      return nullptr;
    }
    return std::make_unique<CurlSession>(agent, limits_);
  }

 private:
  CurlLimits limits_;
};

// ---- The URL download ----

// A hidden file beside the download's target that receives the data and is
// removed unless it was moved into place. A reader of the target never sees
// a partial file, and the file manager's copy skips names with a period.
class PartFile {
 public:
  explicit PartFile(const std::string& target)
      : fd_(CreateBeside(rtl::ExtractFilePath(target), path_)), created_(fd_.Valid()) {}
  ~PartFile() {
    // Someone else's file of the same name is never touched.
    if (created_ && !committed_) {
      if (fd_.Valid()) {
        (void)fd_.Close();
      }
      ::unlink(path_.c_str());
    }
  }
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  bool Valid() const { return created_; }
  bool WriteFailed() const { return writeFailed_; }

  static std::size_t OnData(char* data, std::size_t size, std::size_t count, void* self) {
    auto* part = static_cast<PartFile*>(self);
    std::size_t done = 0;
    const std::size_t total = size * count;
    while (done < total) {
      const ssize_t put = ::write(part->fd_.Get(), data + done, total - done);
      if (put < 0 && errno == EINTR) {
        continue;
      }
      if (put <= 0) {
        part->writeFailed_ = true;
        return 0;
      }
      done += static_cast<std::size_t>(put);
    }
    return total;
  }

  // A new file of a random hidden name in `dir`, its path in `path`.
  static int CreateBeside(const std::string& dir, std::string& path) {
    std::random_device seed;
    for (int tries = 0; tries < 100; ++tries) {
      std::array<char, 32> name{};
      std::snprintf(name.data(), name.size(), ".zelupd-%08X.part", static_cast<unsigned>(seed()));
      path = dir + name.data();
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0 || errno != EEXIST) {
        return fd;
      }
    }
    return -1;
  }

  // Makes the data durable and moves it to `target`; false when that fails.
  bool Commit(const std::string& target) {
    if (::fsync(fd_.Get()) != 0 || fd_.Close().Failed() ||
        ::rename(path_.c_str(), target.c_str()) != 0) {
      return false;
    }
    committed_ = true;
    return true;
  }

 private:
  std::string path_;  // before fd_, which is made with it
  Fd fd_;
  bool created_;
  bool committed_ = false;
  bool writeFailed_ = false;
};

std::int32_t DownloadResultOf(CURLcode result) {
  switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return kInetEResourceNotFound;
    case CURLE_COULDNT_CONNECT:
      return kInetECannotConnect;
    case CURLE_HTTP_RETURNED_ERROR:
      return kInetEObjectNotFound;
    default:
      return kInetEDownloadFailure;
  }
}

int OnTransferInfo(void* listener, curl_off_t total, curl_off_t done, curl_off_t /*ulTotal*/,
                   curl_off_t /*ulDone*/) {
  const auto& progress = *static_cast<const TransferProgress*>(listener);
  // Nothing may be thrown through libcurl; a listener that fails is only
  // not told any more.
  try {
    if (progress) {
      progress(static_cast<std::uint64_t>(done), total > 0 ? total : -1);
    }
  } catch (...) {
  }
  // A user's request to stop ends the transfer; the part file goes with it.
  return Interrupted() ? 1 : 0;
}

bool WatchProgress(CURL* easy, const TransferProgress& progress) {
  return curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &OnTransferInfo) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &progress) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L) == CURLE_OK;
}

class CurlUrlDownloader final : public UrlDownloader {
 public:
  explicit CurlUrlDownloader(CurlLimits limits) : limits_(limits) {}

  std::int32_t DownloadToFile(const std::string& url, const std::string& localPath,
                              const std::string& agent, const TransferProgress& progress) override {
    if (!CurlReady()) {
      return kInetEDownloadFailure;
    }
    PartFile part(localPath);
    if (!part.Valid()) {
      return kEAccessDenied;
    }
    const CurlEasy easy(curl_easy_init());
    // An error status is the server's refusal, not the file.
    if (!easy || !Configure(easy.get(), url, agent, limits_) ||
        curl_easy_setopt(easy.get(), CURLOPT_FAILONERROR, 1L) != CURLE_OK ||
        curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, &PartFile::OnData) != CURLE_OK ||
        curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &part) != CURLE_OK ||
        !WatchProgress(easy.get(), progress)) {
      return kInetEDownloadFailure;
    }
    const CURLcode result = curl_easy_perform(easy.get());
    if (result != CURLE_OK) {
      return part.WriteFailed() ? kEAccessDenied : DownloadResultOf(result);
    }
    const long code = ResponseCode(easy.get());
    if (code < 200 || code >= 300) {
      return kInetEObjectNotFound;
    }
    return part.Commit(localPath) ? kDownloadOk : kEAccessDenied;
  }

 private:
  CurlLimits limits_;
};

}  // namespace

std::unique_ptr<InternetClient> MakeCurlInternetClient(CurlLimits limits) {
  return std::make_unique<CurlInternetClient>(limits);
}

std::unique_ptr<UrlDownloader> MakeCurlUrlDownloader(CurlLimits limits) {
  return std::make_unique<CurlUrlDownloader>(limits);
}

}  // namespace posix

template <>
InternetClient& Seam<InternetClient>::Default() {
  static const std::unique_ptr<InternetClient> client = posix::MakeCurlInternetClient({});
  return *client;
}

template <>
UrlDownloader& Seam<UrlDownloader>::Default() {
  static const std::unique_ptr<UrlDownloader> downloader = posix::MakeCurlUrlDownloader({});
  return *downloader;
}

}  // namespace platform
