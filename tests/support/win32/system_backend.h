// What the shared test helpers need of the system: the Windows side. Names
// are bytes in the ANSI code page, so they go to the C runtime's narrow
// functions, which take them as the system does; std::filesystem would read
// them as another encoding.
#pragma once

#include <direct.h>
#include <io.h>
#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

namespace testing_support {

// The variable that names the temporary directory.
inline constexpr const char* kTempDirVariable = "TMP";
// What separates the directories of a list such as PATH.
inline constexpr char kPathListSeparator = ';';

// Whether this process may write a file that is marked read-only: no one
// may on Windows.
inline bool MayWriteReadOnlyFiles() {
  return false;
}

namespace backend {

// An empty value removes the variable: Windows has no empty variables.
inline void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
  ::_putenv((name + "=" + value.value_or("")).c_str());
  // The C runtime reads TZ again only when told to; the system's own time
  // functions keep the system's zone whatever TZ says.
  if (name == "TZ") {
    ::_tzset();
  }
}

inline bool PathExists(const std::string& path) {
  return ::_access(path.c_str(), 0) == 0;
}

// One directory; one that is there already is fine.
inline void MakeDirectory(const std::string& path) {
  ::_mkdir(path.c_str());
}

}  // namespace backend
}  // namespace testing_support
