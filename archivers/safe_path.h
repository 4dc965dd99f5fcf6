// Where a member may be written: its name made relative and clean, and the
// target of a link checked against the destination.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace archivers {

// The member name (UTF-8, "/" delimiters) as components to write under the
// destination, or nullopt when it must not be written: an absolute name
// ("/x", "C:x", "//server"), a ".." component. "." and empty components go.
std::optional<std::vector<std::string>> SafeComponents(const std::string& name);

// The destination directory as a real, absolute path without symlinks and
// without a trailing delimiter; created (with its parents) when missing.
// EngineError (make directory) when it cannot be made or is not a
// directory.
std::string PrepareDestination(const std::string& hostDirectory);

// Whether a symbolic link at `linkDirectory` (host components under
// `root`) with the host `target` stays inside `root`. Existing links under
// `root` are followed; ".." may only leave an existing real directory (or
// one of the link's own parents, which the extraction creates as real
// directories), so later members cannot change the answer.
bool LinkStaysInside(const std::string& root, const std::vector<std::string>& linkDirectory,
                     const std::string& target);

}  // namespace archivers
