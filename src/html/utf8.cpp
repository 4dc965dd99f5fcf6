#include "html/utf8.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace html {

namespace {

constexpr char16_t kReplacement = u'\uFFFD';
constexpr std::uint64_t kHighBits = 0x8080808080808080U;

bool IsContinuation(unsigned char c) {
  return (c & 0xC0U) == 0x80U;
}

// The range the second byte of a sequence must fall in, which excludes
// overlong forms, surrogates and values above U+10FFFF.
struct TSecondByteRange {
  unsigned char low;
  unsigned char high;
};

TSecondByteRange SecondByteRange(unsigned char lead) {
  switch (lead) {
    case 0xE0:
      return {0xA0, 0xBF};
    case 0xED:
      return {0x80, 0x9F};
    case 0xF0:
      return {0x90, 0xBF};
    case 0xF4:
      return {0x80, 0x8F};
    default:
      return {0x80, 0xBF};
  }
}

// The length of the sequence `lead` starts, 0 when it starts none.
std::size_t SequenceLength(unsigned char lead) {
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

class TDecoder {
 public:
  TDecoder(std::string_view bytes, char16_t* out)
      : in_(reinterpret_cast<const unsigned char*>(bytes.data())),
        end_(in_ + bytes.size()),
        out_(out) {}

  // Returns the end of the output.
  char16_t* Run() {
    while (in_ != end_) {
      CopyAscii();
      if (in_ != end_) {
        DecodeOne();
      }
    }
    return out_;
  }

 private:
  void CopyAscii() {
    while (end_ - in_ >= 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, in_, sizeof word);
      if ((word & kHighBits) != 0) {
        break;
      }
      for (int i = 0; i < 8; ++i) {
        out_[i] = in_[i];
      }
      in_ += 8;
      out_ += 8;
    }
    while (in_ != end_ && *in_ < 0x80U) {
      *out_++ = *in_++;
    }
  }

  // One sequence at a non-ASCII byte, or the replacement for its maximal
  // subpart.
  void DecodeOne() {
    const unsigned char lead = *in_;
    const std::size_t length = SequenceLength(lead);
    if (length == 0) {
      ++in_;
      *out_++ = kReplacement;
      return;
    }
    const TSecondByteRange second = SecondByteRange(lead);
    std::uint32_t value = lead & (0xFFU >> (length + 1));
    std::size_t taken = 1;
    for (; taken < length; ++taken) {
      if (in_ + taken == end_) {
        break;
      }
      const unsigned char c = in_[taken];
      const bool fits = taken == 1 ? c >= second.low && c <= second.high : IsContinuation(c);
      if (!fits) {
        break;
      }
      value = (value << 6U) | (c & 0x3FU);
    }
    in_ += taken;
    if (taken < length) {
      *out_++ = kReplacement;
    } else if (value < 0x10000U) {
      *out_++ = static_cast<char16_t>(value);
    } else {
      value -= 0x10000U;
      *out_++ = static_cast<char16_t>(0xD800U + (value >> 10U));
      *out_++ = static_cast<char16_t>(0xDC00U + (value & 0x3FFU));
    }
  }

  const unsigned char* in_;
  const unsigned char* const end_;
  char16_t* out_;
};

}  // namespace

std::u16string Utf8ToUtf16(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    bytes.remove_prefix(3);
  }
  // Every byte yields at most one code unit: a four-byte sequence yields two.
  std::u16string text(bytes.size(), u'\0');
  const char16_t* const end = TDecoder(bytes, text.data()).Run();
  text.resize(static_cast<std::size_t>(end - text.data()));
  return text;
}

}  // namespace html
