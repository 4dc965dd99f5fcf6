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

bool IsBlank(const TNode* node) {
  if (node->nodeType() != TNode::TEXT_NODE) {
    return false;
  }
  const std::u16string text = node->nodeValue();
  return text.find_first_not_of(u" \t\r\n") == std::u16string::npos;
}

// The tree below `root` as nested labels: a(b("t") c). Iterative, so it
// also serves deep trees. Without `blanks`, white-space-only text is left
// out, so the shape of an indented page reads at a glance.
std::string Dump(const TNode* root, bool blanks = true) {
  std::string out;
  const TNode* node = root->firstChild();
  while (node != nullptr) {
    const bool shown = blanks || !IsBlank(node);
    if (shown && !out.empty() && out.back() != '(') {
      out += ' ';
    }
    if (shown) {
      out += Label(node);
    }
    if (node->firstChild() != nullptr) {
      out += '(';
      node = node->firstChild();
      continue;
    }
    while (node != root && node->nextSibling() == nullptr) {
      node = node->parentNode();
      if (node != root && out.back() == '(') {
        out.pop_back();  // every child was left out
      } else if (node != root) {
        out += ')';
      }
    }
    node = node == root ? nullptr : node->nextSibling();
  }
  return out;
}

// The tree of `page`, which must be read to its end.
std::string Parse(const std::u16string& page) {
  THtmlParser parser;
  const std::unique_ptr<TDocument> document = parser.ParseString(page);
  EXPECT_EQ(parser.ReadLength(), page.size());
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
      // html, head and body are made where a page leaves them out.
      {u"<head><title>t</title></head><body><p>x</p></body>",
       "html(head(title('t')) body(p('x')))"},
      {u"<b>x</b><i>y", "html(body(b('x') i('y')))"},
      {u"<p>a<p>b<p>c", "html(body(p('a') p('b') p('c')))"},
      {u"Hello <b>world</b>", "html(body('Hello ' b('world')))"},
      // References and CDATA sections, which the document cannot hold, go
      // into the body too.
      {u"&nbsp;<html><body>x", "html(body(&nbsp 'x'))"},
      {u"< x<html><body>x", "html(body(&lt ' x' 'x'))"},
      {u"&<p>x", "html(body(&amp p('x')))"},
      {u"x&amp;y", "html(body('x' &amp 'y'))"},
      {u"<![CDATA[a]]><html>", "html(body(<![a]>))"},
      {u"<!--c--><html>", "<!--c--> html"},
      {u" &#32;<html>", "' ' ' ' html"},
  });
}

TEST(HtmlParser, OptionalTagsLeftOutOrReordered) {
  ExpectTrees({
      // Head content goes into the head until the body exists, then into
      // the body; inside other content it stays where it arrives.
      {u"<html><title>t</title><body>", "html(head(title('t')) body)"},
      {u"<script>x</script><p>a", "html(head(script('x')) body(p('a')))"},
      {u"<html><meta charset=x><p>a<meta name=y>",
       "html(head(meta[charset=('x')]) body(p('a' meta[name=('y')])))"},
      {u"<p>a</p><link rel=x>", "html(body(p('a') link[rel=('x')]))"},
      {u"<title>a<b>c</b></title>", "html(head(title('a' b('c'))))"},
      {u"<svg><style>x</style></svg>", "html(body(svg(style('x'))))"},
      {u"<head><span>x</span><meta>", "html(head body(span('x') meta))"},
      // A second html, head or body opens nothing and drops its attributes;
      // one that arrives outside the body leads back into it.
      {u"<html><body><p>a<body class=x><html lang=y>b", "html(body(p('a' 'b')))"},
      {u"<html lang=en><head><title>t</title><head><meta></head><body>",
       "html[lang=('en')](head(title('t') meta) body)"},
      {u"<p>a</p><head><title>t</title>", "html(body(p('a') title('t')))"},
      {u"<html><head></head><body></body></html><body class=x>y", "html(head body('y'))"},
      {u"<table><body>x", "html(body(table('x')))"},
      {u"<head profile=p>", "html(head[profile=('p')])"},
      // Written empty, they are closed at once.
      {u"<html/><p>x", "html(body(p('x')))"},
      {u"<head/><title>t</title>x", "html(head(title('t')) body('x'))"},
      {u"<body/>x<body/>y", "html(body('x' 'y'))"},
  });
}

TEST(HtmlParser, ContentAfterTheDocumentElement) {
  ExpectTrees({
      // White space and comments stay at the document; text and elements go
      // back into the body.
      {u"<html><body><p>a</p></body></html>\n<!--c-->x<p>y<b>z",
       "html(body(p('a') 'x' p('y' b('z')))) '{000A}' <!--c-->"},
      {u"<html><body></body></html>x<span>y", "html(body('x' span('y')))"},
      {u"<html><head><title>t</title></head><body><p>x</p></body></html>\n"
       u"<script src=\"stats.js\"></script>\n<div>late</div>\n",
       "html(head(title('t')) body(p('x') script[src=('stats.js')] '{000A}' div('late') '{000A}'))"
       " '{000A}'"},
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
      {u"<span><p>x", "html(body(span p('x')))"},
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
      {u"<html><span/>x", "html(body(span 'x'))"},
      // The b was left by the second p; its end tag changes nothing.
      {u"<p><b>a<p>b</b>c", "html(body(p(b('a')) p('b' 'c')))"},
      {u"<html><b><i>x</b>y", "html(body(b(i('x')) 'y'))"},
      {u"<html><b>x</B>y", "html(body(b('x') 'y'))"},
      {u"<html><o:p>x</o:p>y</q>z", "html(body(o:p('x') 'y' 'z'))"},
      {u"<html><x-y><x-y>a</x-y>b</x-y>c", "html(body(x-y(x-y('a') 'b') 'c'))"},
  });
}

TEST(HtmlParser, AttributesAndText) {
  ExpectTrees({
      {uR"(<a id="target" href="x.lzh?a=1&amp;b=2">Go</a>)",
       "html(body(a[id=('target') href=('x.lzh?a=1' &amp 'b=2')]('Go')))"},
      {u"<a id=x id=y>", "html(body(a[id=('y')]))"},
      {u"<td nowrap>", "html(body(td[nowrap=()]))"},
      {u"<html>a&#66;c", "html(body('a' 'B' 'c'))"},
      {u"<html> <p> </p> ", "html(' ' body(p(' ') ' '))"},
      {u"<html><!--a--><![CDATA[b]]>", "html(<!--a--> body(<![b]>))"},
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

// A page as download pages are written, parsed whole.
struct TPage {
  std::unique_ptr<TDocument> document;
  std::size_t readLength;
};

TPage ParsePage(const std::u16string& page) {
  THtmlParser parser;
  std::unique_ptr<TDocument> document = parser.ParseString(page);
  return {std::move(document), parser.ReadLength()};
}

// The href of every anchor whose id is `id`.
std::vector<std::u16string> HrefsOf(TDocument& document, std::u16string_view id) {
  std::vector<std::u16string> hrefs;
  const auto anchors = document.getElementsByTagName(u"a");
  for (int i = 0; i < anchors->length(); ++i) {
    const html::TNamedNodeMap* attributes = anchors->item(i)->attributes();
    const TNode* idAttribute = attributes->getNamedItem(u"id");
    const TNode* href = attributes->getNamedItem(u"href");
    if (idAttribute != nullptr && href != nullptr && idAttribute->nodeValue() == id) {
      hrefs.push_back(href->nodeValue());
    }
  }
  return hrefs;
}

TEST(HtmlParser, Html5PageWithEveryOptionalTag) {
  const std::u16string page =
      u"<!DOCTYPE html>\n"
      u"<html lang=\"en\">\n"
      u"<head>\n"
      u"<meta charset=\"utf-8\">\n"
      u"<title>ZelUpd downloads</title>\n"
      u"</head>\n"
      u"<body>\n"
      u"<p>Latest: <a id=\"$target$\" href=\"files/zel17.lzh\">zel17.lzh</a></p>\n"
      u"</body>\n"
      u"</html>\n";
  const TPage parsed = ParsePage(page);
  EXPECT_EQ(parsed.readLength, page.size());
  ASSERT_NE(parsed.document->doctype(), nullptr);
  EXPECT_EQ(parsed.document->doctype()->nodeName(), u"html");
  EXPECT_EQ(parsed.document->doctype()->publicId(), u"");
  EXPECT_EQ(parsed.document->doctype()->systemId(), u"");
  // White space keeps its place between the tags of the document level.
  EXPECT_EQ(Dump(parsed.document.get()),
            "'{000A}' html[lang=('en')]('{000A}' head('{000A}' meta[charset=('utf-8')] '{000A}' "
            "title('ZelUpd downloads') '{000A}') '{000A}' body('{000A}' p('Latest: ' "
            "a[id=('$target$') href=('files/zel17.lzh')]('zel17.lzh')) '{000A}') '{000A}') "
            "'{000A}'");
}

TEST(HtmlParser, Html5PageWithoutHtmlHeadAndBody) {
  const std::u16string page =
      u"<!doctype html>\n"
      u"<meta charset=utf-8>\n"
      u"<title>ZelUpd</title>\n"
      u"<link rel=stylesheet href=/css/site.css>\n"
      u"<p>Version 1.7: <a id=\"$target$\" href=files/zel17.lzh>download</a>\n"
      u"<p>Older: <a href=http://example.org/old/zel16.lzh>zel16</a>\n";
  const TPage parsed = ParsePage(page);
  EXPECT_EQ(parsed.readLength, page.size());
  EXPECT_EQ(Dump(parsed.document.get(), false),
            "html(head(meta[charset=('utf-8')] title('ZelUpd') "
            "link[rel=('stylesheet') href=('/css/site.css')]) "
            "body(p('Version 1.7: ' a[id=('$target$') href=('files/zel17.lzh')]('download')) "
            "p('Older: ' a[href=('http://example.org/old/zel16.lzh')]('zel16'))))");
  EXPECT_EQ(HrefsOf(*parsed.document, u"$target$"),
            std::vector<std::u16string>{u"files/zel17.lzh"});
}

TEST(HtmlParser, XhtmlPageWithAnXmlDeclaration) {
  const std::u16string page =
      u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      u"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\"\n"
      u"  \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
      u"<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"en\">\n"
      u"<head>\n"
      u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\" />\n"
      u"<title>ZelUpd</title>\n"
      u"<style type=\"text/css\">/*<![CDATA[*/ p > a { color: red } /*]]>*/</style>\n"
      u"</head>\n"
      u"<body>\n"
      u"<p>Download:<br />\n"
      u"<a id=\"$target$\" href=\"files/zel17.lzh\">zel17.lzh</a></p>\n"
      u"</body>\n"
      u"</html>\n";
  const TPage parsed = ParsePage(page);
  EXPECT_EQ(parsed.readLength, page.size());
  ASSERT_NE(parsed.document->doctype(), nullptr);
  EXPECT_EQ(parsed.document->doctype()->publicId(), u"-//W3C//DTD XHTML 1.0 Strict//EN");
  EXPECT_EQ(parsed.document->doctype()->systemId(),
            u"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd");
  EXPECT_EQ(
      Dump(parsed.document.get(), false),
      "<!--?xml version=\"1.0\" encoding=\"UTF-8\"?--> "
      "html[xmlns=('http://www.w3.org/1999/xhtml') xml:lang=('en')]("
      "head(meta[http-equiv=('Content-Type') content=('text/html; charset=UTF-8')] "
      "title('ZelUpd') style[type=('text/css')]('/*<![CDATA[*/ p > a { color: red } /*]]>*/')) "
      "body(p('Download:' br a[id=('$target$') href=('files/zel17.lzh')]('zel17.lzh'))))");
}

TEST(HtmlParser, ScriptsAndStylesHoldNoMarkup) {
  const std::u16string page =
      u"<html><head>\n"
      u"<script type=\"text/javascript\">\n"
      u"if (a < b && c > d) { s = \"<a id=\\\"$target$\\\" href=\\\"fake.lzh\\\"></p>\"; }\n"
      u"</script>\n"
      u"<style>a:hover > b { content: \"<p>&amp;\" }</style>\n"
      u"</head><body>\n"
      u"<p>Real: <a id=\"$target$\" href=\"files/zel17.lzh\">zel17</a></p>\n"
      u"<script>document.write('<!-- </scrip' + 't>'); </SCRIPT>\n"
      u"</body></html>\n";
  const TPage parsed = ParsePage(page);
  EXPECT_EQ(parsed.readLength, page.size());
  EXPECT_EQ(Dump(parsed.document.get(), false),
            "html(head(script[type=('text/javascript')]('{000A}if (a < b && c > d) { s = \"<a "
            "id=\\\"$target$\\\" href=\\\"fake.lzh\\\"></p>\"; }{000A}') "
            "style('a:hover > b { content: \"<p>&amp;\" }')) "
            "body(p('Real: ' a[id=('$target$') href=('files/zel17.lzh')]('zel17')) "
            "script('document.write('<!-- </scrip' + 't>'); ')))");
  EXPECT_EQ(HrefsOf(*parsed.document, u"$target$"),
            std::vector<std::u16string>{u"files/zel17.lzh"});
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

TEST(HtmlParser, EveryPageIsReadToItsEndIntoOneHtmlElement) {
  // Pages whose document level the document model could not hold as they
  // stand: the parse still reads them to their end, and html, head and body
  // are each made at most once.
  const std::u16string_view pages[] = {
      u"",
      u"<p title='x",
      u"&nbsp;<html><body>x",
      u"< x<html>",
      u"<b>x</b><i>y",
      u"<html><html><head><head><body><body></html></html><html>x",
      u"</html></body></head><head><![CDATA[x]]><body>&amp;<head><html a=1 b>",
      u"<frameset><frame src=a></frameset><noframes><body>x</noframes>",
      u"<title>x<body>y</title>z<head>t</head>",
      u"<?xml?><!DOCTYPE html><html><?x?><body></body></html><?y?><html>",
      u"<body><table><td><head><title>t<body><html><td>x",
  };
  THtmlParser parser;
  for (const std::u16string_view page : pages) {
    const std::unique_ptr<TDocument> document = parser.ParseString(std::u16string(page));
    EXPECT_EQ(parser.ReadLength(), page.size()) << Narrow(page);
    for (const std::u16string_view name : {u"html", u"head", u"body"}) {
      EXPECT_LE(document->getElementsByTagName(name)->length(), 1) << Narrow(page);
    }
    const TNode* root = document->documentElement();
    if (!page.empty()) {
      ASSERT_NE(root, nullptr) << Narrow(page);
      EXPECT_EQ(root->nodeName(), u"html");
    }
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
  const TDeep cases[] = {{u"<span>", u"span", 2}, {u"<div>", u"div", 2}};
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
        // Head and body are wanted again and again behind many children of
        // html.
        return u"<html>" + Repeat(u"<!--c-->", n) + Repeat(u"</html><title>t</title>", n) +
               Repeat(u"</html>x<p>", n);
      },
      "head and body found again after many siblings");
  ExpectLinear([](std::size_t n) { return Repeat(u"</html><html lang=x><body class=y>t", n); },
               "ignored html and body start tags");
}

}  // namespace
