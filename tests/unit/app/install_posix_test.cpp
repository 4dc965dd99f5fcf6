// The wait for ZEL.EXE with what only Linux puts into a file system.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/errors.h"
#include "app/install.h"
#include "fakes.h"
#include "rtl/codepage.h"
#include "support/temp_dir.h"

namespace {

TEST(InstallPosix, ExecutableThatCannotBeOpenedIsACheckFailure) {
  const rtl::ScopedAnsiCodePage utf8(rtl::CP_UTF8_);
  testing_support::FakeSystem fake;
  const testing_support::TempDir tmp;
  // A socket exists as a file but cannot be opened, whoever runs the test.
  const std::string exe = tmp.Path("ZEL.EXE");
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(exe.size(), sizeof address.sun_path);
  exe.copy(address.sun_path, exe.size());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  try {
    app::WaitZelWritable(tmp.Dir());
    FAIL() << "no check failure";
  } catch (const app::EFileCheckError& e) {
    EXPECT_EQ(e.Message().rfind("ファイル[" + exe + "]のチェックに失敗しました ", 0), 0u)
        << e.Message();
  }
  ::close(fd);
  EXPECT_EQ(fake.Sleeper.Calls, 0);
}

}  // namespace
