// A scripted internet client and download for the web source: pages as
// chunks by address, files by address, and a log of every call in order.
#pragma once

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/net.h"

namespace testing_support {

class FakeWeb : public platform::InternetClient, public platform::UrlDownloader {
 public:
  // What a page's request delivers, one chunk per read (a read smaller than
  // a chunk gets its start); an address not listed cannot be opened.
  std::map<std::string, std::vector<std::string>> Pages;
  // Pages whose transfer fails once their chunks are read.
  std::set<std::string> BrokenPages;
  // What the answers announce, by address.
  std::map<std::string, std::int64_t> ContentLengths;
  std::map<std::string, std::string> ContentTypes;
  // Where a page's address was redirected to.
  std::map<std::string, std::string> Redirects;
  bool SessionFails = false;
  // Download contents by address; an address not listed fails with `DownloadFailure`.
  std::map<std::string, std::string> Files;
  std::int32_t DownloadFailure = platform::kInetEObjectNotFound;
  std::vector<std::string> Log;

  std::unique_ptr<platform::InternetSession> Open(const std::string& agent,
                                                  std::uint32_t accessType) override {
    Log.push_back("open " + agent + " " + std::to_string(accessType));
    if (SessionFails) {
      return nullptr;
    }
    return std::make_unique<Session>(*this);
  }

  std::int32_t DownloadToFile(const std::string& url, const std::string& localPath,
                              const std::string& agent,
                              const platform::TransferProgress& progress) override {
    Log.push_back("download " + url + " > " + localPath + " " + agent);
    const auto found = Files.find(url);
    if (found == Files.end()) {
      return DownloadFailure;
    }
    std::ofstream(localPath, std::ios::binary) << found->second;
    if (progress) {
      progress(found->second.size(), static_cast<std::int64_t>(found->second.size()));
    }
    return platform::kDownloadOk;
  }

  std::vector<std::string> Downloads() const {
    std::vector<std::string> downloads;
    std::copy_if(Log.begin(), Log.end(), std::back_inserter(downloads),
                 [](const std::string& line) { return line.rfind("download ", 0) == 0; });
    return downloads;
  }

 private:
  class Request : public platform::InternetRequest {
   public:
    Request(FakeWeb& web, const std::string& url)
        : web_(web), url_(url), chunks_(web.Pages.at(url)) {}
    ~Request() override { web_.Log.emplace_back("close request"); }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    bool Read(std::span<char> buffer, std::size_t& count) override {
      web_.Log.push_back("read " + std::to_string(buffer.size()));
      count = 0;
      if (next_ == chunks_.size()) {
        return web_.BrokenPages.count(url_) == 0;
      }
      const std::string& chunk = chunks_[next_];
      count = std::min(buffer.size(), chunk.size() - taken_);
      std::memcpy(buffer.data(), chunk.data() + taken_, count);
      taken_ += count;
      if (taken_ == chunk.size()) {
        ++next_;
        taken_ = 0;
      }
      return true;
    }
    std::int64_t ContentLength() const override {
      const auto found = web_.ContentLengths.find(url_);
      return found == web_.ContentLengths.end() ? -1 : found->second;
    }
    std::string ContentType() const override {
      const auto found = web_.ContentTypes.find(url_);
      return found == web_.ContentTypes.end() ? std::string() : found->second;
    }
    std::string Url() const override {
      const auto found = web_.Redirects.find(url_);
      return found == web_.Redirects.end() ? url_ : found->second;
    }

   private:
    FakeWeb& web_;
    std::string url_;
    std::vector<std::string> chunks_;
    std::size_t next_ = 0;
    std::size_t taken_ = 0;
  };

  class Session : public platform::InternetSession {
   public:
    explicit Session(FakeWeb& web) : web_(web) {}
    ~Session() override { web_.Log.emplace_back("close session"); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    std::unique_ptr<platform::InternetRequest> OpenUrl(const std::string& url,
                                                       std::uint32_t flags) override {
      web_.Log.push_back("url " + url + " " + std::to_string(flags));
      const auto found = web_.Pages.find(url);
      if (found == web_.Pages.end()) {
        return nullptr;
      }
      return std::make_unique<Request>(web_, url);
    }

   private:
    FakeWeb& web_;
  };
};

// The fake serving as both seams while it lives.
struct ScopedFakeWeb {
  FakeWeb Web;
  platform::ScopedInternetClient InternetGuard{Web};
  platform::ScopedUrlDownloader DownloadGuard{Web};
};

}  // namespace testing_support
