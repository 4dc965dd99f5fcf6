// Text helpers of the engine: member names are kept in UTF-8 with "/" as
// the delimiter; the caller's strings (paths, patterns, output) are in the
// host's ANSI code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace archivers {

// Between UTF-8 and the host's ANSI code page.
std::string ToHost(std::string_view utf8);
std::string FromHost(std::string_view host);

// ASCII letters only.
std::string LowerAscii(std::string_view text);
char LowerAscii(char c);

// The code points of a UTF-8 string; a byte that starts no valid sequence
// stands for itself, so every input has a decoding.
std::u32string DecodeUtf8(std::string_view text);

// Shift_JIS (CP932) as UTF-8; a byte that starts no character is replaced.
std::string ShiftJisToUtf8(std::string_view raw);

// Whether the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view text);
// A name stored without a character set of its own, as UTF-8: taken as
// UTF-8 when it is well-formed UTF-8 (what Unix tools write), otherwise as
// Shift_JIS (what Japanese Windows tools write).
std::string StoredNameToUtf8(std::string_view raw);

// "/"-separated components; empty ones are dropped.
std::vector<std::string> SplitPath(std::string_view path);
std::string JoinPath(const std::vector<std::string>& components, std::size_t count);
// The last component of a "/"-separated name.
std::string BaseName(std::string_view path);
// The directory part of a "/"-separated name, without the delimiter.
std::string DirName(std::string_view path);

// Appends to `text` as much of `value` as fits in `size` bytes including a
// terminating NUL, never splitting a character of the host's code page.
std::size_t FittingLength(std::string_view value, std::size_t size);
template <std::size_t N>
void CopyField(char (&field)[N], std::string_view value) {
  const std::size_t length = FittingLength(value, N);
  value.copy(field, length);
  field[length] = '\0';
}

// The text a command writes for its caller.
class OutputText {
 public:
  // Appends a line; control characters in it are written as "\xNN".
  void Line(std::string_view line);
  const std::string& Text() const { return text_; }
  // Writes the text NUL-terminated into the caller's buffer, cut to fit;
  // nothing when there is no buffer.
  void CopyTo(char* buffer, std::uint32_t size) const;

 private:
  std::string text_;
};

}  // namespace archivers
