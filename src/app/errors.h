// The update tool's exception family; each class carries only its message.
#pragma once

#include <string_view>

#include "rtl/exceptions.h"

namespace app {

class EZelUpdError : public rtl::Exception {
 public:
  using Exception::Exception;
  std::string_view ClassName() const noexcept override { return "EZelUpdError"; }
};

class EFileDownloadError : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "EFileDownloadError"; }
};

class ECloseFailure : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "ECloseFailure"; }
};

class EStartError : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "EStartError"; }
};

class EExecZelError : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "EExecZelError"; }
};

class EArchiveFileError : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "EArchiveFileError"; }
};

class ECreateDirError : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "ECreateDirError"; }
};

class EFileCheckError : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "EFileCheckError"; }
};

// The user asked the run to stop (Ctrl+C, a termination request).
class EInterrupted : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "EInterrupted"; }
};

}  // namespace app
