// What the two backends give differently for the same request: codes,
// texts and names as Windows itself gives them.
#pragma once

#include <string>

#include "platform/error.h"
#include "platform/fs.h"
#include "rtl/sysmsg.h"

namespace testing_support::expected {

// A file or directory made in a directory that does not exist.
inline constexpr std::uint32_t kMissingParent = platform::kErrorPathNotFound;
// A directory made where one is already.
inline constexpr std::uint32_t kDirectoryExists = platform::kErrorAlreadyExists;

// A temporary file made in a directory that does not exist.
// ERROR_DIRECTORY: the directory name is invalid.
inline constexpr std::uint32_t kMissingTempDirectory = 267;
// The digits of a temporary name: hexadecimal, upper case on Windows,
// lower case under Wine.
inline constexpr const char* kTempNameDigits = "0123456789ABCDEFabcdef";

// A file started as a program that is none (ERROR_BAD_EXE_FORMAT).
inline constexpr std::uint32_t kNotAProgram = 193;
// How an INI profile written by the system ends its lines.
inline constexpr const char* kProfileLineBreak = "\r\n";

// The system's text for `code` as messages quote it.
inline std::string SystemText(std::uint32_t code) {
  return rtl::TrimSystemMessage(platform::SystemError(code).Text);
}

}  // namespace testing_support::expected
