// A system call's failure as the tool reports it: a Windows error code (on
// every backend, so messages read alike) and the system's text for it, both
// taken right after the call.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorSharingViolation = 32;
inline constexpr std::uint32_t kErrorNotSupported = 50;
inline constexpr std::uint32_t kErrorFileExists = 80;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorDirNotEmpty = 145;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;

struct SysError {
  std::uint32_t Code = kErrorSuccess;
  std::string Text;  // untrimmed, in the ANSI code page

  bool Failed() const { return Code != kErrorSuccess; }
};

}  // namespace platform
