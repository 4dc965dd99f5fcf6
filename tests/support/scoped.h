// Process state changed for the length of a scope, and the message an
// operation is refused with.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>

namespace testing_support {

// Makes a directory the current one for a scope; the previous one comes
// back even when an assertion ends the test early.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::string& dir) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedCurrentDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
  }
  ScopedCurrentDir(const ScopedCurrentDir&) = delete;
  ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

 private:
  std::filesystem::path previous_;
};

// A variable of the process, restored after the scope.
template <class T>
class ScopedValue {
 public:
  explicit ScopedValue(T& variable) : variable_(variable), saved_(variable) {}
  ~ScopedValue() { variable_ = std::move(saved_); }
  ScopedValue(const ScopedValue&) = delete;
  ScopedValue& operator=(const ScopedValue&) = delete;

 private:
  T& variable_;
  T saved_;
};

// The message of the `Refusal` (or derived) exception `operation` raises;
// "no refusal" when it raises none.
template <class Refusal>
std::string RefusalOf(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const Refusal& e) {
    return e.Message();
  }
  return "no refusal";
}

}  // namespace testing_support
