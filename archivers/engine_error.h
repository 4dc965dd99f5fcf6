// Failures inside the engine carry the interface's return code; the entries
// turn them into that code at the library boundary.
#pragma once

#include <stdexcept>
#include <string>

#include "archive/arcapi.h"

namespace archivers {

class EngineError : public std::runtime_error {
 public:
  EngineError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

// The result of an operation over many members: the first error wins over
// every warning, the first warning over success.
class ResultCode {
 public:
  void Note(int code) {
    if (code == arcapi::kSuccess) {
      return;
    }
    const bool error = code >= arcapi::kErrorFirst || code < 0;
    if (error && !hasError_) {
      value_ = code;
      hasError_ = true;
    } else if (!error && value_ == arcapi::kSuccess) {
      value_ = code;
    }
  }
  int Value() const { return value_; }
  bool HasError() const { return hasError_; }

 private:
  int value_ = arcapi::kSuccess;
  bool hasError_ = false;
};

}  // namespace archivers
