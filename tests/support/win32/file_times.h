// Setting a file's times for a test: the Windows side. The name is bytes
// in the ANSI code page, which the C runtime's narrow functions take.
#pragma once

#include <sys/utime.h>

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

namespace testing_support {

// The modification and access times of `path`, in Unix seconds.
inline void SetFileTimes(const std::string& path, std::int64_t seconds) {
  __utimbuf64 times{seconds, seconds};
  ASSERT_EQ(::_utime64(path.c_str(), &times), 0) << path;
}

}  // namespace testing_support
