// What the two backends give differently for the same request: codes,
// texts and names as the Linux backend gives them (it maps each errno to
// one Windows code).
#pragma once

#include <string>

#include "platform/error.h"

namespace testing_support::expected {

// A file or directory made in a directory that does not exist (ENOENT).
inline constexpr std::uint32_t kMissingParent = platform::kErrorFileNotFound;
// A directory made where one is already (EEXIST).
inline constexpr std::uint32_t kDirectoryExists = platform::kErrorFileExists;

// A temporary file made in a directory that does not exist (ENOENT).
inline constexpr std::uint32_t kMissingTempDirectory = platform::kErrorFileNotFound;
// The digits of a temporary name.
inline constexpr const char* kTempNameDigits = "0123456789ABCDEF";

// A file started as a program that is none (EACCES).
inline constexpr std::uint32_t kNotAProgram = platform::kErrorAccessDenied;
// How an INI profile written by the backend ends its lines.
inline constexpr const char* kProfileLineBreak = "\n";

// The system's text for `code` as messages quote it: the C library's text
// of the errno that gives it.
inline std::string SystemText(std::uint32_t code) {
  switch (code) {
    case platform::kErrorFileExists:
      return "File exists";
    case platform::kErrorNotSupported:
      return "Operation not supported";
    default:
      return "(no text for " + std::to_string(code) + " in the tests)";
  }
}

}  // namespace testing_support::expected
