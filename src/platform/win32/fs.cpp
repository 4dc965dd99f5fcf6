#include "platform/fs.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/win32/errors.h"
#include "platform/win32/handles.h"
#include "platform/win32/windows_api.h"
#include "rtl/mbcs.h"

namespace platform {
namespace {

using win32::FileHandle;
using win32::FindHandle;
using win32::FromCode;
using win32::LastError;

SysError Result(BOOL ok) {
  return ok != FALSE ? SysError{} : LastError();
}

// Calls `call(buffer, size)` of the Win32 functions that return a string's
// length when it fits and the size it needs (or, truncating, the size
// given) when it does not, until it fits: no path is limited to MAX_PATH.
// An empty result with `error` set when the call failed.
template <class Call>
std::string GrowingString(Call call, SysError* error = nullptr) {
  std::string buffer(MAX_PATH, '\0');
  while (true) {
    const auto size = static_cast<DWORD>(buffer.size());
    const DWORD length = call(buffer.data(), size);
    if (length == 0) {
      if (error != nullptr) {
        *error = LastError();
      }
      return {};
    }
    if (length < size) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(std::max<std::size_t>(std::size_t{length} + 1, buffer.size() * 2));
  }
}

// Opens an existing file for writing, sharing everything, as a flush needs.
FileHandle OpenForFlush(const std::string& path) {
  return FileHandle(::CreateFileA(path.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

SysError FlushHandle(HANDLE file) {
  return Result(::FlushFileBuffers(file));
}

// Windows flushes a file only through a handle that may write it. A
// read-only file (an archive member's attribute, kept by the copy) loses
// that attribute for the flush and gets it back at once.
SysError FlushReadOnly(const std::string& path, DWORD attributes) {
  if (::SetFileAttributesA(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) == FALSE) {
    return LastError();
  }
  SysError error;
  if (const FileHandle file = OpenForFlush(path); file.Valid()) {
    error = FlushHandle(file.Get());
  } else {
    error = LastError();
  }
  if (::SetFileAttributesA(path.c_str(), attributes) == FALSE && !error.Failed()) {
    error = LastError();
  }
  return error;
}

// What a copy may take as its source: an existing file, never a directory.
SysError CheckCopySource(const std::string& source) {
  const DWORD attributes = ::GetFileAttributesA(source.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return LastError();
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return FromCode(ERROR_ACCESS_DENIED);
  }
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
    return FromCode(ERROR_NOT_SUPPORTED);
  }
  return {};
}

SysError WriteAll(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
    DWORD written = 0;
    if (::WriteFile(file, data.data(), chunk, &written, nullptr) == FALSE) {
      return LastError();
    }
    // A write that takes nothing without an error would loop forever.
    if (written == 0) {
      return FromCode(ERROR_WRITE_FAULT);
    }
    data.remove_prefix(written);
  }
  return {};
}

SysError CloseChecked(FileHandle& file) {
  return Result(::CloseHandle(file.Release()));
}

// Only symbolic links and junctions lead elsewhere; other reparse points
// (deduplicated or cloud files) are the files they stand for.
bool IsLinkReparsePoint(const std::string& path) {
  WIN32_FIND_DATAA data{};
  const FindHandle search(::FindFirstFileA(rtl::ExcludeTrailingPathDelimiter(path).c_str(), &data));
  if (!search.Valid()) {
    return true;
  }
  return data.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
         data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT;
}

// The "\\?\" form that GetFinalPathNameByHandle gives, back in the form
// that the rest of the tool writes.
std::string WithoutLongPathPrefix(std::string path) {
  constexpr std::string_view kUnc = R"(\\?\UNC\)";
  constexpr std::string_view kLocal = R"(\\?\)";
  if (path.compare(0, kUnc.size(), kUnc) == 0) {
    return R"(\\)" + path.substr(kUnc.size());
  }
  if (path.compare(0, kLocal.size(), kLocal) == 0) {
    return path.substr(kLocal.size());
  }
  return path;
}

std::string VolumePathName(const std::string& path) {
  const std::string full = ExpandFileName(path);
  std::string volume(full.size() + MAX_PATH, '\0');
  if (::GetVolumePathNameA(full.c_str(), volume.data(), static_cast<DWORD>(volume.size())) ==
      FALSE) {
    return {};
  }
  volume.resize(std::char_traits<char>::length(volume.c_str()));
  return volume;
}

// ASCII letters compared without regard to case, double-byte characters
// byte for byte: their trail bytes may look like letters.
bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  const auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (rtl::IsLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) {
        return false;
      }
      ++i;
      continue;
    }
    if (upper(a[i]) != upper(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::uint32_t GetFileAttributes(const std::string& path) {
  return ::GetFileAttributesA(path.c_str());
}

bool DirectoryExists(const std::string& path) {
  const std::uint32_t attributes = GetFileAttributes(path);
  return attributes != kInvalidFileAttributes && (attributes & kFaDirectory) != 0;
}

bool FileExists(const std::string& path) {
  const std::uint32_t attributes = GetFileAttributes(path);
  return attributes != kInvalidFileAttributes && (attributes & kFaDirectory) == 0;
}

SysError CopyFile(const std::string& source, const std::string& target, bool failIfExists) {
  if (SysError error = CheckCopySource(source); error.Failed()) {
    return error;
  }
  // CopyFileA keeps the attributes and the time of the last write.
  return Result(::CopyFileA(source.c_str(), target.c_str(), failIfExists ? TRUE : FALSE));
}

SysError CopyNewFileDurably(const std::string& source, const std::string& target) {
  if (SysError error = CheckCopySource(source); error.Failed()) {
    return error;
  }
  if (::CopyFileA(source.c_str(), target.c_str(), TRUE) == FALSE) {
    return LastError();
  }
  return FlushFile(target);
}

SysError DeleteFile(const std::string& path) {
  return Result(::DeleteFileA(path.c_str()));
}

SysError CreateDirectory(const std::string& path) {
  return Result(::CreateDirectoryA(path.c_str(), nullptr));
}

SysError RemoveDirectory(const std::string& path) {
  return Result(::RemoveDirectoryA(path.c_str()));
}

EntryKind GetEntryKind(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return EntryKind::None;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsLinkReparsePoint(path)) {
    return EntryKind::Link;
  }
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
    return EntryKind::Other;
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Directory : EntryKind::File;
}

std::string RealPath(const std::string& path) {
  // Opening follows every link; a directory opens only with backup semantics.
  const FileHandle file(::CreateFileA(path.c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.Valid()) {
    return {};
  }
  return WithoutLongPathPrefix(GrowingString([&](char* buffer, DWORD size) {
    return ::GetFinalPathNameByHandleA(file.Get(), buffer, size,
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }));
}

SysError RenameReplacing(const std::string& from, const std::string& to) {
  // Write-through: the rename is on the disk when the call returns.
  return Result(
      ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

SysError CreateHardLink(const std::string& link, const std::string& existing) {
  return Result(::CreateHardLinkA(link.c_str(), existing.c_str(), nullptr));
}

SysError TestReplaceable(const std::string& path) {
  // What a rename over the file needs of it: its data may be written (it
  // is not running, not read-only) and its holders share its deletion.
  const FileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE | DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.Valid() ? SysError{} : LastError();
}

SysError AppendToFile(const std::string& path, std::string_view data) {
  FileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    return LastError();
  }
  if (::SetFilePointerEx(file.Get(), LARGE_INTEGER{}, nullptr, FILE_END) == FALSE) {
    return LastError();
  }
  if (SysError error = WriteAll(file.Get(), data); error.Failed()) {
    return error;
  }
  if (SysError error = FlushHandle(file.Get()); error.Failed()) {
    return error;
  }
  return CloseChecked(file);
}

SysError FlushFile(const std::string& path) {
  FileHandle file = OpenForFlush(path);
  if (!file.Valid()) {
    SysError error = LastError();
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (error.Code == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
            FILE_ATTRIBUTE_READONLY) {
      return FlushReadOnly(path, attributes);
    }
    return error;
  }
  if (SysError error = FlushHandle(file.Get()); error.Failed()) {
    return error;
  }
  return CloseChecked(file);
}

SysError FlushDirectory(const std::string& path) {
  // Windows has no flush of a directory's entries for a program without
  // administrator rights. NTFS journals them, and every rename of the tool
  // is made write-through, so they are as durable as the system makes them;
  // only a directory that is not there is an error.
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return LastError();
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? SysError{} : FromCode(ERROR_DIRECTORY);
}

SysError GetFreeSpace(const std::string& path, std::uint64_t& bytes) {
  ULARGE_INTEGER available{};
  if (::GetDiskFreeSpaceExA(path.c_str(), &available, nullptr, nullptr) == FALSE) {
    return LastError();
  }
  bytes = available.QuadPart;
  return {};
}

bool SameVolume(const std::string& a, const std::string& b) {
  if (GetFileAttributes(a) == kInvalidFileAttributes ||
      GetFileAttributes(b) == kInvalidFileAttributes) {
    return false;
  }
  const std::string first = VolumePathName(a);
  return !first.empty() && SameNameIgnoringCase(first, VolumePathName(b));
}

bool VolumeHasNamedStreams(const std::string& path) {
  const std::string volume = VolumePathName(path);
  DWORD flags = 0;
  if (volume.empty() || ::GetVolumeInformationA(volume.c_str(), nullptr, 0, nullptr, nullptr,
                                                &flags, nullptr, 0) == FALSE) {
    return false;
  }
  return (flags & FILE_NAMED_STREAMS) != 0;
}

WriteFileResult WriteNewFile(const std::string& path, std::string_view data) {
  FileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    return {false, LastError()};
  }
  if (SysError error = WriteAll(file.Get(), data); error.Failed()) {
    return {true, error};
  }
  return {true, CloseChecked(file)};
}

SysError TestOpenForWriting(const std::string& path) {
  // A file marked read-only is never written, whoever asks; some file
  // systems would open it for an administrator all the same.
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
          FILE_ATTRIBUTE_READONLY) {
    return FromCode(ERROR_ACCESS_DENIED);
  }
  const FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.Valid() ? SysError{} : LastError();
}

struct DirectorySearch::Impl {
  FindHandle search;
  WIN32_FIND_DATAA pending{};
  bool hasPending = false;
  SysError openError;
};

DirectorySearch::DirectorySearch(const std::string& pattern) : impl_(std::make_unique<Impl>()) {
  impl_->search.Reset(::FindFirstFileA(pattern.c_str(), &impl_->pending));
  if (impl_->search.Valid()) {
    impl_->hasPending = true;
    return;
  }
  SysError error = LastError();
  // No matching name is an empty search, not a failed one.
  if (error.Code != ERROR_FILE_NOT_FOUND && error.Code != ERROR_NO_MORE_FILES) {
    impl_->openError = std::move(error);
  }
}

DirectorySearch::~DirectorySearch() = default;

const SysError& DirectorySearch::OpenError() const {
  return impl_->openError;
}

bool DirectorySearch::Next(FindData& entry) {
  if (!impl_->hasPending) {
    return false;
  }
  const WIN32_FIND_DATAA& found = impl_->pending;
  entry.Name = found.cFileName;
  entry.Attributes = found.dwFileAttributes;
  entry.Size = (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
  impl_->hasPending = ::FindNextFileA(impl_->search.Get(), &impl_->pending) != FALSE;
  return true;
}

SysError GetTempPath(std::string& path) {
  SysError error;
  path =
      GrowingString([](char* buffer, DWORD size) { return ::GetTempPathA(size, buffer); }, &error);
  if (error.Failed()) {
    return error;
  }
  path = rtl::IncludeTrailingPathDelimiter(path);
  return {};
}

SysError GetTempFileName(const std::string& dir, std::string_view prefix, std::string& path) {
  std::string buffer(MAX_PATH, '\0');
  const std::string start(prefix.substr(0, 3));
  // Number 0: the system picks one that is free and creates the file.
  if (::GetTempFileNameA(dir.c_str(), start.c_str(), 0, buffer.data()) == 0) {
    return LastError();
  }
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  path = ExpandFileName(buffer);
  return {};
}

std::string GetModuleFileName() {
  return GrowingString(
      [](char* buffer, DWORD size) { return ::GetModuleFileNameA(nullptr, buffer, size); });
}

std::string SearchPath(const std::string& fileName) {
  if (fileName.empty()) {
    return {};
  }
  // A name with a directory part names one file; the search would also try
  // it below every directory of the path.
  if (rtl::LastDelimiter(std::string(1, rtl::PathDelim) + std::string(rtl::DriveDelim), fileName) !=
      0) {
    return FileExists(fileName) ? ExpandFileName(fileName) : std::string();
  }
  std::string found = GrowingString([&](char* buffer, DWORD size) {
    return ::SearchPathA(nullptr, fileName.c_str(), nullptr, size, buffer, nullptr);
  });
  // The system's search also finds directories; a stub is a file.
  return FileExists(found) ? found : std::string();
}

std::string ExpandFileName(const std::string& path) {
  // The current directory itself, with its delimiter, as on Linux.
  const std::string relative = path.empty() ? std::string(".") : path;
  std::string full = GrowingString([&](char* buffer, DWORD size) {
    return ::GetFullPathNameA(relative.c_str(), size, buffer, nullptr);
  });
  if (full.empty()) {
    return path;
  }
  return path.empty() ? rtl::IncludeTrailingPathDelimiter(full) : full;
}

bool SameFileName(const std::string& a, const std::string& b) {
  return SameNameIgnoringCase(ExpandFileName(a), ExpandFileName(b));
}

bool SameFile(const std::string& a, const std::string& b) {
  // The volume and the file's index name a file whatever its path.
  const auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    const FileHandle file(
        ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file.Valid() && ::GetFileInformationByHandle(file.Get(), &info) != FALSE;
  };
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  return identity(a, first) && identity(b, second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace platform
