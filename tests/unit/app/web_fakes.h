// A scripted internet client and download for the web source: pages as
// chunks by address, files by address, and a log of every call in order.
#pragma once

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/net.h"

namespace testing_support {

class FakeWeb : public platform::InternetClient, public platform::UrlDownloader {
 public:
  // What a page's request delivers, one chunk per read (a read smaller than
  // a chunk gets its start); an address not listed cannot be opened.
  std::map<std::string, std::vector<std::string>> Pages;
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
                              const std::string& agent) override {
    Log.push_back("download " + url + " > " + localPath + " " + agent);
    const auto found = Files.find(url);
    if (found == Files.end()) {
      return DownloadFailure;
    }
    std::ofstream(localPath, std::ios::binary) << found->second;
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
    Request(FakeWeb& web, std::vector<std::string> chunks)
        : web_(web), chunks_(std::move(chunks)) {}
    ~Request() override { web_.Log.emplace_back("close request"); }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    std::size_t Read(std::span<char> buffer) override {
      web_.Log.push_back("read " + std::to_string(buffer.size()));
      if (next_ == chunks_.size()) {
        return 0;
      }
      std::string& chunk = chunks_[next_];
      const std::size_t count = std::min(buffer.size(), chunk.size());
      std::memcpy(buffer.data(), chunk.data(), count);
      chunk.erase(0, count);
      if (chunk.empty()) {
        ++next_;
      }
      return count;
    }

   private:
    FakeWeb& web_;
    std::vector<std::string> chunks_;
    std::size_t next_ = 0;
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
      return std::make_unique<Request>(web_, found->second);
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
