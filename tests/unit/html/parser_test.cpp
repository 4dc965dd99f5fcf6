#include "html/html_parser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using html::TDocument;
using html::THtmlParser;
using html::TNode;

std::string Narrow(std::u16string_view s) {
  std::string out;
  for (const char16_t c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "{%04X}", static_cast<unsigned>(c));
      out += buf;
    }
  }
  return out;
}

// One node without its children: an element with its attributes as
// name=(value children), text in quotes, references after an ampersand.
std::string Label(const TNode* node) {
  switch (node->nodeType()) {
    case TNode::ELEMENT_NODE: {
      std::string label = Narrow(node->nodeName());
      const html::TNamedNodeMap* attributes = node->attributes();
      if (attributes->length() == 0) {
        return label;
      }
      label += "[";
      for (int i = 0; i < attributes->length(); ++i) {
        const TNode* attribute = attributes->item(i);
        label += (i > 0 ? " " : "") + Narrow(attribute->nodeName()) + "=(";
        for (const TNode* part = attribute->firstChild(); part != nullptr;
             part = part->nextSibling()) {
          label += (part != attribute->firstChild() ? " " : "") + Label(part);
        }
        label += ")";
      }
      return label + "]";
    }
    case TNode::TEXT_NODE:
      return "'" + Narrow(node->nodeValue()) + "'";
    case TNode::ENTITY_REFERENCE_NODE:
      return "&" + Narrow(node->nodeName());
    case TNode::COMMENT_NODE:
      return "<!--" + Narrow(node->nodeValue()) + "-->";
    case TNode::CDATA_SECTION_NODE:
      return "<![" + Narrow(node->nodeValue()) + "]>";
    default:
      return "?" + Narrow(node->nodeName());
  }
}

// The tree below `root` as nested labels: a(b("t") c). Iterative, so it
// also serves deep trees.
std::string Dump(const TNode* root) {
  std::string out;
  const TNode* node = root->firstChild();
  while (node != nullptr) {
    if (!out.empty() && out.back() != '(') {
      out += ' ';
    }
    out += Label(node);
    if (node->firstChild() != nullptr) {
      out += '(';
      node = node->firstChild();
      continue;
    }
    while (node != root && node->nextSibling() == nullptr) {
      node = node->parentNode();
      if (node != root) {
        out += ')';
      }
    }
    node = node == root ? nullptr : node->nextSibling();
  }
  return out;
}

std::string Parse(const std::u16string& page) {
  THtmlParser parser;
  const std::unique_ptr<TDocument> document = parser.ParseString(page);
  return Dump(document.get());
}

struct TCase {
  const char16_t* page;
  const char* tree;
};

void ExpectTrees(const std::vector<TCase>& cases) {
  for (const TCase& c : cases) {
    EXPECT_EQ(Parse(c.page), c.tree) << "page: " << Narrow(c.page);
  }
}

TEST(HtmlParser, WorkedExample) {
  ExpectTrees({{u"<p>one<p>two<br>three", "html(body(p('one') p('two' br 'three')))"}});
}

TEST(HtmlParser, DocumentLevel) {
  ExpectTrees({
      {u"", ""},
      {u"\n<html><body>x</body></html>", "'{000A}' html(body('x'))"},
      {u"<HTML><BODY><P>x", "html(body(p('x')))"},
      // Without html, head becomes the document element and the body start
      // tag, arriving at the document, ends the parse.
      {u"<head><title>t</title></head><body><p>x</p></body>", "head(title('t'))"},
      {u"<b>x</b><i>y", "b('x')"},
      {u"<p>a<p>b<p>c", "html(body(p('a') p('b') p('c')))"},
      // The document accepts no reference or CDATA section: the parse ends.
      {u"&nbsp;<html><body>x", ""},
      {u"< x<html><body>x", ""},
      {u"&<p>x", ""},
      {u"x&amp;y", "'x'"},
      {u"<![CDATA[a]]><html>", ""},
      {u"<!--c--><html>", "<!--c--> html"},
  });
}

TEST(HtmlParser, ContentAfterTheDocumentElement) {
  ExpectTrees({
      // Text and comments go to the document, a start tag that searches its
      // parent into the body found again.
      {u"<html><body><p>a</p></body></html>\n<!--c-->x<p>y<b>z",
       "html(body(p('a') p('y' b('z')))) '{000A}' <!--c--> 'x'"},
      // Any other start tag there ends the parse.
      {u"<html><body></body></html>x<span>y", "html(body) 'x'"},
      {u"<html></html><p>a", "html(body(p('a')))"},
      {u"<html><head></head><body>a</body><p>b", "html(head body('a' p('b')))"},
      {u"<html><head><p>x", "html(head body(p('x')))"},
  });
}

TEST(HtmlParser, ParagraphsAndBlocks) {
  ExpectTrees({
      // div is a block and p holds none, so the p gets no more content.
      {u"<html><body><p>a<div>b</div>c", "html(body(p('a') div('b') 'c'))"},
      {u"<table><tr><td><p>a<div>b", "html(body(table(tr(td(p('a') div('b'))))))"},
      {u"<div><p>a<p>b</div>c", "html(body(div(p('a') p('b')) 'c'))"},
      // A form holds no block: they land after it.
      {u"<html><body><form><p>a</p><table></table></form>x", "html(body(form p('a') table 'x'))"},
      {u"<div><form><div>x", "html(body(div(form div('x'))))"},
      {u"<span><p>x", "span(body(p('x')))"},
      {u"<h1><font><center>x", "html(body(h1(font center('x'))))"},
      // A p inside a dd goes to the dl, beside the dd.
      {u"<dl><dt>a<dd>b<p>c", "html(body(dl(dt('a') dd('b') p('c'))))"},
  });
}

TEST(HtmlParser, ListsTablesAndOptions) {
  ExpectTrees({
      {u"<ul><li>a<li>b</ul>c", "html(body(ul(li('a') li('b')) 'c'))"},
      {u"<ol><li>a<ul><li>b</ul><li>c", "html(body(ol(li('a' ul(li('b'))) li('c'))))"},
      {u"<html><body><div><li>x", "html(body(div li('x')))"},
      {u"<html><body><table><td>x", "html(body(table td('x')))"},
      {u"<table><tr><td>a<td>b<tr><td>c</table>",
       "html(body(table(tr(td('a') td('b')) tr(td('c')))))"},
      {u"<table><tbody><tr><td>a", "html(body(table(tbody(tr(td('a'))))))"},
      {u"<table><thead><tr><th>h<tfoot><tr><td>f<tbody><tr><td>b",
       "html(body(table(thead(tr(th('h'))) tfoot(tr(td('f'))) tbody(tr(td('b'))))))"},
      {u"<table><tr>\n<td>a", "html(body(table(tr('{000A}' td('a')))))"},
      {u"<table><colgroup><col><col></table>", "html(body(table(colgroup(col col))))"},
      {u"<html><body><form><select><option>a<option>b</select>",
       "html(body(form(select(option('a') option('b')))))"},
      {u"<html><body><option>a", "html(body(option('a')))"},
  });
}

TEST(HtmlParser, EmptyElementsAndEndTags) {
  ExpectTrees({
      {u"<p>a<img src=x>b<br>c<input>d", "html(body(p('a' img[src=('x')] 'b' br 'c' input 'd')))"},
      {u"<html><div/>x", "html(body(div 'x'))"},
      {u"<html><span/>x", "html(span 'x')"},
      // The b was left by the second p; its end tag changes nothing.
      {u"<p><b>a<p>b</b>c", "html(body(p(b('a')) p('b' 'c')))"},
      {u"<html><b><i>x</b>y", "html(b(i('x')) 'y')"},
      {u"<html><b>x</B>y", "html(b('x') 'y')"},
      {u"<html><o:p>x</o:p>y</q>z", "html(o:p('x') 'y' 'z')"},
      {u"<html><x-y><x-y>a</x-y>b</x-y>c", "html(x-y(x-y('a') 'b') 'c')"},
  });
}

TEST(HtmlParser, AttributesAndText) {
  ExpectTrees({
      {uR"(<a id="target" href="x.lzh?a=1&amp;b=2">Go</a>)",
       "a[id=('target') href=('x.lzh?a=1' &amp 'b=2')]('Go')"},
      {u"<a id=x id=y>", "a[id=('y')]"},
      {u"<td nowrap>", "html(body(td[nowrap=()]))"},
      {u"<html>a&#66;c", "html('a' 'B' 'c')"},
      {u"<html> <p> </p> ", "html(' ' body(p(' ') ' '))"},
      {u"<html><!--a--><![CDATA[b]]>", "html(<!--a--> <![b]>)"},
  });
}

TEST(HtmlParser, AttributeValuesReadThroughTheModel) {
  THtmlParser parser;
  const auto document =
      parser.ParseString(uR"(<a id="$target$" href="get.cgi?f=zel.lzh&amp;v=2">x</a>)");
  const auto anchors = document->getElementsByTagName(u"a");
  ASSERT_EQ(anchors->length(), 1);
  const html::TNamedNodeMap* attributes = anchors->item(0)->attributes();
  EXPECT_EQ(attributes->getNamedItem(u"id")->nodeValue(), u"$target$");
  EXPECT_EQ(attributes->getNamedItem(u"href")->nodeValue(), u"get.cgi?f=zel.lzh&v=2");
}

TEST(HtmlParser, DocTypeSetsTheDocumentType) {
  THtmlParser parser;
  const auto document = parser.ParseString(
      uR"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01//EN" )"
      uR"("http://www.w3.org/TR/html4/strict.dtd"><html></html>)");
  ASSERT_NE(document->doctype(), nullptr);
  EXPECT_EQ(document->doctype()->nodeName(), u"HTML");
  EXPECT_EQ(document->doctype()->publicId(), u"-//W3C//DTD HTML 4.01//EN");
  EXPECT_EQ(document->doctype()->systemId(), u"http://www.w3.org/TR/html4/strict.dtd");
  EXPECT_EQ(Dump(document.get()), "html");
  const auto plain = parser.ParseString(u"<html></html>");
  EXPECT_EQ(plain->doctype(), nullptr);
}

TEST(HtmlParser, EachParseGivesAnIndependentDocument) {
  std::unique_ptr<TDocument> first;
  std::unique_ptr<TDocument> second;
  {
    THtmlParser parser;
    // The first page ends inside a tag and with elements open.
    first = parser.ParseString(u"<ul><li>a<a href='x");
    second = parser.ParseString(u"</ul></li><p>b");
  }
  EXPECT_EQ(Dump(first.get()), "html(body(ul(li('a' a[href=('x')]))))");
  EXPECT_EQ(Dump(second.get()), "html(body(p('b')))");
}

TEST(HtmlParser, ReadLengthTellsWhereTheDocumentEndedTheParse) {
  THtmlParser parser;
  struct TRead {
    std::u16string_view page;
    std::size_t readLength;
  };
  const TRead cases[] = {
      {u"", 0},
      {u"<html><body><p>x</p></body></html>\n", 35},
      // Ends inside a tag: still read to the end.
      {u"<p title='x", 11},
      // Refused at once: the reference, then nothing more.
      {u"&nbsp;<html><body>x", 6},
      {u"< x<html>", 1},
      // The second element start tag at the document.
      {u"<b>x</b><i>y", 10},
  };
  for (const TRead& c : cases) {
    parser.ParseString(std::u16string(c.page));
    EXPECT_EQ(parser.ReadLength(), c.readLength) << Narrow(c.page);
  }
}

std::u16string Repeat(std::u16string_view piece, std::size_t times) {
  std::u16string s;
  s.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) {
    s += piece;
  }
  return s;
}

TEST(HtmlParser, MillionLevelsDeep) {
  constexpr int depth = 1000000;
  struct TDeep {
    std::u16string_view open;
    std::u16string_view name;
    int depthOfFirst;  // where the first such element sits below the document
  };
  const TDeep cases[] = {{u"<span>", u"span", 0}, {u"<div>", u"div", 2}};
  for (const TDeep& c : cases) {
    THtmlParser parser;
    // A million stray end tags at the bottom change nothing.
    std::unique_ptr<TDocument> document =
        parser.ParseString(Repeat(c.open, depth) + Repeat(u"</b>", depth) + u"x");
    {
      const auto found = document->getElementsByTagName(c.name);
      ASSERT_EQ(found->length(), depth);
      const TNode* deepest = found->item(depth - 1);
      EXPECT_EQ(deepest->parentNode(), found->item(depth - 2));
      ASSERT_NE(deepest->firstChild(), nullptr);
      EXPECT_EQ(deepest->firstChild()->nodeValue(), u"x");
      int above = 0;
      for (const TNode* up = found->item(0)->parentNode(); up != document.get();
           up = up->parentNode()) {
        ++above;
      }
      EXPECT_EQ(above, c.depthOfFirst);
    }
    document.reset();
  }
}

// Seconds to parse a page and free its document.
double SecondsToParse(const std::u16string& page) {
  const auto start = std::chrono::steady_clock::now();
  {
    THtmlParser parser;
    const auto document = parser.ParseString(page);
    EXPECT_NE(document->firstChild(), nullptr);
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return took.count();
}

// Ten times the input must not cost a hundred times the time.
void ExpectLinear(std::u16string (*page)(std::size_t), const char* what) {
  const double first = SecondsToParse(page(10000));
  const double second = SecondsToParse(page(100000));
  EXPECT_LT(second, 30 * first + 0.1) << what << ": " << first << "s, then " << second << "s";
}

TEST(HtmlParser, PathologicalPagesCostLinearTime) {
  ExpectLinear([](std::size_t n) { return Repeat(u"<div>", n) + Repeat(u"</b>", 5 * n); },
               "stray end tags inside deep nesting");
  ExpectLinear(
      [](std::size_t n) {
        return u"<html><body>" + Repeat(u"<b>x", n) + Repeat(u"</i>x", n) + Repeat(u"<p>", n);
      },
      "unclosed b");
  ExpectLinear([](std::size_t n) { return Repeat(u"<x-y>", n) + Repeat(u"</x-z>", 5 * n); },
               "unknown names");
  ExpectLinear(
      [](std::size_t n) {
        // The body comes last among the children of html.
        return u"<html>" + Repeat(u"<span></span>", n) + Repeat(u"<p>", n);
      },
      "body found again after many siblings");
}

}  // namespace
