#include "app/command_line.h"

#include <gtest/gtest.h>

#include "rtl/exceptions.h"

namespace {

rtl::TStringList List(std::initializer_list<const char*> items) {
  rtl::TStringList list;
  for (const char* item : items) {
    list.Add(item);
  }
  return list;
}

const std::string kOwn = "/opt/zel/";

TEST(ParseCommandLine, PositionsAndOptions) {
  struct Case {
    std::initializer_list<const char*> args;
    const char* source;
    std::string dest;
    const char* downPath;
    bool deleteSource;
  };
  const Case cases[] = {
      {{"src/"}, "src/", kOwn, "", false},
      {{"src/", "dst/"}, "src/", "dst/", "", false},
      {{"src/", "/delete"}, "src/", kOwn, "", true},
      {{"src/", "dst/", "/DeLeTe"}, "src/", "dst/", "", true},
      {{"src/", "dst/", "extra"}, "src/", "dst/", "", false},
      {{"src/", "/DOWNPATH", "dl/", "dst/"}, "src/", kOwn, "dl/", false},
      {{"src/", "dst/", "/downpath", "dl/", "/DELETE"}, "src/", "dst/", "dl/", true},
      // The value after "/DOWNPATH" is taken whatever it is.
      {{"src/", "dst/", "/DOWNPATH", "/DELETE"}, "src/", "dst/", "/DELETE", true},
      // The first occurrence of an option counts.
      {{"src/", "dst/", "/DELETE", "/DOWNPATH", "a", "/DOWNPATH", "b"}, "src/", "dst/", "a", true},
      // An option in first place is also the source; the destination is read from index 1.
      {{"/DELETE", "dst/"}, "/DELETE", "dst/", "", true},
      {{"/DOWNPATH", "x"}, "/DOWNPATH", "x", "x", false},
  };
  for (const Case& c : cases) {
    const app::TCommandLine line = app::ParseCommandLine(List(c.args), kOwn);
    SCOPED_TRACE(*c.args.begin());
    EXPECT_EQ(line.NewZelPath, c.source);
    EXPECT_EQ(line.DestZelPath, c.dest);
    EXPECT_EQ(line.DownPathName, c.downPath);
    EXPECT_EQ(line.DeleteSource, c.deleteSource);
  }
}

TEST(ParseCommandLine, MissingValuesAreListIndexErrors) {
  EXPECT_THROW(app::ParseCommandLine(List({"src/", "dst/", "/DOWNPATH"}), kOwn),
               rtl::EStringListError);
  EXPECT_THROW(app::ParseCommandLine(List({"/DELETE"}), kOwn), rtl::EStringListError);
  EXPECT_THROW(app::ParseCommandLine(List({"/DOWNPATH"}), kOwn), rtl::EStringListError);
}

TEST(SplitRawCommandLine, ArgumentRules) {
  using V = std::vector<std::string>;
  struct Case {
    const char* line;
    V expected;
  };
  const Case cases[] = {
      {R"("C:\Program Files\ZelUpd.exe" a b)", V{"a", "b"}},
      {"zelupd  C:\\zel\\ \t D:\\inst\\", V{"C:\\zel\\", "D:\\inst\\"}},
      {R"(zelupd "C:\My Files\zel*.lzh" x)", V{"C:\\My Files\\zel*.lzh", "x"}},
      {R"(zelupd a"b c"d)", V{"ab cd"}},
      // A pair of quotes standing alone is no argument.
      {R"(zelupd "" a "" b)", V{"a", "b"}},
      {R"(zelupd ""a)", V{"a"}},
      {R"(zelupd a"")", V{"a"}},
      {"zelupd a\x01"
       "b",
       V{"a", "b"}},
      {R"(zelupd "unterminated arg)", V{"unterminated arg"}},
      {"zelupd", V{}},
      {"", V{}},
      // Bytes above 0x7F are text, not separators.
      {"zelupd \x95\x5C\\", V{"\x95\x5C\\"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(app::SplitRawCommandLine(c.line), c.expected) << c.line;
  }
}

}  // namespace
