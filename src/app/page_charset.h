// The character set of a downloaded page, and its text.
#pragma once

#include <string>
#include <string_view>

namespace app {

// The code page a charset label names (any letter case, blanks around
// ignored), 0 for a label the tool does not know. UTF-16 labels give 1200.
unsigned CodePageOfCharset(std::string_view label);

// The value of the charset parameter of a Content-Type header, quotes
// removed; empty when it has none.
std::string CharsetOfContentType(std::string_view contentType);

// The charset that a meta element in the first 1024 bytes of a page
// declares (`<meta charset=...>` or an http-equiv Content-Type with its
// content), as a browser looks for it before parsing; empty when none.
std::string MetaCharset(std::string_view page);

// The text of a page's bytes, decoded by the first of: a byte order mark,
// the charset of the answer's Content-Type header, a meta declaration, the
// ANSI code page. Bytes that are not valid in that code page become U+FFFD.
std::u16string DecodePage(std::string_view bytes, std::string_view contentType);

}  // namespace app
