#include "platform/profile.h"

#include <gtest/gtest.h>

#include "expected_codes.h"
#include "support/temp_dir.h"

namespace {

namespace expected = testing_support::expected;

using platform::GetPrivateProfileString;
using platform::WritePrivateProfileString;
using testing_support::ReadFile;
using testing_support::TempDir;

TEST(Profile, ReadingGivesTheDefaultForAnythingMissing) {
  TempDir tmp;
  tmp.Write("other.inf", "[Other]\nLastDown=other.lzh\n[ZelUpd]\nFirstDown=x\n");
  tmp.MakeDir("dir.inf");
  for (const char* name : {"none.inf", "other.inf", "dir.inf", "none/x.inf"}) {
    EXPECT_EQ(GetPrivateProfileString("ZelUpd", "LastDown", "dflt", tmp.Path(name)), "dflt")
        << name;
    EXPECT_EQ(GetPrivateProfileString("ZelUpd", "LastDown", "", tmp.Path(name)), "") << name;
  }
}

TEST(Profile, ReadingAsTheSystemDoes) {
  TempDir tmp;
  // Written elsewhere: line breaks of either kind, blanks around names and
  // values, quotes, other letter case, comments.
  const std::string path =
      tmp.Write("downver.inf",
                "; a comment\r\n[zelupd]\r\n  lastdown =  zel16.lzh  \r\nQuoted=\"a b\"\r\n"
                "Empty=\r\n\r\n[Next]\nKey=next\n");
  struct Case {
    std::string Section, Key, Value;
  };
  const std::vector<Case> cases = {
      {"ZelUpd", "LastDown", "zel16.lzh"},
      {"ZELUPD", "LASTDOWN", "zel16.lzh"},
      {"ZelUpd", "Quoted", "a b"},
      {"ZelUpd", "Empty", ""},
      {"Next", "Key", "next"},
      {"ZelUpd", "Key", "dflt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetPrivateProfileString(c.Section, c.Key, "dflt", path), c.Value)
        << c.Section << "/" << c.Key;
  }
}

TEST(Profile, WritingCreatesTheFileAndTheSection) {
  TempDir tmp;
  const std::string path = tmp.Path("downver.inf");
  ASSERT_FALSE(WritePrivateProfileString("ZelUpd", "LastDown", "zel16.lzh", path).Failed());
  const std::string lineBreak = expected::kProfileLineBreak;
  EXPECT_EQ(ReadFile(path), "[ZelUpd]" + lineBreak + "LastDown=zel16.lzh" + lineBreak);
  // Replacing the value keeps the one line.
  ASSERT_FALSE(WritePrivateProfileString("zelupd", "lastdown", "zel17.lzh", path).Failed());
  EXPECT_EQ(ReadFile(path), "[ZelUpd]" + lineBreak + "LastDown=zel17.lzh" + lineBreak);
  EXPECT_EQ(GetPrivateProfileString("ZelUpd", "LastDown", "", path), "zel17.lzh");
}

TEST(Profile, WritingKeepsEverythingElse) {
  TempDir tmp;
  const std::string path =
      tmp.Write("downver.inf", "[Other]\nKey=value\n\n[ZelUpd]\nNote=kept\nLastDown=old.lzh\n");
  ASSERT_FALSE(WritePrivateProfileString("ZelUpd", "LastDown", "new.lzh", path).Failed());
  ASSERT_FALSE(WritePrivateProfileString("Third", "K", "v", path).Failed());
  EXPECT_EQ(GetPrivateProfileString("Other", "Key", "", path), "value");
  EXPECT_EQ(GetPrivateProfileString("ZelUpd", "Note", "", path), "kept");
  EXPECT_EQ(GetPrivateProfileString("ZelUpd", "LastDown", "", path), "new.lzh");
  EXPECT_EQ(GetPrivateProfileString("Third", "K", "", path), "v");
}

TEST(Profile, ValuesAreBytes) {
  TempDir tmp;
  const std::string path = tmp.Path("downver.inf");
  // A Shift_JIS name whose second byte is a backslash, and UTF-8.
  for (const std::string& value : {std::string("zel\x95\x5C.lzh"), std::string("表.lzh")}) {
    ASSERT_FALSE(WritePrivateProfileString("ZelUpd", "LastDown", value, path).Failed());
    EXPECT_EQ(GetPrivateProfileString("ZelUpd", "LastDown", "", path), value);
  }
}

TEST(Profile, AFileThatCannotBeWrittenIsReportedAndKept) {
  TempDir tmp;
  EXPECT_EQ(WritePrivateProfileString("ZelUpd", "LastDown", "x", tmp.Path("none/downver.inf")).Code,
            expected::kMissingParent);
  // A record that cannot be read is not replaced by one holding only the new key.
  tmp.MakeDir("dir.inf");
  EXPECT_EQ(WritePrivateProfileString("ZelUpd", "LastDown", "x", tmp.Path("dir.inf")).Code,
            platform::kErrorAccessDenied);
  EXPECT_TRUE(std::filesystem::is_directory(tmp.Path("dir.inf")));
}

}  // namespace
