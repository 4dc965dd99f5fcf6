#include "fileutil/dirtreat.h"

#include <set>

#include <gtest/gtest.h>

#include "expected_codes.h"
#include "rtl/codepage.h"
#include "rtl/mbcs.h"
#include "rtl/strtable.h"
#include "support/temp_dir.h"

namespace {

using testing_support::Exists;
using testing_support::NativeName;
using testing_support::ReadFile;
using testing_support::TempDir;
namespace expected = testing_support::expected;

std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class DirTreat : public ::testing::Test {
 protected:
  rtl::ScopedAnsiCodePage utf8_{rtl::CP_UTF8_};
  TempDir tmp_;
};

TEST_F(DirTreat, AddBackslashKeepsEmptyAndSingleDelimiter) {
  EXPECT_EQ(fileutil::AddBackslash(""), "");
  EXPECT_EQ(fileutil::AddBackslash(NativeName("/a")), NativeName("/a/"));
  EXPECT_EQ(fileutil::AddBackslash(NativeName("/a/")), NativeName("/a/"));
  EXPECT_EQ(fileutil::AddBackslash(NativeName("/")), NativeName("/"));
}

TEST_F(DirTreat, AddBackslashReadsDoubleByteText) {
  rtl::ScopedAnsiCodePage sjis(rtl::CP_SHIFT_JIS);
  const std::string hyo = NativeName("/dir/") + "\x95\x5C";  // 表: its trail byte is 0x5C
  EXPECT_EQ(fileutil::AddBackslash(hyo), hyo + rtl::PathDelim);
  // A real directory with such a name is walked and copied into alike.
  const std::string source = tmp_.MakeDir("\x95\x5C");
  const std::string dest = tmp_.MakeDir("\x83\x5C");
  tmp_.Write("\x95\x5C/f", "x");
  fileutil::CopyDirectory(source, dest, false);
  EXPECT_EQ(ReadFile(tmp_.Path("\x83\x5C/f")), "x");
}

TEST_F(DirTreat, CopyWithAndWithoutTrailingDelimiters) {
  for (const bool withDelimiter : {false, true}) {
    SCOPED_TRACE(withDelimiter);
    TempDir tmp;
    tmp.Write("src/a.txt", "A");
    tmp.Write("src/b.bin", "B");
    tmp.MakeDir("dst");
    const std::string suffix = withDelimiter ? std::string(1, rtl::PathDelim) : "";
    fileutil::CopyDirectory(tmp.Path("src") + suffix, tmp.Path("dst") + suffix, false);
    EXPECT_EQ(Names(tmp.Path("dst")), (std::set<std::string>{"a.txt", "b.bin"}));
    EXPECT_EQ(ReadFile(tmp.Path("dst/b.bin")), "B");
  }
}

TEST_F(DirTreat, CopyEmptyDirectoryDoesNothing) {
  tmp_.MakeDir("src");
  tmp_.MakeDir("dst");
  EXPECT_NO_THROW(fileutil::CopyDirectory(tmp_.Path("src"), tmp_.Path("dst"), false));
  EXPECT_TRUE(Names(tmp_.Path("dst")).empty());
}

TEST_F(DirTreat, OverwriteReplacesAndNoOverwriteFailsWithMessage) {
  tmp_.Write("src/a", "new");
  tmp_.Write("dst/a", "old");
  try {
    fileutil::CopyDirectory(tmp_.Path("src"), tmp_.Path("dst"), false);
    FAIL() << "copy over an existing file succeeded";
  } catch (const fileutil::EFileCopyError& e) {
    EXPECT_EQ(e.Message(), "ファイル[" + tmp_.Path("src/a") + "]をディレクトリ[" +
                               tmp_.Path("dst/") + "]にコピーできませんでした " +
                               expected::SystemText(80) + "(80)");
  }
  EXPECT_EQ(ReadFile(tmp_.Path("dst/a")), "old");
  fileutil::CopyDirectory(tmp_.Path("src"), tmp_.Path("dst"), true);
  EXPECT_EQ(ReadFile(tmp_.Path("dst/a")), "new");
}

TEST_F(DirTreat, DotEntriesAreNeverVisited) {
  tmp_.Write("src/.hidden", "h");
  tmp_.Write("src/shown", "s");
  tmp_.MakeDir("src/.git");
  tmp_.MakeDir("dst");
  fileutil::CopyDirectory(tmp_.Path("src"), tmp_.Path("dst"), false);
  EXPECT_EQ(Names(tmp_.Path("dst")), std::set<std::string>{"shown"});
  // ...so a directory holding one cannot be removed.
  try {
    fileutil::DeleteDirectory(tmp_.Path("src"));
    FAIL() << "a directory with a dot file was removed";
  } catch (const fileutil::EDirectoryDeleteError& e) {
    EXPECT_EQ(dynamic_cast<const fileutil::EFileDeleteError*>(&e), nullptr);
    EXPECT_EQ(
        e.Message().rfind("ディレクトリ[" + tmp_.Path("src") + "]の削除に失敗しました\u3000", 0),
        0u)
        << e.Message();
    EXPECT_NE(e.Message().find("(145)"), std::string::npos) << e.Message();
  }
  EXPECT_FALSE(Exists(tmp_.Path("src/shown")));
  EXPECT_TRUE(Exists(tmp_.Path("src/.hidden")));
}

TEST_F(DirTreat, SubdirectoryStopsCopyAndDelete) {
  tmp_.Write("src/a", "a");
  tmp_.MakeDir("src/sub");
  tmp_.MakeDir("dst");
  try {
    fileutil::CopyDirectory(tmp_.Path("src"), tmp_.Path("dst"), true);
    FAIL() << "a subdirectory was copied";
  } catch (const fileutil::EFileCopyError& e) {
    EXPECT_NE(e.Message().find("[" + tmp_.Path("src/sub") + "]"), std::string::npos);
    EXPECT_NE(e.Message().find("(5)"), std::string::npos) << e.Message();
  }
  try {
    fileutil::DeleteDirectory(tmp_.Path("src"));
    FAIL() << "a subdirectory was deleted as a file";
  } catch (const fileutil::EFileDeleteError& e) {
    EXPECT_EQ(
        e.Message().rfind("ファイル[" + tmp_.Path("src/sub") + "]の削除に失敗しました\u3000", 0),
        0u)
        << e.Message();
  }
  EXPECT_TRUE(Exists(tmp_.Path("src/sub")));
}

TEST_F(DirTreat, DeleteRemovesFilesThenTheDirectory) {
  tmp_.Write("work/a", "a");
  tmp_.Write("work/b", "b");
  fileutil::DeleteDirectory(tmp_.Path("work/"));
  EXPECT_FALSE(Exists(tmp_.Path("work")));
}

TEST_F(DirTreat, MissingDirectoryIsReportedUnchanged) {
  const std::string missing = tmp_.Path("none");
  const std::string expected = "ディレクトリ[" + missing + "]が存在しません";
  try {
    fileutil::CopyDirectory(missing, tmp_.Dir(), true);
    FAIL();
  } catch (const fileutil::EDirectoryError& e) {
    EXPECT_EQ(e.Message(), expected);
  }
  try {
    fileutil::DeleteDirectory(missing);
    FAIL();
  } catch (const fileutil::EDirectoryError& e) {
    EXPECT_EQ(e.Message(), expected);
  }
  // A file is not a directory either.
  EXPECT_THROW(fileutil::ForEachEntry(tmp_.Write("file", ""), nullptr, nullptr),
               fileutil::EDirectoryError);
}

TEST_F(DirTreat, ForEachEntryGivesWalkDirectoryAndNamesAndFixesDest) {
  tmp_.Write("src/one", "");
  tmp_.Write("src/two", "");
  static std::set<std::string> visited;
  static std::string walkDir;
  visited.clear();
  fileutil::CExtraCopyParam param{NativeName("/some/dest"), true};
  fileutil::ForEachEntry(
      tmp_.Path("src"),
      [](const std::string& dir, const std::string& name, fileutil::CExtraCopyParam* p) {
        walkDir = dir;
        visited.insert(name + "@" + p->Dest);
      },
      &param);
  EXPECT_EQ(walkDir, tmp_.Path("src/"));
  EXPECT_EQ(visited, (std::set<std::string>{"one@" + NativeName("/some/dest/"),
                                            "two@" + NativeName("/some/dest/")}));
  EXPECT_EQ(param.Dest, NativeName("/some/dest/"));
}

TEST_F(DirTreat, CallbackErrorStopsTheWalkAndPropagates) {
  tmp_.Write("src/a", "");
  tmp_.Write("src/b", "");
  static int calls = 0;
  calls = 0;
  EXPECT_THROW(fileutil::ForEachEntry(
                   tmp_.Path("src"),
                   [](const std::string&, const std::string&, fileutil::CExtraCopyParam*) {
                     ++calls;
                     throw rtl::Exception("stop");
                   },
                   nullptr),
               rtl::Exception);
  EXPECT_EQ(calls, 1);
}

TEST_F(DirTreat, TempNamesAreNewFilesInTheTempDirectory) {
  const std::string temp = fileutil::GetTempDirectory();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), rtl::PathDelim);
  const std::string name = fileutil::MakeTempFileName(tmp_.Dir(), "TMPLONG");
  EXPECT_EQ(name.rfind(tmp_.Dir() + "TMP", 0), 0u);
  EXPECT_NE(name.substr(tmp_.Dir().size() + 3, 1).find_first_of(expected::kTempNameDigits),
            std::string::npos);
  EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
  EXPECT_TRUE(Exists(name));
  EXPECT_EQ(std::filesystem::file_size(name), 0u);
  try {
    fileutil::MakeTempFileName(tmp_.Path("none"), "TMP");
    FAIL();
  } catch (const rtl::EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), expected::kMissingTempDirectory);
  }
}

}  // namespace
