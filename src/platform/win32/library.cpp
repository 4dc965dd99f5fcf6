#include "platform/library.h"

#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/fs.h"
#include "platform/win32/windows_api.h"
#include "rtl/mbcs.h"

namespace platform {
namespace {

HMODULE ModuleOf(void* handle) {
  return static_cast<HMODULE>(handle);
}

// The directories of ZELUPD_LIBRARY_PATH, separated as PATH is on Windows.
std::vector<std::string> OverrideDirectories() {
  std::vector<std::string> dirs;
  const char* list = std::getenv(std::string(kLibraryPathVariable).c_str());
  if (list == nullptr) {
    return dirs;
  }
  const std::string_view text(list);
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(';', start), text.size());
    if (end > start) {
      dirs.push_back(rtl::IncludeTrailingPathDelimiter(
          ExpandFileName(std::string(text.substr(start, end - start)))));
    }
    start = end + 1;
  }
  return dirs;
}

// Loads without the system's message box for a file that cannot be read or
// a missing dependency: the caller reports a library that does not load.
void* Open(const std::string& name) {
  DWORD previous = 0;
  const bool quiet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous) != FALSE;
  HMODULE module = ::LoadLibraryA(name.c_str());
  if (quiet) {
    ::SetThreadErrorMode(previous, nullptr);
  }
  return module;
}

}  // namespace

std::string LibraryFileName(std::string_view fileName) {
  return std::string(fileName);
}

Library::~Library() {
  Free();
}

Library::Library(Library&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Library& Library::operator=(Library&& other) noexcept {
  if (this != &other) {
    Free();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

void* Library::GetProcAddress(const std::string& name) const {
  if (handle_ == nullptr) {
    return nullptr;
  }
  // The system looks only at this module's own exports.
  return reinterpret_cast<void*>(::GetProcAddress(ModuleOf(handle_), name.c_str()));
}

std::string Library::GetModuleFileName() const {
  if (handle_ == nullptr) {
    return {};
  }
  std::string buffer(MAX_PATH, '\0');
  while (true) {
    const auto size = static_cast<DWORD>(buffer.size());
    const DWORD length = ::GetModuleFileNameA(ModuleOf(handle_), buffer.data(), size);
    if (length == 0) {
      return {};
    }
    if (length < size) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

void Library::Free() {
  if (handle_ != nullptr) {
    ::FreeLibrary(ModuleOf(std::exchange(handle_, nullptr)));
  }
}

Library LoadLibrary(std::string_view fileName) {
  const std::string name = LibraryFileName(fileName);
  if (rtl::LastDelimiter(std::string(1, rtl::PathDelim) + std::string(rtl::DriveDelim), name) ==
      0) {
    for (const std::string& dir : OverrideDirectories()) {
      const std::string path = dir + name;
      // A file that is there but does not load (another architecture, a
      // missing dependency) does not stop the search.
      if (FileExists(path)) {
        if (void* handle = Open(path); handle != nullptr) {
          return Library(handle);
        }
      }
    }
  }
  // The system's own search: the program's directory first.
  return Library(Open(name));
}

}  // namespace platform
