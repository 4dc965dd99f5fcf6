// The runtime's exception family. Every failure the tool reports derives from
// rtl::Exception, whose message is 8-bit text in the ANSI code page.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace rtl {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }
  // Named in the report of an exception that escapes every handler.
  virtual std::string_view ClassName() const noexcept { return "Exception"; }

 private:
  std::string message_;
};

// A failed system call: the system's error code and its (trimmed) text.
class EOSError : public Exception {
 public:
  EOSError(std::uint32_t code, std::string text);
  std::uint32_t ErrorCode() const noexcept { return code_; }
  const std::string& ErrorText() const noexcept { return text_; }
  std::string_view ClassName() const noexcept override { return "EOSError"; }

 private:
  std::uint32_t code_;
  std::string text_;
};

class EAssertionFailed : public Exception {
 public:
  using Exception::Exception;
  std::string_view ClassName() const noexcept override { return "EAssertionFailed"; }
};

class EStringListError : public Exception {
 public:
  using Exception::Exception;
  std::string_view ClassName() const noexcept override { return "EStringListError"; }
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
  std::string_view ClassName() const noexcept override { return "EConvertError"; }
};

class EStreamError : public Exception {
 public:
  using Exception::Exception;
  std::string_view ClassName() const noexcept override { return "EStreamError"; }
};

class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
  std::string_view ClassName() const noexcept override { return "EFCreateError"; }
};

class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
  std::string_view ClassName() const noexcept override { return "EFOpenError"; }
};

class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
  std::string_view ClassName() const noexcept override { return "EReadError"; }
};

class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
  std::string_view ClassName() const noexcept override { return "EWriteError"; }
};

// Raises EAssertionFailed with the failed condition's text when `condition` is false.
void Assert(bool condition, std::string_view what);

}  // namespace rtl
