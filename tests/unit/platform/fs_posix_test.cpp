// What only the Linux backend's files have: modes, nanosecond times, names
// beginning with a period as the hidden ones, a temporary directory of any
// length and /tmp as the fallback.
#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/fs.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadFile;
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

TEST(FileCopy, AReplacedTargetTakesTheSourcesMode) {
  TempDir dir;
  const std::string source = dir.Write("new", "new");
  const std::string target = dir.Write("old", "old content that is longer");
  ::chmod(target.c_str(), 0600);
  EXPECT_EQ(platform::CopyFile(source, target, true).Code, platform::kErrorFileExists);
  EXPECT_EQ(StatOf(target).st_mode & 07777, 0600u);

  ::chmod(source.c_str(), 0755);
  ASSERT_FALSE(platform::CopyFile(source, target, false).Failed());
  EXPECT_EQ(ReadFile(target), "new");
  EXPECT_EQ(StatOf(target).st_mode & 07777, 0755u);
}

TEST(FileOps, NamesBeginningWithAPeriodAreHidden) {
  TempDir dir;
  EXPECT_NE(platform::GetFileAttributes(dir.Write(".hidden", "")) & platform::kFaHidden, 0u);
  EXPECT_EQ(platform::GetFileAttributes(dir.Write("shown", "")) & platform::kFaHidden, 0u);
}

TEST(TempNames, TempPathHonoursTmpdirOfAnyLength) {
  const std::string longDir = "/tmp/" + std::string(300, 'd');
  std::string path;
  {
    const testing_support::ScopedEnv tmpdir("TMPDIR", longDir);
    EXPECT_FALSE(platform::GetTempPath(path).Failed());
    EXPECT_EQ(path, longDir + "/");
  }
  const testing_support::ScopedEnv unset("TMPDIR", std::nullopt);
  EXPECT_FALSE(platform::GetTempPath(path).Failed());
  EXPECT_EQ(path, "/tmp/");
}

}  // namespace
