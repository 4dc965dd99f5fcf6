#include <algorithm>

#include "platform/fs.h"
#include "platform/win32/errors.h"
#include "platform/win32/handles.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

using win32::FileHandle;

constexpr std::int64_t kUnitsPerSecond = 10000000;
constexpr std::int64_t kUnitsFrom1601To1970 = 116444736000000000;

std::uint64_t Combined(DWORD high, DWORD low) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

// A file time as Unix seconds and nanoseconds (times before 1970 too).
void ToUnixTime(const FILETIME& time, std::int64_t& seconds, std::int32_t& nanoseconds) {
  const auto units = static_cast<std::int64_t>(Combined(time.dwHighDateTime, time.dwLowDateTime)) -
                     kUnitsFrom1601To1970;
  std::int64_t whole = units / kUnitsPerSecond;
  std::int64_t rest = units % kUnitsPerSecond;
  if (rest < 0) {
    --whole;
    rest += kUnitsPerSecond;
  }
  seconds = whole;
  nanoseconds = static_cast<std::int32_t>(rest * 100);
}

}  // namespace

bool GetFileStatus(const std::string& path, FileStatus& status) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) == FALSE) {
    return false;
  }
  status.Kind = GetEntryKind(path);
  if (status.Kind == EntryKind::None) {
    return false;
  }
  status.Size =
      status.Kind == EntryKind::File ? Combined(data.nFileSizeHigh, data.nFileSizeLow) : 0;
  ToUnixTime(data.ftLastWriteTime, status.ModifiedSeconds, status.ModifiedNanoseconds);
  ToUnixTime(data.ftLastAccessTime, status.AccessSeconds, status.AccessNanoseconds);
  // What Windows keeps is whether the file may be written.
  const bool readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  status.Permissions = status.Kind == EntryKind::Directory ? 0755 : 0644;
  if (readOnly) {
    status.Permissions &= ~std::uint32_t{0222};
  }
  return true;
}

std::string ReadSymbolicLink(const std::string& /*path*/) {
  // Windows links are stored as the files they lead to.
  return {};
}

struct InputFile::Impl {
  FileHandle File;
  std::uint64_t Size = 0;
};

InputFile::InputFile() = default;
InputFile::~InputFile() = default;
InputFile::InputFile(InputFile&& other) noexcept = default;
InputFile& InputFile::operator=(InputFile&& other) noexcept = default;

SysError InputFile::Open(const std::string& path) {
  impl_.reset();
  FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    return win32::LastError();
  }
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
    return SystemError(kErrorNotSupported);
  }
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(file.Get(), &size) == FALSE) {
    return win32::LastError();
  }
  impl_ = std::make_unique<Impl>();
  impl_->File = std::move(file);
  impl_->Size = static_cast<std::uint64_t>(size.QuadPart);
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
    const std::uint64_t at = offset + done;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at & 0xFFFFFFFF);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size - done, 1U << 30));
    DWORD got = 0;
    if (::ReadFile(impl_->File.Get(), static_cast<char*>(buffer) + done, wanted, &got, &position) ==
        FALSE) {
      if (::GetLastError() == ERROR_HANDLE_EOF) {
        break;
      }
      return -1;
    }
    if (got == 0) {
      break;
    }
    done += got;
  }
  return static_cast<std::int64_t>(done);
}

}  // namespace platform
