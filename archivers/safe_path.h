// Where a member may be written: its name made relative and clean, and the
// destination it is written under. Links are never written at all.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace archivers {

// The member name (UTF-8, "/" delimiters) as components to write under the
// destination, or nullopt when it must not be written (a ".." component).
// An absolute name ("/x", "C:x", "//server/x") loses its root and drive;
// "." and empty components go.
std::optional<std::vector<std::string>> SafeComponents(const std::string& name);

// The destination directory as a real, absolute path without symlinks and
// without a trailing delimiter; created (with its parents) when missing.
// EngineError (make directory) when it cannot be made or is not a
// directory.
std::string PrepareDestination(const std::string& hostDirectory);

}  // namespace archivers
