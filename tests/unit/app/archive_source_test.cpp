#include <filesystem>

#include <gtest/gtest.h>

#include "app/errors.h"
#include "app/zelupd_main.h"
#include "archive/errors.h"
#include "archive/formats/lha32.h"
#include "archive_recorder/recorder_client.h"
#include "fakes.h"
#include "rtl/codepage.h"
#include "rtl/exceptions.h"
#include "support/scoped.h"
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
  EXPECT_EQ(app::FindLargestMatch(tmp.Path("none/zel*.lzh")), tmp.Path("none/"));
  const testing_support::ScopedCurrentDir cwd(tmp.Dir());
  EXPECT_EQ(app::FindLargestMatch("zel*.lzh"), "zel.lzh");
  EXPECT_EQ(app::FindLargestMatch("none*"), "");
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

// The whole source through the recording library, which unpacks what its
// script says: the command it receives, the work directory's life, the
// restart.
class ArchiveSource : public ::testing::Test {
 protected:
  ArchiveSource() { archive::TLha32::FreeDLL(); }
  ~ArchiveSource() override { archive::TLha32::FreeDLL(); }

  rtl::ScopedAnsiCodePage utf8_{rtl::CP_UTF8_};
  testing_support::FakeSystem fake_;
  TempDir tmp_;
};

TEST_F(ArchiveSource, ExtractsEverythingIntoAFreshWorkDirectoryThatGoesAfterwards) {
  const recorder_test::Session session("full");
  session.SetScript(recorder_test::Script().Unpack("ZEL.EXE", "new exe"));
  tmp_.Write("dl/zel151.lzh", "old");
  tmp_.Write("dl/zel16.lzh", "new");
  tmp_.Write("inst/ZEL.EXE", "old exe");
  tmp_.MakeDir("temp");
  const recorder_test::ScopedEnv tmpdir(testing_support::kTempDirVariable, tmp_.Path("temp"));
  app::CZelUpd updater;
  updater.UpdateFromArchive(tmp_.Path("dl/zel*.lzh"), tmp_.Path("inst/"));

  const auto commands = session.CallsTo("Unlha");
  ASSERT_EQ(commands.size(), 1u);
  const std::string line = commands[0].Arg("line");
  const std::string prefix =
      "x -+ -n1 -y1 -jse1 -jso1  \"" + tmp_.Path("dl/zel16.lzh") + "\" \"" + tmp_.Path("temp/TMP");
  ASSERT_EQ(line.substr(0, prefix.size()), prefix) << line;
  EXPECT_EQ(line.substr(line.size() - 13), testing_support::NativeName(".tmp/\" \"*.*\" ")) << line;
  EXPECT_EQ(commands[0].Arg("size"), "8192");
  EXPECT_EQ(commands[0].Arg("window"), "0");
  // The work directory was made, handed over and deleted; the archive stays.
  EXPECT_TRUE(std::filesystem::is_empty(tmp_.Path("temp")));
  EXPECT_EQ(testing_support::ReadFile(tmp_.Path("dl/zel16.lzh")), "new");
  ASSERT_EQ(fake_.Launcher.CommandLines.size(), 1u);
  EXPECT_EQ(fake_.Launcher.CommandLines[0], "\"" + tmp_.Path("inst/ZEL.EXE") + "\"");
}

TEST_F(ArchiveSource, AnExtractionThatFailedOrLeftNothingInstallsNothing) {
  const recorder_test::Session session("full");
  tmp_.Write("dl/zel.lzh", "archive");
  tmp_.Write("inst/ZEL.EXE", "old exe");
  tmp_.MakeDir("temp");
  const recorder_test::ScopedEnv tmpdir(testing_support::kTempDirVariable, tmp_.Path("temp"));
  const std::string archive = tmp_.Path("dl/zel.lzh");
  struct Case {
    int Code;
    bool Unpacks;
    std::string Message;
  };
  const std::vector<Case> cases = {
      {0x8019, false,
       "書庫[" + archive + "]を展開できませんでした (コード 0x8019: 書庫ではありません)"},
      // Half a release is no release.
      {0x800C, true,
       "書庫[" + archive + "]を展開できませんでした (コード 0x800C: ファイルの CRC が合いません)"},
      {0x9999, true,
       "書庫[" + archive + "]を展開できませんでした (コード 0x9999: 不明なエラーです)"},
      {0, false, "書庫[" + archive + "]からは何も展開されませんでした"},
  };
  app::CZelUpd updater;
  for (const Case& c : cases) {
    recorder_test::Script script;
    script.Result("Unlha", {c.Code});
    if (c.Unpacks) {
      script.Unpack("ZEL.EXE", "damaged exe");
    }
    session.SetScript(script);
    try {
      updater.UpdateFromArchive(archive, tmp_.Path("inst"));
      ADD_FAILURE() << c.Code;
    } catch (const app::EArchiveFileError& e) {
      EXPECT_EQ(e.Message(), c.Message);
    }
  }
  EXPECT_TRUE(std::filesystem::is_empty(tmp_.Path("temp")));
  EXPECT_TRUE(fake_.Desktop.Messages.empty());
  EXPECT_TRUE(fake_.Launcher.CommandLines.empty());
  EXPECT_EQ(testing_support::ReadFile(tmp_.Path("inst/ZEL.EXE")), "old exe");
}

TEST_F(ArchiveSource, FailuresBeforeInstallingLeaveTheInstallationAlone) {
  tmp_.Write("dl/zel.lzh", "archive");
  tmp_.Write("inst/ZEL.EXE", "old exe");
  app::CZelUpd updater;
  {
    // No temporary directory: the system's error.
    const recorder_test::Session session("full");
    const recorder_test::ScopedEnv tmpdir(testing_support::kTempDirVariable,
                                          tmp_.Path("no-such-dir"));
    EXPECT_THROW(updater.UpdateFromArchive(tmp_.Path("dl/zel.lzh"), tmp_.Path("inst")),
                 rtl::EOSError);
  }
  archive::TLha32::FreeDLL();
  {
    // No archiver library: the facade's error, after the work directory was made.
    TempDir noLibraries;
    const recorder_test::Session session(std::vector{noLibraries.Dir()});
    tmp_.MakeDir("temp");
    const recorder_test::ScopedEnv tmpdir(testing_support::kTempDirVariable, tmp_.Path("temp"));
    try {
      updater.UpdateFromArchive(tmp_.Path("dl/zel.lzh"), tmp_.Path("inst"));
      FAIL();
    } catch (const archive::ENoArchiverDLL& e) {
      EXPECT_EQ(e.Message(), "LHA 形式書庫 を扱うには UNLHA32.DLL が 必要です。");
    }
  }
  EXPECT_TRUE(fake_.Launcher.CommandLines.empty());
  EXPECT_TRUE(fake_.Desktop.Messages.empty());
  EXPECT_EQ(testing_support::ReadFile(tmp_.Path("inst/ZEL.EXE")), "old exe");
}

}  // namespace
