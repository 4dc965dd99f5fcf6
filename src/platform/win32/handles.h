// Owners of Win32 handles: each closes its handle when it goes, none can be
// copied, all can be moved.
#pragma once

#include <utility>

#include "platform/win32/windows_api.h"

namespace platform::win32 {

// `Traits` names the handle type, its empty value and how it is closed.
template <class Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() = default;
  explicit UniqueHandle(Type handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }

  Type Get() const { return handle_; }
  bool Valid() const { return handle_ != Traits::Empty(); }
  Type Release() { return std::exchange(handle_, Traits::Empty()); }
  void Reset(Type handle = Traits::Empty()) {
    if (Valid()) {
      Traits::Close(handle_);
    }
    handle_ = handle;
  }

 private:
  Type handle_ = Traits::Empty();
};

// A file or directory from CreateFileA (INVALID_HANDLE_VALUE when none).
struct FileTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Type handle) { ::CloseHandle(handle); }
};
using FileHandle = UniqueHandle<FileTraits>;

// A kernel object such as a process or a thread (null when none).
struct KernelTraits {
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static void Close(Type handle) { ::CloseHandle(handle); }
};
using KernelHandle = UniqueHandle<KernelTraits>;

// A FindFirstFileA search.
struct FindTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Type handle) { ::FindClose(handle); }
};
using FindHandle = UniqueHandle<FindTraits>;

}  // namespace platform::win32
