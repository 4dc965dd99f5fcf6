#include "platform/fs.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <set>

#include <gtest/gtest.h>

#include "rtl/mbcs.h"
#include "support/running_program.h"
#include "support/temp_dir.h"

namespace {

using testing_support::Exists;
using testing_support::ReadFile;
using testing_support::RunningProgram;
using testing_support::TempDir;

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st;
}

TEST(FileCopy, KeepsContentModeAndTimes) {
  TempDir dir;
  const std::string source = dir.Write("a.bin", std::string(200000, 'x') + "end");
  ::chmod(source.c_str(), 0751);
  const struct timespec times[2] = {{1000000000, 0}, {1100000000, 500}};
  ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);

  const std::string target = dir.Path("b.bin");
  ASSERT_FALSE(platform::CopyFile(source, target, true).Failed());
  EXPECT_EQ(ReadFile(target), ReadFile(source));
  const struct stat st = StatOf(target);
  EXPECT_EQ(st.st_mode & 07777, 0751u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1100000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 500);
}

TEST(FileCopy, ExistingTargetFailsOrIsReplaced) {
  TempDir dir;
  const std::string source = dir.Write("new", "new");
  const std::string target = dir.Write("old", "old content that is longer");
  ::chmod(target.c_str(), 0600);
  const platform::SysError refused = platform::CopyFile(source, target, true);
  EXPECT_EQ(refused.Code, platform::kErrorFileExists);
  EXPECT_FALSE(refused.Text.empty());
  EXPECT_EQ(ReadFile(target), "old content that is longer");

  ::chmod(source.c_str(), 0755);
  ASSERT_FALSE(platform::CopyFile(source, target, false).Failed());
  EXPECT_EQ(ReadFile(target), "new");
  EXPECT_EQ(StatOf(target).st_mode & 07777, 0755u);
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
            platform::kErrorFileNotFound);
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
  EXPECT_EQ(platform::CreateDirectory(sub).Code, platform::kErrorFileExists);
  EXPECT_EQ(platform::CreateDirectory(dir.Path("a/b")).Code, platform::kErrorFileNotFound);
}

TEST(FileOps, AttributesTellFilesFromDirectories) {
  TempDir dir;
  const std::string file = dir.Write("f", "x");
  EXPECT_TRUE(platform::DirectoryExists(dir.Dir()));
  EXPECT_FALSE(platform::DirectoryExists(file));
  EXPECT_TRUE(platform::FileExists(file));
  EXPECT_FALSE(platform::FileExists(dir.Dir()));
  EXPECT_EQ(platform::GetFileAttributes(dir.Path("none")), platform::kInvalidFileAttributes);
  ::chmod(file.c_str(), 0444);
  EXPECT_NE(platform::GetFileAttributes(file) & platform::kFaReadOnly, 0u);
  EXPECT_NE(platform::GetFileAttributes(dir.Write(".hidden", "")) & platform::kFaHidden, 0u);
}

TEST(WriteTest, RunningExecutableIsASharingViolation) {
  TempDir dir;
  const std::string exe = dir.Path("ZEL.EXE");
  ASSERT_FALSE(platform::CopyFile("/bin/sleep", exe, true).Failed());
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
    EXPECT_EQ(number.find_first_not_of("0123456789ABCDEF"), std::string::npos) << path;
    EXPECT_EQ(path.substr(path.size() - 4), ".tmp");
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    seen.insert(path);
  }
  EXPECT_EQ(seen.size(), 20u);
  std::string path;
  EXPECT_TRUE(platform::GetTempFileName(dir.Path("none"), "TMP", path).Failed());
}

TEST(TempNames, TempPathHonoursTmpdirOfAnyLength) {
  const char* saved = std::getenv("TMPDIR");
  const std::string savedValue = saved != nullptr ? saved : "";
  const std::string longDir = "/tmp/" + std::string(300, 'd');
  ::setenv("TMPDIR", longDir.c_str(), 1);
  std::string path;
  EXPECT_FALSE(platform::GetTempPath(path).Failed());
  EXPECT_EQ(path, longDir + "/");
  ::unsetenv("TMPDIR");
  EXPECT_FALSE(platform::GetTempPath(path).Failed());
  EXPECT_EQ(path, "/tmp/");
  if (saved != nullptr) {
    ::setenv("TMPDIR", savedValue.c_str(), 1);
  }
}

TEST(ModulePath, IsTheRunningProgram) {
  const std::string self = platform::GetModuleFileName();
  ASSERT_FALSE(self.empty());
  EXPECT_EQ(self[0], '/');
  EXPECT_TRUE(platform::FileExists(self));
  EXPECT_EQ(platform::ExpandFileName("/abs"), "/abs");
  EXPECT_EQ(platform::ExpandFileName("rel"), std::filesystem::current_path().string() + "/rel");
}

}  // namespace

namespace {

TEST(SearchPath, ProgramDirectoryCurrentDirectoryThenPath) {
  testing_support::TempDir cwdDir;
  testing_support::TempDir pathDir;
  pathDir.Write("stub.sfx", "p");
  pathDir.Write("both.sfx", "p");
  cwdDir.Write("both.sfx", "c");
  const std::string savedCwd = std::filesystem::current_path().string();
  const char* savedPath = std::getenv("PATH");
  const std::string savedPathValue = savedPath != nullptr ? savedPath : "";
  ::setenv("PATH", ("/nonexistent::" + pathDir.Dir()).c_str(), 1);
  std::filesystem::current_path(cwdDir.Dir());
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
  std::filesystem::current_path(savedCwd);
  ::setenv("PATH", savedPathValue.c_str(), 1);
}

}  // namespace
