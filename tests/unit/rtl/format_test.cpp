#include "rtl/format.h"

#include <gtest/gtest.h>

#include "rtl/exceptions.h"
#include "rtl/sysmsg.h"

namespace {

using rtl::Format;

TEST(Format, SequentialAndPositionalPlaceholders) {
  EXPECT_EQ(Format("[%s] %d", {"a", 5}), "[a] 5");
  EXPECT_EQ(Format("%1:s-%0:s", {"x", "y"}), "y-x");
  // An index moves the running position: "%s" after "%0:s" takes argument 1.
  EXPECT_EQ(Format("%0:s %s %0:s", {"a", "b"}), "a b a");
  EXPECT_EQ(Format("100%% %d", {-7}), "100% -7");
  EXPECT_EQ(Format("%5d|%-4s|", {42, "ab"}), "   42|ab  |");
  EXPECT_EQ(Format("%x %u", {255, -1}), "FF 4294967295");
  EXPECT_EQ(Format("%S", {"upper type"}), "upper type");
}

TEST(Format, MultiByteTextPassesThroughUntouched) {
  EXPECT_EQ(Format("ファイル[%s]の削除に失敗しました\u3000%s(%d)", {"C:\\表", "Access denied", 5}),
            "ファイル[C:\\表]の削除に失敗しました\u3000Access denied(5)");
}

TEST(Format, BadPlaceholdersRaiseConvertError) {
  EXPECT_THROW(Format("%s %s", {"only one"}), rtl::EConvertError);
  EXPECT_THROW(Format("%d", {"text"}), rtl::EConvertError);
  EXPECT_THROW(Format("%s", {3}), rtl::EConvertError);
  EXPECT_THROW(Format("%2:s", {"a", "b"}), rtl::EConvertError);
  EXPECT_THROW(Format("trailing %", {}), rtl::EConvertError);
}

TEST(SystemMessage, TrailingBlanksControlsAndPeriodsAreRemoved) {
  EXPECT_EQ(rtl::TrimSystemMessage("Access is denied. \r\n"), "Access is denied");
  EXPECT_EQ(rtl::TrimSystemMessage("v1.2 ok...\t"), "v1.2 ok");
  EXPECT_EQ(rtl::TrimSystemMessage(" . \n"), "");
  EXPECT_EQ(rtl::TrimSystemMessage("アクセスが拒否されました。"), "アクセスが拒否されました。");
}

TEST(Exceptions, OSErrorCarriesCodeAndText) {
  const rtl::EOSError e(5, "Access denied");
  EXPECT_EQ(e.ErrorCode(), 5u);
  EXPECT_EQ(e.ErrorText(), "Access denied");
  EXPECT_NE(e.Message().find("5"), std::string::npos);
  EXPECT_NE(e.Message().find("Access denied"), std::string::npos);
  EXPECT_EQ(e.ClassName(), "EOSError");
  EXPECT_THROW(rtl::Assert(false, "x > 0"), rtl::EAssertionFailed);
  EXPECT_NO_THROW(rtl::Assert(true, "x > 0"));
}

}  // namespace
