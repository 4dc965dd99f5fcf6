#include "rtl/codepage_backend.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

namespace rtl::backend {
namespace {

unsigned CodePageOfLocale() {
  const char* codeset = nl_langinfo(CODESET);
  if (codeset == nullptr) {
    return CP_UTF8_;
  }
  std::string name(codeset);
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  if (name == "SHIFT_JIS" || name == "SHIFT-JIS" || name == "CP932" || name == "SJIS" ||
      name == "WINDOWS-31J") {
    return CP_SHIFT_JIS;
  }
  return CP_UTF8_;
}

const char* IconvName(unsigned codePage) {
  switch (codePage) {
    case CP_SHIFT_JIS:
      return "CP932";
    case CP_WINDOWS_1252:
      return "CP1252";
    case CP_EUC_JP:
      return "EUC-JP";
    case CP_ISO_2022_JP:
      return "ISO-2022-JP";
    default:
      return "UTF-8";
  }
}

// One conversion with iconv; invalid input is replaced and skipped so the
// result is always complete.
std::string Convert(std::string_view input, const char* from, const char* to,
                    std::string_view replacement, std::size_t unitSize) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    return std::string(input);
  }
  std::string out;
  // A bounded buffer: a page of megabytes is converted piece by piece.
  std::vector<char> buffer(std::min<std::size_t>(input.size() * 4 + 16, std::size_t{64} * 1024));
  std::string in(input);
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    std::size_t outLeft = buffer.size();
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer.data(), buffer.size() - outLeft);
    if (rc == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) {
        continue;
      }
      // EILSEQ or EINVAL (truncated sequence): replace one code unit and go on.
      out.append(replacement);
      const std::size_t skip = inLeft < unitSize ? inLeft : unitSize;
      inPtr += skip;
      inLeft -= skip;
    }
  }
  iconv_close(cd);
  return out;
}

std::string Utf16ToBytes(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

WideString BytesToUtf16(std::string_view bytes) {
  WideString text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                  (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return text;
}
}  // namespace

unsigned SystemAnsiCodePage() {
  return CodePageOfLocale();
}

WideString ToWide(std::string_view text, unsigned codePage) {
  // "\xFD\xFF" is U+FFFD in UTF-16LE.
  return BytesToUtf16(Convert(text, IconvName(codePage), "UTF-16LE", "\xFD\xFF", 1));
}

AnsiString FromWide(std::u16string_view text, unsigned codePage) {
  return Convert(Utf16ToBytes(text), "UTF-16LE", IconvName(codePage), "?", 2);
}

}  // namespace rtl::backend
