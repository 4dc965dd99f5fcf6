#include "platform/library.h"

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/fs.h"
#include "platform/posix/path_list.h"
#include "rtl/mbcs.h"

namespace platform {
namespace {

// Resolve every reference at once, as the Windows loader does, and keep the
// library's symbols to itself so that two archiver libraries never see each
// other's entries.
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL;

std::string LowerCaseAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// The directories searched before the loader's own path, each with a
// trailing delimiter.
std::vector<std::string> SearchDirectories() {
  std::vector<std::string> dirs;
  if (const char* list = std::getenv(std::string(kLibraryPathVariable).c_str()); list != nullptr) {
    for (const std::string& dir : posix::SplitPathList(list)) {
      dirs.push_back(rtl::IncludeTrailingPathDelimiter(ExpandFileName(dir)));
    }
  }
  const std::string program = GetModuleFileName();
  if (!program.empty()) {
    const std::string own = rtl::ExtractFilePath(program);
    dirs.push_back(own);
    const std::filesystem::path installed =
        (std::filesystem::path(own) / ".." / "lib" / "zelupd").lexically_normal();
    dirs.push_back(rtl::IncludeTrailingPathDelimiter(installed.string()));
  }
  return dirs;
}

void* Open(const std::string& path) {
  return ::dlopen(path.c_str(), kOpenFlags);
}

}  // namespace

std::string LibraryFileName(std::string_view fileName) {
  const std::string dir = rtl::ExtractFilePath(fileName);
  std::string name = LowerCaseAscii(rtl::ExtractFileName(fileName));
  if (EndsWith(name, ".dll")) {
    name.resize(name.size() - 4);
    name += ".so";
  } else if (rtl::ExtractFileExt(name).empty()) {
    name += ".so";
  }
  return dir + "lib" + name;
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
  // A null handle would mean the global scope to dlsym.
  if (handle_ == nullptr) {
    return nullptr;
  }
  // dlsym on a handle also searches the library's dependencies; an entry
  // counts only when this module defines it.
  void* address = ::dlsym(handle_, name.c_str());
  if (address == nullptr) {
    return nullptr;
  }
  Dl_info info{};
  link_map* owner = nullptr;
  if (::dladdr1(address, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0) {
    return nullptr;
  }
  link_map* self = nullptr;
  if (::dlinfo(handle_, RTLD_DI_LINKMAP, &self) != 0 || owner != self) {
    return nullptr;
  }
  return address;
}

std::string Library::GetModuleFileName() const {
  link_map* map = nullptr;
  if (handle_ == nullptr || ::dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
      map->l_name == nullptr) {
    return {};
  }
  return ExpandFileName(map->l_name);
}

void Library::Free() {
  if (handle_ != nullptr) {
    ::dlclose(std::exchange(handle_, nullptr));
  }
}

Library LoadLibrary(std::string_view fileName) {
  const std::string name = LibraryFileName(fileName);
  if (name.find(rtl::PathDelim) != std::string::npos) {
    return Library(Open(ExpandFileName(name)));
  }
  for (const std::string& dir : SearchDirectories()) {
    const std::string path = dir + name;
    // A file that is there but does not load (another architecture, a
    // missing dependency) does not stop the search.
    if (FileExists(path)) {
      if (void* handle = Open(path); handle != nullptr) {
        return Library(handle);
      }
    }
  }
  return Library(Open(name));
}

}  // namespace platform
