#include "app/entry.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "rtl/codepage.h"
#include "rtl/exceptions.h"
#include "support/temp_dir.h"

namespace {

using app::SourceKind;
using testing_support::FakeSystem;
using testing_support::NativeName;
using testing_support::TempDir;

TEST(SourceKind, PageDirectoryOrArchive) {
  rtl::ScopedAnsiCodePage utf8(rtl::CP_UTF8_);
  struct Case {
    std::string source;
    SourceKind kind;
  };
  const Case cases[] = {
      {"http://www.example.com/zel/", SourceKind::Page},
      {"HtTp://host/page.htm", SourceKind::Page},
      {"see:http://host", SourceKind::Page},
      {"https://host/zel.lzh", SourceKind::Page},
      {"HTTPS://host/dl/", SourceKind::Page},
      // Paths written with "/", taken with the system's delimiter.
      {NativeName("/opt/zel/new/"), SourceKind::Directory},
      {NativeName("/opt/zel/new"), SourceKind::Archive},
      {NativeName("/opt/zel/new/."), SourceKind::Directory},
      {".", SourceKind::Directory},
      {"zel*.lzh", SourceKind::Archive},
      {"", SourceKind::Archive},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(app::SourceKindOf(c.source), c.kind) << c.source;
  }
}

TEST(SourceKind, TrailByteEqualToADelimiterIsNoDirectory) {
  rtl::ScopedAnsiCodePage sjis(rtl::CP_SHIFT_JIS);
  // "表" (0x95 0x5C) and "ー." style trail bytes: only whole characters count.
  EXPECT_EQ(app::SourceKindOf(NativeName("/zel/\x95\x5C")), SourceKind::Archive);
  EXPECT_EQ(app::SourceKindOf(NativeName("/zel/\x95\x5C/")), SourceKind::Directory);
  // 0x81 0x2E would be a trail byte with the period's value if it were valid; it is a lead
  // byte followed by "." and so the period belongs to the character.
  EXPECT_EQ(app::SourceKindOf(NativeName("/zel/\x81.")), SourceKind::Archive);
  EXPECT_EQ(app::SourceKindOf("\x83\x5Chttp://x"), SourceKind::Page);
}

TEST(Usage, ExactBytes) {
  rtl::ScopedAnsiCodePage utf8(rtl::CP_UTF8_);
  testing::internal::CaptureStdout();
  app::PrintUsage();
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string expected =
      "ZElUpd.EXE  R.T   ver.0.8\n"
      "  usage: ZElUpd.EXE NewZelPath DestZelPath [/DOWNPATH DownPathName] [/DELETE]\n"
      "         NewZelPath :  新しい ZEl.EXE のある転送元パス\n"
      "                       もしくは、新しいZEl.EXEのあるLZHファイル\n"
      "                       ファイルをzel*.lzhと指定すると一番大きいものを選ぶ\n"
      "                       ここで http://www.example.com/zel/download.htm \n"
      "                       を指定すると最新の.lzhを探しそれを対象とする。\n"
      "         DestZelPath : 古い ZEl.EXE のある転送先パス\n"
      "                       省略時は、このEXEのあるパス\n"
      "         /DOWNPATH :   NewZelPathで http:// を選んだときにダウンロードした\n"
      "                       最新のファイルを保存するパス\n"
      "         /DELETE :     このオプションがあるときは、NewZelPathを削除\n"
      "                       LZHファイルを指定したときには、無視される\n";
  EXPECT_EQ(out, expected);
}

TEST(Usage, PrintedInTheAnsiCodePage) {
  rtl::ScopedAnsiCodePage sjis(rtl::CP_SHIFT_JIS);
  testing::internal::CaptureStdout();
  app::PrintUsage();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find(rtl::WideToAnsi(u"省略時は、このEXEのあるパス", rtl::CP_SHIFT_JIS)),
            std::string::npos);
}

TEST(Entry, NoArgumentsPrintsUsageAndSucceeds) {
  FakeSystem fake;
  testing::internal::CaptureStdout();
  EXPECT_EQ(app::RunZelUpd(rtl::TStringList()), 0);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 13);
  EXPECT_TRUE(fake.Desktop.Boxes.empty());
}

TEST(Entry, FailureIsReportedOnceOnStdoutAndOnceInABox) {
  rtl::ScopedAnsiCodePage utf8(rtl::CP_UTF8_);
  FakeSystem fake;
  TempDir tmp;
  rtl::TStringList args;
  args.Add(tmp.Path("zel*.lzh"));
  args.Add(tmp.Dir());
  args.Add("/DELETE");
  testing::internal::CaptureStdout();
  EXPECT_EQ(app::RunZelUpd(args), 1);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string message = "ファイル[" + tmp.Path("zel*.lzh") + "]が見つかりません";
  EXPECT_EQ(out, message + "\n");
  ASSERT_EQ(fake.Desktop.Boxes.size(), 1u);
  EXPECT_EQ(fake.Desktop.Boxes[0].first, "Error");
  EXPECT_EQ(fake.Desktop.Boxes[0].second, message);
  EXPECT_TRUE(fake.Launcher.CommandLines.empty());
}

TEST(Entry, DirectorySourceRunsTheWholeUpdate) {
  rtl::ScopedAnsiCodePage utf8(rtl::CP_UTF8_);
  FakeSystem fake;
  TempDir tmp;
  tmp.Write("new/ZEL.EXE", "v2");
  tmp.MakeDir("inst");
  rtl::TStringList args;
  args.Add(tmp.Path("new/"));
  args.Add(tmp.Path("inst"));
  args.Add("/delete");
  testing::internal::CaptureStdout();
  EXPECT_EQ(app::RunZelUpd(args), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing_support::ReadFile(tmp.Path("inst/ZEL.EXE")), "v2");
  EXPECT_FALSE(testing_support::Exists(tmp.Path("new")));
  EXPECT_EQ(fake.Launcher.CommandLines.size(), 1u);
}

TEST(Entry, DirectoryNameWithoutDelimiterIsAnArchiveName) {
  rtl::ScopedAnsiCodePage utf8(rtl::CP_UTF8_);
  FakeSystem fake;
  TempDir tmp;
  tmp.Write("new/ZEL.EXE", "v2");
  rtl::TStringList args;
  args.Add(tmp.Path("new"));
  args.Add(tmp.Dir());
  testing::internal::CaptureStdout();
  EXPECT_EQ(app::RunZelUpd(args), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "ファイル[" + tmp.Path("new") + "]が見つかりません\n");
}

TEST(Entry, UnparsableCommandLineRaisesBeforeAnyWork) {
  FakeSystem fake;
  rtl::TStringList args;
  args.Add("/tmp/");
  args.Add("/tmp/");
  args.Add("/DOWNPATH");
  EXPECT_THROW(app::RunZelUpd(args), rtl::EStringListError);
  EXPECT_TRUE(fake.Desktop.Messages.empty());
  EXPECT_TRUE(fake.Desktop.Boxes.empty());
}

}  // namespace
