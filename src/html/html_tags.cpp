#include "html/html_tags.h"

#include <algorithm>
#include <array>

namespace html {
namespace {

// Paired with the numbers, so the check below also proves that the numbers
// follow the alphabetical order of the names.
constexpr std::array<THtmlTag, HtmlTagCount> kTags{{
    {u"a", tagA},
    {u"abbr", tagAbbr},
    {u"acronym", tagAcronym},
    {u"address", tagAddress},
    {u"applet", tagApplet},
    {u"area", tagArea},
    {u"b", tagB},
    {u"base", tagBase},
    {u"basefont", tagBasefont},
    {u"bdo", tagBdo},
    {u"big", tagBig},
    {u"blockquote", tagBlockquote},
    {u"body", tagBody},
    {u"br", tagBr},
    {u"button", tagButton},
    {u"caption", tagCaption},
    {u"center", tagCenter},
    {u"cite", tagCite},
    {u"code", tagCode},
    {u"col", tagCol},
    {u"colgroup", tagColgroup},
    {u"dd", tagDd},
    {u"del", tagDel},
    {u"dfn", tagDfn},
    {u"dir", tagDir},
    {u"div", tagDiv},
    {u"dl", tagDl},
    {u"dt", tagDt},
    {u"em", tagEm},
    {u"fieldset", tagFieldset},
    {u"font", tagFont},
    {u"form", tagForm},
    {u"frame", tagFrame},
    {u"frameset", tagFrameset},
    {u"h1", tagH1},
    {u"h2", tagH2},
    {u"h3", tagH3},
    {u"h4", tagH4},
    {u"h5", tagH5},
    {u"h6", tagH6},
    {u"head", tagHead},
    {u"hr", tagHr},
    {u"html", tagHtml},
    {u"i", tagI},
    {u"iframe", tagIframe},
    {u"img", tagImg},
    {u"input", tagInput},
    {u"ins", tagIns},
    {u"isindex", tagIsindex},
    {u"kbd", tagKbd},
    {u"label", tagLabel},
    {u"legend", tagLegend},
    {u"li", tagLi},
    {u"link", tagLink},
    {u"map", tagMap},
    {u"menu", tagMenu},
    {u"meta", tagMeta},
    {u"noframes", tagNoframes},
    {u"noscript", tagNoscript},
    {u"object", tagObject},
    {u"ol", tagOl},
    {u"optgroup", tagOptgroup},
    {u"option", tagOption},
    {u"p", tagP},
    {u"param", tagParam},
    {u"pre", tagPre},
    {u"q", tagQ},
    {u"s", tagS},
    {u"samp", tagSamp},
    {u"script", tagScript},
    {u"select", tagSelect},
    {u"small", tagSmall},
    {u"span", tagSpan},
    {u"strike", tagStrike},
    {u"strong", tagStrong},
    {u"style", tagStyle},
    {u"sub", tagSub},
    {u"sup", tagSup},
    {u"table", tagTable},
    {u"tbody", tagTbody},
    {u"td", tagTd},
    {u"textarea", tagTextarea},
    {u"tfoot", tagTfoot},
    {u"th", tagTh},
    {u"thead", tagThead},
    {u"title", tagTitle},
    {u"tr", tagTr},
    {u"tt", tagTt},
    {u"u", tagU},
    {u"ul", tagUl},
    {u"var", tagVar},
}};

constexpr bool NumbersArePositions() {
  for (std::size_t i = 0; i < kTags.size(); ++i) {
    if (kTags[i].Number != static_cast<std::int32_t>(i + 1)) {
      return false;
    }
  }
  return true;
}
static_assert(NumbersArePositions());
static_assert(THtmlTagList::IsValidTable(kTags));
static_assert(kTags.back().Number == HtmlTagCount);

}  // namespace

// Constant-initialised, so the table exists before any dynamic initialisation and outlives every
// other object.
constinit const THtmlTagList HtmlTagList{kTags};

const THtmlTag& THtmlTagList::GetTagByName(std::u16string_view name) const noexcept {
  const std::size_t letter = LetterOf(name);
  if (letter == kLetters) {
    return unknownTag_;
  }
  std::size_t low = bucketStart_[letter];
  std::size_t high = bucketStart_[letter + 1];
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    const int order = name.compare(tags_[middle].Name);
    if (order == 0) {
      return tags_[middle];
    }
    if (order < 0) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return unknownTag_;
}

int TURLSchemes::Add(std::string s) {
  maxLen_ = std::max(maxLen_, static_cast<int>(s.size()));
  rtl::TStringList::Add(std::move(s));
  return Count() - 1;
}

const TURLSchemes& URLSchemes() {
  static const TURLSchemes schemes = [] {
    TURLSchemes list;
    for (const char* scheme : {"http", "https", "ftp", "mailto", "news", "nntp", "gopher"}) {
      list.Add(scheme);
    }
    return list;
  }();
  return schemes;
}

}  // namespace html
