// One-level treatment of whole directories: visiting, copying and deleting a
// directory's entries, the temporary directory and unique temporary names.
// No operation descends into subdirectories.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/fs.h"
#include "rtl/exceptions.h"

namespace fileutil {

class EDirectoryError : public rtl::Exception {
 public:
  using Exception::Exception;
  std::string_view ClassName() const noexcept override { return "EDirectoryError"; }
};

class EDirectoryCopyError : public rtl::Exception {
 public:
  using Exception::Exception;
  std::string_view ClassName() const noexcept override { return "EDirectoryCopyError"; }
};

class EFileCopyError : public EDirectoryCopyError {
 public:
  using EDirectoryCopyError::EDirectoryCopyError;
  std::string_view ClassName() const noexcept override { return "EFileCopyError"; }
};

class EDirectoryDeleteError : public rtl::Exception {
 public:
  using Exception::Exception;
  std::string_view ClassName() const noexcept override { return "EDirectoryDeleteError"; }
};

class EFileDeleteError : public EDirectoryDeleteError {
 public:
  using EDirectoryDeleteError::EDirectoryDeleteError;
  std::string_view ClassName() const noexcept override { return "EFileDeleteError"; }
};

#pragma pack(push, 1)
// The copy's caller data; `Dest` gains its trailing delimiter before the
// first entry is visited.
struct CExtraCopyParam {
  std::string Dest;
  bool Overwrite = false;
};
#pragma pack(pop)

// Called with the directory (with its trailing delimiter), the entry's name
// and the caller data; reports failure by raising.
using EntryCallback = void (*)(const std::string& dir, const std::string& name,
                               CExtraCopyParam* param);

// The path with a trailing delimiter; an empty path stays empty. A trail
// byte with the delimiter's value does not count as one.
std::string AddBackslash(std::string_view path);

// Calls `callback` for each entry of `dir` whose name does not begin with
// ".", subdirectories included. Raises EDirectoryError for a missing directory.
void ForEachEntry(const std::string& dir, EntryCallback callback, CExtraCopyParam* param);

void CopyDirectory(const std::string& source, const std::string& dest, bool overwrite);
// Deletes the entries, then the directory by the path as given.
void DeleteDirectory(const std::string& dir);

// One entry of a directory tree: its path below the tree's root (names
// joined by the path delimiter), what it is (links not followed) and, for a
// file or a link to one, the size of the file.
struct TTreeEntry {
  std::string Relative;
  platform::EntryKind Kind = platform::EntryKind::None;
  std::uint64_t Size = 0;
};

// Every entry below `dir`, each directory before what it holds, without
// following links. Entries whose names begin with "." are left out with
// all they hold; their paths go to `leftOut` when it is given. Raises
// EDirectoryError for a missing directory.
std::vector<TTreeEntry> ListTree(const std::string& dir, std::vector<std::string>* leftOut);

// Removes `dir` with everything below it, names beginning with "." too. A
// link is removed itself, never followed. Raises the deletion errors.
void DeleteTree(const std::string& dir);
// The same for cleaning up after a failure: never raises, and goes on
// past what it cannot remove. False when something stayed.
bool DeleteTreeQuietly(const std::string& dir) noexcept;

std::string GetTempDirectory();
// Creates a new empty file with a unique name in `dir` and returns its path.
std::string MakeTempFileName(const std::string& dir, std::string_view prefix);

// The system text of a failure as the messages show it.
std::string MessageText(const platform::SysError& error);

}  // namespace fileutil
