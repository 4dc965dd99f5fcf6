// The named switches an archive operation may be given, as one object that
// the caller keeps and hands to every operation. A switch at -1 and an empty
// text mean "not given"; each format's builder decides which it passes on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

#include "rtl/persistent.h"
#include "rtl/stringlist.h"

namespace archive {

// Stored and copied with the options; no operation consults it.
enum TPackFilter : std::uint8_t { pfArchiver = 0, pfComponent = 1 };

// The operations that may hand their file list over in a response file.
enum TResFileUse : std::uint8_t {
  ruOnPack = 0,
  ruOnUnpack = 1,
  ruOnRemoveItem = 2,
  ruOnUpdate = 3
};

// A set of TResFileUse.
class TResFileUsage {
 public:
  constexpr TResFileUsage() = default;
  constexpr TResFileUsage(std::initializer_list<TResFileUse> uses) {
    for (const TResFileUse use : uses) {
      Include(use);
    }
  }

  constexpr bool Contains(TResFileUse use) const { return (bits_ & Bit(use)) != 0; }
  constexpr void Include(TResFileUse use) { bits_ = static_cast<std::uint8_t>(bits_ | Bit(use)); }
  constexpr void Exclude(TResFileUse use) { bits_ = static_cast<std::uint8_t>(bits_ & ~Bit(use)); }
  constexpr bool IsEmpty() const { return bits_ == 0; }
  friend constexpr bool operator==(TResFileUsage, TResFileUsage) = default;

 private:
  static constexpr unsigned Bit(TResFileUse use) { return 1u << static_cast<unsigned>(use); }
  std::uint8_t bits_ = 0;
};

inline constexpr TResFileUsage kDefaultResFileUsage{ruOnPack, ruOnUnpack, ruOnRemoveItem};

class TArchiverOptions : public rtl::TPersistent {
 public:
  // Sets IncludeExtraStreams and StreamSeparator, then Reset.
  TArchiverOptions();
  ~TArchiverOptions() override = default;
  // One object per owner; its state moves between objects with Assign.
  TArchiverOptions(const TArchiverOptions&) = delete;
  TArchiverOptions& operator=(const TArchiverOptions&) = delete;
  TArchiverOptions(TArchiverOptions&&) = delete;
  TArchiverOptions& operator=(TArchiverOptions&&) = delete;

  std::string_view ClassName() const override { return "TArchiverOptions"; }
  // Into another TArchiverOptions: every field, jx by content. Into any
  // other class: EConvertError naming both classes.
  void AssignTo(rtl::TPersistent& dest) const override;
  // Every switch to -1, every text and jx empty, PackFilter pfComponent and
  // ResFileUsage kDefaultResFileUsage. IncludeExtraStreams and
  // StreamSeparator keep their values: they belong to the caller's handling
  // of extracted streams, not to one command.
  void Reset();

  // The fields, in the order (and under the names) a stream keeps them.
  std::int8_t a, c, e, f, h, i, l, m, n, o, p, r, s, t, u;
  std::string w;
  std::int8_t x, y, z, jc, jd, je, jf, jh, ji, jm, jn;
  std::string jo, job;
  std::int8_t jp, jr, jsb, jsc, jsd, jse, jsf, jsl, jso, jss, jst, jsv, jsz, jw;
  rtl::TStringList jx;
  std::int8_t jyc, jyd, jyk, jyn, jyo;
  std::string jz;
  std::int8_t ga, gd, ge, gf, gj, gm, gn, go, gp;
  std::string gr;
  std::int8_t gs, gu, gw, gya, gyc;
  std::string gyd, gye;
  std::int8_t gyo, gyq, gys;
  std::string gyt, gyw;
  std::int8_t gyx;
  // Appended to the command line unchanged.
  std::string UserOptions;
  // Appended after the file list unchanged.
  std::string UserFileList;
  TPackFilter PackFilter;
  // The response file; an operation uses one only when this is not empty
  // and the operation's TResFileUse is in ResFileUsage.
  std::string ResFileName;
  TResFileUsage ResFileUsage;
  // Restore extra file streams after extraction.
  bool IncludeExtraStreams = true;
  // Marks a stream in a member name.
  std::string StreamSeparator = ";#";
};

enum class TOptionKind : std::uint8_t {
  Switch,
  Text,
  StringList,
  PackFilter,
  ResFileUsage,
  Boolean
};

using TOptionMember =
    std::variant<std::int8_t TArchiverOptions::*, std::string TArchiverOptions::*,
                 rtl::TStringList TArchiverOptions::*, TPackFilter TArchiverOptions::*,
                 TResFileUsage TArchiverOptions::*, bool TArchiverOptions::*>;

constexpr TOptionKind OptionKindOf(std::int8_t TArchiverOptions::* /*unused*/) {
  return TOptionKind::Switch;
}
constexpr TOptionKind OptionKindOf(std::string TArchiverOptions::* /*unused*/) {
  return TOptionKind::Text;
}
constexpr TOptionKind OptionKindOf(rtl::TStringList TArchiverOptions::* /*unused*/) {
  return TOptionKind::StringList;
}
constexpr TOptionKind OptionKindOf(TPackFilter TArchiverOptions::* /*unused*/) {
  return TOptionKind::PackFilter;
}
constexpr TOptionKind OptionKindOf(TResFileUsage TArchiverOptions::* /*unused*/) {
  return TOptionKind::ResFileUsage;
}
constexpr TOptionKind OptionKindOf(bool TArchiverOptions::* /*unused*/) {
  return TOptionKind::Boolean;
}

// One field as a reader or writer of options sees it: its stream name and
// the member that holds it (options.*std::get<...>(field.Member)).
struct TOptionField {
  std::string_view Name;
  TOptionMember Member;

  constexpr TOptionKind Kind() const {
    return std::visit([](auto member) { return OptionKindOf(member); }, Member);
  }
};

inline constexpr std::size_t kOptionFieldCount = 80;

// Every field of TArchiverOptions in declaration order. Copying, resetting
// and streaming walk this table, so a field cannot be left out of one of them.
inline constexpr std::array<TOptionField, kOptionFieldCount> ArchiverOptionFields{{
    TOptionField{"a", &TArchiverOptions::a},
    TOptionField{"c", &TArchiverOptions::c},
    TOptionField{"e", &TArchiverOptions::e},
    TOptionField{"f", &TArchiverOptions::f},
    TOptionField{"h", &TArchiverOptions::h},
    TOptionField{"i", &TArchiverOptions::i},
    TOptionField{"l", &TArchiverOptions::l},
    TOptionField{"m", &TArchiverOptions::m},
    TOptionField{"n", &TArchiverOptions::n},
    TOptionField{"o", &TArchiverOptions::o},
    TOptionField{"p", &TArchiverOptions::p},
    TOptionField{"r", &TArchiverOptions::r},
    TOptionField{"s", &TArchiverOptions::s},
    TOptionField{"t", &TArchiverOptions::t},
    TOptionField{"u", &TArchiverOptions::u},
    TOptionField{"w", &TArchiverOptions::w},
    TOptionField{"x", &TArchiverOptions::x},
    TOptionField{"y", &TArchiverOptions::y},
    TOptionField{"z", &TArchiverOptions::z},
    TOptionField{"jc", &TArchiverOptions::jc},
    TOptionField{"jd", &TArchiverOptions::jd},
    TOptionField{"je", &TArchiverOptions::je},
    TOptionField{"jf", &TArchiverOptions::jf},
    TOptionField{"jh", &TArchiverOptions::jh},
    TOptionField{"ji", &TArchiverOptions::ji},
    TOptionField{"jm", &TArchiverOptions::jm},
    TOptionField{"jn", &TArchiverOptions::jn},
    TOptionField{"jo", &TArchiverOptions::jo},
    TOptionField{"job", &TArchiverOptions::job},
    TOptionField{"jp", &TArchiverOptions::jp},
    TOptionField{"jr", &TArchiverOptions::jr},
    TOptionField{"jsb", &TArchiverOptions::jsb},
    TOptionField{"jsc", &TArchiverOptions::jsc},
    TOptionField{"jsd", &TArchiverOptions::jsd},
    TOptionField{"jse", &TArchiverOptions::jse},
    TOptionField{"jsf", &TArchiverOptions::jsf},
    TOptionField{"jsl", &TArchiverOptions::jsl},
    TOptionField{"jso", &TArchiverOptions::jso},
    TOptionField{"jss", &TArchiverOptions::jss},
    TOptionField{"jst", &TArchiverOptions::jst},
    TOptionField{"jsv", &TArchiverOptions::jsv},
    TOptionField{"jsz", &TArchiverOptions::jsz},
    TOptionField{"jw", &TArchiverOptions::jw},
    TOptionField{"jx", &TArchiverOptions::jx},
    TOptionField{"jyc", &TArchiverOptions::jyc},
    TOptionField{"jyd", &TArchiverOptions::jyd},
    TOptionField{"jyk", &TArchiverOptions::jyk},
    TOptionField{"jyn", &TArchiverOptions::jyn},
    TOptionField{"jyo", &TArchiverOptions::jyo},
    TOptionField{"jz", &TArchiverOptions::jz},
    TOptionField{"ga", &TArchiverOptions::ga},
    TOptionField{"gd", &TArchiverOptions::gd},
    TOptionField{"ge", &TArchiverOptions::ge},
    TOptionField{"gf", &TArchiverOptions::gf},
    TOptionField{"gj", &TArchiverOptions::gj},
    TOptionField{"gm", &TArchiverOptions::gm},
    TOptionField{"gn", &TArchiverOptions::gn},
    TOptionField{"go", &TArchiverOptions::go},
    TOptionField{"gp", &TArchiverOptions::gp},
    TOptionField{"gr", &TArchiverOptions::gr},
    TOptionField{"gs", &TArchiverOptions::gs},
    TOptionField{"gu", &TArchiverOptions::gu},
    TOptionField{"gw", &TArchiverOptions::gw},
    TOptionField{"gya", &TArchiverOptions::gya},
    TOptionField{"gyc", &TArchiverOptions::gyc},
    TOptionField{"gyd", &TArchiverOptions::gyd},
    TOptionField{"gye", &TArchiverOptions::gye},
    TOptionField{"gyo", &TArchiverOptions::gyo},
    TOptionField{"gyq", &TArchiverOptions::gyq},
    TOptionField{"gys", &TArchiverOptions::gys},
    TOptionField{"gyt", &TArchiverOptions::gyt},
    TOptionField{"gyw", &TArchiverOptions::gyw},
    TOptionField{"gyx", &TArchiverOptions::gyx},
    TOptionField{"UserOptions", &TArchiverOptions::UserOptions},
    TOptionField{"UserFileList", &TArchiverOptions::UserFileList},
    TOptionField{"PackFilter", &TArchiverOptions::PackFilter},
    TOptionField{"ResFileName", &TArchiverOptions::ResFileName},
    TOptionField{"ResFileUsage", &TArchiverOptions::ResFileUsage},
    TOptionField{"IncludeExtraStreams", &TArchiverOptions::IncludeExtraStreams},
    TOptionField{"StreamSeparator", &TArchiverOptions::StreamSeparator},
}};

namespace detail {
// Every entry names a member, and no name is given twice: a short table
// would otherwise be padded silently with empty entries.
constexpr bool OptionFieldsAreComplete() {
  for (std::size_t i = 0; i < ArchiverOptionFields.size(); ++i) {
    const TOptionField& field = ArchiverOptionFields[i];
    if (field.Name.empty() ||
        std::visit([](auto member) { return member == nullptr; }, field.Member)) {
      return false;
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (ArchiverOptionFields[j].Name == field.Name ||
          ArchiverOptionFields[j].Member == field.Member) {
        return false;
      }
    }
  }
  return true;
}
}  // namespace detail
static_assert(detail::OptionFieldsAreComplete());

// The field of that stream name, or null.
const TOptionField* FindOptionField(std::string_view name);

}  // namespace archive
