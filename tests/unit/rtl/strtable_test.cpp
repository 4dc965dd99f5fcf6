#include "rtl/strtable.h"

#include <gtest/gtest.h>

#include "rtl/codepage.h"
#include "rtl/format.h"

namespace {

TEST(StringTable, EveryMessageIsPresentWithItsPlaceholders) {
  rtl::ScopedAnsiCodePage cp(rtl::CP_UTF8_);
  EXPECT_EQ(rtl::LoadStr(rtl::SModuleNotFound),
            "ページ[%s]には\"ろぬ\"のモジュールが見あたりません");
  EXPECT_EQ(rtl::LoadStr(rtl::SNotUpdated), "更新されていないようです");
  EXPECT_EQ(rtl::LoadStr(rtl::SExecZelFailed), "ろぬの起動に失敗しました %s(%d)");
  EXPECT_EQ(rtl::LoadStr(rtl::SFileCheckFailed), "ファイル[%s]のチェックに失敗しました %d");
  const int ids[] = {65280, 65281, 65282, 65283, 65306, 65307, 65308,
                     65309, 65310, 65311, 65324, 65325, 65326, 65327};
  for (int id : ids) {
    EXPECT_FALSE(rtl::LoadStr(id).empty()) << id;
  }
  EXPECT_EQ(rtl::LoadStr(65284), "");
}

TEST(StringTable, DeletionMessagesUseAnIdeographicSpaceAndCopyAnAsciiOne) {
  rtl::ScopedAnsiCodePage cp(rtl::CP_UTF8_);
  EXPECT_EQ(rtl::Format(rtl::LoadStr(rtl::SFileDeleteFailed), {"/a", "Busy", 32}),
            "ファイル[/a]の削除に失敗しました\xE3\x80\x80"
            "Busy(32)");
  EXPECT_EQ(rtl::Format(rtl::LoadStr(rtl::SDirDeleteFailed), {"/d", "Not empty", 145}),
            "ディレクトリ[/d]の削除に失敗しました\xE3\x80\x80"
            "Not empty(145)");
  EXPECT_EQ(rtl::Format(rtl::LoadStr(rtl::SFileCopyFailed), {"/s/a", "/d/", "Denied", 5}),
            "ファイル[/s/a]をディレクトリ[/d/]にコピーできませんでした Denied(5)");
}

TEST(StringTable, LoadedInTheAnsiCodePage) {
  rtl::ScopedAnsiCodePage cp(rtl::CP_SHIFT_JIS);
  const std::string text = rtl::LoadStr(rtl::SNotUpdated);
  EXPECT_EQ(rtl::AnsiToWide(text, rtl::CP_SHIFT_JIS), u"更新されていないようです");
  // The ideographic space is 0x81 0x40 in CP932.
  EXPECT_NE(rtl::LoadStr(rtl::SFileDeleteFailed).find("\x81\x40%s"), std::string::npos);
}

}  // namespace
