#include "archive/cmd_opt.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/file_items.h"
#include "rtl/codepage.h"
#include "rtl/exceptions.h"
#include "rtl/mbcs.h"
#include "rtl/stringlist.h"
#include "support/temp_dir.h"

namespace {

using archive::FileItems;
using archive::FileItemsToList;
using archive::TCmdOpt;
using testing_support::Exists;
using testing_support::ReadFile;
using testing_support::TempDir;

// "表" in CP932: its trail byte has the backslash's value.
constexpr const char* kHyo = "\x95\x5C";

rtl::TStringList ListOf(const std::vector<std::string>& lines) {
  rtl::TStringList list;
  for (const std::string& line : lines) {
    list.Add(line);
  }
  return list;
}

std::string BackslashesFor(const std::string& name) {
  std::string converted = name;
  for (char& c : converted) {
    if (c == '/') {
      c = '\\';
    }
  }
  return converted;
}

TEST(CmdOpt, AddSwitchWritesOnlyNumbersFromZeroUp) {
  struct Case {
    const char* name;
    int number;
    const char* expected;
  };
  const Case cases[] = {
      {"n", 1, " -n1"}, {"n", -1, ""}, {"n", 0, " -n0"}, {"jso", 127, " -jso127"}, {"x", -128, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.number));
    TCmdOpt opt;
    opt.AddSwitch(c.name, c.number);
    EXPECT_EQ(opt.Text, c.expected);
  }
}

TEST(CmdOpt, AddFlagOnlyWhenSet) {
  TCmdOpt opt;
  opt.AddFlag("r", false);
  EXPECT_EQ(opt.Text, "");
  opt.AddFlag("r", true);
  EXPECT_EQ(opt.Text, " -r");
}

TEST(CmdOpt, AddValueQuotesSwitchAndValueByMode) {
  struct Case {
    bool separate;
    const char* name;
    const char* value;
    const char* expected;
  };
  const Case cases[] = {
      {false, "jo", "abc", " \"-joabc\""},
      {true, "jo", "abc", " -jo \"abc\""},
      // A name with a leading blank is the switch itself: no further minus.
      {false, " -x", "v", " \"-xv\""},
      {true, " -x", "v", " -x \"v\""},
      // No name: the value alone in quotes, as archive names reach the line.
      {false, "", "arc.lzh", " \"arc.lzh\""},
      {true, "", "arc.lzh", " \"arc.lzh\""},
      // An empty value adds nothing, not even the switch.
      {false, "jo", "", ""},
      {true, "jo", "", ""},
      {false, "", "", ""},
      // Nothing inside the value is escaped.
      {false, "jo", "a\"b", " \"-joa\"b\""},
      {true, "", "a b", " \"a b\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.separate ? "separate " : "joined ") + "[" + c.name + "] [" +
                 c.value + "]");
    TCmdOpt opt;
    opt.SeparateValue = c.separate;
    opt.AddValue(c.name, c.value);
    EXPECT_EQ(opt.Text, c.expected);
  }
}

TEST(CmdOpt, AddAppendsABlankEvenForAnEmptyItem) {
  TCmdOpt opt;
  opt.Add("");
  EXPECT_EQ(opt.Text, " ");
  opt.Add("-+");
  opt.Add("");
  EXPECT_EQ(opt.Text, "  -+ ");
}

TEST(CmdOpt, AddDirGivesOneTrailingDelimiter) {
  const std::string d(1, rtl::PathDelim);
  struct Case {
    const char* name;
    std::string dir;
    std::string expected;
  };
  const Case cases[] = {
      {"", "", ""},
      {"w", "", ""},
      {"", "tmp" + d + "out" + d, " \"tmp" + d + "out" + d + "\""},
      {"", "tmp" + d + "out", " \"tmp" + d + "out" + d + "\""},
      {"w", "work", " \"-wwork" + d + "\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " [" + c.dir + "]");
    TCmdOpt opt;
    opt.AddDir(c.name, c.dir);
    EXPECT_EQ(opt.Text, c.expected);
  }
}

TEST(CmdOpt, AddDirReadsTheLastWholeCharacter) {
  struct Case {
    unsigned codePage;
    std::string dir;
    std::string expected;
  };
  const Case cases[] = {
      {rtl::CP_SHIFT_JIS, "C:\\dir\\", " \"C:\\dir\\\""},
      {rtl::CP_SHIFT_JIS, "C:\\dir", " \"C:\\dir\\\""},
      // The 0x5C of a double-byte character is no backslash: one is appended.
      {rtl::CP_SHIFT_JIS, std::string("C:\\") + kHyo, std::string(" \"C:\\") + kHyo + "\\\""},
      {rtl::CP_SHIFT_JIS, std::string("C:\\") + kHyo + "\\",
       std::string(" \"C:\\") + kHyo + "\\\""},
      // Outside code page 932 the same bytes end in a single-byte backslash.
      {rtl::CP_UTF8_, std::string("C:\\") + kHyo, std::string(" \"C:\\") + kHyo + "\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.codePage) + " " + c.dir);
    rtl::ScopedAnsiCodePage codePage(c.codePage);
    TCmdOpt opt;
    opt.AddDir("", c.dir, '\\');
    EXPECT_EQ(opt.Text, c.expected);
  }
}

TEST(CmdOpt, FileItemsFlattenInOrderDroppingEmptyStrings) {
  rtl::ScopedAnsiCodePage utf8(rtl::CP_UTF8_);
  const rtl::TStringList list = ListOf({"l1", "", "l2"});
  const char* const names[] = {"c1", "", "c2", nullptr, "after the end"};
  const std::vector<std::string> strings{"v1", "v1"};
  const char* nullName = nullptr;
  const rtl::TStringList* nullList = nullptr;
  const FileItems items{"s1",
                        std::string("s2"),
                        std::string_view("s3"),
                        list,
                        &list,
                        names,
                        strings,
                        std::u16string(u"表.lzh"),
                        "",
                        nullName,
                        nullList,
                        nullptr,
                        42,
                        true,
                        'c',
                        2.5,
                        u'w',
                        std::int64_t{7},
                        static_cast<const char16_t*>(u"wide C string"),
                        "s1"};
  const std::vector<std::string> expected{"s1", "s2", "s3", "l1", "l2",     "l1", "l2",
                                          "c1", "c2", "v1", "v1", "表.lzh", "s1"};
  EXPECT_EQ(FileItemsToList(items), expected);
  EXPECT_TRUE(FileItemsToList(FileItems{}).empty());
}

TEST(CmdOpt, WideItemsTakeTheAnsiCodePage) {
  rtl::ScopedAnsiCodePage sjis(rtl::CP_SHIFT_JIS);
  EXPECT_EQ(FileItemsToList(FileItems{std::u16string(u"表")}), std::vector<std::string>{kHyo});
}

TEST(CmdOpt, AddFilesCountsFlattenedNames) {
  const rtl::TStringList list = ListOf({"a.txt", "b c.txt", "d.txt"});
  TCmdOpt opt;
  EXPECT_EQ(opt.AddFiles("", FileItems{list, "", 42}), 3);
  EXPECT_EQ(opt.Text, " \"a.txt\" \"b c.txt\" \"d.txt\"");

  TCmdOpt withSwitch;
  EXPECT_EQ(withSwitch.AddFiles("jx", FileItems{list}), 3);
  EXPECT_EQ(withSwitch.Text, " \"-jxa.txt\" \"-jxb c.txt\" \"-jxd.txt\"");

  TCmdOpt none;
  EXPECT_EQ(none.AddFiles("", FileItems{"", 0}), 0);
  EXPECT_EQ(none.Text, "");
}

TEST(CmdOpt, PathConverterAppliesToFileNamesOnly) {
  TCmdOpt opt;
  EXPECT_EQ(opt.ConvertPath("a/b"), "a/b");
  opt.PathConverter = BackslashesFor;
  EXPECT_EQ(opt.ConvertPath("a/b"), "a\\b");
  opt.AddValue("", "arc/x.zip");
  opt.AddDir("", "out/d", '/');
  opt.AddFileName("", "dir/f.txt");
  EXPECT_EQ(opt.AddFiles("", FileItems{"x/y", "z"}), 2);
  EXPECT_EQ(opt.Text, " \"arc/x.zip\" \"out/d/\" \"dir\\f.txt\" \"x\\y\" \"z\"");
}

class ResponseFile : public ::testing::Test {
 protected:
  TempDir tmp_;
};

TEST_F(ResponseFile, WritesQuotedConvertedNamesOnCrlfLines) {
  const std::string path = tmp_.Path("list.rsp");
  const rtl::TStringList list = ListOf({"dir/a b.txt", "", "x.txt"});
  TCmdOpt opt;
  opt.PathConverter = BackslashesFor;
  opt.Add("-+");
  EXPECT_EQ(opt.AddResponseFile(FileItems{list, "c/d.txt", 5, "x.txt"}, path), 4);
  EXPECT_EQ(ReadFile(path), "\"dir\\a b.txt\"\r\n\"x.txt\"\r\n\"c\\d.txt\"\r\n\"x.txt\"\r\n");
  // The "@" item names the file as given: the converter is for member names.
  EXPECT_EQ(opt.Text, " -+ \"@" + path + "\"");
}

TEST_F(ResponseFile, ReplacesAnExistingFile) {
  const std::string path = tmp_.Write("list.rsp", std::string(1000, 'x'));
  TCmdOpt opt;
  opt.SeparateValue = true;
  EXPECT_EQ(opt.AddResponseFile(FileItems{"a"}, path), 1);
  EXPECT_EQ(ReadFile(path), "\"a\"\r\n");
  EXPECT_EQ(opt.Text, " \"@" + path + "\"");
}

TEST_F(ResponseFile, NoNamesWritesAnEmptyFileAndStillAddsTheItem) {
  const std::string path = tmp_.Path("empty.rsp");
  TCmdOpt opt;
  EXPECT_EQ(opt.AddResponseFile(FileItems{"", false}, path), 0);
  ASSERT_TRUE(Exists(path));
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
  EXPECT_EQ(opt.Text, " \"@" + path + "\"");
}

TEST_F(ResponseFile, UncreatableFileRaisesAndAddsNothing) {
  const std::string paths[] = {tmp_.Path("missing/list.rsp"), tmp_.MakeDir("a-directory")};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    TCmdOpt opt;
    opt.Add("-+");
    try {
      opt.AddResponseFile(FileItems{"a.txt"}, path);
      ADD_FAILURE() << "no exception";
    } catch (const rtl::EFCreateError& e) {
      EXPECT_NE(e.Message().find("\"" + path + "\""), std::string::npos) << e.Message();
    }
    EXPECT_EQ(opt.Text, " -+");
  }
  EXPECT_FALSE(Exists(tmp_.Path("missing")));
}

TEST_F(ResponseFile, WriteFailureRaisesAndAddsNothing) {
  // Every write to this device fails with "no space left".
  const std::string full = "/dev/full";
  if (!Exists(full)) {
    GTEST_SKIP() << "no " << full;
  }
  TCmdOpt opt;
  opt.Add("-+");
  try {
    opt.AddResponseFile(FileItems{"a.txt"}, full);
    ADD_FAILURE() << "no exception";
  } catch (const rtl::EFCreateError& e) {
    ADD_FAILURE() << "a write failure was reported as a create failure: " << e.Message();
  } catch (const rtl::EWriteError& e) {
    EXPECT_NE(e.Message().find(full), std::string::npos) << e.Message();
  }
  EXPECT_EQ(opt.Text, " -+");
}

TEST_F(ResponseFile, FailingConverterLeavesNoFile) {
  const std::string path = tmp_.Path("list.rsp");
  TCmdOpt opt;
  opt.PathConverter = [](const std::string& name) -> std::string {
    throw rtl::Exception("cannot convert " + name);
  };
  EXPECT_THROW(opt.AddResponseFile(FileItems{"a"}, path), rtl::Exception);
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(opt.Text, "");
}

}  // namespace
