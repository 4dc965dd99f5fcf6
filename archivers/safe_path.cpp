#include "safe_path.h"

#include <algorithm>

#include "archive/arcapi.h"
#include "engine_error.h"
#include "platform/fs.h"
#include "rtl/mbcs.h"
#include "text.h"

namespace archivers {
namespace {

// On Windows a "\\" in a member name would divide the path where it is
// written: the name is read as the system reads it.
constexpr bool kBackslashDelimits = rtl::PathDelim == '\\';

bool HasDrivePrefix(const std::string& name) {
  return name.size() >= 2 && name[1] == ':' &&
         ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

// Windows drops the dots and blanks at the end of a name: ".. " is "..".
// A ":" names a drive or a stream of the file.
bool LeavesOnWindows(const std::string& component) {
  const bool onlyDotsAndBlanks = component.find_first_not_of(". ") == std::string::npos;
  return (onlyDotsAndBlanks && component.find("..") != std::string::npos) ||
         component.find(':') != std::string::npos;
}

// The parents first: a missing one cannot be made below.
void MakeDirectories(const std::string& directory) {
  std::vector<std::string> missing;
  std::string path = rtl::ExcludeTrailingPathDelimiter(directory);
  while (!path.empty() && platform::GetEntryKind(path) == platform::EntryKind::None) {
    missing.push_back(path);
    const std::string parent = rtl::ExtractFileDir(path);
    if (parent == path) {
      break;
    }
    path = parent;
  }
  std::reverse(missing.begin(), missing.end());
  for (const std::string& parent : missing) {
    platform::CreateDirectory(parent);
  }
}

}  // namespace

std::optional<std::vector<std::string>> SafeComponents(const std::string& name) {
  if (name.empty()) {
    return std::nullopt;
  }
  // An absolute name is taken below the destination, as the archivers of
  // every family do: tools that store a folder's full path make such names.
  std::string relative = HasDrivePrefix(name) ? name.substr(2) : name;
  if (kBackslashDelimits) {
    std::replace(relative.begin(), relative.end(), '\\', '/');
  }
  relative.erase(0, relative.find_first_not_of('/'));
  std::vector<std::string> safe;
  for (std::string& component : SplitPath(relative)) {
    if (component == ".") {
      continue;
    }
    if (component == ".." || (kBackslashDelimits && LeavesOnWindows(component))) {
      return std::nullopt;
    }
    safe.push_back(std::move(component));
  }
  return safe;
}

std::string PrepareDestination(const std::string& hostDirectory) {
  const std::string directory = hostDirectory.empty() ? std::string(".") : hostDirectory;
  MakeDirectories(directory);
  const std::string real = platform::RealPath(directory);
  if (real.empty() || platform::GetEntryKind(real) != platform::EntryKind::Directory) {
    throw EngineError(arcapi::kErrorMakeDirectory, "cannot make the directory " + directory);
  }
  // Members are joined to it with a delimiter of their own ("/" and "C:\\"
  // keep theirs).
  std::string root = rtl::ExcludeTrailingPathDelimiter(real);
  if (rtl::HasTrailingDelimiter(root, rtl::PathDelim)) {
    root.pop_back();
  }
  return root;
}

}  // namespace archivers
