// The ANSI code page and conversion between it, UTF-8 and UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace rtl {

using AnsiString = std::string;
using WideString = std::u16string;

inline constexpr unsigned CP_SHIFT_JIS = 932;
inline constexpr unsigned CP_UTF8_ = 65001;
// Further code pages that web pages come in.
inline constexpr unsigned CP_WINDOWS_1252 = 1252;
inline constexpr unsigned CP_EUC_JP = 20932;
inline constexpr unsigned CP_ISO_2022_JP = 50220;

// The code page of every 8-bit string of the tool. Taken from the locale's
// codeset on first use (932 for Shift_JIS locales, 65001 otherwise).
unsigned AnsiCodePage();
// Fixes the code page; tests and the entry use it. Returns the previous one.
unsigned SetAnsiCodePage(unsigned codePage);

// Conversions never fail: a byte sequence that is not valid in the source
// code page becomes U+FFFD (or "?" in an 8-bit result).
WideString AnsiToWide(std::string_view text, unsigned codePage);
AnsiString WideToAnsi(std::u16string_view text, unsigned codePage);
WideString AnsiToWide(std::string_view text);
AnsiString WideToAnsi(std::u16string_view text);
AnsiString Utf8ToAnsi(std::string_view utf8);
// Whether every character of `text` has a form in `codePage`.
bool IsRepresentable(std::u16string_view text, unsigned codePage);
std::string AnsiToUtf8(std::string_view ansi);

// RAII: sets the ANSI code page for a scope (tests).
class ScopedAnsiCodePage {
 public:
  explicit ScopedAnsiCodePage(unsigned codePage) : previous_(SetAnsiCodePage(codePage)) {}
  ~ScopedAnsiCodePage() { SetAnsiCodePage(previous_); }
  ScopedAnsiCodePage(const ScopedAnsiCodePage&) = delete;
  ScopedAnsiCodePage& operator=(const ScopedAnsiCodePage&) = delete;

 private:
  unsigned previous_;
};

}  // namespace rtl
