#include "safe_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>

#include "archive/arcapi.h"
#include "engine_error.h"
#include "text.h"

namespace archivers {
namespace {

constexpr int kMaxLinkHops = 40;
constexpr std::size_t kMaxComponents = 4096;

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

std::string Under(const std::string& root, const std::vector<std::string>& components,
                  std::size_t count) {
  std::string path = root;
  for (std::size_t i = 0; i < count; ++i) {
    path += '/';
    path += components[i];
  }
  return path;
}

}  // namespace

std::optional<std::vector<std::string>> SafeComponents(const std::string& name) {
  if (name.empty() || name.front() == '/' || HasDrivePrefix(name)) {
    return std::nullopt;
  }
  std::vector<std::string> safe;
  for (std::string& component : SplitPath(name)) {
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

bool LinkStaysInside(const std::string& root, const std::vector<std::string>& linkDirectory,
                     const std::string& target) {
  if (target.empty() || target.front() == '/') {
    return false;
  }
  std::vector<std::string> resolved(linkDirectory);
  // How many leading components of `resolved` are the link's own parents.
  std::size_t trusted = resolved.size();
  std::deque<std::string> pending;
  for (std::string& component : SplitPath(target)) {
    pending.push_back(std::move(component));
  }
  int hops = 0;
  while (!pending.empty()) {
    if (pending.size() + resolved.size() > kMaxComponents) {
      return false;
    }
    const std::string component = std::move(pending.front());
    pending.pop_front();
    if (component == ".") {
      continue;
    }
    if (component == "..") {
      if (resolved.empty()) {
        return false;
      }
      struct stat status {};
      const bool realDirectory =
          ::lstat(Under(root, resolved, resolved.size()).c_str(), &status) == 0 &&
          S_ISDIR(status.st_mode);
      if (resolved.size() > trusted && !realDirectory) {
        return false;
      }
      resolved.pop_back();
      trusted = std::min(trusted, resolved.size());
      continue;
    }
    resolved.push_back(component);
    const std::string path = Under(root, resolved, resolved.size());
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
      continue;
    }
    if (++hops > kMaxLinkHops) {
      return false;
    }
    std::string link(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
    if (length <= 0 || link.front() == '/') {
      return false;
    }
    link.resize(static_cast<std::size_t>(length));
    resolved.pop_back();
    trusted = std::min(trusted, resolved.size());
    std::vector<std::string> parts = SplitPath(link);
    pending.insert(pending.begin(), parts.begin(), parts.end());
  }
  return true;
}

}  // namespace archivers
