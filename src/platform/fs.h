// Files and directories with Windows semantics: attributes, copy, delete,
// directory search with Windows wildcards, temporary names, module path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace platform {

inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFF;
inline constexpr std::uint32_t kFaReadOnly = 0x01;
inline constexpr std::uint32_t kFaHidden = 0x02;
inline constexpr std::uint32_t kFaSystem = 0x04;
inline constexpr std::uint32_t kFaVolumeId = 0x08;
inline constexpr std::uint32_t kFaDirectory = 0x10;
inline constexpr std::uint32_t kFaArchive = 0x20;
inline constexpr std::uint32_t kFaNormal = 0x80;

// kInvalidFileAttributes when nothing exists at `path`.
std::uint32_t GetFileAttributes(const std::string& path);
bool DirectoryExists(const std::string& path);
// Something that is not a directory exists at `path`.
bool FileExists(const std::string& path);

// Copies one file, keeping its mode and times. With `failIfExists` an
// existing target is an error (80); otherwise it is replaced. A directory
// as the source is refused (5) before the target is touched.
SysError CopyFile(const std::string& source, const std::string& target, bool failIfExists);
SysError DeleteFile(const std::string& path);
SysError CreateDirectory(const std::string& path);
SysError RemoveDirectory(const std::string& path);

// What stands at a path, links not followed.
enum class EntryKind { None, File, Directory, Link, Other };
EntryKind GetEntryKind(const std::string& path);
// What stands at a path, links not followed, with the facts an archiver
// keeps of it. Times are Unix seconds with their nanoseconds; permissions
// are Unix bits (on Windows made from the read-only attribute).
struct FileStatus {
  EntryKind Kind = EntryKind::None;
  std::uint64_t Size = 0;
  std::int64_t ModifiedSeconds = 0;
  std::int32_t ModifiedNanoseconds = 0;
  std::int64_t AccessSeconds = 0;
  std::int32_t AccessNanoseconds = 0;
  std::uint32_t Permissions = 0;
  std::uint32_t OwnerId = 0;  // Unix user and group; 0 on Windows
  std::uint32_t GroupId = 0;
};
// False, with the status left as it was, when nothing can be looked at.
bool GetFileStatus(const std::string& path, FileStatus& status);
// The target a symbolic link names, as stored; empty when `path` is no
// link whose target can be read.
std::string ReadSymbolicLink(const std::string& path);
// The full path with every link resolved; empty when it leads nowhere.
std::string RealPath(const std::string& path);
// The error `code` with the system's text for it, as a failing call would
// report it (kErrorNotSupported for a pipe, socket or device where a file
// must be, kErrorDiskFull for a volume without room).
SysError SystemError(std::uint32_t code);

// Renames `from` to `to` on one volume, replacing a file at `to` in one
// step: a reader sees the old file or the new one, never neither.
SysError RenameReplacing(const std::string& from, const std::string& to);
// A second name `link` for the existing file `existing` (same volume).
SysError CreateHardLink(const std::string& link, const std::string& existing);
// Whether the file at `path` can be renamed over now. Windows refuses
// while another program holds the file without sharing its deletion, runs
// it, or while it is read-only; elsewhere a rename replaces any file.
SysError TestReplaceable(const std::string& path);
// Copies `source` to the new file `target` (which must not exist), keeping
// mode and times, and makes its data durable before returning. A source
// that is no regular file is refused without being opened.
SysError CopyNewFileDurably(const std::string& source, const std::string& target);
// Appends `data` to the file at `path` (made when missing) and makes it
// durable before returning: a journal that outlives a crash.
SysError AppendToFile(const std::string& path, std::string_view data);
// Makes the data of a file, or the entries of a directory, durable.
SysError FlushFile(const std::string& path);
SysError FlushDirectory(const std::string& path);
// The bytes the user may still write on the volume that holds `path`.
SysError GetFreeSpace(const std::string& path, std::uint64_t& bytes);
// Whether the existing paths `a` and `b` are on the same volume, so that a
// file can be renamed from one to the other.
bool SameVolume(const std::string& a, const std::string& b);

// Creates the file at `path`, replacing any file of that name, writes `data`
// to it in one block and closes it, also after a failed write. `Created`
// tells a file that could not be created from one that could not be written.
struct WriteFileResult {
  bool Created = false;
  SysError Error;
};
WriteFileResult WriteNewFile(const std::string& path, std::string_view data);

// Opens an existing file for reading and writing, sharing both, and closes
// it at once. A running executable answers with a sharing violation (32).
SysError TestOpenForWriting(const std::string& path);

// The Windows wildcard rules: "*" any run, "?" one character, "*.*" every
// name, a trailing "." names without an extension.
bool MatchesMask(std::string_view name, std::string_view mask);

struct FindData {
  std::string Name;  // the entry's name, no path
  std::uint32_t Attributes = 0;
  std::uint64_t Size = 0;
};

// A directory search for `pattern` (directory part + mask) that lists
// entries of every attribute kind, "." and ".." included, in the order the
// system lists them. The search is closed when the object goes.
class DirectorySearch {
 public:
  explicit DirectorySearch(const std::string& pattern);
  ~DirectorySearch();
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;

  // Why the search could not start (no such directory); success otherwise.
  const SysError& OpenError() const;
  // The next matching entry; false when there is none.
  bool Next(FindData& entry);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// An existing regular file open for reading at any offset; closed when
// the object goes. Other programs may read, write and delete it meanwhile.
class InputFile {
 public:
  InputFile();
  ~InputFile();
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens `path`; a directory, device or pipe is refused with
  // kErrorNotSupported (or kErrorAccessDenied) without being read.
  SysError Open(const std::string& path);
  bool IsOpen() const;
  // The size when it was opened.
  std::uint64_t Size() const;
  // Reads up to `size` bytes at `offset`: fewer only at the end of the
  // file, -1 when the read fails.
  std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The temporary directory with its trailing delimiter, of any length.
SysError GetTempPath(std::string& path);
// Creates a new empty file `dir` + prefix (at most three characters) + up to
// four hexadecimal digits + ".tmp" and returns its full path.
SysError GetTempFileName(const std::string& dir, std::string_view prefix, std::string& path);

// The standard search for a file by name: the program's directory, the
// current directory, then each directory of PATH. The full path of the first
// match, or empty when there is none. A name with a directory part is only
// checked as it stands.
std::string SearchPath(const std::string& fileName);

// Whether the volume that holds `path` keeps named streams beside a file's
// data. None of the Linux file systems offers them to this program.
bool VolumeHasNamedStreams(const std::string& path);

// Full path of the running program.
std::string GetModuleFileName();
// Full path of `path` relative to the current directory.
std::string ExpandFileName(const std::string& path);
// Whether `a` and `b` name the same file by their full paths, in the
// system's way of comparing names (ASCII letter case counts only on Linux).
bool SameFileName(const std::string& a, const std::string& b);
// Whether `a` and `b` are names of one existing file (links, short names
// and letter case included); false when either cannot be looked at.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace platform
