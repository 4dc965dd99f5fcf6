// Entries that a release directory must not hold and that only some
// systems can make: the Linux ones.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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

inline std::vector<ForeignEntry> ForeignEntries() {
  return {
      {"a pipe in a subfolder",
       [](const TempDir& t) { ASSERT_EQ(::mkfifo(t.Path("new/doc/pipe").c_str(), 0600), 0); },
       "doc/pipe", "doc/", "Operation not supported(50)"},
      {"a link that leads out",
       [](const TempDir& t) {
         std::filesystem::create_symlink(t.Path("dest/keep.txt"), t.Path("new/out.txt"));
       },
       "out.txt", "", "Operation not supported(50)"},
  };
}

}  // namespace testing_support
