// The module link of each page named on the command line, as the web source
// finds it: the page's bytes decoded by its own declaration, parsed, and
// the first "$target$" anchor's href. One line per page: its path, a tab,
// the link in UTF-8 (or NONE).
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "app/page_charset.h"
#include "app/web_source.h"
#include "rtl/codepage.h"

int main(int argc, char** argv) {
  // Pages without a declaration are read as UTF-8, whatever the locale.
  rtl::SetAnsiCodePage(rtl::CP_UTF8_);
  for (int i = 1; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    const std::u16string link = app::FindModuleLink(app::DecodePage(bytes, ""));
    std::cout << argv[i] << '\t' << rtl::WideToAnsi(link, rtl::CP_UTF8_) << '\n';
  }
  return 0;
}
