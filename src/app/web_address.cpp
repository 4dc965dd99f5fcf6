#include "app/web_address.h"

#include <algorithm>
#include <cstddef>

#include "platform/wire_url.h"
#include "rtl/codepage.h"
#include "rtl/mbcs.h"

namespace app {
namespace {

constexpr std::size_t npos = std::u16string_view::npos;

constexpr bool IsAsciiLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

constexpr bool IsSchemeChar(char16_t c) {
  return IsAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
}

constexpr char16_t LowerAscii(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool SameAsciiText(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return LowerAscii(x) == LowerAscii(y); });
}

bool IsWebScheme(std::u16string_view scheme) {
  return SameAsciiText(scheme, u"http") || SameAsciiText(scheme, u"https");
}

// The length of the scheme that `url` begins with, 0 when it has none: a
// letter, then letters, digits, "+", "-" or ".", then a colon.
std::size_t SchemeLength(std::u16string_view url) {
  if (url.empty() || !IsAsciiLetter(url[0])) {
    return 0;
  }
  std::size_t i = 1;
  while (i < url.size() && IsSchemeChar(url[i])) {
    ++i;
  }
  return i < url.size() && url[i] == u':' ? i : 0;
}

// A link as a browser reads it: blanks and controls around it dropped,
// tabs and line breaks inside it too.
std::u16string CleanReference(std::u16string_view reference) {
  while (!reference.empty() && reference.front() <= u' ') {
    reference.remove_prefix(1);
  }
  while (!reference.empty() && reference.back() <= u' ') {
    reference.remove_suffix(1);
  }
  std::u16string clean;
  clean.reserve(reference.size());
  for (const char16_t c : reference) {
    if (c != u'\t' && c != u'\n' && c != u'\r') {
      clean += c;
    }
  }
  return clean;
}

void BackslashesToSlashes(std::u16string& url) {
  const std::size_t end = std::min(url.find(u'?'), url.find(u'#'));
  std::replace(url.begin(),
               end == npos ? url.end() : url.begin() + static_cast<std::ptrdiff_t>(end), u'\\',
               u'/');
}

// The base path without its last segment, then the reference's path.
std::u16string MergePaths(const TUrlParts& base, std::u16string_view path) {
  if (base.HasAuthority && base.Path.empty()) {
    return u"/" + std::u16string(path);
  }
  const std::size_t slash = base.Path.rfind(u'/');
  return slash == npos ? std::u16string(path)
                       : base.Path.substr(0, slash + 1) + std::u16string(path);
}

// Drops the last segment of `output` and the slash before it.
void DropLastSegment(std::u16string& output) {
  const std::size_t slash = output.rfind(u'/');
  output.erase(slash == npos ? 0 : slash);
}

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

std::string PercentDecode(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      bytes += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

// Whether `bytes` is well-formed UTF-8 (shortest forms, no surrogates).
bool IsUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead < 0x80) {
      ++i;
      continue;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      low = lead == 0xE0 ? 0xA0 : 0x80;
      high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      low = lead == 0xF0 ? 0x90 : 0x80;
      high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
      return false;
    }
    if (bytes.size() - i < length) {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) {
        return false;
      }
    }
    i += length;
  }
  return true;
}

// `bytes` in the ANSI code page; empty when they have no exact form there.
std::string NameInAnsi(const std::string& bytes) {
  const unsigned ansi = rtl::AnsiCodePage();
  if (IsUtf8(bytes)) {
    const std::u16string wide = rtl::AnsiToWide(bytes, rtl::CP_UTF8_);
    return rtl::IsRepresentable(wide, ansi) ? rtl::WideToAnsi(wide, ansi) : std::string();
  }
  // Percent-encoded in some legacy code page: good only as the system's own.
  return rtl::WideToAnsi(rtl::AnsiToWide(bytes, ansi), ansi) == bytes ? bytes : std::string();
}

// One code unit per byte: addresses on the wire are ASCII.
std::u16string AsciiToWide(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (const char c : text) {
    wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  }
  return wide;
}

}  // namespace

TUrlParts SplitUrl(std::u16string_view url) {
  TUrlParts parts;
  if (const std::size_t scheme = SchemeLength(url); scheme > 0) {
    parts.Scheme = url.substr(0, scheme);
    url.remove_prefix(scheme + 1);
  }
  if (const std::size_t hash = url.find(u'#'); hash != npos) {
    parts.HasFragment = true;
    parts.Fragment = url.substr(hash + 1);
    url = url.substr(0, hash);
  }
  if (const std::size_t question = url.find(u'?'); question != npos) {
    parts.HasQuery = true;
    parts.Query = url.substr(question + 1);
    url = url.substr(0, question);
  }
  if (StartsWith(url, u"//")) {
    parts.HasAuthority = true;
    const std::size_t slash = url.find(u'/', 2);
    parts.Authority = url.substr(2, slash == npos ? npos : slash - 2);
    url = slash == npos ? std::u16string_view() : url.substr(slash);
  }
  parts.Path = url;
  return parts;
}

std::u16string JoinUrl(const TUrlParts& parts) {
  std::u16string url;
  if (!parts.Scheme.empty()) {
    url += parts.Scheme + u":";
  }
  if (parts.HasAuthority) {
    url += u"//" + parts.Authority;
  }
  url += parts.Path;
  if (parts.HasQuery) {
    url += u"?" + parts.Query;
  }
  if (parts.HasFragment) {
    url += u"#" + parts.Fragment;
  }
  return url;
}

std::u16string RemoveDotSegments(std::u16string_view path) {
  std::u16string input(path);
  std::u16string output;
  std::size_t at = 0;  // what of `input` is still to do starts here
  while (at < input.size()) {
    const std::u16string_view rest = std::u16string_view(input).substr(at);
    if (StartsWith(rest, u"../")) {
      at += 3;
    } else if (StartsWith(rest, u"./") || StartsWith(rest, u"/./")) {
      at += 2;  // "/./" leaves its last slash
    } else if (rest == u"/.") {
      input.replace(at, 2, u"/");
    } else if (StartsWith(rest, u"/../")) {
      at += 3;
      DropLastSegment(output);
    } else if (rest == u"/..") {
      input.replace(at, 3, u"/");
      DropLastSegment(output);
    } else if (rest == u"." || rest == u"..") {
      at = input.size();
    } else {
      const std::size_t end = rest.find(u'/', 1);
      const std::size_t length = end == npos ? rest.size() : end;
      output += rest.substr(0, length);
      at += length;
    }
  }
  return output;
}

std::u16string ResolveUrl(std::u16string_view base, std::u16string_view reference) {
  const TUrlParts from = SplitUrl(base);
  std::u16string link = CleanReference(reference);
  TUrlParts ref = SplitUrl(link);
  if (ref.Scheme.empty() || IsWebScheme(ref.Scheme)) {
    if (IsWebScheme(ref.Scheme.empty() ? from.Scheme : ref.Scheme)) {
      BackslashesToSlashes(link);
      ref = SplitUrl(link);
    }
  }
  // "http:x.lzh" on an http page is relative, as browsers read it.
  if (!ref.Scheme.empty() && !ref.HasAuthority && SameAsciiText(ref.Scheme, from.Scheme)) {
    ref.Scheme.clear();
  }
  TUrlParts target;
  if (!ref.Scheme.empty()) {
    target = ref;
    target.Path = RemoveDotSegments(ref.Path);
  } else {
    target.Scheme = from.Scheme;
    if (ref.HasAuthority) {
      target.HasAuthority = true;
      target.Authority = ref.Authority;
      target.Path = RemoveDotSegments(ref.Path);
      target.HasQuery = ref.HasQuery;
      target.Query = ref.Query;
    } else {
      target.HasAuthority = from.HasAuthority;
      target.Authority = from.Authority;
      if (ref.Path.empty()) {
        target.Path = from.Path;
        target.HasQuery = ref.HasQuery || from.HasQuery;
        target.Query = ref.HasQuery ? ref.Query : from.Query;
      } else {
        target.Path =
            RemoveDotSegments(ref.Path.front() == u'/' ? ref.Path : MergePaths(from, ref.Path));
        target.HasQuery = ref.HasQuery;
        target.Query = ref.Query;
      }
    }
  }
  // The fragment stays in the browser; it is never part of the request.
  target.HasFragment = false;
  target.Fragment.clear();
  return JoinUrl(target);
}

bool IsWebUrl(std::u16string_view url) {
  const TUrlParts parts = SplitUrl(url);
  return IsWebScheme(parts.Scheme) && parts.HasAuthority && !parts.Authority.empty();
}

bool IsWebUrl(std::string_view url) {
  return IsWebUrl(AsciiToWide(url));
}

std::string WireUrl(std::u16string_view url) {
  return platform::EscapeUrl(rtl::WideToAnsi(url, rtl::CP_UTF8_));
}

std::string DownloadFileNameOf(std::string_view url) {
  const TUrlParts parts = SplitUrl(AsciiToWide(url));
  const std::size_t slash = parts.Path.rfind(u'/');
  const std::u16string segment = slash == npos ? parts.Path : parts.Path.substr(slash + 1);
  // The segment holds bytes of the address, one per code unit.
  std::string encoded;
  encoded.reserve(segment.size());
  for (const char16_t unit : segment) {
    encoded += static_cast<char>(unit & 0xFF);
  }
  return NameInAnsi(PercentDecode(encoded));
}

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") {
    return false;
  }
  if (std::any_of(name.begin(), name.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
    return false;
  }
  // Both slashes: either one leads out of the directory on Windows. The
  // search reads double-byte characters, whose second byte may equal a
  // backslash.
  std::string delimiters = "/\\";
  delimiters += rtl::DriveDelim;
  return rtl::LastDelimiter(delimiters, name) == 0;
}

}  // namespace app
