// What the code page conversion needs of the system, one file per backend.
#pragma once

#include <string_view>

#include "rtl/codepage.h"

namespace rtl::backend {

// The system's ANSI code page.
unsigned SystemAnsiCodePage();
// Conversions that never fail: a byte sequence that is not valid in the
// source code page becomes U+FFFD (or "?" in an 8-bit result).
WideString ToWide(std::string_view text, unsigned codePage);
AnsiString FromWide(std::u16string_view text, unsigned codePage);

}  // namespace rtl::backend
