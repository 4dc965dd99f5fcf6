// Win32 error codes with the system's text for them, taken right after the
// failing call.
#pragma once

#include <cstdint>

#include "platform/error.h"

namespace platform::win32 {

// `code` with the system's message for it, in the ANSI code page.
SysError FromCode(std::uint32_t code);
// FromCode(GetLastError()), the code read before anything else can run;
// never success, as it follows a call that failed.
SysError LastError();

}  // namespace platform::win32
