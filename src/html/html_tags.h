// The element names of HTML 4.01 with their tag numbers, the tag classes that
// steer the parser's nesting repair, and the list of URL scheme names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "rtl/stringlist.h"

namespace html {

// Tag numbers: the position of the name in the alphabetical list; 0 for a
// name the table does not know.
enum THtmlTagNumber : std::int32_t {
  tagUnknown = 0,
  tagA,
  tagAbbr,
  tagAcronym,
  tagAddress,
  tagApplet,
  tagArea,
  tagB,
  tagBase,
  tagBasefont,
  tagBdo,
  tagBig,
  tagBlockquote,
  tagBody,
  tagBr,
  tagButton,
  tagCaption,
  tagCenter,
  tagCite,
  tagCode,
  tagCol,
  tagColgroup,
  tagDd,
  tagDel,
  tagDfn,
  tagDir,
  tagDiv,
  tagDl,
  tagDt,
  tagEm,
  tagFieldset,
  tagFont,
  tagForm,
  tagFrame,
  tagFrameset,
  tagH1,
  tagH2,
  tagH3,
  tagH4,
  tagH5,
  tagH6,
  tagHead,
  tagHr,
  tagHtml,
  tagI,
  tagIframe,
  tagImg,
  tagInput,
  tagIns,
  tagIsindex,
  tagKbd,
  tagLabel,
  tagLegend,
  tagLi,
  tagLink,
  tagMap,
  tagMenu,
  tagMeta,
  tagNoframes,
  tagNoscript,
  tagObject,
  tagOl,
  tagOptgroup,
  tagOption,
  tagP,
  tagParam,
  tagPre,
  tagQ,
  tagS,
  tagSamp,
  tagScript,
  tagSelect,
  tagSmall,
  tagSpan,
  tagStrike,
  tagStrong,
  tagStyle,
  tagSub,
  tagSup,
  tagTable,
  tagTbody,
  tagTd,
  tagTextarea,
  tagTfoot,
  tagTh,
  tagThead,
  tagTitle,
  tagTr,
  tagTt,
  tagU,
  tagUl,
  tagVar
};

inline constexpr int HtmlTagCount = 91;

// One entry of the table. Name is lower case; empty for the unknown tag.
struct THtmlTag {
  std::u16string_view Name;
  std::int32_t Number = tagUnknown;
};

// A constant set of tag numbers (0 to 127).
class TTagSet {
 public:
  constexpr TTagSet(std::initializer_list<std::int32_t> numbers) {
    for (const std::int32_t n : numbers) {
      if (n < 0 || n >= 128) {
        throw std::out_of_range("tag number outside a tag set");
      }
      const auto bit = static_cast<unsigned>(n);
      bits_[bit / 64] |= std::uint64_t{1} << (bit % 64);
    }
  }
  constexpr bool Contains(std::int32_t number) const {
    if (number < 0 || number >= 128) {
      return false;
    }
    const auto bit = static_cast<unsigned>(number);
    return ((bits_[bit / 64] >> (bit % 64)) & 1U) != 0;
  }

 private:
  std::array<std::uint64_t, 2> bits_{};
};

// Closed as soon as the start tag ends.
inline constexpr TTagSet EmptyTags{tagArea,  tagBase, tagBasefont, tagBr,    tagCol,
                                   tagFrame, tagHr,   tagImg,      tagInput, tagIsindex,
                                   tagLink,  tagMeta, tagParam};
// Like p, these take their parent from BlockParentTags.
inline constexpr TTagSet BlockTags{tagAddress,  tagBlockquote, tagCenter, tagDiv,      tagDl,
                                   tagFieldset, tagH1,         tagH2,     tagH3,       tagH4,
                                   tagH5,       tagH6,         tagHr,     tagNoscript, tagOl,
                                   tagPre,      tagTable,      tagUl};
// A start tag of these searches its parent among the open elements.
inline constexpr TTagSet NeedParentTags{
    tagAddress, tagBlockquote, tagCenter, tagDiv,      tagDl, tagFieldset, tagH1, tagH2,
    tagH3,      tagH4,         tagH5,     tagH6,       tagHr, tagNoscript, tagOl, tagPre,
    tagTable,   tagUl,         tagCol,    tagColgroup, tagDd, tagDt,       tagLi, tagOption,
    tagP,       tagTbody,      tagTd,     tagTfoot,    tagTh, tagThead,    tagTr};
// Parents that may hold p and the members of BlockTags.
inline constexpr TTagSet BlockParentTags{tagAddress,  tagBlockquote, tagCenter, tagDiv, tagDl,
                                         tagFieldset, tagH1,         tagH2,     tagH3,  tagH4,
                                         tagH5,       tagH6,         tagHr,     tagLi,  tagNoscript,
                                         tagOl,       tagPre,        tagTd,     tagTh,  tagUl};
inline constexpr TTagSet ListItemParentTags{tagDir, tagMenu, tagOl, tagUl};
inline constexpr TTagSet DefinitionItemParentTags{tagDl};
inline constexpr TTagSet CellParentTags{tagTr};
inline constexpr TTagSet RowParentTags{tagTable, tagTbody, tagTfoot, tagThead};
inline constexpr TTagSet ColParentTags{tagColgroup};
inline constexpr TTagSet TableSectionParentTags{tagTable};
inline constexpr TTagSet OptionParentTags{tagOptgroup, tagSelect};
// Content of the head: it goes there while the page has no body yet.
inline constexpr TTagSet HeadTags{tagBase, tagLink, tagMeta, tagScript, tagStyle, tagTitle};

// The table: the 91 known tags in ascending order of Name, and UnknownTag.
// Constant data, so lookups are safe from any thread.
class THtmlTagList {
 public:
  // `tags` must satisfy IsValidTable; lookups in any other span stay within
  // it but may miss names.
  constexpr explicit THtmlTagList(std::span<const THtmlTag> tags) noexcept : tags_(tags) {
    std::size_t index = 0;
    for (std::size_t letter = 0; letter < kLetters; ++letter) {
      bucketStart_[letter] = index;
      while (index < tags.size() && LetterOf(tags[index].Name) == letter) {
        ++index;
      }
    }
    bucketStart_[kLetters] = index;
  }

  // Strictly ascending names, every one starting with a lower-case ASCII
  // letter; the shared table is checked at compile time.
  static constexpr bool IsValidTable(std::span<const THtmlTag> tags) {
    for (std::size_t i = 0; i < tags.size(); ++i) {
      if (LetterOf(tags[i].Name) == kLetters || (i > 0 && !(tags[i - 1].Name < tags[i].Name))) {
        return false;
      }
    }
    return true;
  }

  // The tag whose Name equals `name` exactly (no case folding), or UnknownTag.
  // The result lives as long as the table.
  const THtmlTag& GetTagByName(std::u16string_view name) const noexcept;

  int Count() const { return static_cast<int>(tags_.size()); }
  // The known tag at `index` (0-based, so its Number is index + 1).
  const THtmlTag& Get(int index) const { return tags_[static_cast<std::size_t>(index)]; }
  const THtmlTag& UnknownTag() const { return unknownTag_; }

 private:
  static constexpr std::size_t kLetters = 26;
  // 0 to 25 for a name starting with a to z, kLetters otherwise.
  static constexpr std::size_t LetterOf(std::u16string_view name) {
    if (name.empty() || name[0] < u'a' || name[0] > u'z') {
      return kLetters;
    }
    return static_cast<std::size_t>(name[0] - u'a');
  }

  std::span<const THtmlTag> tags_;
  // The tags whose names begin with letter k are bucketStart_[k] up to
  // bucketStart_[k + 1].
  std::array<std::size_t, kLetters + 1> bucketStart_{};
  THtmlTag unknownTag_{};
};

// The shared table, constant-initialised: usable before and after main.
extern const THtmlTagList HtmlTagList;

// A list of 8-bit strings in insertion order, duplicates allowed, that keeps
// the length of the longest string added.
class TURLSchemes : private rtl::TStringList {
 public:
  // Appends `s`; returns its index.
  int Add(std::string s);
  int MaxLen() const { return maxLen_; }

  using rtl::TStringList::Count;
  using rtl::TStringList::Get;
  using rtl::TStringList::IndexOf;

 private:
  int maxLen_ = 0;
};

// The shared list: http, https, ftp, mailto, news, nntp, gopher. Made on
// first use, destroyed at program end.
const TURLSchemes& URLSchemes();

}  // namespace html
