#include "safe_path.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "archive/arcapi.h"
#include "engine_error.h"
#include "text.h"

namespace archivers {
namespace {

bool HasDrivePrefix(const std::string& name) {
  return name.size() >= 2 && name[1] == ':' &&
         ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

struct FreeDeleter {
  void operator()(char* text) const noexcept {
    // realpath allocates with malloc.
    std::free(text);  // NOLINT(cppcoreguidelines-no-malloc,cppcoreguidelines-owning-memory)
  }
};

std::string RealPath(const std::string& path) {
  const std::unique_ptr<char, FreeDeleter> resolved(::realpath(path.c_str(), nullptr));
  return resolved ? std::string(resolved.get()) : std::string();
}

}  // namespace

std::optional<std::vector<std::string>> SafeComponents(const std::string& name) {
  if (name.empty()) {
    return std::nullopt;
  }
  // An absolute name is taken below the destination, as the archivers of
  // every family do: tools that store a folder's full path make such names.
  std::string relative = HasDrivePrefix(name) ? name.substr(2) : name;
  relative.erase(0, relative.find_first_not_of('/'));
  std::vector<std::string> safe;
  for (std::string& component : SplitPath(relative)) {
    if (component == ".") {
      continue;
    }
    if (component == "..") {
      return std::nullopt;
    }
    safe.push_back(std::move(component));
  }
  return safe;
}

std::string PrepareDestination(const std::string& hostDirectory) {
  const std::string directory = hostDirectory.empty() ? std::string(".") : hostDirectory;
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  const std::string real = RealPath(directory);
  struct stat status {};
  if (real.empty() || ::stat(real.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
    throw EngineError(arcapi::kErrorMakeDirectory, "cannot make the directory " + directory);
  }
  return real == "/" ? std::string() : real;
}

}  // namespace archivers
