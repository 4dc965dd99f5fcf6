// Bytes of a page to the UTF-16 text the reader works on.
#pragma once

#include <string>
#include <string_view>

namespace html {

// Decodes UTF-8. A leading byte order mark is dropped. Each ill-formed
// sequence (a stray continuation byte, a truncated or overlong sequence, a
// surrogate, a value above U+10FFFF) becomes one U+FFFD per maximal subpart,
// as Unicode recommends, so a page in another encoding still decodes, with
// its non-ASCII characters replaced. The page's declared charset is not
// consulted. Runs of ASCII are copied eight bytes at a time.
std::u16string Utf8ToUtf16(std::string_view bytes);

}  // namespace html
