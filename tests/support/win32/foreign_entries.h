// Entries that a release directory must not hold and that only some
// systems can make: the Windows ones.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace testing_support {

struct ForeignEntry {
  std::string Name;
  // Makes the entry below "new" of the directory it is given.
  std::function<void(const TempDir&)> Make;
  // The entry, and the folder it would be copied into, relative to "new"
  // with "/".
  std::string Relative;
  std::string Folder;
  // How the copy of it fails.
  std::string ErrorText;
};

// None: the tests cannot make symbolic links there, and the file system
// holds no pipes, sockets or devices.
inline std::vector<ForeignEntry> ForeignEntries() {
  return {};
}

}  // namespace testing_support
