#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "html/entities.h"
#include "html/html_tags.h"
#include "rtl/codepage.h"

namespace {

using html::HtmlTagList;

std::string Narrow(std::u16string_view s) {
  return rtl::WideToAnsi(s, rtl::CP_UTF8_);
}

TEST(HtmlTags, LookupGivesTheAlphabeticalNumber) {
  struct Case {
    std::u16string_view name;
    int number;
  };
  const Case cases[] = {
      {u"a", 1},
      {u"abbr", 2},
      {u"p", 64},
      {u"h1", 35},
      {u"head", 41},
      {u"h6", 40},
      {u"blockquote", 12},
      {u"var", 91},
      {u"ul", 90},
      {u"table", 79},
      {u"tbody", 80},
      {u"textarea", 82},
      {u"s", 68},
      {u"samp", 69},
      {u"isindex", 49},
      // Misses: case is not folded, no prefix or extension matches.
      {u"P", 0},
      {u"Table", 0},
      {u"", 0},
      {u"blink", 0},
      {u"o:p", 0},
      {u"ab", 0},
      {u"abbrx", 0},
      {u"h7", 0},
      {u"zz", 0},
      {u"{", 0},
      {u"\u00E4", 0},
      {u"1", 0},
      {u"a ", 0},
  };
  for (const Case& c : cases) {
    const html::THtmlTag& tag = HtmlTagList.GetTagByName(c.name);
    EXPECT_EQ(tag.Number, c.number) << Narrow(c.name);
    if (c.number == 0) {
      EXPECT_EQ(&tag, &HtmlTagList.UnknownTag()) << Narrow(c.name);
      EXPECT_TRUE(tag.Name.empty());
    } else {
      EXPECT_EQ(tag.Name, c.name);
    }
  }
  EXPECT_EQ(HtmlTagList.GetTagByName(u"p").Number, html::tagP);
  EXPECT_EQ(HtmlTagList.GetTagByName(u"tr").Number, html::tagTr);
}

TEST(HtmlTags, EveryTagIsFoundUnderItsOwnName) {
  ASSERT_EQ(HtmlTagList.Count(), 91);
  for (int i = 0; i < HtmlTagList.Count(); ++i) {
    const html::THtmlTag& tag = HtmlTagList.Get(i);
    EXPECT_EQ(tag.Number, i + 1);
    EXPECT_EQ(&HtmlTagList.GetTagByName(tag.Name), &tag) << Narrow(tag.Name);
    if (i > 0) {
      EXPECT_LT(HtmlTagList.Get(i - 1).Name, tag.Name);
    }
  }
}

// The classes as the parser needs them, written out by name.
TEST(HtmlTags, ClassesHoldExactlyTheirMembers) {
  struct Case {
    const char* what;
    const html::TTagSet& set;
    std::set<std::u16string_view> members;
  };
  const std::set<std::u16string_view> blocks = {
      u"address", u"blockquote", u"center", u"div", u"dl",    u"fieldset",
      u"h1",      u"h2",         u"h3",     u"h4",  u"h5",    u"h6",
      u"hr",      u"noscript",   u"ol",     u"pre", u"table", u"ul"};
  std::set<std::u16string_view> needParent = blocks;
  needParent.insert({u"col", u"colgroup", u"dd", u"dt", u"li", u"option", u"p", u"tbody", u"td",
                     u"tfoot", u"th", u"thead", u"tr"});
  const Case cases[] = {
      {"EmptyTags",
       html::EmptyTags,
       {u"area", u"base", u"basefont", u"br", u"col", u"frame", u"hr", u"img", u"input", u"isindex",
        u"link", u"meta", u"param"}},
      {"BlockTags", html::BlockTags, blocks},
      {"NeedParentTags", html::NeedParentTags, needParent},
      {"BlockParentTags",
       html::BlockParentTags,
       {u"address",  u"blockquote", u"center", u"div", u"dl", u"fieldset", u"h1",
        u"h2",       u"h3",         u"h4",     u"h5",  u"h6", u"hr",       u"li",
        u"noscript", u"ol",         u"pre",    u"td",  u"th", u"ul"}},
      {"ListItemParentTags", html::ListItemParentTags, {u"dir", u"menu", u"ol", u"ul"}},
      {"DefinitionItemParentTags", html::DefinitionItemParentTags, {u"dl"}},
      {"CellParentTags", html::CellParentTags, {u"tr"}},
      {"RowParentTags", html::RowParentTags, {u"table", u"tbody", u"tfoot", u"thead"}},
      {"ColParentTags", html::ColParentTags, {u"colgroup"}},
      {"TableSectionParentTags", html::TableSectionParentTags, {u"table"}},
      {"OptionParentTags", html::OptionParentTags, {u"optgroup", u"select"}},
      {"HeadTags", html::HeadTags, {u"base", u"link", u"meta", u"script", u"style", u"title"}},
  };
  for (const Case& c : cases) {
    for (int i = 0; i < HtmlTagList.Count(); ++i) {
      const html::THtmlTag& tag = HtmlTagList.Get(i);
      EXPECT_EQ(c.set.Contains(tag.Number), c.members.count(tag.Name) == 1)
          << c.what << " " << Narrow(tag.Name);
    }
    for (const int outside : {0, -1, 92, 127, 128, 1000}) {
      EXPECT_FALSE(c.set.Contains(outside)) << c.what << " " << outside;
    }
  }
}

TEST(UrlSchemes, SharedListHoldsTheSevenSchemes) {
  const html::TURLSchemes& schemes = html::URLSchemes();
  ASSERT_EQ(schemes.Count(), 7);
  const std::vector<std::string> expected = {"http", "https", "ftp",   "mailto",
                                             "news", "nntp",  "gopher"};
  for (int i = 0; i < schemes.Count(); ++i) {
    EXPECT_EQ(schemes.Get(i), expected[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(schemes.MaxLen(), 6);
  EXPECT_EQ(&html::URLSchemes(), &schemes);
}

TEST(UrlSchemes, AddKeepsOrderDuplicatesAndTheLongestLength) {
  html::TURLSchemes schemes;
  EXPECT_EQ(schemes.MaxLen(), 0);
  EXPECT_EQ(schemes.Add("ftp"), 0);
  EXPECT_EQ(schemes.Add("gopher"), 1);
  EXPECT_EQ(schemes.Add("ftp"), 2);
  EXPECT_EQ(schemes.Add(""), 3);
  EXPECT_EQ(schemes.MaxLen(), 6);
  EXPECT_EQ(schemes.Count(), 4);
  EXPECT_EQ(schemes.Get(2), "ftp");
}

TEST(Entities, LookupMatchesNamesExactly) {
  struct Case {
    std::string_view name;
    int code;
  };
  const Case cases[] = {
      {"amp", 38},
      {"nbsp", 160},
      {"euro", 8364},
      {"quot", 34},
      {"lt", 60},
      {"gt", 62},
      {"Auml", 196},
      {"auml", 228},
      {"yuml", 255},
      {"Yuml", 376},
      {"iexcl", 161},
      {"fnof", 402},
      {"Alpha", 913},
      {"omega", 969},
      {"thetasym", 977},
      {"upsih", 978},
      {"piv", 982},
      {"lceil", 8968},
      {"loz", 9674},
      {"diams", 9830},
      {"OElig", 338},
      {"ensp", 8194},
      {"zwnj", 8204},
      {"lrm", 8206},
      {"sbquo", 8218},
      {"permil", 8240},
      {"lsaquo", 8249},
      {"Prime", 8243},
      {"prime", 8242},
      {"rArr", 8658},
      {"rarr", 8594},
      // Not found: the space character.
      {"AUML", 32},
      {"AMP", 32},
      {"apos", 32},
      {"", 32},
      {"amp;", 32},
      {"am", 32},
      {"ampx", 32},
      {"&amp", 32},
      {"thetasymx", 32},
      {"Z", 32},
      {"zzzz", 32},
      {"1", 32},
      {"nbsp ", 32},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(html::GetEntityValue(c.name), c.code) << c.name;
    const rtl::WideString wide = rtl::AnsiToWide(c.name, rtl::CP_UTF8_);
    EXPECT_EQ(html::GetEntityValue(std::u16string_view(wide)), c.code) << c.name;
  }
  // Wide names outside ASCII or longer than any entity name.
  EXPECT_EQ(html::GetEntityValue(u"a\u0100mp"), 32);
  EXPECT_EQ(html::GetEntityValue(std::u16string_view(u"\u0161cron")), 32);
  EXPECT_EQ(html::GetEntityValue(std::u16string(1000, u'a')), 32);
}

TEST(Entities, TableIsExactlyTheThreeSets) {
  const auto standard = html::EntitiesInStandardOrder();
  ASSERT_EQ(standard.size(), 252U);
  ASSERT_EQ(html::EntityList.Count(), 252);
  // HTMLlat1 first: 96 records for U+00A0 to U+00FF.
  for (std::size_t i = 0; i < 96; ++i) {
    EXPECT_EQ(standard[i].Code, 160 + i) << standard[i].Name;
  }
  EXPECT_EQ(standard[96].Name, "fnof");    // HTMLsymbol begins
  EXPECT_EQ(standard[219].Name, "diams");  // and ends
  EXPECT_EQ(standard[220].Name, "quot");   // HTMLspecial begins
  EXPECT_EQ(standard[251].Name, "euro");
  std::set<std::string_view> names;
  std::set<int> codes;
  for (const html::TEntity& entity : standard) {
    names.insert(entity.Name);
    codes.insert(entity.Code);
    // Every record is found under its own name.
    EXPECT_EQ(html::GetEntityValue(entity.Name), entity.Code) << entity.Name;
  }
  EXPECT_EQ(names.size(), 252U);
  EXPECT_EQ(codes.size(), 252U);
  for (int i = 1; i < html::EntityList.Count(); ++i) {
    EXPECT_LT(html::EntityList.Get(i - 1).Name, html::EntityList.Get(i).Name);
  }
}

}  // namespace
