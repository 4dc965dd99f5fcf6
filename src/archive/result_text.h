// What the result codes of the archiver library interface mean, in words
// for the user.
#pragma once

#include <string>

namespace archive {

// The meaning of `code` as an 8-bit text in the ANSI code page; codes the
// interface does not define are called unknown.
std::string ResultText(int code);

}  // namespace archive
