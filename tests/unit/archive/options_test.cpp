#include "archive/archiver_options.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "rtl/codepage.h"
#include "rtl/exceptions.h"
#include "rtl/persistent.h"
#include "rtl/stringlist.h"

namespace {

using archive::ArchiverOptionFields;
using archive::TArchiverOptions;
using archive::TOptionField;
using archive::TOptionKind;
using archive::TResFileUsage;

template <typename... Fs>
struct Overloaded : Fs... {
  using Fs::operator()...;
};
template <typename... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

std::vector<std::string> Lines(const rtl::TStringList& list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) {
    lines.push_back(list.Get(i));
  }
  return lines;
}

// A value unlike the default for every field, and unlike that of any other field.
void SetDistinctValue(TArchiverOptions& options, const TOptionField& field, int index) {
  const std::string name(field.Name);
  std::visit(
      Overloaded{
          [&](std::int8_t TArchiverOptions::*m) { options.*m = static_cast<std::int8_t>(index); },
          [&](std::string TArchiverOptions::*m) { options.*m = "value of " + name; },
          [&](rtl::TStringList TArchiverOptions::*m) {
            options.*m = rtl::TStringList();
            (options.*m).Add(name + "1");
            (options.*m).Add("");
            (options.*m).Add(name + "2");
          },
          [&](archive::TPackFilter TArchiverOptions::*m) { options.*m = archive::pfArchiver; },
          [&](TResFileUsage TArchiverOptions::*m) {
            options.*m = TResFileUsage{archive::ruOnUpdate};
          },
          [&](bool TArchiverOptions::*m) { options.*m = false; },
      },
      field.Member);
}

void SetAllDistinct(TArchiverOptions& options) {
  int index = 0;
  for (const TOptionField& field : ArchiverOptionFields) {
    SetDistinctValue(options, field, index++);
  }
}

void ExpectSameField(const TArchiverOptions& expected, const TArchiverOptions& actual,
                     const TOptionField& field) {
  SCOPED_TRACE(std::string(field.Name));
  std::visit(Overloaded{
                 [&](rtl::TStringList TArchiverOptions::*m) {
                   EXPECT_EQ(Lines(actual.*m), Lines(expected.*m));
                 },
                 [&](auto m) { EXPECT_TRUE(actual.*m == expected.*m); },
             },
             field.Member);
}

void ExpectDefault(const TArchiverOptions& options, const TOptionField& field) {
  SCOPED_TRACE(std::string(field.Name));
  std::visit(Overloaded{
                 [&](std::int8_t TArchiverOptions::*m) { EXPECT_EQ(options.*m, -1); },
                 [&](std::string TArchiverOptions::*m) {
                   EXPECT_EQ(options.*m, field.Name == "StreamSeparator" ? ";#" : "");
                 },
                 [&](rtl::TStringList TArchiverOptions::*m) { EXPECT_EQ((options.*m).Count(), 0); },
                 [&](archive::TPackFilter TArchiverOptions::*m) {
                   EXPECT_EQ(options.*m, archive::pfComponent);
                 },
                 [&](TResFileUsage TArchiverOptions::*m) {
                   const TResFileUsage usage = options.*m;
                   EXPECT_TRUE(usage.Contains(archive::ruOnPack));
                   EXPECT_TRUE(usage.Contains(archive::ruOnUnpack));
                   EXPECT_TRUE(usage.Contains(archive::ruOnRemoveItem));
                   EXPECT_FALSE(usage.Contains(archive::ruOnUpdate));
                 },
                 [&](bool TArchiverOptions::*m) { EXPECT_TRUE(options.*m); },
             },
             field.Member);
}

class TOtherPersistent : public rtl::TPersistent {
 public:
  std::string_view ClassName() const override { return "TOtherPersistent"; }
};

TEST(ArchiverOptions, FieldsCarryTheirStreamNamesInOrder) {
  const std::vector<std::string> expected{"a",
                                          "c",
                                          "e",
                                          "f",
                                          "h",
                                          "i",
                                          "l",
                                          "m",
                                          "n",
                                          "o",
                                          "p",
                                          "r",
                                          "s",
                                          "t",
                                          "u",
                                          "w",
                                          "x",
                                          "y",
                                          "z",
                                          "jc",
                                          "jd",
                                          "je",
                                          "jf",
                                          "jh",
                                          "ji",
                                          "jm",
                                          "jn",
                                          "jo",
                                          "job",
                                          "jp",
                                          "jr",
                                          "jsb",
                                          "jsc",
                                          "jsd",
                                          "jse",
                                          "jsf",
                                          "jsl",
                                          "jso",
                                          "jss",
                                          "jst",
                                          "jsv",
                                          "jsz",
                                          "jw",
                                          "jx",
                                          "jyc",
                                          "jyd",
                                          "jyk",
                                          "jyn",
                                          "jyo",
                                          "jz",
                                          "ga",
                                          "gd",
                                          "ge",
                                          "gf",
                                          "gj",
                                          "gm",
                                          "gn",
                                          "go",
                                          "gp",
                                          "gr",
                                          "gs",
                                          "gu",
                                          "gw",
                                          "gya",
                                          "gyc",
                                          "gyd",
                                          "gye",
                                          "gyo",
                                          "gyq",
                                          "gys",
                                          "gyt",
                                          "gyw",
                                          "gyx",
                                          "UserOptions",
                                          "UserFileList",
                                          "PackFilter",
                                          "ResFileName",
                                          "ResFileUsage",
                                          "IncludeExtraStreams",
                                          "StreamSeparator"};
  std::vector<std::string> names;
  for (const TOptionField& field : ArchiverOptionFields) {
    names.emplace_back(field.Name);
  }
  EXPECT_EQ(names, expected);
  EXPECT_EQ(names.size(), 80u);
}

TEST(ArchiverOptions, FieldTableFollowsDeclarationOrder) {
  // Members declared later lie at higher addresses, so the table's order is
  // the declaration order exactly when the addresses rise along it.
  const TArchiverOptions options;
  const void* previous = nullptr;
  for (const TOptionField& field : ArchiverOptionFields) {
    SCOPED_TRACE(std::string(field.Name));
    const void* address =
        std::visit([&](auto m) -> const void* { return &(options.*m); }, field.Member);
    if (previous != nullptr) {
      EXPECT_TRUE(std::less<const void*>()(previous, address));
    }
    previous = address;
  }
}

TEST(ArchiverOptions, KindsMatchTheFieldTypes) {
  struct Case {
    const char* name;
    TOptionKind kind;
  };
  const Case cases[] = {
      {"a", TOptionKind::Switch},
      {"w", TOptionKind::Text},
      {"jx", TOptionKind::StringList},
      {"gyx", TOptionKind::Switch},
      {"gyw", TOptionKind::Text},
      {"PackFilter", TOptionKind::PackFilter},
      {"ResFileUsage", TOptionKind::ResFileUsage},
      {"IncludeExtraStreams", TOptionKind::Boolean},
      {"StreamSeparator", TOptionKind::Text},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TOptionField* field = archive::FindOptionField(c.name);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->Name, c.name);
    EXPECT_EQ(field->Kind(), c.kind);
  }
  EXPECT_EQ(archive::FindOptionField("JX"), nullptr);
  EXPECT_EQ(archive::FindOptionField(""), nullptr);

  int switches = 0;
  int texts = 0;
  for (const TOptionField& field : ArchiverOptionFields) {
    switches += field.Kind() == TOptionKind::Switch ? 1 : 0;
    texts += field.Kind() == TOptionKind::Text ? 1 : 0;
  }
  EXPECT_EQ(switches, 63);
  EXPECT_EQ(texts, 13);
}

TEST(ArchiverOptions, FreshOptionsHoldTheDefaults) {
  const TArchiverOptions options;
  for (const TOptionField& field : ArchiverOptionFields) {
    ExpectDefault(options, field);
  }
  EXPECT_EQ(options.jse, -1);
  EXPECT_EQ(options.ResFileUsage, archive::kDefaultResFileUsage);
  EXPECT_TRUE(options.IncludeExtraStreams);
  EXPECT_EQ(options.StreamSeparator, ";#");
}

TEST(ArchiverOptions, ResetRestoresEverythingButTheStreamSettings) {
  TArchiverOptions options;
  SetAllDistinct(options);
  options.Reset();
  for (const TOptionField& field : ArchiverOptionFields) {
    if (field.Name == "IncludeExtraStreams" || field.Name == "StreamSeparator") {
      continue;
    }
    ExpectDefault(options, field);
  }
  EXPECT_FALSE(options.IncludeExtraStreams);
  EXPECT_EQ(options.StreamSeparator, "value of StreamSeparator");
}

TEST(ArchiverOptions, AssignCopiesEveryFieldAndTheListByContent) {
  TArchiverOptions source;
  SetAllDistinct(source);
  TArchiverOptions dest;
  dest.jx.Add("left over");
  dest.Assign(source);
  for (const TOptionField& field : ArchiverOptionFields) {
    ExpectSameField(source, dest, field);
  }
  // The copy is the destination's own list.
  source.jx.Add("later");
  EXPECT_EQ(Lines(dest.jx), (std::vector<std::string>{"jx1", "", "jx2"}));

  // AssignTo from the source's side does the same; onto itself it keeps everything.
  TArchiverOptions other;
  source.AssignTo(other);
  for (const TOptionField& field : ArchiverOptionFields) {
    ExpectSameField(source, other, field);
  }
  other.Assign(other);
  for (const TOptionField& field : ArchiverOptionFields) {
    ExpectSameField(source, other, field);
  }
}

TEST(ArchiverOptions, AssignBetweenUnrelatedClassesNamesBoth) {
  TArchiverOptions options;
  options.a = 3;
  TOtherPersistent other;
  try {
    other.Assign(options);
    ADD_FAILURE() << "no exception";
  } catch (const rtl::EConvertError& e) {
    EXPECT_EQ(e.Message(),
              rtl::Utf8ToAnsi("TArchiverOptions を TOtherPersistent に代入することはできません"));
  }
  try {
    options.Assign(other);
    ADD_FAILURE() << "no exception";
  } catch (const rtl::EConvertError& e) {
    EXPECT_EQ(e.Message(),
              rtl::Utf8ToAnsi("TOtherPersistent を TArchiverOptions に代入することはできません"));
  }
  EXPECT_EQ(options.a, 3);
}

TEST(ResFileUsage, IncludeExcludeContains) {
  TResFileUsage usage;
  EXPECT_TRUE(usage.IsEmpty());
  usage.Include(archive::ruOnUpdate);
  usage.Include(archive::ruOnUpdate);
  EXPECT_TRUE(usage.Contains(archive::ruOnUpdate));
  EXPECT_FALSE(usage.Contains(archive::ruOnPack));
  usage.Include(archive::ruOnPack);
  usage.Exclude(archive::ruOnUpdate);
  EXPECT_EQ(usage, TResFileUsage{archive::ruOnPack});
  usage.Exclude(archive::ruOnUnpack);  // not in the set: no change
  EXPECT_EQ(usage, TResFileUsage{archive::ruOnPack});
  EXPECT_NE(usage, archive::kDefaultResFileUsage);
  usage.Exclude(archive::ruOnPack);
  EXPECT_TRUE(usage.IsEmpty());
}

}  // namespace
