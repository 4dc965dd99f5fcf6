// What the shared test helpers need of the system: the Linux side.
#pragma once

#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

namespace testing_support {

// The variable that names the temporary directory.
inline constexpr const char* kTempDirVariable = "TMPDIR";
// What separates the directories of a list such as PATH.
inline constexpr char kPathListSeparator = ':';

// Whether this process may write a file that is marked read-only.
inline bool MayWriteReadOnlyFiles() {
  return ::geteuid() == 0;
}

namespace backend {

inline void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name.c_str());
  }
  // The C library reads TZ again only when told to.
  if (name == "TZ") {
    ::tzset();
  }
}

// One directory; one that is there already is fine.
inline void MakeDirectory(const std::string& path) {
  std::error_code ignored;
  std::filesystem::create_directory(path, ignored);
}

inline bool PathExists(const std::string& path) {
  return std::filesystem::exists(path);
}

}  // namespace backend
}  // namespace testing_support
