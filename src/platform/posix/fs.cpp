#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string_view>
#include <vector>

#include "platform/posix/errors.h"
#include "platform/posix/fd.h"
#include "platform/posix/path_list.h"
#include "rtl/mbcs.h"

namespace platform {
namespace {

using posix::Fd;
using posix::FromErrno;
using posix::LastError;

SysError CopyData(int from, int to) {
  std::array<char, std::size_t{64} * 1024> buffer{};
  while (true) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return LastError();
    }
    if (got == 0) {
      return {};
    }
    ssize_t done = 0;
    while (done < got) {
      const ssize_t put = ::write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) {
          continue;
        }
        return LastError();
      }
      done += put;
    }
  }
}

// Opens `source` for a copy once it is known to be a regular file: opening
// a pipe would wait for a writer for ever, opening a device may act on it.
SysError OpenCopySource(const std::string& source, Fd& from, struct stat& st) {
  if (::stat(source.c_str(), &st) != 0) {
    return LastError();
  }
  if (!S_ISREG(st.st_mode)) {
    return S_ISDIR(st.st_mode) ? FromErrno(EISDIR) : SystemError(kErrorNotSupported);
  }
  from = Fd(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!from.Valid()) {
    return LastError();
  }
  if (::fstat(from.Get(), &st) != 0) {
    return LastError();
  }
  return S_ISREG(st.st_mode) ? SysError{} : SystemError(kErrorNotSupported);
}

SysError CopyOpened(int from, const struct stat& st, int to) {
  if (SysError error = CopyData(from, to); error.Failed()) {
    return error;
  }
  // The mode of a replaced file is the source's, as the times are.
  if (::fchmod(to, st.st_mode & 07777) != 0) {
    return LastError();
  }
  const std::array<struct timespec, 2> times{st.st_atim, st.st_mtim};
  if (::futimens(to, times.data()) != 0) {
    return LastError();
  }
  return {};
}

SysError SyncFd(int fd) {
  return ::fsync(fd) == 0 ? SysError{} : LastError();
}

std::uint32_t AttributesOf(const struct stat& st, std::string_view name) {
  std::uint32_t attributes = 0;
  if (S_ISDIR(st.st_mode)) {
    attributes |= kFaDirectory;
  } else {
    attributes |= kFaArchive;
  }
  if ((st.st_mode & S_IWUSR) == 0) {
    attributes |= kFaReadOnly;
  }
  // Dot files are what a Linux user hides.
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") {
    attributes |= kFaHidden;
  }
  return attributes;
}

}  // namespace

std::uint32_t GetFileAttributes(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return kInvalidFileAttributes;
  }
  return AttributesOf(st, rtl::ExtractFileName(path));
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
  Fd from;
  struct stat st {};
  if (SysError error = OpenCopySource(source, from, st); error.Failed()) {
    return error;
  }
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC);
  Fd to(::open(target.c_str(), flags, st.st_mode & 07777));
  if (!to.Valid()) {
    return LastError();
  }
  if (SysError error = CopyOpened(from.Get(), st, to.Get()); error.Failed()) {
    return error;
  }
  return to.Close();
}

SysError CopyNewFileDurably(const std::string& source, const std::string& target) {
  Fd from;
  struct stat st {};
  if (SysError error = OpenCopySource(source, from, st); error.Failed()) {
    return error;
  }
  Fd to(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777));
  if (!to.Valid()) {
    return LastError();
  }
  if (SysError error = CopyOpened(from.Get(), st, to.Get()); error.Failed()) {
    return error;
  }
  if (SysError error = SyncFd(to.Get()); error.Failed()) {
    return error;
  }
  return to.Close();
}

EntryKind GetEntryKind(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    return EntryKind::None;
  }
  if (S_ISREG(st.st_mode)) {
    return EntryKind::File;
  }
  if (S_ISDIR(st.st_mode)) {
    return EntryKind::Directory;
  }
  return S_ISLNK(st.st_mode) ? EntryKind::Link : EntryKind::Other;
}

std::string RealPath(const std::string& path) {
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                         &std::free);
  return real ? std::string(real.get()) : std::string();
}

SysError SystemError(std::uint32_t code) {
  switch (code) {
    case kErrorSuccess:
      return {};
    case kErrorAccessDenied:
      return FromErrno(EACCES);
    case kErrorNotSupported:
      return FromErrno(ENOTSUP);
    case kErrorDiskFull:
      return FromErrno(ENOSPC);
    default:
      return SysError{code, FromErrno(EIO).Text};
  }
}

SysError AppendToFile(const std::string& path, std::string_view data) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
  if (!fd.Valid()) {
    return LastError();
  }
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t put = ::write(fd.Get(), data.data() + done, data.size() - done);
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      return put < 0 ? LastError() : FromErrno(EIO);
    }
    done += static_cast<std::size_t>(put);
  }
  if (SysError error = SyncFd(fd.Get()); error.Failed()) {
    return error;
  }
  return fd.Close();
}

SysError RenameReplacing(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? SysError{} : LastError();
}

SysError CreateHardLink(const std::string& link, const std::string& existing) {
  return ::link(existing.c_str(), link.c_str()) == 0 ? SysError{} : LastError();
}

SysError TestReplaceable(const std::string& /*path*/) {
  return {};  // a rename replaces a file whoever holds it
}

SysError FlushFile(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.Valid()) {
    return LastError();
  }
  if (SysError error = SyncFd(fd.Get()); error.Failed()) {
    return error;
  }
  return fd.Close();
}

SysError FlushDirectory(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.Valid()) {
    return LastError();
  }
  // Some file systems cannot sync a directory; their entries are then as
  // durable as they get.
  if (::fsync(fd.Get()) != 0 && errno != EINVAL && errno != EROFS) {
    return LastError();
  }
  return fd.Close();
}

SysError GetFreeSpace(const std::string& path, std::uint64_t& bytes) {
  struct statvfs vfs {};
  if (::statvfs(path.c_str(), &vfs) != 0) {
    return LastError();
  }
  bytes = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  return {};
}

bool SameVolume(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev;
}

bool VolumeHasNamedStreams(const std::string& /*path*/) {
  return false;
}

SysError DeleteFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 ? SysError{} : LastError();
}

SysError CreateDirectory(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0 ? SysError{} : LastError();
}

SysError RemoveDirectory(const std::string& path) {
  return ::rmdir(path.c_str()) == 0 ? SysError{} : LastError();
}

WriteFileResult WriteNewFile(const std::string& path, std::string_view data) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd.Valid()) {
    return {false, LastError()};
  }
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t put = ::write(fd.Get(), data.data() + done, data.size() - done);
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      // A write that takes nothing without an error would loop forever.
      return {true, put < 0 ? LastError() : FromErrno(EIO)};
    }
    done += static_cast<std::size_t>(put);
  }
  return {true, fd.Close()};
}

SysError TestOpenForWriting(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.Valid()) {
    return LastError();
  }
  return {};
}

struct DirectorySearch::Impl {
  DIR* dir = nullptr;
  std::string directory;
  std::string mask;
  SysError openError;

  ~Impl() {
    if (dir != nullptr) {
      ::closedir(dir);
    }
  }
};

DirectorySearch::DirectorySearch(const std::string& pattern) : impl_(std::make_unique<Impl>()) {
  impl_->directory = rtl::ExtractFilePath(pattern);
  impl_->mask = rtl::ExtractFileName(pattern);
  const std::string open = impl_->directory.empty() ? std::string(".") : impl_->directory;
  impl_->dir = ::opendir(open.c_str());
  if (impl_->dir == nullptr) {
    impl_->openError = LastError();
    if (impl_->openError.Code == kErrorFileNotFound) {
      impl_->openError = FromErrno(ENOTDIR);  // a missing directory is a missing path
    }
  }
}

DirectorySearch::~DirectorySearch() = default;

const SysError& DirectorySearch::OpenError() const {
  return impl_->openError;
}

bool DirectorySearch::Next(FindData& entry) {
  if (impl_->dir == nullptr) {
    return false;
  }
  while (const dirent* found = ::readdir(impl_->dir)) {
    const std::string_view name(found->d_name);
    if (!MatchesMask(name, impl_->mask)) {
      continue;
    }
    struct stat st {};
    const std::string full = impl_->directory + std::string(name);
    // An entry that vanished meanwhile is not reported.
    if (::lstat(full.c_str(), &st) != 0) {
      continue;
    }
    if (S_ISLNK(st.st_mode)) {
      struct stat target {};
      if (::stat(full.c_str(), &target) == 0) {
        st = target;
      }
    }
    entry.Name = std::string(name);
    entry.Attributes = AttributesOf(st, name);
    entry.Size = static_cast<std::uint64_t>(st.st_size);
    return true;
  }
  return false;
}

SysError GetTempPath(std::string& path) {
  const char* tmpdir = std::getenv("TMPDIR");
  path = (tmpdir != nullptr && *tmpdir != '\0') ? std::string(tmpdir) : std::string("/tmp");
  path = rtl::IncludeTrailingPathDelimiter(path);
  return {};
}

SysError GetTempFileName(const std::string& dir, std::string_view prefix, std::string& path) {
  const std::string base =
      rtl::IncludeTrailingPathDelimiter(dir) + std::string(prefix.substr(0, 3));
  std::random_device seed;
  std::uint32_t number = seed() % 0xFFFFu + 1u;
  // Every one of the 65535 numbers is tried once before giving up.
  for (std::uint32_t tries = 0; tries < 0xFFFFu; ++tries) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(number));
    const std::string candidate = base + hex + ".tmp";
    Fd fd(::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.Valid()) {
      path = candidate;
      return fd.Close();
    }
    if (errno != EEXIST) {
      return LastError();
    }
    number = number % 0xFFFFu + 1u;
  }
  return FromErrno(EEXIST);
}

std::string GetModuleFileName() {
  std::string buffer(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0) {
    return {};
  }
  buffer.resize(static_cast<std::size_t>(n));
  return buffer;
}

std::string SearchPath(const std::string& fileName) {
  if (fileName.empty()) {
    return {};
  }
  if (fileName.find(rtl::PathDelim) != std::string::npos) {
    return FileExists(fileName) ? ExpandFileName(fileName) : std::string();
  }
  std::vector<std::string> dirs{rtl::ExtractFilePath(GetModuleFileName()), ExpandFileName("")};
  if (const char* path = std::getenv("PATH"); path != nullptr) {
    for (std::string& dir : posix::SplitPathList(path)) {
      dirs.push_back(std::move(dir));
    }
  }
  for (const std::string& dir : dirs) {
    std::string candidate = ExpandFileName(rtl::IncludeTrailingPathDelimiter(dir) + fileName);
    if (FileExists(candidate)) {
      return candidate;
    }
  }
  return {};
}

std::string ExpandFileName(const std::string& path) {
  if (!path.empty() && path[0] == '/') {
    return path;
  }
  std::string cwd(4096, '\0');
  if (::getcwd(cwd.data(), cwd.size()) == nullptr) {
    return path;
  }
  cwd.resize(std::char_traits<char>::length(cwd.c_str()));
  return rtl::IncludeTrailingPathDelimiter(cwd) + path;
}

bool SameFileName(const std::string& a, const std::string& b) {
  return ExpandFileName(a) == ExpandFileName(b);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace platform
