// Setting a file's times for a test: the Linux side.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

namespace testing_support {

// The modification and access times of `path`, in Unix seconds.
inline void SetFileTimes(const std::string& path, std::int64_t seconds) {
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

}  // namespace testing_support
