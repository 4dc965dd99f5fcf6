// Arbitrary bytes, read as UTF-16, through the parser; then the tree is
// searched and freed, so a crash, a leak or a hang anywhere on that path
// shows. Every page must be read to its end, into one html element at most,
// holding one head and one body at most.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "html/dom_core.h"
#include "html/html_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text(size / 2, u'\0');
  std::memcpy(text.data(), data, text.size() * sizeof(char16_t));
  const std::size_t length = text.size();
  html::THtmlParser parser;
  const std::unique_ptr<html::TDocument> document = parser.ParseString(std::move(text));
  if (!document || parser.ReadLength() != length) {
    std::abort();
  }
  const html::TElement* root = document->documentElement();
  if (root != nullptr && root->nodeName() != u"html") {
    std::abort();
  }
  for (const std::u16string_view name : {u"*", u"a", u"body"}) {
    const auto found = document->getElementsByTagName(name);
    for (int i = 0; i < found->length(); ++i) {
      (void)found->item(i)->nodeName();
    }
  }
  // Names compared whole: a prefixed name such as x:body is another element.
  int html = 0;
  int head = 0;
  int body = 0;
  const auto all = document->getElementsByTagName(u"*");
  for (int i = 0; i < all->length(); ++i) {
    const std::u16string name = all->item(i)->nodeName();
    html += name == u"html" ? 1 : 0;
    head += name == u"head" ? 1 : 0;
    body += name == u"body" ? 1 : 0;
  }
  if (html > 1 || head > 1 || body > 1) {
    std::abort();
  }
  return 0;
}
