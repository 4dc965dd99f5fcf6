// Environment variables set for the length of a scope.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>
#include <utility>

namespace testing_support {

// Sets (or, with nullopt, removes) an environment variable for a scope.
// Setting TZ also makes the C library read it again.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = ::getenv(name_.c_str()); old != nullptr) {
      previous_ = old;
    }
    Apply(value);
  }
  ~ScopedEnv() { Apply(previous_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Apply(const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
    if (name_ == "TZ") {
      ::tzset();
    }
  }

  std::string name_;
  std::optional<std::string> previous_;
};

}  // namespace testing_support
