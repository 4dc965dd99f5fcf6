// The libcurl backend of the internet client and the download, against a
// real HTTP server on 127.0.0.1.
#include "platform/net.h"

#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "platform/posix/curl_net.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "unit/platform/local_http_server.h"

namespace {

using namespace std::chrono_literals;
using testing_support::CannedAnswer;
using testing_support::LocalHttpServer;
using testing_support::ReadFile;
using testing_support::RefusingPort;
using testing_support::ScopedEnv;
using testing_support::TempDir;

constexpr std::uint32_t kReload = platform::kInternetFlagReload;
const std::string kAgent = "ZElUpd/0.8";

std::string RandomBytes(std::size_t size) {
  std::mt19937 generator(42);
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    c = static_cast<char>(generator());
  }
  return bytes;
}

std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Requests to the test server never go through a proxy of the machine.
class Net : public ::testing::Test {
 protected:
  ScopedEnv noProxy_{"no_proxy", "127.0.0.1,localhost"};
  ScopedEnv noProxyUpper_{"NO_PROXY", "127.0.0.1,localhost"};
  LocalHttpServer server_;
};

struct Reading {
  bool Opened = false;
  // Every read succeeded up to the end.
  bool Whole = false;
  std::string Body;
  std::size_t LargestChunk = 0;
  std::string ContentType;
  std::int64_t ContentLength = -1;
  std::string Url;
};

Reading ReadAll(platform::InternetClient& client, const std::string& url, std::uint32_t flags,
                std::size_t chunk = 1025) {
  Reading reading;
  const auto session = client.Open(kAgent, platform::kInternetOpenTypePreconfig);
  if (!session) {
    return reading;
  }
  const auto request = session->OpenUrl(url, flags);
  if (!request) {
    return reading;
  }
  reading.Opened = true;
  reading.ContentType = request->ContentType();
  reading.ContentLength = request->ContentLength();
  reading.Url = request->Url();
  std::vector<char> buffer(chunk);
  std::size_t count = 0;
  while ((reading.Whole = request->Read(buffer, count)) && count > 0) {
    reading.Body.append(buffer.data(), count);
    reading.LargestChunk = std::max(reading.LargestChunk, count);
  }
  // Reading on after the end keeps answering the same.
  EXPECT_EQ(request->Read(buffer, count), reading.Whole);
  EXPECT_EQ(count, 0u);
  return reading;
}

Reading ReadAll(const std::string& url, std::uint32_t flags = kReload) {
  return ReadAll(platform::Seam<platform::InternetClient>::Current(), url, flags);
}

TEST_F(Net, ThePageArrivesWholeInTheCallersChunks) {
  const std::string body = RandomBytes(300000);
  server_.Serve("/big.htm", CannedAnswer::Ok(body));
  const Reading reading = ReadAll(server_.Url("/big.htm"));
  ASSERT_TRUE(reading.Opened);
  EXPECT_EQ(reading.Body, body);
  EXPECT_EQ(reading.LargestChunk, 1025u);
}

TEST_F(Net, TheRequestNamesTheAgentAndAsksPastCachesOnlyForAReload) {
  server_.Serve("/page.htm", CannedAnswer::Ok("page"));
  EXPECT_EQ(ReadAll(server_.Url("/page.htm"), kReload).Body, "page");
  EXPECT_EQ(ReadAll(server_.Url("/page.htm"), 0).Body, "page");
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const auto& request : requests) {
    EXPECT_EQ(request.Method, "GET");
    EXPECT_EQ(request.Target, "/page.htm");
    EXPECT_EQ(request.Header("user-agent"), kAgent);
  }
  EXPECT_EQ(requests[0].Header("cache-control"), "no-cache");
  EXPECT_EQ(requests[0].Header("pragma"), "no-cache");
  EXPECT_EQ(requests[1].Header("cache-control"), "");
  EXPECT_EQ(requests[1].Header("pragma"), "");
}

TEST_F(Net, WhatTheServerAnswersIsThePage) {
  struct Case {
    std::string Name;
    CannedAnswer Answer;
    std::string Body;
    bool Whole;
  };
  const std::string gzipped(
      "\x1F\x8B\x08\x00\x00\x00\x00\x00\x02\x03\xB3\x29\xB0\x4B\x49\x4D\xCE\x4F\x49\x4D"
      "\x51\x28\x48\x4C\x4F\xB5\xD1\x2F\xB0\x03\x00\x9D\xB4\x65\x09\x13\x00\x00\x00",
      39);
  const std::vector<Case> cases = {
      {"error-status", CannedAnswer::Status(404, "<p>not found</p>"), "<p>not found</p>", true},
      {"server-error", CannedAnswer::Status(500, "oops"), "oops", true},
      {"empty", CannedAnswer::Ok(""), "", true},
      {"redirected", CannedAnswer::Redirect("/real.htm"), "the real page", true},
      {"gzip", CannedAnswer::Status(200, gzipped, "Content-Encoding: gzip\r\n"),
       "<p>decoded page</p>", true},
      // What arrived is read, and then the reading fails.
      {"cut-off", CannedAnswer::CutOff("0123456789", 4), "0123", false},
      {"broken-gzip",
       CannedAnswer::Status(200, gzipped.substr(0, 12) + std::string(27, 'x'),
                            "Content-Encoding: gzip\r\n"),
       "", false},
  };
  server_.Serve("/real.htm", CannedAnswer::Ok("the real page"));
  for (const Case& c : cases) {
    server_.Serve("/" + c.Name, c.Answer);
    const Reading reading = ReadAll(server_.Url("/" + c.Name));
    EXPECT_TRUE(reading.Opened) << c.Name;
    EXPECT_EQ(reading.Body, c.Body) << c.Name;
    EXPECT_EQ(reading.Whole, c.Whole) << c.Name;
  }
  // Every request offers the encodings it can undo.
  EXPECT_NE(server_.Requests().back().Header("accept-encoding").find("gzip"), std::string::npos);
}

TEST_F(Net, TheAnswerTellsItsTypeLengthAndAddress) {
  server_.Serve("/real.htm",
                CannedAnswer::Status(200, "page", "X-Note: the type above is text/html\r\n"));
  server_.Serve("/moved.htm", CannedAnswer::Redirect("/real.htm"));
  server_.Serve("/sjis.htm", {"HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=Shift_JIS\r\n"
                              "Connection: close\r\n\r\nno length"});
  const Reading direct = ReadAll(server_.Url("/real.htm"));
  EXPECT_EQ(direct.ContentType, "text/html");
  EXPECT_EQ(direct.ContentLength, 4);
  EXPECT_EQ(direct.Url, server_.Url("/real.htm"));
  EXPECT_EQ(ReadAll(server_.Url("/moved.htm")).Url, server_.Url("/real.htm"));
  const Reading sjis = ReadAll(server_.Url("/sjis.htm"));
  EXPECT_EQ(sjis.ContentType, "text/html; charset=Shift_JIS");
  EXPECT_EQ(sjis.ContentLength, -1);
  EXPECT_TRUE(sjis.Whole);
  EXPECT_EQ(sjis.Body, "no length");
}

TEST_F(Net, AnAddressThatCannotBeOpenedGivesNoRequest) {
  const RefusingPort refusing;
  for (const std::string& url :
       {refusing.Url("/page.htm"), std::string("ftp://127.0.0.1/page.htm"),
        std::string("no address at all"), std::string("file:///etc/hostname")}) {
    EXPECT_FALSE(ReadAll(url).Opened) << url;
  }
  // A redirection to somewhere unreachable is no answer either.
  server_.Serve("/away", CannedAnswer::Redirect(refusing.Url("/page.htm")));
  EXPECT_FALSE(ReadAll(server_.Url("/away")).Opened);
}

TEST_F(Net, TheRequestMayOutliveItsSession) {
  server_.Serve("/page.htm", CannedAnswer::Ok("kept"));
  auto session = platform::InternetOpen(kAgent, platform::kInternetOpenTypePreconfig);
  ASSERT_TRUE(session);
  auto request = session->OpenUrl(server_.Url("/page.htm"), kReload);
  ASSERT_TRUE(request);
  session.reset();
  std::array<char, 16> buffer{};
  std::size_t count = 0;
  ASSERT_TRUE(request->Read(buffer, count));
  ASSERT_EQ(count, 4u);
  EXPECT_EQ(std::string(buffer.data(), 4), "kept");
}

TEST_F(Net, BlanksAndEightBitBytesArePercentEncoded) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"http://h/a b.lzh", "http://h/a%20b.lzh"},
      {"http://h/\xE8\xA1\xA8.lzh", "http://h/%E8%A1%A8.lzh"},
      {"http://h/\x95\x5C.lzh", "http://h/%95%5C.lzh"},
      {"http://h/x\t\x7F", "http://h/x%09%7F"},
      {"http://h/\"<>^`{|}", "http://h/%22%3C%3E%5E%60%7B%7C%7D"},
      {"http://h/a%20b?q=1&r=~", "http://h/a%20b?q=1&r=~"},
  };
  for (const auto& [url, wire] : cases) {
    EXPECT_EQ(platform::posix::EscapeUrl(url), wire) << url;
  }
  server_.Serve("/dl/zel%2016.lzh", CannedAnswer::Ok("blank"));
  EXPECT_EQ(ReadAll(server_.Url("/dl/zel 16.lzh")).Body, "blank");
}

TEST_F(Net, TheProxyComesFromTheEnvironment) {
  const ScopedEnv proxy("http_proxy", server_.Url(""));
  const ScopedEnv none("no_proxy", "");
  const ScopedEnv noneUpper("NO_PROXY", std::nullopt);
  server_.Serve("http://zelupd.invalid/dl/page.htm", CannedAnswer::Ok("via the proxy"));
  EXPECT_EQ(ReadAll("http://zelupd.invalid/dl/page.htm").Body, "via the proxy");
  TempDir tmp;
  server_.Serve("http://zelupd.invalid/dl/zel.lzh", CannedAnswer::Ok("archive"));
  EXPECT_EQ(
      platform::UrlDownloadToFile("http://zelupd.invalid/dl/zel.lzh", tmp.Path("zel.lzh"), kAgent),
      platform::kDownloadOk);
  EXPECT_EQ(ReadFile(tmp.Path("zel.lzh")), "archive");
}

TEST_F(Net, AStalledServerIsGivenUpOn) {
  const auto client = platform::posix::MakeCurlInternetClient({5, 1});
  CannedAnswer stalling = CannedAnswer::CutOff("0123456789", 3);
  stalling.StallFor = 20s;
  server_.Serve("/slow.htm", stalling);
  const auto start = std::chrono::steady_clock::now();
  const Reading reading = ReadAll(*client, server_.Url("/slow.htm"), kReload);
  EXPECT_TRUE(reading.Opened);
  EXPECT_FALSE(reading.Whole);
  EXPECT_EQ(reading.Body, "012");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

// ---- The download ----

TEST_F(Net, ADownloadPutsTheWholeFileInPlaceAndNothingElse) {
  TempDir tmp;
  const std::string body = RandomBytes(1000000);
  server_.Serve("/dl/zel16.lzh", CannedAnswer::Ok(body));
  server_.Serve("/dl/moved.lzh", CannedAnswer::Redirect("/dl/zel16.lzh"));
  std::uint64_t done = 0;
  std::int64_t total = 0;
  EXPECT_EQ(platform::UrlDownloadToFile(server_.Url("/dl/zel16.lzh"), tmp.Path("zel16.lzh"), kAgent,
                                        [&](std::uint64_t now, std::int64_t size) {
                                          EXPECT_GE(now, done);
                                          done = now;
                                          total = size;
                                        }),
            platform::kDownloadOk);
  EXPECT_EQ(ReadFile(tmp.Path("zel16.lzh")), body);
  EXPECT_EQ(done, body.size());
  EXPECT_EQ(total, static_cast<std::int64_t>(body.size()));
  EXPECT_EQ(
      platform::UrlDownloadToFile(server_.Url("/dl/moved.lzh"), tmp.Path("moved.lzh"), kAgent),
      platform::kDownloadOk);
  EXPECT_EQ(ReadFile(tmp.Path("moved.lzh")), body);
  EXPECT_EQ(Names(tmp.Dir()), (std::vector<std::string>{"moved.lzh", "zel16.lzh"}));
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].Header("user-agent"), kAgent);
}

TEST_F(Net, AFailedDownloadLeavesNothingAndKeepsWhatWasThere) {
  const auto downloader = platform::posix::MakeCurlUrlDownloader({5, 1});
  const RefusingPort refusing;
  CannedAnswer stalling = CannedAnswer::CutOff("0123456789", 3);
  stalling.StallFor = 20s;
  server_.Serve("/stall.lzh", stalling);
  server_.Serve("/cut.lzh", CannedAnswer::CutOff(RandomBytes(100000), 50000));
  server_.Serve("/gone.lzh", CannedAnswer::Status(404, "<p>not found</p>"));
  server_.Serve("/broken.lzh", CannedAnswer::Status(500, "oops"));
  server_.Serve("/loop.lzh", CannedAnswer::Redirect("/loop.lzh"));
  server_.Serve("/ftp.lzh", CannedAnswer::Redirect("ftp://127.0.0.1/x.lzh"));
  struct Case {
    std::string Url;
    std::int32_t Result;
  };
  const std::vector<Case> cases = {
      {server_.Url("/gone.lzh"), platform::kInetEObjectNotFound},
      {server_.Url("/broken.lzh"), platform::kInetEObjectNotFound},
      {server_.Url("/cut.lzh"), platform::kInetEDownloadFailure},
      {server_.Url("/stall.lzh"), platform::kInetEDownloadFailure},
      {server_.Url("/loop.lzh"), platform::kInetEDownloadFailure},
      {server_.Url("/ftp.lzh"), platform::kInetEDownloadFailure},
      {refusing.Url("/zel.lzh"), platform::kInetECannotConnect},
      {"gopher://127.0.0.1/zel.lzh", platform::kInetEDownloadFailure},
  };
  for (const Case& c : cases) {
    TempDir tmp;
    tmp.Write("other.txt", "stays");
    EXPECT_EQ(downloader->DownloadToFile(c.Url, tmp.Path("zel.lzh"), kAgent, {}), c.Result)
        << c.Url;
    EXPECT_EQ(Names(tmp.Dir()), std::vector<std::string>{"other.txt"}) << c.Url;
    // A file already at the target is not touched by a failure.
    tmp.Write("zel.lzh", "earlier");
    EXPECT_NE(downloader->DownloadToFile(c.Url, tmp.Path("zel.lzh"), kAgent, {}), 0) << c.Url;
    EXPECT_EQ(ReadFile(tmp.Path("zel.lzh")), "earlier") << c.Url;
    EXPECT_EQ(Names(tmp.Dir()), (std::vector<std::string>{"other.txt", "zel.lzh"})) << c.Url;
  }
}

TEST_F(Net, ADownloadThatCannotBeWrittenFails) {
  server_.Serve("/zel.lzh", CannedAnswer::Ok("archive"));
  TempDir tmp;
  tmp.MakeDir("zel.lzh/inside");
  // The target is a directory with something in it, or its directory is missing.
  EXPECT_EQ(platform::UrlDownloadToFile(server_.Url("/zel.lzh"), tmp.Path("zel.lzh"), kAgent),
            platform::kEAccessDenied);
  EXPECT_EQ(Names(tmp.Dir()), std::vector<std::string>{"zel.lzh"});
  EXPECT_EQ(platform::UrlDownloadToFile(server_.Url("/zel.lzh"), tmp.Path("none/zel.lzh"), kAgent),
            platform::kEAccessDenied);
  EXPECT_EQ(server_.Requests().size(), 1u);
}

}  // namespace
