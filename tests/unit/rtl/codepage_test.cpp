#include "rtl/codepage.h"

#include <gtest/gtest.h>

namespace {

TEST(CodePage, ShiftJisRoundTrip) {
  const std::string sjis = "\x95\x5C\x83\x5C abc";  // 表ソ abc
  const rtl::WideString wide = rtl::AnsiToWide(sjis, rtl::CP_SHIFT_JIS);
  EXPECT_EQ(wide, u"表ソ abc");
  EXPECT_EQ(rtl::WideToAnsi(wide, rtl::CP_SHIFT_JIS), sjis);
  EXPECT_EQ(rtl::WideToAnsi(u"再見確認", rtl::CP_UTF8_), "再見確認");
}

TEST(CodePage, InvalidInputIsReplacedNotDropped) {
  // A lone lead byte at the end and a stray continuation byte.
  EXPECT_EQ(rtl::AnsiToWide("a\x95", rtl::CP_SHIFT_JIS), u"a\uFFFD");
  EXPECT_EQ(rtl::AnsiToWide("a\x80z", rtl::CP_UTF8_), u"a\uFFFDz");
  // A lone surrogate cannot be written in either code page.
  EXPECT_EQ(rtl::WideToAnsi(u"x\xD800y", rtl::CP_UTF8_), "x?y");
  EXPECT_EQ(rtl::WideToAnsi(u"\u00E9", rtl::CP_SHIFT_JIS), "?");
}

TEST(CodePage, AnsiFollowsTheCurrentCodePage) {
  {
    rtl::ScopedAnsiCodePage cp(rtl::CP_SHIFT_JIS);
    EXPECT_EQ(rtl::Utf8ToAnsi("表"), "\x95\x5C");
    EXPECT_EQ(rtl::AnsiToUtf8("\x95\x5C"), "表");
    EXPECT_EQ(rtl::AnsiToWide("\x95\x5C"), u"表");
  }
  rtl::ScopedAnsiCodePage cp(rtl::CP_UTF8_);
  EXPECT_EQ(rtl::Utf8ToAnsi("表"), "表");
  EXPECT_EQ(rtl::AnsiCodePage(), rtl::CP_UTF8_);
}

TEST(CodePage, LongTextConvertsCompletely) {
  std::u16string wide(100000, u'表');
  const std::string sjis = rtl::WideToAnsi(wide, rtl::CP_SHIFT_JIS);
  EXPECT_EQ(sjis.size(), 200000u);
  EXPECT_EQ(rtl::AnsiToWide(sjis, rtl::CP_SHIFT_JIS), wide);
}

}  // namespace
