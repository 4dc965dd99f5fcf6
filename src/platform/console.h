// What the tool's standard streams are connected to.
#pragma once

namespace platform {

// Whether standard error is a terminal that a person watches, where a line
// rewritten in place shows progress.
bool StandardErrorIsTerminal();

}  // namespace platform
