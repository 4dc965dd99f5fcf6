#include "rtl/mbcs.h"

#include "rtl/codepage.h"

namespace rtl {
namespace {

std::string PathSeparators() {
  std::string separators(1, PathDelim);
  separators += DriveDelim;
  return separators;
}

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool IsLeadByte(unsigned char byte) {
  if (AnsiCodePage() != CP_SHIFT_JIS) {
    return false;  // UTF-8 continuation bytes never equal an ASCII byte.
  }
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

MbcsByteType ByteType(std::string_view s, std::size_t index) {
  if (index == 0 || index > s.size()) {
    return MbcsByteType::Single;
  }
  // Walk from the start: only a forward scan knows where characters begin.
  std::size_t i = 0;
  const std::size_t target = index - 1;
  while (i < target) {
    i += IsLeadByte(static_cast<unsigned char>(s[i])) ? 2u : 1u;
  }
  if (i > target) {
    return MbcsByteType::Trail;
  }
  return IsLeadByte(static_cast<unsigned char>(s[i])) ? MbcsByteType::Lead : MbcsByteType::Single;
}

std::size_t LastDelimiter(std::string_view delimiters, std::string_view s) {
  std::size_t found = 0;
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char byte = static_cast<unsigned char>(s[i]);
    if (IsLeadByte(byte)) {
      i += 2;
      continue;
    }
    if (delimiters.find(static_cast<char>(byte)) != std::string_view::npos) {
      found = i + 1;
    }
    ++i;
  }
  return found;
}

std::size_t AnsiPos(std::string_view sub, std::string_view s) {
  if (sub.empty()) {
    return 0;
  }
  std::size_t i = 0;
  while (i + sub.size() <= s.size()) {
    if (s.compare(i, sub.size(), sub) == 0) {
      return i + 1;
    }
    i += IsLeadByte(static_cast<unsigned char>(s[i])) ? 2u : 1u;
  }
  return 0;
}

bool IsDelimiterAt(std::string_view s, std::size_t index, char delimiter) {
  return index >= 1 && index <= s.size() && s[index - 1] == delimiter &&
         ByteType(s, index) == MbcsByteType::Single;
}

bool IsPathDelimiter(std::string_view s, std::size_t index) {
  return IsDelimiterAt(s, index, PathDelim);
}

bool HasTrailingDelimiter(std::string_view path, char delimiter) {
  return IsDelimiterAt(path, path.size(), delimiter);
}

std::string IncludeTrailingDelimiter(std::string_view path, char delimiter) {
  std::string result(path);
  if (!result.empty() && !HasTrailingDelimiter(path, delimiter)) {
    result += delimiter;
  }
  return result;
}

std::string IncludeTrailingPathDelimiter(std::string_view path) {
  return IncludeTrailingDelimiter(path, PathDelim);
}

std::string ExcludeTrailingPathDelimiter(std::string_view path) {
  if (path.size() > 1 && HasTrailingDelimiter(path, PathDelim)) {
    path.remove_suffix(1);
  }
  return std::string(path);
}

std::string ExtractFilePath(std::string_view fileName) {
  return std::string(fileName.substr(0, LastDelimiter(PathSeparators(), fileName)));
}

std::string ExtractFileDir(std::string_view fileName) {
  std::size_t end = LastDelimiter(PathSeparators(), fileName);
  // Keep the delimiter of a root ("/", "C:\") so the result still names it.
  if (end > 1 && IsPathDelimiter(fileName, end) &&
      LastDelimiter(PathSeparators(), fileName.substr(0, end - 1)) != end - 1) {
    --end;
  }
  return std::string(fileName.substr(0, end));
}

std::string ExtractFileName(std::string_view fileName) {
  return std::string(fileName.substr(LastDelimiter(PathSeparators(), fileName)));
}

std::string ExtractFileExt(std::string_view fileName) {
  const std::size_t dot = LastDelimiter(PathSeparators() + ".", fileName);
  if (dot > 0 && fileName[dot - 1] == '.') {
    return std::string(fileName.substr(dot - 1));
  }
  return {};
}

std::string UpperCaseAscii(std::string_view s) {
  std::string result(s);
  for (char& c : result) {
    c = UpperAscii(c);
  }
  return result;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) {
      return false;
    }
  }
  return true;
}

std::string EscapeControlCharacters(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      escaped += "\\x";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0x0F];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

}  // namespace rtl
