#include "app/install.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "app/errors.h"
#include "app/zelupd_main.h"
#include "fakes.h"
#include "platform/fs.h"
#include "rtl/codepage.h"
#include "rtl/mbcs.h"
#include "running_program.h"
#include "support/temp_dir.h"

namespace {

using testing_support::Exists;
using testing_support::FakeSystem;
using testing_support::ReadFile;
using testing_support::RunningProgram;
using testing_support::TempDir;

const std::string kConfirm = " 再見確認";
const std::string kYes = "はい(&Y)";

class Install : public ::testing::Test {
 protected:
  void AddZel() { fake_.Desktop.Windows.push_back({"main", "TZelForm", "ZEL", ""}); }
  // The confirmation appears after `polls` sleeps, with or without its Yes button.
  void ShowDialogAfter(int polls, bool withYes = true) {
    fake_.Sleeper.AfterSleep = [this, polls, withYes](int calls) {
      if (calls == polls) {
        fake_.Desktop.Windows.push_back({"dlg", "TZelDialog", kConfirm, ""});
        fake_.Desktop.Windows.push_back({"no", "Button", "いいえ(&N)", "dlg"});
        if (withYes) {
          fake_.Desktop.Windows.push_back({"yes", "Button", kYes, "dlg"});
        }
      }
    };
  }
  std::vector<std::uint32_t> MessagesTo(const std::string& id) {
    std::vector<std::uint32_t> out;
    for (const auto& m : fake_.Desktop.Messages) {
      if (m.Window == id) {
        out.push_back(m.Message);
      }
    }
    return out;
  }

  rtl::ScopedAnsiCodePage utf8_{rtl::CP_UTF8_};
  FakeSystem fake_;
  TempDir tmp_;
};

TEST_F(Install, NothingRunningAndNoExecutableMeansNoWaiting) {
  EXPECT_TRUE(app::PrepareDestination(tmp_.Dir()));
  EXPECT_EQ(fake_.Sleeper.Calls, 0);
  EXPECT_TRUE(fake_.Desktop.Messages.empty());
}

TEST_F(Install, FileManagerClosingWithoutAskingGetsTheWholeFiveSeconds) {
  AddZel();
  ASSERT_EQ(app::FindRunningZel().Id, "main");
  EXPECT_TRUE(app::PrepareDestination(tmp_.Dir()));
  EXPECT_EQ(fake_.Sleeper.Calls, 50);
  EXPECT_EQ(fake_.Sleeper.TotalMs, 5000u);
  ASSERT_EQ(fake_.Desktop.Messages.size(), 2u);
  for (const auto& m : fake_.Desktop.Messages) {
    EXPECT_TRUE(m.Posted);
    EXPECT_EQ(m.WParam, 0u);
    EXPECT_EQ(m.LParam, 0);
  }
  EXPECT_EQ(MessagesTo("main"),
            (std::vector<std::uint32_t>{platform::kWmQueryEndSession, platform::kWmClose}));
}

TEST_F(Install, ConfirmationIsAnsweredWithTwoClicksOnYes) {
  AddZel();
  ShowDialogAfter(3);
  EXPECT_TRUE(app::CloseRunningZel(app::FindRunningZel()));
  EXPECT_EQ(fake_.Sleeper.Calls, 3);
  EXPECT_EQ(MessagesTo("yes"),
            (std::vector<std::uint32_t>{platform::kBmClick, platform::kBmClick}));
  EXPECT_TRUE(MessagesTo("no").empty());
  for (const auto& m : fake_.Desktop.Messages) {
    if (m.Window == "yes") {
      EXPECT_FALSE(m.Posted);
    }
  }
}

TEST_F(Install, DialogSeenOnlyInTheLastPollIsLeftForTheNextPass) {
  AddZel();
  ShowDialogAfter(50);
  EXPECT_TRUE(app::CloseRunningZel(app::FindRunningZel()));
  EXPECT_EQ(fake_.Sleeper.Calls, 50);
  EXPECT_TRUE(MessagesTo("yes").empty());
}

TEST_F(Install, ConfirmationWithoutYesIsACloseFailure) {
  AddZel();
  ShowDialogAfter(1, false);
  // A "はい(&Y)" that is not the dialog's child does not count.
  fake_.Desktop.Windows.push_back({"stray", "Button", kYes, ""});
  try {
    app::PrepareDestination(tmp_.Dir());
    FAIL() << "no close failure";
  } catch (const app::ECloseFailure& e) {
    EXPECT_EQ(e.Message(), "発見しましたが、クローズに失敗しました");
  }
  EXPECT_TRUE(MessagesTo("stray").empty());
}

TEST_F(Install, BusyExecutableIsTriedFiftyOneTimes) {
  const std::string exe = tmp_.Path("ZEL.EXE");
  ASSERT_FALSE(platform::CopyFile(testing_support::SleepingProgram(), exe, true).Failed());
  RunningProgram running(exe);
  EXPECT_FALSE(app::WaitZelWritable(tmp_.Dir()));
  EXPECT_EQ(fake_.Sleeper.Calls, 51);
  EXPECT_EQ(fake_.Sleeper.TotalMs, 5100u);
}

TEST_F(Install, ExecutableFreedDuringTheWaitIsWritable) {
  const std::string exe = tmp_.Path("ZEL.EXE");
  ASSERT_FALSE(platform::CopyFile(testing_support::SleepingProgram(), exe, true).Failed());
  RunningProgram running(exe);
  fake_.Sleeper.AfterSleep = [&](int calls) {
    if (calls == 7) {
      running.Stop();
    }
  };
  EXPECT_TRUE(app::WaitZelWritable(tmp_.Path("")));  // destination without a delimiter
  EXPECT_EQ(fake_.Sleeper.Calls, 7);
}

TEST_F(Install, ReadOnlyExecutableFailsWithCodeFive) {
  if (testing_support::MayWriteReadOnlyFiles()) {
    GTEST_SKIP() << "root may write read-only files; the end-to-end tests cover it";
  }
  const std::string exe = tmp_.Write("ZEL.EXE", "x");
  std::filesystem::permissions(exe,
                               std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_write |
                                   std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  try {
    app::WaitZelWritable(tmp_.Dir());
    FAIL();
  } catch (const app::EFileCheckError& e) {
    EXPECT_EQ(e.Message(), "ファイル[" + exe + "]のチェックに失敗しました 5");
  }
}

TEST_F(Install, StartRunsTheQuotedFullPath) {
  const std::string dest = tmp_.MakeDir("Program Files/zel");
  app::StartZel(dest);
  ASSERT_EQ(fake_.Launcher.CommandLines.size(), 1u);
  EXPECT_EQ(fake_.Launcher.CommandLines[0], "\"" + dest + rtl::PathDelim + "ZEL.EXE\"");
  EXPECT_EQ(fake_.Launcher.Flags[0], platform::kCreateDefaultErrorMode);
}

TEST_F(Install, StartFailures) {
  try {
    app::StartZel(tmp_.Path("gone"));
    FAIL();
  } catch (const app::EStartError& e) {
    EXPECT_EQ(e.Message(), "インストール先ディレクトリ[" + tmp_.Path("gone") + "]が存在しません");
  }
  EXPECT_TRUE(fake_.Launcher.CommandLines.empty());
  fake_.Launcher.Result = {2, "No such file or directory.\n"};
  try {
    app::RunProgram("\"/x/ZEL.EXE\"");
    FAIL();
  } catch (const app::EExecZelError& e) {
    EXPECT_EQ(e.Message(), "ろぬの起動に失敗しました No such file or directory(2)");
  }
}

TEST_F(Install, UpdateCopiesThenDeletesSourceThenStarts) {
  tmp_.Write("new/ZEL.EXE", "new exe");
  tmp_.Write("new/readme.txt", "new readme");
  tmp_.Write("inst/ZEL.EXE", "old exe");
  tmp_.Write("inst/keep.ini", "settings");
  AddZel();
  ShowDialogAfter(2);
  fake_.Launcher.OnStart = [&] {
    // By the time the file manager is started the source is gone and the copy complete.
    EXPECT_FALSE(Exists(tmp_.Path("new")));
    EXPECT_EQ(ReadFile(tmp_.Path("inst/ZEL.EXE")), "new exe");
  };
  app::CZelUpd updater;
  updater.UpdateFromDirectory(tmp_.Path("new") + rtl::PathDelim, tmp_.Path("inst"), true);
  EXPECT_EQ(ReadFile(tmp_.Path("inst/readme.txt")), "new readme");
  EXPECT_EQ(ReadFile(tmp_.Path("inst/keep.ini")), "settings");
  ASSERT_EQ(fake_.Launcher.CommandLines.size(), 1u);
  EXPECT_EQ(fake_.Launcher.CommandLines[0], "\"" + tmp_.Path("inst/ZEL.EXE") + "\"");
}

TEST_F(Install, PassesRepeatUntilTheExecutableIsFree) {
  tmp_.Write("new/a", "a");
  const std::string exe = tmp_.Path("inst/ZEL.EXE");
  tmp_.MakeDir("inst");
  ASSERT_FALSE(platform::CopyFile(testing_support::SleepingProgram(), exe, true).Failed());
  RunningProgram running(exe);
  fake_.Sleeper.AfterSleep = [&](int calls) {
    if (calls == 120) {
      running.Stop();
    }
  };
  app::CZelUpd updater;
  updater.UpdateFromDirectory(tmp_.Path("new"), tmp_.Path("inst"), false);
  EXPECT_EQ(fake_.Sleeper.Calls, 120);  // two full passes of 51, then freed in the third
  EXPECT_TRUE(Exists(tmp_.Path("new/a")));
  EXPECT_EQ(ReadFile(tmp_.Path("inst/a")), "a");
}

TEST_F(Install, CloseFailureLeavesEverythingUntouched) {
  tmp_.Write("new/ZEL.EXE", "new");
  tmp_.Write("inst/ZEL.EXE", "old");
  AddZel();
  ShowDialogAfter(1, false);
  app::CZelUpd updater;
  EXPECT_THROW(updater.UpdateFromDirectory(tmp_.Path("new"), tmp_.Path("inst"), true),
               app::ECloseFailure);
  EXPECT_EQ(ReadFile(tmp_.Path("inst/ZEL.EXE")), "old");
  EXPECT_TRUE(Exists(tmp_.Path("new/ZEL.EXE")));
  EXPECT_TRUE(fake_.Launcher.CommandLines.empty());
}

}  // namespace
