#include "platform/process.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "expected_codes.h"
#include "support/temp_dir.h"

namespace {

namespace expected = testing_support::expected;

using testing_support::ReadFile;
using testing_support::TempDir;

TEST(CommandLineSplit, WindowsRules) {
  using V = std::vector<std::string>;
  struct Case {
    const char* line;
    V expected;
  };
  const Case cases[] = {
      {R"("C:\Program Files\ZEL.EXE")", V{R"(C:\Program Files\ZEL.EXE)"}},
      {R"("/opt/a b/ZEL.EXE" x)", V{"/opt/a b/ZEL.EXE", "x"}},
      {R"(prog a  "b c"	d)", V{"prog", "a", "b c", "d"}},
      {R"(prog a\\\"b)", V{"prog", R"(a\"b)"}},
      {R"(prog "a\\" b)", V{"prog", R"(a\)", "b"}},
      {R"(prog a\b\\c)", V{"prog", R"(a\b\\c)"}},
      {R"(prog "")", V{"prog", ""}},
      {R"(prog "a""b")", V{"prog", R"(a"b)"}},
      {R"(prog x"y z"w)", V{"prog", "xy zw"}},
      // No escapes in the program name: it ends at its closing quote.
      {R"("C:\dir\"rest)", V{R"(C:\dir\)", "rest"}},
      {"", V{""}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::SplitCommandLine(c.line), c.expected) << c.line;
  }
}

// Waits (bounded) for a file that a started program writes.
std::string AwaitFile(const std::string& path) {
  for (int i = 0; i < 500; ++i) {
    std::string content = ReadFile(path);
    if (!content.empty() && content.back() == '\n') {
      return content;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return ReadFile(path);
}

TEST(ProcessStart, StartsWithoutWaitingAndWithoutOurHandles) {
  TempDir dir;
  const std::string script = dir.Write("my prog.sh",
                                       "#!/bin/sh\n"
                                       "sleep 0.3\n"
                                       "out=$(readlink /proc/$$/fd/1)\n"
                                       "echo \"$out\" > \"$1\".tmp\n"
                                       "echo \"$2\" >> \"$1\".tmp\n"
                                       "mv \"$1\".tmp \"$1\"\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  const std::string out = dir.Path("out");
  const auto start = std::chrono::steady_clock::now();
  const platform::SysError error = platform::CreateProcess(
      "\"" + script + "\" \"" + out + "\" \"two words\"", platform::kCreateDefaultErrorMode);
  ASSERT_FALSE(error.Failed()) << error.Text;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_EQ(AwaitFile(out), "/dev/null\ntwo words\n");
}

TEST(ProcessStart, MissingOrNotExecutableProgramFails) {
  TempDir dir;
  const platform::SysError missing =
      platform::CreateProcess("\"" + dir.Path("ZEL.EXE") + "\"", platform::kCreateDefaultErrorMode);
  EXPECT_EQ(missing.Code, platform::kErrorFileNotFound);
  EXPECT_FALSE(missing.Text.empty());
  const std::string plain = dir.Write("plain", "data");
  EXPECT_EQ(platform::CreateProcess("\"" + plain + "\"", 0).Code, expected::kNotAProgram);
  EXPECT_EQ(platform::CreateProcess("", 0).Code, platform::kErrorFileNotFound);
}

TEST(Seams, ATestReplacesSleepForItsDuration) {
  struct CountingSleeper : platform::Sleeper {
    std::uint32_t total = 0;
    void Sleep(std::uint32_t ms) override { total += ms; }
  } fake;
  {
    platform::ScopedSleeper guard(fake);
    platform::Sleep(100000);
    platform::Sleep(5);
  }
  EXPECT_EQ(fake.total, 100005u);
  const auto start = std::chrono::steady_clock::now();
  platform::Sleep(20);  // the real one again
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
  EXPECT_EQ(fake.total, 100005u);
}

}  // namespace
