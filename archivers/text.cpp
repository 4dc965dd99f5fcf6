#include "text.h"

#include <algorithm>
#include <cstring>

#include "rtl/codepage.h"
#include "rtl/mbcs.h"

namespace archivers {

std::string ToHost(std::string_view utf8) {
  return rtl::Utf8ToAnsi(utf8);
}

std::string FromHost(std::string_view host) {
  return rtl::AnsiToUtf8(host);
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return LowerAscii(c); });
  return lower;
}

namespace {

// The length of the UTF-8 sequence that starts with `lead`, 0 for none.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) {
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    return 4;
  }
  return 0;
}

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

}  // namespace

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string decoded;
  decoded.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = SequenceLength(lead);
    bool valid = length > 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      valid = IsContinuation(static_cast<unsigned char>(text[i + k]));
    }
    if (!valid || length == 1) {
      decoded += static_cast<char32_t>(lead);
      ++i;
      continue;
    }
    char32_t code = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    decoded += code;
    i += length;
  }
  return decoded;
}

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t length = SequenceLength(static_cast<unsigned char>(text[i]));
    if (length == 0 || i + length > text.size()) {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (!IsContinuation(static_cast<unsigned char>(text[i + k]))) {
        return false;
      }
    }
    i += length;
  }
  return true;
}

std::string ShiftJisToUtf8(std::string_view raw) {
  return rtl::WideToAnsi(rtl::AnsiToWide(raw, rtl::CP_SHIFT_JIS), rtl::CP_UTF8_);
}

std::string StoredNameToUtf8(std::string_view raw) {
  if (IsValidUtf8(raw)) {
    return std::string(raw);
  }
  return ShiftJisToUtf8(raw);
}

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> components;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    if (end > start) {
      components.emplace_back(path.substr(start, end - start));
    }
    start = end + 1;
  }
  return components;
}

std::string JoinPath(const std::vector<std::string>& components, std::size_t count) {
  std::string joined;
  for (std::size_t i = 0; i < count && i < components.size(); ++i) {
    if (i > 0) {
      joined += '/';
    }
    joined += components[i];
  }
  return joined;
}

std::string BaseName(std::string_view path) {
  const std::vector<std::string> components = SplitPath(path);
  return components.empty() ? std::string() : components.back();
}

std::string DirName(std::string_view path) {
  const std::vector<std::string> components = SplitPath(path);
  return components.empty() ? std::string() : JoinPath(components, components.size() - 1);
}

std::size_t FittingLength(std::string_view value, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::size_t limit = std::min(value.size(), size - 1);
  if (rtl::AnsiCodePage() == rtl::CP_UTF8_) {
    std::size_t length = limit;
    // Back off to the start of a character.
    while (length > 0 && length < value.size() &&
           IsContinuation(static_cast<unsigned char>(value[length]))) {
      --length;
    }
    return length;
  }
  std::size_t length = 0;
  while (length < limit) {
    const std::size_t step = rtl::IsLeadByte(static_cast<unsigned char>(value[length])) ? 2 : 1;
    if (length + step > limit) {
      break;
    }
    length += step;
  }
  return length;
}

void OutputText::Line(std::string_view line) {
  // Member names may hold control characters, and the text may end up on
  // a console: they are shown escaped, never raw.
  for (const char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      text_ += "\\x";
      text_ += kHex[byte >> 4];
      text_ += kHex[byte & 0xF];
    } else {
      text_ += c;
    }
  }
  text_ += '\n';
}

void OutputText::CopyTo(char* buffer, std::uint32_t size) const {
  if (buffer == nullptr || size == 0) {
    return;
  }
  const std::size_t length = FittingLength(text_, size);
  std::memcpy(buffer, text_.data(), length);
  buffer[length] = '\0';
}

}  // namespace archivers
