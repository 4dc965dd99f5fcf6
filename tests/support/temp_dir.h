// A real temporary directory for one test, removed with everything in it.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "rtl/mbcs.h"
#include "support/native_name.h"
#include "system_backend.h"

namespace testing_support {

class TempDir {
 public:
  TempDir() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const std::filesystem::path candidate =
          base / ("zeltest." + std::to_string(random() % 1000000000));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) {
        std::filesystem::permissions(candidate, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, error);
        path_ = candidate.string();
      }
    }
    if (path_.empty()) {
      ADD_FAILURE() << "no temporary directory in " << base;
    }
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory with a trailing path delimiter.
  std::string Dir() const { return path_ + rtl::PathDelim; }
  // `name` below the directory; "/" in it delimits subdirectories.
  std::string Path(const std::string& name) const { return Dir() + NativeName(name); }

  std::string Write(const std::string& name, const std::string& content) const {
    MakeParents(name);
    const std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  std::string MakeDir(const std::string& name) const {
    MakeParents(name);
    backend::MakeDirectory(Path(name));
    return Path(name);
  }

 private:
  void MakeParents(const std::string& name) const {
    for (std::size_t slash = name.find('/'); slash != std::string::npos;
         slash = name.find('/', slash + 1)) {
      backend::MakeDirectory(Path(name.substr(0, slash)));
    }
  }

  std::string path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string& path) {
  return backend::PathExists(path);
}

}  // namespace testing_support
