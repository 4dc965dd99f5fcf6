#include "rtl/mbcs.h"

#include <gtest/gtest.h>

#include "rtl/codepage.h"
#include "rtl/exceptions.h"
#include "rtl/stringlist.h"
#include "support/native_name.h"

namespace {

using testing_support::NativeName;

// "表" in CP932 is 0x95 0x5C: its trail byte has the backslash's value.
constexpr const char* kHyo = "\x95\x5C";
// "ソ" is 0x83 0x5C, "能" 0x94 0x5C.
constexpr const char* kSo = "\x83\x5C";

class Cp932 : public ::testing::Test {
 protected:
  rtl::ScopedAnsiCodePage codePage_{rtl::CP_SHIFT_JIS};
};

TEST_F(Cp932, ByteTypesFollowLeadBytes) {
  const std::string s = std::string("a") + kHyo + "\\";
  EXPECT_EQ(rtl::ByteType(s, 1), rtl::MbcsByteType::Single);
  EXPECT_EQ(rtl::ByteType(s, 2), rtl::MbcsByteType::Lead);
  EXPECT_EQ(rtl::ByteType(s, 3), rtl::MbcsByteType::Trail);
  EXPECT_EQ(rtl::ByteType(s, 4), rtl::MbcsByteType::Single);
  EXPECT_TRUE(rtl::IsLeadByte(0x81));
  EXPECT_TRUE(rtl::IsLeadByte(0x9F));
  EXPECT_TRUE(rtl::IsLeadByte(0xE0));
  EXPECT_TRUE(rtl::IsLeadByte(0xFC));
  EXPECT_FALSE(rtl::IsLeadByte(0x80));
  EXPECT_FALSE(rtl::IsLeadByte(0xA0));  // half-width katakana are single bytes
  EXPECT_FALSE(rtl::IsLeadByte(0xDF));
  EXPECT_FALSE(rtl::IsLeadByte(0xFD));
}

TEST_F(Cp932, TrailByteIsNeverADelimiter) {
  const std::string path = std::string("C:\\") + kHyo;
  EXPECT_EQ(rtl::LastDelimiter("\\.:", path), 3u);
  EXPECT_FALSE(rtl::HasTrailingDelimiter(path, '\\'));
  EXPECT_EQ(rtl::IncludeTrailingDelimiter(path, '\\'), path + "\\");
  EXPECT_EQ(rtl::IncludeTrailingDelimiter(path + "\\", '\\'), path + "\\");
  EXPECT_FALSE(rtl::IsDelimiterAt(path, 5, '\\'));
  EXPECT_TRUE(rtl::IsDelimiterAt(path, 3, '\\'));
  // A path of double-byte characters only, each ending in 0x5C.
  const std::string dbcs = std::string(kSo) + kHyo;
  EXPECT_EQ(rtl::LastDelimiter("\\", dbcs), 0u);
}

TEST_F(Cp932, SubstringSearchStartsOnCharacters) {
  // 0x5C 0x5C across a character boundary is not a "\\" match at the trail byte.
  const std::string s = std::string(kHyo) + "\\x";
  EXPECT_EQ(rtl::AnsiPos("\\x", s), 3u);
  EXPECT_EQ(rtl::AnsiPos("\\\\", s), 0u);
  EXPECT_EQ(rtl::AnsiPos("HTTP://", std::string(kSo) + "HTTP://h"), 3u);
  EXPECT_EQ(rtl::AnsiPos("", s), 0u);
  EXPECT_EQ(rtl::AnsiPos("longer than s", "short"), 0u);
}

TEST_F(Cp932, FileNamePartsKeepDoubleByteNamesWhole) {
  const std::string name = NativeName("dir/") + kHyo + ".lzh";
  EXPECT_EQ(rtl::ExtractFileName(name), std::string(kHyo) + ".lzh");
  EXPECT_EQ(rtl::ExtractFilePath(name), NativeName("dir/"));
  EXPECT_EQ(rtl::ExtractFileExt(name), ".lzh");
  // The 0x5C trail byte is no delimiter, whichever byte the system's delimiter is.
  EXPECT_EQ(rtl::IncludeTrailingPathDelimiter(kHyo), std::string(kHyo) + rtl::PathDelim);
}

TEST(Mbcs, Utf8NeedsNoSpecialCase) {
  rtl::ScopedAnsiCodePage utf8(rtl::CP_UTF8_);
  EXPECT_FALSE(rtl::IsLeadByte(0xE8));
  const std::string path = "/インストール/";
  EXPECT_TRUE(rtl::HasTrailingDelimiter(path, '/'));
  EXPECT_EQ(rtl::LastDelimiter("/", "/a/表"), 3u);
}

TEST(Mbcs, FileNameParts) {
  struct Case {
    const char* path;
    const char* dir;
    const char* filePath;
    const char* name;
    const char* ext;
  };
  const Case cases[] = {
      {"/usr/local/zel.lzh", "/usr/local", "/usr/local/", "zel.lzh", ".lzh"},
      {"/zel", "/", "/", "zel", ""},
      {"zel.tar.gz", "", "", "zel.tar.gz", ".gz"},
      {"/a.b/c", "/a.b", "/a.b/", "c", ""},
      {"/dir/", "/dir", "/dir/", "", ""},
      {"", "", "", "", ""},
  };
  // Written with "/", taken with the system's delimiter.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string path = NativeName(c.path);
    EXPECT_EQ(rtl::ExtractFileDir(path), NativeName(c.dir));
    EXPECT_EQ(rtl::ExtractFilePath(path), NativeName(c.filePath));
    EXPECT_EQ(rtl::ExtractFileName(path), c.name);
    EXPECT_EQ(rtl::ExtractFileExt(path), c.ext);
  }
}

TEST(Mbcs, AsciiCaseRulesLeaveOtherBytesAlone) {
  EXPECT_EQ(rtl::UpperCaseAscii("hTtP://é表"), "HTTP://é表");
  EXPECT_TRUE(rtl::SameTextAscii("/delete", "/DELETE"));
  EXPECT_FALSE(rtl::SameTextAscii("/delete", "/DELETE "));
  EXPECT_FALSE(rtl::SameTextAscii("é", "É"));
}

TEST(StringList, CheckedReadsAndCaseInsensitiveLookup) {
  rtl::TStringList list;
  list.Add("src");
  list.Add("/DownPath");
  list.Add("/downpath");
  EXPECT_EQ(list.IndexOf("/DOWNPATH"), 1);
  EXPECT_EQ(list.IndexOf("/DELETE"), -1);
  EXPECT_EQ(list.Get(2), "/downpath");
  try {
    list.Get(3);
    FAIL() << "no error for index 3";
  } catch (const rtl::EStringListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (3)");
  }
  EXPECT_THROW(list.Get(-1), rtl::EStringListError);
}

TEST(Mbcs, ControlCharactersAreEscapedDoubleByteCharactersKept) {
  // "ソ" in Shift_JIS ends in a backslash byte; "表" in UTF-8 holds bytes above 0x7F.
  EXPECT_EQ(rtl::EscapeControlCharacters(std::string("a\x1B[2Jb\n\x7F\x83\x5C\xE8\xA1\xA8")),
            "a\\x1B[2Jb\\x0A\\x7F\x83\x5C\xE8\xA1\xA8");
}

}  // namespace
