// Arbitrary bytes, read as UTF-16, through the parser; then the tree is
// searched and freed, so a crash, a leak or a hang anywhere on that path
// shows.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "html/dom_core.h"
#include "html/html_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text(size / 2, u'\0');
  std::memcpy(text.data(), data, text.size() * sizeof(char16_t));
  html::THtmlParser parser;
  const std::unique_ptr<html::TDocument> document = parser.ParseString(std::move(text));
  if (!document) {
    return 0;
  }
  for (const std::u16string_view name : {u"*", u"a", u"body"}) {
    const auto found = document->getElementsByTagName(name);
    for (int i = 0; i < found->length(); ++i) {
      (void)found->item(i)->nodeName();
    }
  }
  return 0;
}
