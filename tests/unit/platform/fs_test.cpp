// Files and directories through the platform layer, on real temporary
// directories. What only one backend has is in fs_<backend>_test.cpp.
#include "platform/fs.h"

#include <cstdlib>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "expected_codes.h"
#include "rtl/mbcs.h"
#include "running_program.h"
#include "support/scoped.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

using testing_support::Exists;
using testing_support::ReadFile;
using testing_support::RunningProgram;
using testing_support::ScopedEnv;
using testing_support::TempDir;
namespace expected = testing_support::expected;

TEST(FileCopy, ExistingTargetFailsOrIsReplaced) {
  TempDir dir;
  const std::string source = dir.Write("new", "new");
  const std::string target = dir.Write("old", "old content that is longer");
  const platform::SysError refused = platform::CopyFile(source, target, true);
  EXPECT_EQ(refused.Code, platform::kErrorFileExists);
  EXPECT_FALSE(refused.Text.empty());
  EXPECT_EQ(ReadFile(target), "old content that is longer");

  ASSERT_FALSE(platform::CopyFile(source, target, false).Failed());
  EXPECT_EQ(ReadFile(target), "new");
}

TEST(FileCopy, DirectoryOrMissingSourceLeavesNoTarget) {
  TempDir dir;
  const std::string sub = dir.MakeDir("sub");
  EXPECT_EQ(platform::CopyFile(sub, dir.Path("t1"), false).Code, platform::kErrorAccessDenied);
  EXPECT_FALSE(Exists(dir.Path("t1")));
  EXPECT_EQ(platform::CopyFile(dir.Path("none"), dir.Path("t2"), false).Code,
            platform::kErrorFileNotFound);
  EXPECT_FALSE(Exists(dir.Path("t2")));
  EXPECT_EQ(platform::CopyFile(dir.Write("f", "x"), dir.Path("no/such/dir"), false).Code,
            expected::kMissingParent);
}

TEST(FileOps, DeleteAndDirectoriesGiveWindowsCodes) {
  TempDir dir;
  const std::string sub = dir.MakeDir("sub");
  EXPECT_EQ(platform::DeleteFile(sub).Code, platform::kErrorAccessDenied);
  EXPECT_EQ(platform::DeleteFile(dir.Path("none")).Code, platform::kErrorFileNotFound);
  dir.Write("sub/f", "x");
  EXPECT_EQ(platform::RemoveDirectory(sub).Code, platform::kErrorDirNotEmpty);
  EXPECT_FALSE(platform::DeleteFile(dir.Path("sub/f")).Failed());
  EXPECT_FALSE(platform::RemoveDirectory(sub).Failed());
  EXPECT_FALSE(Exists(sub));
  EXPECT_FALSE(platform::CreateDirectory(sub).Failed());
  EXPECT_EQ(platform::CreateDirectory(sub).Code, expected::kDirectoryExists);
  EXPECT_EQ(platform::CreateDirectory(dir.Path("a/b")).Code, expected::kMissingParent);
}

TEST(FileOps, AttributesTellFilesFromDirectories) {
  TempDir dir;
  const std::string file = dir.Write("f", "x");
  EXPECT_TRUE(platform::DirectoryExists(dir.Dir()));
  EXPECT_FALSE(platform::DirectoryExists(file));
  EXPECT_TRUE(platform::FileExists(file));
  EXPECT_FALSE(platform::FileExists(dir.Dir()));
  EXPECT_EQ(platform::GetFileAttributes(dir.Path("none")), platform::kInvalidFileAttributes);
  EXPECT_EQ(platform::GetFileAttributes(file) & platform::kFaReadOnly, 0u);
  std::filesystem::permissions(file,
                               std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_write |
                                   std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  EXPECT_NE(platform::GetFileAttributes(file) & platform::kFaReadOnly, 0u);
}

TEST(WriteTest, RunningExecutableIsASharingViolation) {
  TempDir dir;
  const std::string exe = dir.Path("ZEL.EXE");
  ASSERT_FALSE(platform::CopyFile(testing_support::SleepingProgram(), exe, true).Failed());
  EXPECT_FALSE(platform::TestOpenForWriting(exe).Failed());
  {
    RunningProgram running(exe);
    const platform::SysError busy = platform::TestOpenForWriting(exe);
    EXPECT_EQ(busy.Code, platform::kErrorSharingViolation);
    // Replacing it while it runs fails the same way and leaves it intact.
    EXPECT_EQ(platform::CopyFile(dir.Write("new", "x"), exe, false).Code,
              platform::kErrorSharingViolation);
    running.Stop();
  }
  EXPECT_FALSE(platform::TestOpenForWriting(exe).Failed());
  EXPECT_EQ(platform::TestOpenForWriting(dir.Path("none")).Code, platform::kErrorFileNotFound);
  EXPECT_EQ(platform::TestOpenForWriting(dir.Dir()).Code, platform::kErrorAccessDenied);
}

TEST(Wildcards, WindowsRules) {
  struct Case {
    const char* name;
    const char* mask;
    bool match;
  };
  const Case cases[] = {
      {"zel151.lzh", "zel*.lzh", true},
      {"zel.lzh", "zel*.lzh", true},
      {"zel1.lzh.bak", "zel*.lzh", false},
      {"Zel1.lzh", "zel*.lzh", false},
      {"noext", "*.*", true},
      {".hidden", "*.*", true},
      {"a.b.c", "*.c", true},
      {"abc", "a?c", true},
      {"ac", "a?c", false},
      {"abc", "abc.*", true},
      {"abc.x", "abc.", false},
      {"abc", "abc.", true},
      {"aXbXc", "a*b*c", true},
      {"aXbX", "a*b*c", false},
      {"zel.lzh", "zel.lzh", true},
      {"zel.lzh", "zel.lz", false},
      {"", "*", true},
      {"a", "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::MatchesMask(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
  }
}

TEST(DirectorySearch, ListsMatchesWithAttributes) {
  TempDir dir;
  dir.Write("zel1.lzh", "1");
  dir.Write("zel2.lzh", "22");
  dir.Write("other.txt", "");
  dir.MakeDir("zel9.lzh");
  std::set<std::string> names;
  platform::FindData entry;
  platform::DirectorySearch search(dir.Dir() + "zel*.lzh");
  EXPECT_FALSE(search.OpenError().Failed());
  while (search.Next(entry)) {
    names.insert(entry.Name);
    EXPECT_EQ((entry.Attributes & platform::kFaDirectory) != 0, entry.Name == "zel9.lzh");
    if (entry.Name == "zel2.lzh") {
      EXPECT_EQ(entry.Size, 2u);
    }
  }
  EXPECT_EQ(names, (std::set<std::string>{"zel1.lzh", "zel2.lzh", "zel9.lzh"}));

  std::set<std::string> all;
  platform::DirectorySearch every(dir.Dir() + "*.*");
  while (every.Next(entry)) {
    all.insert(entry.Name);
  }
  EXPECT_EQ(all.count("."), 1u);
  EXPECT_EQ(all.count(".."), 1u);
  EXPECT_EQ(all.size(), 6u);

  platform::DirectorySearch missing(dir.Dir() + "none/*.*");
  EXPECT_EQ(missing.OpenError().Code, platform::kErrorPathNotFound);
  EXPECT_FALSE(missing.Next(entry));
}

TEST(TempNames, UniqueEmptyFilesWithPrefixAndHexNumber) {
  TempDir dir;
  std::set<std::string> seen;
  for (int i = 0; i < 20; ++i) {
    std::string path;
    ASSERT_FALSE(platform::GetTempFileName(dir.Dir(), "TMPXYZ", path).Failed());
    EXPECT_EQ(path.rfind(dir.Dir() + "TMP", 0), 0u) << path;
    const std::string number =
        path.substr(dir.Dir().size() + 3, path.size() - dir.Dir().size() - 7);
    EXPECT_GE(number.size(), 1u);
    EXPECT_LE(number.size(), 4u);
    EXPECT_EQ(number.find_first_not_of(expected::kTempNameDigits), std::string::npos) << path;
    EXPECT_EQ(path.substr(path.size() - 4), ".tmp");
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    seen.insert(path);
  }
  EXPECT_EQ(seen.size(), 20u);
  std::string path;
  EXPECT_TRUE(platform::GetTempFileName(dir.Path("none"), "TMP", path).Failed());
}

TEST(TempNames, TempPathHonoursTheVariable) {
  TempDir dir;
  const ScopedEnv temp(testing_support::kTempDirVariable, dir.Path("temp"));
  std::string path;
  EXPECT_FALSE(platform::GetTempPath(path).Failed());
  EXPECT_EQ(path, dir.Path("temp/"));
}

TEST(ModulePath, IsTheRunningProgram) {
  const std::string self = platform::GetModuleFileName();
  ASSERT_FALSE(self.empty());
  EXPECT_TRUE(std::filesystem::path(self).is_absolute()) << self;
  EXPECT_TRUE(platform::FileExists(self));
  EXPECT_EQ(platform::ExpandFileName(self), self);
  EXPECT_EQ(platform::ExpandFileName("rel"),
            std::filesystem::current_path().string() + rtl::PathDelim + "rel");
}

}  // namespace

namespace {

TEST(SearchPath, ProgramDirectoryCurrentDirectoryThenPath) {
  testing_support::TempDir cwdDir;
  testing_support::TempDir pathDir;
  pathDir.Write("stub.sfx", "p");
  pathDir.Write("both.sfx", "p");
  cwdDir.Write("both.sfx", "c");
  const std::string separator(1, testing_support::kPathListSeparator);
  const ScopedEnv path(
      "PATH", testing_support::NativeName("/nonexistent") + separator + separator + pathDir.Dir());
  const testing_support::ScopedCurrentDir cwd(cwdDir.Dir());
  EXPECT_EQ(platform::SearchPath("stub.sfx"), pathDir.Path("stub.sfx"));
  EXPECT_EQ(platform::SearchPath("both.sfx"), cwdDir.Path("both.sfx"));
  EXPECT_EQ(platform::SearchPath("missing.sfx"), "");
  EXPECT_EQ(platform::SearchPath(""), "");
  // A directory of that name is no match, and a name with a directory is taken as it stands.
  cwdDir.MakeDir("dir.sfx");
  EXPECT_EQ(platform::SearchPath("dir.sfx"), "");
  EXPECT_EQ(platform::SearchPath(pathDir.Path("stub.sfx")), pathDir.Path("stub.sfx"));
  // The program's own directory comes first.
  const std::string self = platform::GetModuleFileName();
  EXPECT_EQ(platform::SearchPath(rtl::ExtractFileName(self)), self);
}

}  // namespace
