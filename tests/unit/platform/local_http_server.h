// A small HTTP server on 127.0.0.1 for the tests of the internet client and
// the download: canned answers by request target, a log of what arrived,
// and answers that break off or stall on purpose.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace testing_support {

struct SeenRequest {
  std::string Method;
  std::string Target;
  std::map<std::string, std::string> Headers;  // names in lower case

  std::string Header(const std::string& name) const {
    const auto found = Headers.find(name);
    return found == Headers.end() ? std::string() : found->second;
  }
};

struct CannedAnswer {
  std::string Bytes;  // status line, head and body as sent
  // Only this many bytes are sent; then the server waits `StallFor` and
  // drops the connection.
  std::size_t SendOnly = std::string::npos;
  std::chrono::milliseconds StallFor{0};

  static CannedAnswer Status(int code, const std::string& body, const std::string& extraHead = "") {
    return {"HTTP/1.1 " + std::to_string(code) + " Canned\r\nContent-Type: text/html\r\n" +
                "Content-Length: " + std::to_string(body.size()) + "\r\n" + extraHead +
                "Connection: close\r\n\r\n" + body,
            std::string::npos, std::chrono::milliseconds(0)};
  }
  static CannedAnswer Ok(const std::string& body) { return Status(200, body); }
  static CannedAnswer Redirect(const std::string& location) {
    return Status(302, "moved", "Location: " + location + "\r\n");
  }
  // The head promises `body`, but the connection drops after `sent` bytes of it.
  static CannedAnswer CutOff(const std::string& body, std::size_t sent) {
    CannedAnswer answer = Ok(body);
    answer.SendOnly = answer.Bytes.size() - body.size() + sent;
    return answer;
  }
};

class LocalHttpServer {
 public:
  LocalHttpServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(stop_, O_CLOEXEC) != 0) {
      ADD_FAILURE() << "the test server could not listen";
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Loop(); });
  }
  ~LocalHttpServer() {
    if (thread_.joinable()) {
      (void)!::write(stop_[1], "x", 1);
      thread_.join();
    }
    for (const int fd : {listener_, stop_[0], stop_[1]}) {
      if (fd >= 0) {
        ::close(fd);
      }
    }
  }
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  int Port() const { return port_; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // Answers requests for `target` (the path, or the whole address for a
  // request through a proxy); anything else gets 404.
  void Serve(const std::string& target, CannedAnswer answer) {
    const std::lock_guard lock(mutex_);
    answers_[target] = std::move(answer);
  }
  std::vector<SeenRequest> Requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  void Loop() {
    while (true) {
      std::array<pollfd, 2> fds{{{listener_, POLLIN, 0}, {stop_[0], POLLIN, 0}}};
      if (::poll(fds.data(), fds.size(), -1) < 0 || (fds[1].revents & POLLIN) != 0) {
        return;
      }
      const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client >= 0) {
        Answer(client);
        ::close(client);
      }
    }
  }

  // Waits for `fd` to become readable; false on the stop signal or timeout.
  bool WaitReadable(int fd, std::chrono::milliseconds timeout) const {
    std::array<pollfd, 2> fds{{{fd, POLLIN, 0}, {stop_[0], POLLIN, 0}}};
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
    return ready > 0 && (fds[1].revents & POLLIN) == 0;
  }

  void Answer(int client) {
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos) {
      if (!WaitReadable(client, std::chrono::seconds(10))) {
        return;
      }
      char buffer[4096];
      const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) {
        return;
      }
      head.append(buffer, static_cast<std::size_t>(got));
    }
    const SeenRequest request = Parse(head);
    CannedAnswer answer = CannedAnswer::Status(404, "<html><body>Not here</body></html>");
    {
      const std::lock_guard lock(mutex_);
      requests_.push_back(request);
      if (const auto found = answers_.find(request.Target); found != answers_.end()) {
        answer = found->second;
      }
    }
    const std::size_t count = std::min(answer.SendOnly, answer.Bytes.size());
    std::size_t sent = 0;
    while (sent < count) {
      const ssize_t put = ::send(client, answer.Bytes.data() + sent, count - sent, MSG_NOSIGNAL);
      if (put <= 0) {
        return;
      }
      sent += static_cast<std::size_t>(put);
    }
    if (answer.StallFor.count() > 0) {
      // Ends early when the client gives up (the socket turns readable at EOF).
      (void)WaitReadable(client, answer.StallFor);
    }
  }

  static SeenRequest Parse(const std::string& head) {
    SeenRequest request;
    std::size_t lineStart = 0;
    bool first = true;
    while (true) {
      const std::size_t lineEnd = head.find("\r\n", lineStart);
      if (lineEnd == std::string::npos || lineEnd == lineStart) {
        break;
      }
      const std::string line = head.substr(lineStart, lineEnd - lineStart);
      lineStart = lineEnd + 2;
      if (first) {
        first = false;
        const std::size_t space = line.find(' ');
        const std::size_t second = line.find(' ', space + 1);
        request.Method = line.substr(0, space);
        request.Target = line.substr(space + 1, second - space - 1);
        continue;
      }
      const std::size_t colon = line.find(':');
      std::string name = line.substr(0, colon);
      std::transform(name.begin(), name.end(), name.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      std::size_t valueStart = colon + 1;
      while (valueStart < line.size() && line[valueStart] == ' ') {
        ++valueStart;
      }
      request.Headers[name] = line.substr(valueStart);
    }
    return request;
  }

  int listener_ = -1;
  int stop_[2] = {-1, -1};
  int port_ = 0;
  mutable std::mutex mutex_;
  std::map<std::string, CannedAnswer> answers_;
  std::vector<SeenRequest> requests_;
  std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens: bound, never listened on.
class RefusingPort {
 public:
  RefusingPort() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "no port";
    }
    port_ = ntohs(address.sin_port);
  }
  ~RefusingPort() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace testing_support
