// Environment variables set for the length of a scope.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "system_backend.h"

namespace testing_support {

// Sets (or, with nullopt, removes) an environment variable for a scope.
// Setting TZ also makes the C library read it again.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str()); old != nullptr) {
      previous_ = old;
    }
    backend::SetEnvironment(name_, value);
  }
  ~ScopedEnv() { backend::SetEnvironment(name_, previous_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

}  // namespace testing_support
