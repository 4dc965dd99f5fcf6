#include "app/page_charset.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "rtl/codepage.h"

namespace app {
namespace {

constexpr std::size_t kMetaScanLength = 1024;
constexpr unsigned kUtf16Le = 1200;
constexpr unsigned kUtf16Be = 1201;

struct TCharsetLabel {
  std::string_view Label;
  unsigned CodePage;
};

// The labels that pages and servers use for the code pages the tool reads.
constexpr std::array kCharsetLabels{
    TCharsetLabel{"utf-8", rtl::CP_UTF8_},
    TCharsetLabel{"utf8", rtl::CP_UTF8_},
    TCharsetLabel{"unicode-1-1-utf-8", rtl::CP_UTF8_},
    TCharsetLabel{"shift_jis", rtl::CP_SHIFT_JIS},
    TCharsetLabel{"shift-jis", rtl::CP_SHIFT_JIS},
    TCharsetLabel{"sjis", rtl::CP_SHIFT_JIS},
    TCharsetLabel{"x-sjis", rtl::CP_SHIFT_JIS},
    TCharsetLabel{"ms_kanji", rtl::CP_SHIFT_JIS},
    TCharsetLabel{"csshiftjis", rtl::CP_SHIFT_JIS},
    TCharsetLabel{"windows-31j", rtl::CP_SHIFT_JIS},
    TCharsetLabel{"cp932", rtl::CP_SHIFT_JIS},
    TCharsetLabel{"ms932", rtl::CP_SHIFT_JIS},
    TCharsetLabel{"x-ms-cp932", rtl::CP_SHIFT_JIS},
    TCharsetLabel{"euc-jp", rtl::CP_EUC_JP},
    TCharsetLabel{"x-euc-jp", rtl::CP_EUC_JP},
    TCharsetLabel{"cseucpkdfmtjapanese", rtl::CP_EUC_JP},
    TCharsetLabel{"iso-2022-jp", rtl::CP_ISO_2022_JP},
    TCharsetLabel{"csiso2022jp", rtl::CP_ISO_2022_JP},
    TCharsetLabel{"windows-1252", rtl::CP_WINDOWS_1252},
    TCharsetLabel{"cp1252", rtl::CP_WINDOWS_1252},
    TCharsetLabel{"x-cp1252", rtl::CP_WINDOWS_1252},
    TCharsetLabel{"iso-8859-1", rtl::CP_WINDOWS_1252},
    TCharsetLabel{"iso8859-1", rtl::CP_WINDOWS_1252},
    TCharsetLabel{"iso_8859-1", rtl::CP_WINDOWS_1252},
    TCharsetLabel{"latin1", rtl::CP_WINDOWS_1252},
    TCharsetLabel{"l1", rtl::CP_WINDOWS_1252},
    TCharsetLabel{"us-ascii", rtl::CP_WINDOWS_1252},
    TCharsetLabel{"ascii", rtl::CP_WINDOWS_1252},
    TCharsetLabel{"utf-16", kUtf16Le},
    TCharsetLabel{"utf-16le", kUtf16Le},
    TCharsetLabel{"utf-16be", kUtf16Be},
};

constexpr bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

constexpr char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerCase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
  return lower;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && LowerCase(text.substr(0, prefix.size())) == prefix;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// A scanner over the first bytes of a page, reading markup as a browser
// does before it knows the page's charset.
class TMetaScanner {
 public:
  explicit TMetaScanner(std::string_view text) : text_(text) {}

  std::string Scan() {
    while (pos_ < text_.size()) {
      const std::string_view rest = text_.substr(pos_);
      if (rest.substr(0, 4) == "<!--") {
        SkipPast("-->", 2);
      } else if (StartsWithIgnoringCase(rest, "<meta") && rest.size() > 5 &&
                 (IsBlank(rest[5]) || rest[5] == '/')) {
        pos_ += 5;
        std::string charset = ReadMeta();
        if (!charset.empty()) {
          return charset;
        }
      } else if (rest.size() > 1 && rest[0] == '<' &&
                 (IsLetter(rest[1]) || (rest[1] == '/' && rest.size() > 2 && IsLetter(rest[2])))) {
        SkipTag();
      } else if (rest.size() > 1 && rest[0] == '<' &&
                 (rest[1] == '!' || rest[1] == '/' || rest[1] == '?')) {
        SkipPast(">", 0);
      } else {
        ++pos_;
      }
    }
    return {};
  }

 private:
  struct TAttribute {
    std::string Name;
    std::string Value;
  };

  static constexpr bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  }

  void SkipPast(std::string_view end, std::size_t from) {
    const std::size_t at = text_.find(end, pos_ + from);
    pos_ = at == std::string_view::npos ? text_.size() : at + end.size();
  }

  void SkipTag() {
    while (pos_ < text_.size() && !IsBlank(text_[pos_]) && text_[pos_] != '>') {
      ++pos_;
    }
    TAttribute attribute;
    while (ReadAttribute(attribute)) {
    }
  }

  std::string ReadMeta() {
    std::string charset;
    std::string content;
    bool contentType = false;
    TAttribute attribute;
    while (ReadAttribute(attribute)) {
      if (attribute.Name == "charset" && charset.empty()) {
        charset = Trim(attribute.Value);
      } else if (attribute.Name == "http-equiv") {
        contentType = contentType || LowerCase(Trim(attribute.Value)) == "content-type";
      } else if (attribute.Name == "content" && content.empty()) {
        content = attribute.Value;
      }
    }
    if (!charset.empty()) {
      return charset;
    }
    return contentType ? CharsetOfContentType(content) : std::string();
  }

  // The next attribute of a tag; false at its end.
  bool ReadAttribute(TAttribute& attribute) {
    while (pos_ < text_.size() && (IsBlank(text_[pos_]) || text_[pos_] == '/')) {
      ++pos_;
    }
    if (pos_ >= text_.size() || text_[pos_] == '>') {
      ++pos_;
      return false;
    }
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !IsBlank(text_[pos_]) && text_[pos_] != '=' &&
           text_[pos_] != '>' && (pos_ == start || text_[pos_] != '/')) {
      ++pos_;
    }
    attribute.Name = LowerCase(text_.substr(start, pos_ - start));
    attribute.Value.clear();
    SkipBlanks();
    if (pos_ >= text_.size() || text_[pos_] != '=') {
      return true;
    }
    ++pos_;
    SkipBlanks();
    if (pos_ < text_.size() && (text_[pos_] == '"' || text_[pos_] == '\'')) {
      const char quote = text_[pos_++];
      const std::size_t end = std::min(text_.find(quote, pos_), text_.size());
      attribute.Value = text_.substr(pos_, end - pos_);
      pos_ = end + 1;
      return true;
    }
    const std::size_t valueStart = pos_;
    while (pos_ < text_.size() && !IsBlank(text_[pos_]) && text_[pos_] != '>') {
      ++pos_;
    }
    attribute.Value = text_.substr(valueStart, pos_ - valueStart);
    return true;
  }

  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) {
      ++pos_;
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string text;
  text.reserve(bytes.size() / 2 + 1);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    text += static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  if (bytes.size() % 2 != 0) {
    text += u'\uFFFD';
  }
  return text;
}

std::u16string Decode(std::string_view bytes, unsigned codePage) {
  if (codePage == kUtf16Le || codePage == kUtf16Be) {
    return DecodeUtf16(bytes, codePage == kUtf16Be);
  }
  return rtl::AnsiToWide(bytes, codePage);
}

}  // namespace

unsigned CodePageOfCharset(std::string_view label) {
  const std::string key = LowerCase(Trim(label));
  const auto* found = std::find_if(kCharsetLabels.begin(), kCharsetLabels.end(),
                                   [&](const TCharsetLabel& entry) { return entry.Label == key; });
  return found == kCharsetLabels.end() ? 0 : found->CodePage;
}

std::string CharsetOfContentType(std::string_view contentType) {
  // The first "charset" followed by "=", as browsers find it, also in a
  // header with parameters of its own before it.
  const std::string lower = LowerCase(contentType);
  std::size_t at = 0;
  while ((at = lower.find("charset", at)) != std::string::npos) {
    std::size_t pos = at + 7;
    while (pos < lower.size() && IsBlank(lower[pos])) {
      ++pos;
    }
    if (pos >= lower.size() || lower[pos] != '=') {
      at = pos;
      continue;
    }
    ++pos;
    while (pos < lower.size() && IsBlank(lower[pos])) {
      ++pos;
    }
    if (pos < lower.size() && (lower[pos] == '"' || lower[pos] == '\'')) {
      const std::size_t end = contentType.find(lower[pos], pos + 1);
      return end == std::string_view::npos
                 ? std::string()
                 : std::string(contentType.substr(pos + 1, end - pos - 1));
    }
    std::size_t end = pos;
    while (end < lower.size() && !IsBlank(lower[end]) && lower[end] != ';') {
      ++end;
    }
    return std::string(contentType.substr(pos, end - pos));
  }
  return {};
}

std::string MetaCharset(std::string_view page) {
  return TMetaScanner(page.substr(0, kMetaScanLength)).Scan();
}

std::u16string DecodePage(std::string_view bytes, std::string_view contentType) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    return rtl::AnsiToWide(bytes.substr(3), rtl::CP_UTF8_);
  }
  if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
    return DecodeUtf16(bytes.substr(2), bytes[0] == '\xFE');
  }
  if (const unsigned fromHeader = CodePageOfCharset(CharsetOfContentType(contentType));
      fromHeader != 0) {
    return Decode(bytes, fromHeader);
  }
  if (unsigned fromMeta = CodePageOfCharset(MetaCharset(bytes)); fromMeta != 0) {
    // A page that could declare itself in ASCII is not UTF-16, whatever it says.
    if (fromMeta == kUtf16Le || fromMeta == kUtf16Be) {
      fromMeta = rtl::CP_UTF8_;
    }
    return Decode(bytes, fromMeta);
  }
  return rtl::AnsiToWide(bytes);
}

}  // namespace app
