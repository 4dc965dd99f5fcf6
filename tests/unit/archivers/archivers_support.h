// What the archiver-library tests share: the environment that points the
// framework at the built libraries, archives written with libarchive, the
// contents of the LZH fixtures and a view of a directory tree.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/formats/cab32.h"
#include "archive/formats/lha32.h"
#include "archive/formats/rar32.h"
#include "archive/formats/szip32.h"
#include "archive/formats/tar32.h"
#include "archive/formats/zip32.h"
#include "archive_io.h"
#include "platform/library.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace archivers_test {

inline std::string LzhFixture(const std::string& name) {
  return std::string(ZEL_LZH_FIXTURE_DIR) + "/" + name;
}

using testing_support::ScopedEnv;

// Every test loads the built libraries afresh, in UTC.
class ArchiverLibraries : public ::testing::Test {
 protected:
  ArchiverLibraries() { FreeAll(); }
  ~ArchiverLibraries() override { FreeAll(); }

  static void FreeAll() {
    archive::TLha32::FreeDLL();
    archive::TZip32::FreeDLL();
    archive::TTar32::FreeDLL();
    archive::TSevenZip32::FreeDLL();
    archive::TCab32::FreeDLL();
    archive::TRar32::FreeDLL();
  }

  ScopedEnv libraries_{std::string(platform::kLibraryPathVariable), ZEL_ARCHIVER_DIR};
  ScopedEnv utc_{"TZ", "UTC"};
};

// A field of a packed record as a value: gtest binds its arguments to
// references, which a packed field must not get.
template <class T>
T V(T value) {
  return value;
}

// --- the contents of the LZH fixtures (tests/data/README.md) ---

inline std::string BigText() {
  std::string text;
  char line[80];
  for (int i = 0; i < 150; ++i) {
    std::snprintf(line, sizeof line, "line %04d: the quick brown fox jumps over the lazy dog\n", i);
    text += line;
  }
  return text;
}

inline std::string FarText() {
  std::string block;
  std::uint64_t x = 1;
  for (int line = 0; line < 64; ++line) {
    for (int i = 0; i < 63; ++i) {
      x = (x * 1103515245 + 12345) % (std::uint64_t{1} << 31);
      block += static_cast<char>('a' + (x >> 16) % 26);
    }
    block += '\n';
  }
  std::string text = block;
  for (int line = 0; line < 100; ++line) {
    text += std::string(59, '=') + "\n";
  }
  return text + block;
}

// old.txt of unsupported.lzh, written as -lh1-.
inline std::string OldText() {
  std::string text;
  char line[80];
  for (int i = 0; i < 48; ++i) {
    std::snprintf(line, sizeof line,
                  "old method line %03d: compressed with the adaptive Huffman code\n", i);
    text += line;
  }
  return text;
}

// --- a directory tree as text ---

// Relative paths under `root` (which is ASCII), sorted, in UTF-8 with "/":
// directories end with "/", links read "name -> target", files
// "name = contents" (contents when short). The names are read as the system
// gives them, whatever the ANSI code page.
inline std::set<std::string> Tree(const std::string& root) {
  std::set<std::string> tree;
  namespace fs = std::filesystem;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = entry.path().lexically_relative(root).generic_string();
    if (entry.is_symlink()) {
      tree.insert(name + " -> " + fs::read_symlink(entry.path()).generic_string());
    } else if (entry.is_directory()) {
      tree.insert(name + "/");
    } else {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      tree.insert(name + " = " +
                  (data.size() <= 40 ? data : std::to_string(data.size()) + " bytes"));
    }
  }
  return tree;
}

}  // namespace archivers_test
