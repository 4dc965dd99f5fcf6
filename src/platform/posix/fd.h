// An open file descriptor, closed when it goes.
#pragma once

#include <unistd.h>

#include "platform/posix/errors.h"

namespace platform::posix {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  // Closes now and reports a failed close (lost written data).
  SysError Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? SysError{} : LastError();
  }

 private:
  int fd_;
};

}  // namespace platform::posix
