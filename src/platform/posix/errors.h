// errno to Windows error codes, in one table, so messages read the same on
// every backend.
#pragma once

#include "platform/error.h"

namespace platform::posix {

std::uint32_t WindowsCodeOf(int error);
// The code and the system's own text for `error` (an errno value).
SysError FromErrno(int error);
// FromErrno(errno), taken at once.
SysError LastError();

}  // namespace platform::posix
