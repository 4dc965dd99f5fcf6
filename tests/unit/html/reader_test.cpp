#include "html/html_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "html/utf8.h"

namespace {

using html::THtmlReader;

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

// Hooks every event of a reader and writes each as one line, so a token
// sequence reads like the page it came from.
class TRecorder {
 public:
  explicit TRecorder(THtmlReader& reader) {
    auto add = [this](const std::string& text) { events.push_back(text); };
    reader.OnElementStart = [add](THtmlReader& r) { add("<" + Narrow(r.NodeName())); };
    reader.OnAttributeStart = [add](THtmlReader& r) { add("@" + Narrow(r.NodeName())); };
    reader.OnTextNode = [add](THtmlReader& r) { add("'" + Narrow(r.NodeValue()) + "'"); };
    reader.OnEntityReference = [add](THtmlReader& r) { add("&" + Narrow(r.NodeName())); };
    reader.OnAttributeEnd = [add](THtmlReader&) { add("@end"); };
    reader.OnElementEnd = [add](THtmlReader& r) { add(r.IsEmptyElement() ? "/>" : ">"); };
    reader.OnEndElement = [add](THtmlReader& r) { add("</" + Narrow(r.NodeName())); };
    reader.OnComment = [add](THtmlReader& r) { add("!--" + Narrow(r.NodeValue())); };
    reader.OnCDataSection = [add](THtmlReader& r) { add("![" + Narrow(r.NodeValue())); };
    reader.OnDocType = [add](THtmlReader& r) {
      add("!" + Narrow(r.NodeName()) + "|" + Narrow(r.PublicID()) + "|" + Narrow(r.SystemID()));
    };
  }
  std::vector<std::string> events;
};

// The events of a whole input. Every Read that returns true raises exactly one.
std::vector<std::string> Tokens(const std::u16string& input) {
  THtmlReader reader;
  TRecorder recorder(reader);
  reader.SetHtmlStr(input);
  std::size_t reads = 0;
  while (reader.Read()) {
    ++reads;
    EXPECT_EQ(recorder.events.size(), reads) << "after " << Narrow(input);
  }
  return recorder.events;
}

using Events = std::vector<std::string>;

TEST(HtmlReader, WorkedExampleOneEventPerRead) {
  EXPECT_EQ(Tokens(u"<a href=\"x.lzh\" id=t>Go &amp; see</a>"),
            (Events{"<a", "@href", "'x.lzh'", "@end", "@id", "'t'", "@end", ">", "'Go '", "&amp",
                    "' see'", "</a"}));
}

TEST(HtmlReader, NodeTypesSeenByHandlers) {
  THtmlReader reader;
  std::vector<int> types;
  auto note = [&types](THtmlReader& r) { types.push_back(r.NodeType()); };
  reader.OnElementStart = note;
  reader.OnAttributeStart = note;
  reader.OnTextNode = note;
  reader.OnEntityReference = note;
  reader.OnAttributeEnd = note;
  reader.OnElementEnd = note;
  reader.OnEndElement = note;
  reader.OnComment = note;
  reader.OnCDataSection = note;
  reader.OnDocType = note;
  reader.SetHtmlStr(u"<!DOCTYPE h PUBLIC \"p\"><a b=c>t&x;<!--c--><![CDATA[d]]></a>");
  while (reader.Read()) {
  }
  EXPECT_EQ(types, (std::vector<int>{0, 1, 0, 3, 2, 1, 3, 5, 8, 4, 255}));
}

TEST(HtmlReader, NumericReferenceIsTextThenReadsAsReference) {
  THtmlReader reader;
  int typeInHandler = -1;
  reader.OnTextNode = [&typeInHandler](THtmlReader& r) { typeInHandler = r.NodeType(); };
  reader.SetHtmlStr(u"&#66;");
  ASSERT_TRUE(reader.Read());
  EXPECT_EQ(typeInHandler, html::rntText);
  EXPECT_EQ(reader.NodeType(), html::rntEntityReference);
  EXPECT_EQ(reader.NodeValue(), u"B");
  EXPECT_FALSE(reader.Read());
}

struct TCase {
  const char16_t* input;
  Events events;
};

void ExpectCases(const std::vector<TCase>& cases) {
  for (const TCase& c : cases) {
    EXPECT_EQ(Tokens(c.input), c.events) << "input: " << Narrow(c.input);
  }
}

TEST(HtmlReader, StrayLessThanAndAmpersand) {
  ExpectCases({
      {u"a < b", {"'a '", "&lt", "' b'"}},
      {u"<", {"&lt"}},
      {u"<b", {"&lt", "'b'"}},  // a start tag needs two characters after "<"
      {u"<>x", {"&lt", "'>x'"}},
      {u"< p>", {"&lt", "' p>'"}},
      {u"</>", {"&lt", "'/>'"}},
      {u"</", {"&lt", "'/'"}},
      {u"</a", {"&lt", "'/a'"}},
      {u"x</a b", {"'x'", "&lt", "'/a b'"}},
      {u"<!", {"&lt", "'!'"}},
      {u"<!ELEMENT br EMPTY>", {"&lt", "'!ELEMENT br EMPTY>'"}},
      {u"&", {"&amp"}},
      {u"a & b", {"'a '", "&amp", "' b'"}},
      {u"&copy 2001", {"&amp", "'copy 2001'"}},
      {u"&copy<b>", {"&amp", "'copy'", "<b", ">"}},
      {u"&#", {"&amp", "'#'"}},
      {u"&#65", {"&amp", "'#65'"}},
      {u"&#x", {"&amp", "'#x'"}},
      {u"&#12a;", {"&amp", "'#12a;'"}},
  });
}

TEST(HtmlReader, EntityReferences) {
  ExpectCases({
      {u"&;", {"&"}},
      {u"&nbsp;&Auml;", {"&nbsp", "&Auml"}},  // names keep their case
      {u"&a:b;", {"&a:b"}},
      {u"&#;", {"'{0000}'"}},
      {u"&#x;", {"'{0000}'"}},
      {u"&#65;", {"'A'"}},
      {u"&#0065;", {"'A'"}},
      {u"&#65601;", {"'A'"}},   // 65536 + 65
      {u"&#131137;", {"'A'"}},  // 2 * 65536 + 65
      {u"&#1234567890123456789;", {"'{8115}'"}},
      {u"&#xA0;&#Xa0;", {"'{00A0}'", "'{00A0}'"}},
      {u"&#x10041;", {"'A'"}},
      {u"&#xFfFf;", {"'{FFFF}'"}},
      {u"a&#66;c", {"'a'", "'B'", "'c'"}},
  });
  THtmlReader reader;
  reader.SetHtmlStr(u"&a:b;");
  ASSERT_TRUE(reader.Read());
  EXPECT_EQ(reader.Prefix(), u"a");
  EXPECT_EQ(reader.LocalName(), u"b");
}

TEST(HtmlReader, CommentsCDataAndDeclarations) {
  ExpectCases({
      {u"<!-- a <b> -->x", {"!-- a <b> ", "'x'"}},
      {u"<!---->", {"!--"}},
      {u"<!--->", {"&lt", "'!--->'"}},
      {u"<!-- open", {"&lt", "'!-- open'"}},
      {u"<!-- a --><!-- b", {"!-- a ", "&lt", "'!-- b'"}},
      {u"<!-x-->", {"&lt", "'!-x-->'"}},
      {u"<![CDATA[a<b]]>c", {"![a<b", "'c'"}},
      {u"<![cdata[a]]>", {"&lt", "'![cdata[a]]>'"}},
      {u"<![CDATA[a", {"&lt", "'![CDATA[a'"}},
      // "<?" up to ">" is a comment, so an XML declaration opens nothing.
      {uR"(<?xml version="1.0" encoding="UTF-8"?>x)",
       {R"(!--?xml version="1.0" encoding="UTF-8"?)", "'x'"}},
      {u"<?php echo 1 ?>", {"!--?php echo 1 ?"}},
      {u"<?>", {"!--?"}},
      {u"<?xml", {"&lt", "'?xml'"}},
      {u"<? a <b>", {"!--? a <b"}},
  });
}

TEST(HtmlReader, DocType) {
  ExpectCases({
      {u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
       u"\"http://www.w3.org/TR/html4/strict.dtd\">",
       {"!HTML|-//W3C//DTD HTML 4.01//EN|http://www.w3.org/TR/html4/strict.dtd"}},
      {u"<!doctype Html public \"p\">", {"!Html|p|"}},
      {u"<!DocType x y 'p'>", {"!x|p|"}},
      {u"<!DOCTYPE x PUBLIC \"p\" 's'>t", {"!x|p|s", "'t'"}},
      {uR"(<!DOCTYPE html PUBLIC '-//W3C//DTD XHTML 1.0 Strict//EN'
  'http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd'>)",
       {"!html|-//W3C//DTD XHTML 1.0 "
        "Strict//EN|http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd"}},
      {u"<!DOCTYPE html SYSTEM \"about:legacy-compat\">", {"!html||about:legacy-compat"}},
      {u"<!doctype html system 's' 't'>", {"!html||s"}},
      // Without identifiers the DOCTYPE ends at its own ">".
      {u"<!DOCTYPE html><p>a>b", {"!html||", "<p", ">", "'a>b'"}},
      {u"<!doctype html>", {"!html||"}},
      {u"<!DOCTYPE html >\n<html>", {"!html||", "'{000A}'", "<html", ">"}},
      {u"<!DOCTYPE html PUBLIC>x", {"!html||", "'x'"}},
      // What is neither keyword nor quoted is skipped up to the ">".
      {u"<!DOCTYPE html PUBLIC p \"q\">x", {"!html||", "'x'"}},
      {u"<!DOCTYPE>", {"&lt", "'!DOCTYPE>'"}},
      {u"<!DOCTYPE html", {"&lt", "'!DOCTYPE html'"}},
      {u"<!DOCTYPE x SYSTEM 's>", {"&lt", "'!DOCTYPE x SYSTEM 's>'"}},
      {u"<!DOCTYPE x PUBLIC \"p>", {"&lt", "'!DOCTYPE x PUBLIC \"p>'"}},
      {uR"(<!DOCTYPE x PUBLIC "p" "s>)", {"&lt", R"('!DOCTYPE x PUBLIC "p" "s>')"}},
      {u"<!DOCTYPE x PUBLIC \"p\"", {"&lt", "'!DOCTYPE x PUBLIC \"p\"'"}},
      {u"<!DOCTYPE x", {"&lt", "'!DOCTYPE x'"}},
      // A failed declaration is read again from its start: an end tag in it
      // still finds its ">" before the place the declaration looked from.
      {uR"(<!DOCTYPE a b "</x>")", {"&lt", R"('!DOCTYPE a b "')", "</x", R"('"')"}},
      {uR"(<!DOCTYPE a b "</x ")", {"&lt", R"('!DOCTYPE a b "')", "&lt", R"('/x "')"}},
  });
}

TEST(HtmlReader, StartTagsAndAttributes) {
  ExpectCases({
      {u"<DIV CLASS=Big>", {"<div", "@class", "'Big'", "@end", ">"}},
      {u"<br/>", {"<br", "/>"}},
      {u"<br />x", {"<br", "/>", "'x'"}},
      {u"<div / junk>", {"<div", "/>"}},
      {u"<td nowrap>", {"<td", "@nowrap", "@end", ">"}},
      {u"<td nowrap width=1>", {"<td", "@nowrap", "@end", "@width", "'1'", "@end", ">"}},
      {u"<a b = 'c d'>", {"<a", "@b", "'c d'", "@end", ">"}},
      {u"<a b=\"\">", {"<a", "@b", "@end", ">"}},
      {u"<a b=\"x'y\">", {"<a", "@b", "'x'y'", "@end", ">"}},
      {u"<a b=c\"d\">", {"<a", "@b", "'c'", "@end", "@\"d\"", "@end", ">"}},
      {u"<a =b>", {"<a", ">"}},
      {u"<a\tb\r\nc>", {"<a", "@b", "@end", "@c", "@end", ">"}},
      // Form feed is no white space.
      {u"<a\fb>", {"<a{000C}b", ">"}},
      {u"<o:p>", {"<o:p", ">"}},
      {u"<a<b>", {"<a<b", ">"}},
      {u"</DIV junk=\"x\">", {"</div"}},
  });
}

TEST(HtmlReader, SlashInAnUnquotedValue) {
  ExpectCases({
      {u"<a href=files/zel17.lzh>t", {"<a", "@href", "'files/zel17.lzh'", "@end", ">", "'t'"}},
      {u"<a href=http://h/p/x.lzh id=z>",
       {"<a", "@href", "'http://h/p/x.lzh'", "@end", "@id", "'z'", "@end", ">"}},
      {u"<a href=x/ >", {"<a", "@href", "'x/'", "@end", ">"}},
      {u"<a href=x/", {"<a", "@href", "'x/'"}},
      // Only right before the ">" does a slash end the value and the tag.
      {u"<br clear=all/>x", {"<br", "@clear", "'all'", "@end", "/>", "'x'"}},
      {u"<img src=a/b.gif/>", {"<img", "@src", "'a/b.gif'", "@end", "/>"}},
  });
}

TEST(HtmlReader, ScriptAndStyleHoldRawTextUpToTheirEndTag) {
  ExpectCases({
      {u"<script>if (a<b) x();</script>", {"<script", ">", "'if (a<b) x();'", "</script"}},
      {uR"(<script type="text/javascript">w("<a id="$target$" href=x>&amp;</p>");</script>)",
       {"<script", "@type", "'text/javascript'", "@end", ">",
        R"('w("<a id="$target$" href=x>&amp;</p>");')", "</script"}},
      {u"<style>p > a:after { content: \"<!--\" }</style>x",
       {"<style", ">", "'p > a:after { content: \"<!--\" }'", "</style", "'x'"}},
      // The end tag in any case, before white space, "/", ">" or the end.
      {u"<SCRIPT>a</Script >b", {"<script", ">", "'a'", "</script", "'b'"}},
      {u"<script>a</script/>", {"<script", ">", "'a'", "</script"}},
      {u"<script>a</scripts></script>", {"<script", ">", "'a</scripts>'", "</script"}},
      {u"<style>a</script>b</style>", {"<style", ">", "'a</script>b'", "</style"}},
      {u"<script>a</script", {"<script", ">", "'a'", "&lt", "'/script'"}},
      // Empty content raises nothing; no end tag: the rest is the content.
      {u"<script></script>", {"<script", ">", "</script"}},
      {u"<script>a<!-- </p>", {"<script", ">", "'a<!-- </p>'"}},
      {u"<script>", {"<script", ">"}},
      // A script written empty has no content; other names are not raw.
      {u"<script src=a.js/><b>", {"<script", "@src", "'a.js'", "@end", "/>", "<b", ">"}},
      {u"<script/>a<b>", {"<script", "/>", "'a'", "<b", ">"}},
      {u"<scripts>a<b>", {"<scripts", ">", "'a'", "<b", ">"}},
      {u"<x:script>a<b>", {"<x:script", ">", "'a'", "<b", ">"}},
  });
}

TEST(HtmlReader, ReferencesInAttributeValues) {
  ExpectCases({
      {u"<a href=\"a&amp;b\">", {"<a", "@href", "'a'", "&amp", "'b'", "@end", ">"}},
      {u"<a href='&#65;'>", {"<a", "@href", "'A'", "@end", ">"}},
      // Only the start of a piece is looked at: an unquoted piece runs on.
      {u"<a href=a&amp;b>", {"<a", "@href", "'a&amp;b'", "@end", ">"}},
      {u"<a href=&amp;b>", {"<a", "@href", "&amp", "'b'", "@end", ">"}},
      {u"<a href=\"a & b\">", {"<a", "@href", "'a '", "&amp", "' b'", "@end", ">"}},
      // An entity name runs over the closing quote and the ">".
      {u"<a href=\"&ab\">cd;\">x", {"<a", "@href", "&ab\">cd", "@end", ">", "'x'"}},
  });
}

TEST(HtmlReader, InputEndingInsideATag) {
  ExpectCases({
      {u"<a href=\"x", {"<a", "@href", "'x'"}},
      // The quote opens a value that the end of the input then closes.
      {u"<a href=\"", {"<a", "@href", "@end"}},
      {u"<a href", {"<a", "@href"}},
      {u"<a href=", {"<a", "@href", "@end"}},
      {u"<a href= ", {"<a", "@href", "@end"}},
      {u"<a ", {"<a", ">"}},
      {u"<a b=c", {"<a", "@b", "'c'"}},
      {u"<a b='c' ", {"<a", "@b", "'c'", "@end", ">"}},
  });
}

TEST(HtmlReader, TextKeepsWhiteSpace) {
  ExpectCases({
      {u"\r\n", {"'{000D}{000A}'"}},
      {u"<p> </p>", {"<p", ">", "' '", "</p"}},
      {u"a>b", {"'a>b'"}},
  });
}

TEST(HtmlReader, NamesSplitAtTheFirstColon) {
  struct TName {
    const char16_t* input;
    const char16_t* prefix;
    const char16_t* localName;
    const char16_t* nodeName;
  };
  const TName names[] = {
      {u"<o:p>", u"o", u"p", u"o:p"}, {u"<a:b:c>", u"a", u"b:c", u"a:b:c"},
      {u"<:p>", u"", u"p", u"p"},     {u"<x:>", u"x", u"", u"x:"},
      {u"<p>", u"", u"p", u"p"},
  };
  for (const TName& n : names) {
    THtmlReader reader;
    reader.SetHtmlStr(n.input);
    ASSERT_TRUE(reader.Read());
    EXPECT_EQ(reader.Prefix(), n.prefix) << Narrow(n.input);
    EXPECT_EQ(reader.LocalName(), n.localName) << Narrow(n.input);
    EXPECT_EQ(reader.NodeName(), n.nodeName) << Narrow(n.input);
  }
}

TEST(HtmlReader, StateAndPosition) {
  THtmlReader reader;
  EXPECT_EQ(reader.Position(), 1u);
  EXPECT_EQ(reader.State(), html::rsContent);
  EXPECT_FALSE(reader.Read());  // nothing to read, no handlers needed
  reader.SetHtmlStr(u"<a b='c'>");
  const std::vector<std::uint8_t> states{html::rsInTag, html::rsAfterAttributeName,
                                         html::rsQuotedValue, html::rsInTag, html::rsContent};
  for (const std::uint8_t state : states) {
    ASSERT_TRUE(reader.Read());
    EXPECT_EQ(reader.State(), state);
  }
  EXPECT_EQ(reader.Quotation(), u'\'');
  EXPECT_EQ(reader.Position(), 10u);
  EXPECT_FALSE(reader.Read());
  EXPECT_FALSE(reader.Read());
}

TEST(HtmlReader, NewInputStartsInContent) {
  THtmlReader reader;
  TRecorder recorder(reader);
  reader.SetHtmlStr(u"<a b='c");
  while (reader.Read()) {
  }
  reader.SetHtmlStr(u"d'>e");
  while (reader.Read()) {
  }
  EXPECT_EQ(recorder.events, (Events{"<a", "@b", "'c'", "'d'>e'"}));
  EXPECT_EQ(reader.Quotation(), 0);
}

TEST(HtmlReader, HandlersMayBeMissing) {
  THtmlReader reader;
  std::vector<std::string> ends;
  reader.OnEndElement = [&ends](THtmlReader& r) { ends.push_back(Narrow(r.NodeName())); };
  reader.SetHtmlStr(u"<a x=1>&amp;<!--c--></A>t</b>");
  while (reader.Read()) {
  }
  EXPECT_EQ(ends, (std::vector<std::string>{"a", "b"}));
}

// Pathological inputs must cost time in proportion to their size.
double SecondsToRead(const std::u16string& input) {
  THtmlReader reader;
  std::size_t events = 0;
  reader.OnTextNode = [&events](THtmlReader&) { ++events; };
  reader.OnEntityReference = [&events](THtmlReader&) { ++events; };
  reader.OnDocType = [&events](THtmlReader&) { ++events; };
  reader.SetHtmlStr(input);
  const auto start = std::chrono::steady_clock::now();
  while (reader.Read()) {
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  EXPECT_GT(events, 0u);
  return took.count();
}

std::u16string Repeat(std::u16string_view piece, std::size_t times) {
  std::u16string s;
  s.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) {
    s += piece;
  }
  return s;
}

TEST(HtmlReader, UnclosedMarkupCostsLinearTime) {
  const std::u16string_view pieces[] = {
      u"<!--a", u"</a",       u"<![CDATA[a", u"<!DOCTYPE a b \"c", u"<!DOCTYPE a>", u"&abc",
      u"<?a",   u"<a b=\"&c", u"<script>",   u"<script>a</scrip",  u"<style>a</"};
  for (const std::u16string_view piece : pieces) {
    const double small = SecondsToRead(Repeat(piece, 20000));
    const double large = SecondsToRead(Repeat(piece, 200000));
    // Quadratic work would take a hundred times as long.
    EXPECT_LT(large, 30 * small + 0.05) << Narrow(piece);
  }
}

TEST(HtmlReader, HugeTokensAreReadWhole) {
  const std::size_t size = std::size_t{32} << 20;  // 64 MB of UTF-16
  struct THuge {
    std::u16string input;
    std::size_t expectedLength;
  };
  THuge cases[] = {
      {std::u16string(size, u'x'), size},
      {u"<a href=\"" + std::u16string(size, u'x') + u"\">", size},
      {u"<!--" + std::u16string(size, u'x'), size + 3},
      {u"<script>" + std::u16string(size, u'<'), size},
  };
  for (THuge& c : cases) {
    THtmlReader reader;
    std::size_t longest = 0;
    reader.OnTextNode = [&longest](THtmlReader& r) {
      longest = std::max(longest, r.NodeValue().size());
    };
    reader.SetHtmlStr(std::move(c.input));
    std::size_t reads = 0;
    while (reader.Read()) {
      ++reads;
    }
    EXPECT_EQ(longest, c.expectedLength);
    EXPECT_LE(reads, 6u);
  }
}

// --- The bytes of a page to the reader's UTF-16 ---

using html::Utf8ToUtf16;

TEST(Utf8ToUtf16, WellFormedSequencesOfEveryLength) {
  EXPECT_EQ(Utf8ToUtf16(""), u"");
  EXPECT_EQ(Utf8ToUtf16("<p>x</p>"), u"<p>x</p>");
  // One, two, three and four bytes; the last is a surrogate pair.
  EXPECT_EQ(Utf8ToUtf16("a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E"), u"a\u00E9\u20AC\U0001D11E");
  EXPECT_EQ(Utf8ToUtf16("\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF"),
            u"\u0080\u07FF\u0800\uFFFF\U0010FFFF");
  EXPECT_EQ(Utf8ToUtf16(std::string_view("a\0b", 3)), std::u16string_view(u"a\0b", 3));
}

TEST(Utf8ToUtf16, OnlyALeadingByteOrderMarkIsDropped) {
  EXPECT_EQ(Utf8ToUtf16("\xEF\xBB\xBF<html>"), u"<html>");
  EXPECT_EQ(Utf8ToUtf16("\xEF\xBB\xBF\xEF\xBB\xBFx"), u"\uFEFFx");
  EXPECT_EQ(Utf8ToUtf16("x\xEF\xBB\xBF"), u"x\uFEFF");
}

TEST(Utf8ToUtf16, EachMaximalSubpartOfBadBytesIsOneReplacement) {
  struct TBad {
    std::string_view bytes;
    std::u16string_view text;
  };
  const TBad cases[] = {
      {"\x80", u"\uFFFD"},  // a stray continuation byte
      {"a\xBF"
       "b",
       u"a\uFFFDb"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong: C0 and C1 lead nothing
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},            // overlong three-byte form
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // a surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xF5\xFF", u"\uFFFD\uFFFD"},                      // bytes that lead nothing
      {"\xE2\x82x", u"\uFFFDx"},                          // truncated before an ASCII byte
      {"\xF0\x9F\x98", u"\uFFFD"},                        // truncated by the end
      {"\xE2\x82\xE2\x82\xAC", u"\uFFFD\u20AC"},          // truncated before a good one
      // A page in Latin-1 keeps its ASCII.
      {"caf\xE9 au lait", u"caf\uFFFD au lait"},
  };
  for (const TBad& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text) << Narrow(Utf8ToUtf16(c.bytes));
  }
}

TEST(Utf8ToUtf16, ASequenceAtAnyOffsetOfTheWordCopy) {
  // ASCII goes eight bytes at a time: a sequence at each offset around
  // those words, and ASCII runs of every length after it.
  for (std::size_t before = 0; before < 20; ++before) {
    for (std::size_t after = 0; after < 20; ++after) {
      const std::string bytes = std::string(before, 'a') + "\xE2\x82\xAC" + std::string(after, 'b');
      const std::u16string text =
          std::u16string(before, u'a') + u"\u20AC" + std::u16string(after, u'b');
      ASSERT_EQ(Utf8ToUtf16(bytes), text) << before << " " << after;
    }
  }
}

}  // namespace
