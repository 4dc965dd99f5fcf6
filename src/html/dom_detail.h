// What the sources of the document model share and nothing else needs:
// raising its errors, and the one empty string that absent values refer to.
#pragma once

#include <string>

#include "html/dom_exception.h"
#include "rtl/exceptions.h"

namespace html::detail {

[[noreturn]] inline void Raise(int code) {
  throw DomException(code);
}

// A static, so that the references handed out never dangle.
inline const std::u16string& EmptyString() {
  static const std::u16string empty;
  return empty;
}

// The pointer forms of insertion move nodes that already have an owner; a
// free node would be adopted behind its owner's back.
[[noreturn]] inline void RejectFreeNode() {
  throw rtl::EAssertionFailed("a node without an owner is handed over by its std::unique_ptr");
}

}  // namespace html::detail
