#include "archive/archiver.h"

#include <gtest/gtest.h>

#include "archive/errors.h"
#include "rtl/codepage.h"
#include "support/temp_dir.h"

namespace {

using archive::FileItems;
using archive::TArchiver;
using archive::TArchiverOptions;
using archive::TCmdOpt;
using testing_support::NativeName;

TEST(ArchiverBase, ClassOperationsOfTheBaseAreAbstract) {
  try {
    TArchiver::LoadDLL();
    FAIL();
  } catch (const archive::EArchiver& e) {
    EXPECT_EQ(e.Message(), "Abstract method 'TArchiver.LoadDLL' was called");
  }
  try {
    TArchiver::FreeDLL();
    FAIL();
  } catch (const archive::EArchiver& e) {
    EXPECT_EQ(e.Message(), "Abstract method 'TArchiver.FreeDLL' was called");
  }
}

TEST(ArchiverBase, JoinPathPutsExactlyOneDelimiterBetween) {
  EXPECT_EQ(TArchiver::JoinPath("", "sfx32gui.dat"), "sfx32gui.dat");
  EXPECT_EQ(TArchiver::JoinPath(NativeName("/opt/zel"), "a.dat"), NativeName("/opt/zel/a.dat"));
  EXPECT_EQ(TArchiver::JoinPath(NativeName("/opt/zel/"), "a.dat"), NativeName("/opt/zel/a.dat"));
  EXPECT_EQ(TArchiver::JoinPath("C:\\zel", "a.dat", '\\'), "C:\\zel\\a.dat");
  EXPECT_EQ(TArchiver::JoinPath("C:\\zel\\", "a.dat", '\\'), "C:\\zel\\a.dat");
  rtl::ScopedAnsiCodePage sjis(rtl::CP_SHIFT_JIS);
  // 表 ends in 0x5C as its trail byte: that is no delimiter.
  EXPECT_EQ(TArchiver::JoinPath("C:\\\x95\x5C", "a.dat", '\\'), "C:\\\x95\x5C\\a.dat");
  EXPECT_EQ(TArchiver::JoinPath("C:\\\x95\x5C\\", "a.dat", '\\'), "C:\\\x95\x5C\\a.dat");
}

TEST(ArchiverBase, ArchiveAndDestinationAreQuoted) {
  TCmdOpt opt;
  TArchiver::AddArchiveAndDest(opt, NativeName("rel/zel.lzh"), NativeName("/tmp/work"));
  EXPECT_EQ(opt.Text, NativeName(" \"rel/zel.lzh\" \"/tmp/work/\""));
  TCmdOpt noDir;
  TArchiver::AddArchiveAndDest(noDir, "zel.lzh", "");
  EXPECT_EQ(noDir.Text, " \"zel.lzh\"");
}

TEST(ArchiverBase, FileListOnTheLineOrInAResponseFile) {
  testing_support::TempDir tmp;
  TArchiverOptions options;
  {
    TCmdOpt opt;
    EXPECT_EQ(TArchiver::AddFileList(opt, options, true, FileItems{"a.txt", "b c.txt"}), 2);
    // No response file name: the names go on the line; an empty UserFileList adds a blank.
    EXPECT_EQ(opt.Text, " \"a.txt\" \"b c.txt\" ");
  }
  options.ResFileName = tmp.Path("list.rsp");
  options.UserFileList = "-extra";
  {
    TCmdOpt opt;
    EXPECT_EQ(TArchiver::AddFileList(opt, options, false, FileItems{"a.txt"}), 1);
    EXPECT_EQ(opt.Text, " \"a.txt\" -extra");
    EXPECT_FALSE(testing_support::Exists(options.ResFileName));
  }
  {
    TCmdOpt opt;
    EXPECT_EQ(TArchiver::AddFileList(opt, options, true, FileItems{"a.txt", "b.txt"}), 2);
    EXPECT_EQ(opt.Text, " \"@" + options.ResFileName + "\" -extra");
    EXPECT_EQ(testing_support::ReadFile(options.ResFileName), "\"a.txt\"\r\n\"b.txt\"\r\n");
  }
}

}  // namespace
