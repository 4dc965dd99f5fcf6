#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fs.h"
#include "platform/posix/errors.h"
#include "platform/posix/fd.h"

namespace platform {
namespace {

EntryKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) {
    return EntryKind::File;
  }
  if (S_ISDIR(mode)) {
    return EntryKind::Directory;
  }
  return S_ISLNK(mode) ? EntryKind::Link : EntryKind::Other;
}

}  // namespace

bool GetFileStatus(const std::string& path, FileStatus& status) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    return false;
  }
  status.Kind = KindOf(st.st_mode);
  status.Size = status.Kind == EntryKind::File ? static_cast<std::uint64_t>(st.st_size) : 0;
  status.ModifiedSeconds = st.st_mtim.tv_sec;
  status.ModifiedNanoseconds = static_cast<std::int32_t>(st.st_mtim.tv_nsec);
  status.AccessSeconds = st.st_atim.tv_sec;
  status.AccessNanoseconds = static_cast<std::int32_t>(st.st_atim.tv_nsec);
  status.Permissions = st.st_mode & 07777;
  status.OwnerId = st.st_uid;
  status.GroupId = st.st_gid;
  return true;
}

std::string ReadSymbolicLink(const std::string& path) {
  std::string target(256, '\0');
  for (;;) {
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0) {
      return {};
    }
    if (static_cast<std::size_t>(length) < target.size()) {
      target.resize(static_cast<std::size_t>(length));
      return target;
    }
    target.resize(target.size() * 2);
  }
}

struct InputFile::Impl {
  posix::Fd File;
  std::uint64_t Size = 0;
};

InputFile::InputFile() = default;
InputFile::~InputFile() = default;
InputFile::InputFile(InputFile&& other) noexcept = default;
InputFile& InputFile::operator=(InputFile&& other) noexcept = default;

SysError InputFile::Open(const std::string& path) {
  impl_.reset();
  // Non-blocking, so that opening a FIFO never waits for a writer.
  posix::Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.Valid()) {
    return posix::LastError();
  }
  struct stat st {};
  if (::fstat(file.Get(), &st) != 0) {
    return posix::LastError();
  }
  if (!S_ISREG(st.st_mode)) {
    return SystemError(S_ISDIR(st.st_mode) ? kErrorAccessDenied : kErrorNotSupported);
  }
  impl_ = std::make_unique<Impl>();
  impl_->File = std::move(file);
  impl_->Size = static_cast<std::uint64_t>(st.st_size);
  return {};
}

bool InputFile::IsOpen() const {
  return impl_ != nullptr;
}

std::uint64_t InputFile::Size() const {
  return impl_ ? impl_->Size : 0;
}

std::int64_t InputFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  if (!impl_) {
    return -1;
  }
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(impl_->File.Get(), static_cast<char*>(buffer) + done, size - done,
                                static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return -1;
    }
    if (got == 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  return static_cast<std::int64_t>(done);
}

}  // namespace platform
