#include "rtl/codepage_backend.h"

#include <windows.h>

#include <string>

namespace rtl::backend {

unsigned SystemAnsiCodePage() {
  return GetACP();
}

WideString ToWide(std::string_view text, unsigned codePage) {
  if (text.empty()) {
    return {};
  }
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  if (n <= 0) {
    return {};
  }
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), n);
  return WideString(out.begin(), out.end());
}

AnsiString FromWide(std::u16string_view text, unsigned codePage) {
  if (text.empty()) {
    return {};
  }
  const std::wstring in(text.begin(), text.end());
  const int size = static_cast<int>(in.size());
  const int n = WideCharToMultiByte(codePage, 0, in.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) {
    return {};
  }
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, in.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace rtl::backend
