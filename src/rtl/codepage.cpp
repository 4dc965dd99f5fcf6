#include "rtl/codepage.h"

#include <atomic>

#include "rtl/codepage_backend.h"

namespace rtl {
namespace {

std::atomic<unsigned> g_codePage{0};

}  // namespace

unsigned AnsiCodePage() {
  unsigned cp = g_codePage.load();
  if (cp == 0) {
    cp = backend::SystemAnsiCodePage();
    g_codePage.store(cp);
  }
  return cp;
}

unsigned SetAnsiCodePage(unsigned codePage) {
  const unsigned previous = AnsiCodePage();
  g_codePage.store(codePage);
  return previous;
}

WideString AnsiToWide(std::string_view text, unsigned codePage) {
  return backend::ToWide(text, codePage);
}

AnsiString WideToAnsi(std::u16string_view text, unsigned codePage) {
  return backend::FromWide(text, codePage);
}

WideString AnsiToWide(std::string_view text) {
  return AnsiToWide(text, AnsiCodePage());
}
AnsiString WideToAnsi(std::u16string_view text) {
  return WideToAnsi(text, AnsiCodePage());
}

AnsiString Utf8ToAnsi(std::string_view utf8) {
  if (AnsiCodePage() == CP_UTF8_) {
    return std::string(utf8);
  }
  return WideToAnsi(AnsiToWide(utf8, CP_UTF8_));
}

bool IsRepresentable(std::u16string_view text, unsigned codePage) {
  return AnsiToWide(WideToAnsi(text, codePage), codePage) == text;
}

std::string AnsiToUtf8(std::string_view ansi) {
  if (AnsiCodePage() == CP_UTF8_) {
    return std::string(ansi);
  }
  return WideToAnsi(AnsiToWide(ansi), CP_UTF8_);
}

}  // namespace rtl
