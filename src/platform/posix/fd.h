// An open file descriptor, closed when it goes.
#pragma once

#include <unistd.h>

#include "platform/posix/errors.h"

namespace platform::posix {

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) {
        ::close(fd_);
      }
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  // Closes now and reports a failed close (lost written data).
  SysError Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? SysError{} : LastError();
  }

 private:
  int fd_ = -1;
};

}  // namespace platform::posix
