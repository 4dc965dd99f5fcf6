#include "rtl/codepage_backend.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace rtl::backend {
namespace {

// Code pages whose conversions take no flags at all (the stateful and
// 7-bit ones): their invalid input is replaced the system's way.
bool TakesNoFlags(unsigned codePage) {
  return codePage == 42 || (codePage >= 50220 && codePage <= 50229) ||
         (codePage >= 57002 && codePage <= 57011) || codePage == 65000;
}

// The lead bytes of a double-byte code page; none for any other.
struct LeadBytes {
  explicit LeadBytes(unsigned codePage) {
    CPINFO info{};
    if (GetCPInfo(codePage, &info) == FALSE || info.MaxCharSize != 2) {
      return;
    }
    for (std::size_t i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
      for (unsigned b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) {
        lead[b] = true;
      }
    }
  }
  bool lead[256] = {};
};

// Appends `bytes` converted when all of them are valid.
bool AppendValid(std::wstring& out, const char* bytes, int size, unsigned codePage) {
  const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, size, nullptr, 0);
  if (n <= 0) {
    return false;
  }
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(n));
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, size, out.data() + at, n);
  return true;
}

// The whole text, each invalid byte as U+FFFD (a lead byte without a valid
// trail byte is one such byte). Runs of whole characters are converted at
// once; only a run that holds an invalid one is taken character by
// character.
std::wstring ReplacingInvalid(std::string_view text, unsigned codePage) {
  const LeadBytes table(codePage);
  std::wstring out;
  std::size_t i = 0;
  while (i < text.size()) {
    // A run of up to 4096 bytes that ends on a character boundary.
    std::size_t end = i;
    while (end < text.size() && end - i < 4096) {
      end += table.lead[static_cast<unsigned char>(text[end])] ? 2u : 1u;
    }
    end = std::min(end, text.size());
    if (AppendValid(out, text.data() + i, static_cast<int>(end - i), codePage)) {
      i = end;
      continue;
    }
    for (; i < end;) {
      const bool lead = table.lead[static_cast<unsigned char>(text[i])];
      const std::size_t size = lead && i + 1 < text.size() ? 2 : 1;
      if (!(lead && size == 1) &&
          AppendValid(out, text.data() + i, static_cast<int>(size), codePage)) {
        i += size;
      } else {
        out += L'\xFFFD';
        ++i;
      }
    }
  }
  return out;
}

}  // namespace

unsigned SystemAnsiCodePage() {
  return GetACP();
}

WideString ToWide(std::string_view text, unsigned codePage) {
  if (text.empty()) {
    return {};
  }
  const int size = static_cast<int>(text.size());
  std::wstring out;
  // UTF-8 input is replaced by U+FFFD where invalid without being asked.
  if (codePage == CP_UTF8 || TakesNoFlags(codePage)) {
    const int n = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (n <= 0) {
      return {};
    }
    out.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), n);
  } else if (!AppendValid(out, text.data(), size, codePage)) {
    out = ReplacingInvalid(text, codePage);
  }
  return {out.begin(), out.end()};
}

AnsiString FromWide(std::u16string_view text, unsigned codePage) {
  if (text.empty()) {
    return {};
  }
  std::wstring in(text.begin(), text.end());
  DWORD flags = 0;
  const char* defaultChar = nullptr;
  if (codePage == CP_UTF8) {
    // The system writes a lone surrogate as U+FFFD; like any character
    // without a form it becomes "?".
    for (std::size_t i = 0; i < in.size(); ++i) {
      const bool high = in[i] >= 0xD800 && in[i] <= 0xDBFF;
      const bool low = in[i] >= 0xDC00 && in[i] <= 0xDFFF;
      if (high && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
        ++i;
      } else if (high || low) {
        in[i] = L'?';
      }
    }
  } else if (!TakesNoFlags(codePage)) {
    // No "best fit": a character without a form is "?", never a look-alike
    // ("é" is not "e"), so a name never silently becomes another.
    flags = WC_NO_BEST_FIT_CHARS;
    defaultChar = "?";
  }
  const int size = static_cast<int>(in.size());
  const int n =
      WideCharToMultiByte(codePage, flags, in.data(), size, nullptr, 0, defaultChar, nullptr);
  if (n <= 0) {
    return {};
  }
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(codePage, flags, in.data(), size, out.data(), n, defaultChar, nullptr);
  return out;
}

}  // namespace rtl::backend
