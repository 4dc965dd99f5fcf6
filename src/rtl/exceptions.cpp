#include "rtl/exceptions.h"

#include "rtl/format.h"
#include "rtl/strtable.h"

namespace rtl {

EOSError::EOSError(std::uint32_t code, std::string text)
    : Exception(Format(LoadStr(SOSError), {static_cast<std::int64_t>(code), text})),
      code_(code),
      text_(std::move(text)) {}

void Assert(bool condition, std::string_view what) {
  if (!condition) {
    throw EAssertionFailed(Format("Assertion failed: %s", {std::string(what)}));
  }
}

}  // namespace rtl
