// The internet client on WinINet and the URL download on the URL moniker
// service, as the tool used them on Windows from the start.
#include "platform/net.h"

#include <urlmon.h>
#include <wininet.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "platform/interrupt.h"
#include "platform/win32/windows_api.h"
#include "platform/wire_url.h"
#include "rtl/mbcs.h"

namespace platform {
namespace {

// Giving up on a server that does not accept the connection, or that sends
// nothing for this long; there is no limit on a whole transfer.
constexpr DWORD kConnectMilliseconds = 30'000;
constexpr DWORD kReceiveMilliseconds = 60'000;

// An HINTERNET of a session or a request, closed when it goes.
class InternetHandle {
 public:
  InternetHandle() = default;
  explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
  ~InternetHandle() {
    if (handle_ != nullptr) {
      ::InternetCloseHandle(handle_);
    }
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  InternetHandle(InternetHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, nullptr)) {}
  InternetHandle& operator=(InternetHandle&&) = delete;

  HINTERNET Get() const { return handle_; }
  bool Valid() const { return handle_ != nullptr; }

 private:
  HINTERNET handle_ = nullptr;
};

void SetTimeout(HINTERNET handle, DWORD option, DWORD milliseconds) {
  ::InternetSetOptionA(handle, option, &milliseconds, sizeof milliseconds);
}

// A header of the answer as text; empty when the server sent none.
std::string QueryText(HINTERNET request, DWORD info) {
  std::string text(256, '\0');
  while (true) {
    auto size = static_cast<DWORD>(text.size());
    DWORD index = 0;
    if (::HttpQueryInfoA(request, info, text.data(), &size, &index) != FALSE) {
      text.resize(size);
      return text;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= text.size()) {
      return {};
    }
    text.resize(size);
  }
}

// A number of the answer's headers; -1 when the server sent none.
std::int64_t QueryNumber(HINTERNET request, DWORD info) {
  const std::string text = QueryText(request, info);
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return -1;
  }
  try {
    return std::stoll(text);
  } catch (...) {
    return -1;
  }
}

// ---- The internet client ----

class WinInetRequest final : public InternetRequest {
 public:
  WinInetRequest(InternetHandle request, std::string url)
      : request_(std::move(request)), url_(std::move(url)) {
    length_ = QueryNumber(request_.Get(), HTTP_QUERY_CONTENT_LENGTH);
    // WinINet undoes a content encoding itself; the announced length is then
    // the encoded one and says nothing of what Read hands out.
    const std::string encoding = QueryText(request_.Get(), HTTP_QUERY_CONTENT_ENCODING);
    lengthOfBody_ = encoding.empty() || rtl::SameTextAscii(encoding, "identity");
  }

  bool Read(std::span<char> buffer, std::size_t& count) override {
    count = 0;
    if (Interrupted()) {
      return false;
    }
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 0x7FFFFFFF));
    if (::InternetReadFile(request_.Get(), buffer.data(), wanted, &got) == FALSE) {
      return false;
    }
    count = got;
    received_ += got;
    // WinINet ends a body that the connection cut short as if it were
    // whole; the announced length tells.
    return got > 0 || !lengthOfBody_ || length_ < 0 ||
           received_ == static_cast<std::uint64_t>(length_);
  }

  std::int64_t ContentLength() const override { return length_; }

  std::string ContentType() const override {
    return QueryText(request_.Get(), HTTP_QUERY_CONTENT_TYPE);
  }

  std::string Url() const override {
    std::string address(INTERNET_MAX_URL_LENGTH + 1, '\0');
    auto size = static_cast<DWORD>(address.size());
    if (::InternetQueryOptionA(request_.Get(), INTERNET_OPTION_URL, address.data(), &size) ==
            FALSE ||
        size == 0) {
      return url_;
    }
    address.resize(std::min<std::size_t>(size, address.size()));
    address.resize(address.find('\0') == std::string::npos ? address.size() : address.find('\0'));
    // Unless a redirection led elsewhere, the address is the caller's own,
    // not its wire form.
    return address == EscapeUrl(url_) ? url_ : address;
  }

 private:
  InternetHandle request_;
  std::string url_;
  std::int64_t length_ = -1;
  bool lengthOfBody_ = true;
  std::uint64_t received_ = 0;
};

// An open that runs on a thread of its own, and what became of it.
struct PendingOpen {
  std::mutex Lock;
  bool Finished = false;
  bool Abandoned = false;
  HINTERNET Request = nullptr;
};

// WinINet's open blocks until the server has answered or a timeout ends,
// which may be a minute. It runs on a thread of its own so that a request
// to stop is heard meanwhile; an abandoned open is closed by its thread when
// it ends, or with the process.
HINTERNET OpenWatchingInterrupts(HINTERNET session, std::string wire, std::string headers,
                                 DWORD flags) {
  auto pending = std::make_shared<PendingOpen>();
  std::thread([pending, session, wire = std::move(wire), headers = std::move(headers), flags] {
    HINTERNET request =
        ::InternetOpenUrlA(session, wire.c_str(), headers.empty() ? nullptr : headers.c_str(),
                           headers.empty() ? 0 : static_cast<DWORD>(-1), flags, 0);
    const std::lock_guard<std::mutex> guard(pending->Lock);
    pending->Finished = true;
    if (pending->Abandoned) {
      if (request != nullptr) {
        ::InternetCloseHandle(request);
      }
      return;
    }
    pending->Request = request;
  }).detach();
  constexpr DWORD kWatchMilliseconds = 20;
  while (true) {
    {
      const std::lock_guard<std::mutex> guard(pending->Lock);
      if (pending->Finished) {
        return pending->Request;
      }
      if (Interrupted()) {
        pending->Abandoned = true;
        return nullptr;
      }
    }
    ::Sleep(kWatchMilliseconds);
  }
}

class WinInetSession final : public InternetSession {
 public:
  explicit WinInetSession(InternetHandle session) : session_(std::move(session)) {
    SetTimeout(session_.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, kConnectMilliseconds);
    SetTimeout(session_.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, kReceiveMilliseconds);
    // Compressed answers are undone by WinINet; they are asked for only
    // where it can.
    BOOL decode = TRUE;
    decoding_ = ::InternetSetOptionA(session_.Get(), INTERNET_OPTION_HTTP_DECODING, &decode,
                                     sizeof decode) != FALSE;
  }

  std::unique_ptr<InternetRequest> OpenUrl(const std::string& url, std::uint32_t flags) override {
    // Redirections between http and https are followed as browsers do;
    // WinINet asks the user about them otherwise. Nothing is shown: there
    // is no one to ask in a console tool.
    const DWORD all = flags | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES |
                      INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                      INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
                      INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
    std::string headers;
    if (decoding_) {
      headers += "Accept-Encoding: gzip, deflate\r\n";
    }
    // WinINet's reload skips its own cache only; caches on the way are told
    // as well.
    if ((flags & INTERNET_FLAG_RELOAD) != 0) {
      headers += "Cache-Control: no-cache\r\n";
    }
    InternetHandle request(OpenWatchingInterrupts(session_.Get(), EscapeUrl(url), headers, all));
    if (!request.Valid()) {
      return nullptr;
    }
    return std::make_unique<WinInetRequest>(std::move(request), url);
  }

 private:
  InternetHandle session_;
  bool decoding_ = false;
};

class WinInetClient final : public InternetClient {
 public:
  std::unique_ptr<InternetSession> Open(const std::string& agent,
                                        std::uint32_t accessType) override {
    InternetHandle session(::InternetOpenA(agent.c_str(), accessType, nullptr, nullptr, 0));
    if (!session.Valid()) {
      return nullptr;
    }
    return std::make_unique<WinInetSession>(std::move(session));
  }
};

// ---- The URL download ----

// Hears the download's progress, passes it on and stops the download on the
// user's request to stop. Lives on the stack of the download, which the
// moniker service does not outlive; its reference count only answers COM.
// COM interfaces are released, never deleted through: they have no virtual
// destructor by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor): released, never deleted
class DownloadListener final : public IBindStatusCallback, public IHttpNegotiate {
 public:
  explicit DownloadListener(const TransferProgress& progress) : progress_(progress) {}

  // The HTTP status of the last answer, 0 when the service told none.
  DWORD Status() const { return status_.load(); }
  // Whether the data ended short of the length the server announced: the
  // service reports a connection lost mid-transfer as a success.
  bool EndedShort() const { return endedShort_.load(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusCallback)) {
      *object = static_cast<IBindStatusCallback*>(this);
      AddRef();
      return S_OK;
    }
    if (IsEqualIID(iid, IID_IHttpNegotiate)) {
      *object = static_cast<IHttpNegotiate*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }

  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD /*reserved*/, IBinding* /*binding*/) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG* /*priority*/) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD /*reserved*/) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG done, ULONG total, ULONG status,
                                       LPCWSTR /*text*/) override {
    // A length is announced only when no content coding hides it.
    if (status == BINDSTATUS_ENDDOWNLOADDATA) {
      endedShort_.store(total > 0 && done != total);
    }
    // Nothing may be thrown through the service; a listener that fails is
    // only not told any more.
    try {
      if (progress_) {
        progress_(done, total > 0 ? static_cast<std::int64_t>(total) : -1);
      }
    } catch (...) {
    }
    return Interrupted() ? E_ABORT : S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT /*result*/, LPCWSTR /*error*/) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* /*info*/) override {
    // Always from the server, as the page is.
    if (flags != nullptr) {
      *flags |= BINDF_GETNEWESTVERSION | BINDF_PRAGMA_NO_CACHE;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD /*flags*/, DWORD /*size*/, FORMATETC* /*format*/,
                                            STGMEDIUM* /*medium*/) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID /*iid*/, IUnknown* /*object*/) override {
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR /*url*/, LPCWSTR /*headers*/,
                                                 DWORD /*reserved*/, LPWSTR* additional) override {
    if (additional != nullptr) {
      *additional = nullptr;
    }
    return S_OK;
  }
  // The service saves an error page like the file asked for: the status
  // tells them apart.
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD status, LPCWSTR /*responseHeaders*/,
                                       LPCWSTR /*requestHeaders*/, LPWSTR* additional) override {
    if (additional != nullptr) {
      *additional = nullptr;
    }
    status_.store(status);
    return S_OK;
  }

 private:
  const TransferProgress& progress_;
  std::atomic<ULONG> references_{1};
  std::atomic<DWORD> status_{0};
  std::atomic<bool> endedShort_{false};
};
#pragma GCC diagnostic pop

// A file beside the target that the download goes into, removed unless it
// became the target.
class PartFile {
 public:
  explicit PartFile(const std::string& target) {
    const std::string dir = rtl::ExtractFilePath(target);
    std::array<char, MAX_PATH + 1> name{};
    // Creates the file, so that no other run takes the same name.
    if (::GetTempFileNameA(dir.empty() ? "." : dir.c_str(), "zel", 0, name.data()) != 0) {
      path_ = name.data();
    }
  }
  ~PartFile() {
    if (!path_.empty() && !committed_) {
      ::DeleteFileA(path_.c_str());
    }
  }
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  bool Valid() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }

  bool Commit(const std::string& target) {
    committed_ = ::MoveFileExA(path_.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    return committed_;
  }

 private:
  std::string path_;
  bool committed_ = false;
};

class UrlMonikerDownloader final : public UrlDownloader {
 public:
  std::int32_t DownloadToFile(const std::string& url, const std::string& localPath,
                              const std::string& agent, const TransferProgress& progress) override {
    PartFile part(localPath);
    if (!part.Valid()) {
      return kEAccessDenied;
    }
    // The service names itself to servers as the process's sessions do.
    if (!agent.empty()) {
      ::UrlMkSetSessionOption(URLMON_OPTION_USERAGENT, const_cast<char*>(agent.c_str()),
                              static_cast<DWORD>(agent.size()), 0);
    }
    DownloadListener listener(progress);
    const std::string wire = EscapeUrl(url);
    // No browser control is hosted: the calling object is null.
    const HRESULT result =
        ::URLDownloadToFileA(nullptr, wire.c_str(), part.Path().c_str(), 0, &listener);
    if (FAILED(result)) {
      return static_cast<std::int32_t>(result);
    }
    if (Interrupted()) {
      return static_cast<std::int32_t>(E_ABORT);
    }
    if (listener.Status() != 0 && (listener.Status() < 200 || listener.Status() >= 300)) {
      return kInetEObjectNotFound;
    }
    if (listener.EndedShort()) {
      return kInetEDownloadFailure;
    }
    return part.Commit(localPath) ? kDownloadOk : kEAccessDenied;
  }
};

}  // namespace

template <>
InternetClient& Seam<InternetClient>::Default() {
  static WinInetClient client;
  return client;
}

template <>
UrlDownloader& Seam<UrlDownloader>::Default() {
  static UrlMonikerDownloader downloader;
  return downloader;
}

}  // namespace platform
