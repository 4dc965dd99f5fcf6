#include <unistd.h>

#include <gtest/gtest.h>

#include "app/errors.h"
#include "app/zelupd_main.h"
#include "fakes.h"
#include "rtl/codepage.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;

TEST(FindLargestMatch, OrdinalByteOrderOfFileNames) {
  TempDir tmp;
  tmp.Write("zel151.lzh", "");
  tmp.Write("zel152.lzh", "");
  tmp.Write("zel16.lzh", "");
  tmp.Write("ZEL99.lzh", "");
  EXPECT_EQ(app::FindLargestMatch(tmp.Dir() + "zel*.lzh"), tmp.Dir() + "zel16.lzh");
  tmp.Write("zel99.lzh", "");
  tmp.Write("zel100.lzh", "");
  EXPECT_EQ(app::FindLargestMatch(tmp.Dir() + "zel*.lzh"), tmp.Dir() + "zel99.lzh");
  // A lower-case name beats the same name in capitals, and a longer one its prefix.
  EXPECT_EQ(app::FindLargestMatch(tmp.Dir() + "*99.lzh"), tmp.Dir() + "zel99.lzh");
  tmp.Write("zel99.lzhx", "");
  EXPECT_EQ(app::FindLargestMatch(tmp.Dir() + "zel99.lzh*"), tmp.Dir() + "zel99.lzhx");
  // Bytes compare unsigned: a multi-byte name is greater than any ASCII one.
  tmp.Write("zel表.lzh", "");
  EXPECT_EQ(app::FindLargestMatch(tmp.Dir() + "zel*.lzh"), tmp.Dir() + "zel表.lzh");
}

TEST(FindLargestMatch, DirectoriesAreSkipped) {
  TempDir tmp;
  tmp.Write("zel1.lzh", "");
  tmp.MakeDir("zel9.lzh");
  EXPECT_EQ(app::FindLargestMatch(tmp.Dir() + "zel*.lzh"), tmp.Dir() + "zel1.lzh");
  TempDir onlyDirs;
  onlyDirs.MakeDir("zel9.lzh");
  EXPECT_EQ(app::FindLargestMatch(onlyDirs.Dir() + "zel*.lzh"), onlyDirs.Dir());
}

TEST(FindLargestMatch, PlainNamesAndRelativePatterns) {
  TempDir tmp;
  tmp.Write("zel.lzh", "");
  EXPECT_EQ(app::FindLargestMatch(tmp.Dir() + "zel.lzh"), tmp.Dir() + "zel.lzh");
  EXPECT_EQ(app::FindLargestMatch(tmp.Dir() + "none.lzh"), tmp.Dir());
  EXPECT_EQ(app::FindLargestMatch(tmp.Dir() + "none/zel*.lzh"), tmp.Dir() + "none/");
  const std::string cwd = std::filesystem::current_path().string();
  ASSERT_EQ(::chdir(tmp.Dir().c_str()), 0);
  EXPECT_EQ(app::FindLargestMatch("zel*.lzh"), "zel.lzh");
  EXPECT_EQ(app::FindLargestMatch("none*"), "");
  ASSERT_EQ(::chdir(cwd.c_str()), 0);
}

TEST(UpdateFromArchive, NoMatchNamesTheSourceAsTyped) {
  rtl::ScopedAnsiCodePage utf8(rtl::CP_UTF8_);
  testing_support::FakeSystem fake;
  TempDir tmp;
  tmp.MakeDir("zel2.lzh");
  app::CZelUpd updater;
  for (const std::string& source :
       {tmp.Dir() + "zel*.lzh", tmp.Dir() + "none.lzh", std::string()}) {
    try {
      updater.UpdateFromArchive(source, tmp.Dir());
      FAIL() << source;
    } catch (const app::EArchiveFileError& e) {
      EXPECT_EQ(e.Message(), "ファイル[" + source + "]が見つかりません");
    }
  }
  EXPECT_TRUE(fake.Desktop.Messages.empty());
}

}  // namespace
