// The checks before an installation, and its journal: replacing, undoing,
// and putting back what a killed run left.
#include "app/installation.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "app/errors.h"
#include "fileutil/dirtreat.h"
#include "foreign_entries.h"
#include "rtl/codepage.h"
#include "rtl/mbcs.h"
#include "support/temp_dir.h"

namespace {

using testing_support::Exists;
using testing_support::NativeName;
using testing_support::ReadFile;
using testing_support::TempDir;

// Every file below `dir` with its content, folders as "<dir>"; relative
// names with "/".
std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    const std::string relative = std::filesystem::relative(entry.path(), dir).generic_string();
    files[relative] = entry.is_directory() ? "<dir>" : ReadFile(entry.path().string());
  }
  return files;
}

// The message of what `action` raises, or "" when it raises nothing.
std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const rtl::Exception& e) {
    return e.Message();
  }
  return "";
}

class Installation : public ::testing::Test {
 protected:
  Installation() {
    tmp_.Write("dest/ZEL.EXE", "old exe");
    tmp_.Write("dest/keep.txt", "mine");
    tmp_.Write("dest/doc/a.txt", "old a");
    tmp_.Write("dest/lib", "a file where the release has a folder");
    tmp_.Write("new/ZEL.EXE", "new exe");
    tmp_.Write("new/doc/a.txt", "new a");
    tmp_.Write("new/doc/deep/b.txt", "new b");
    tmp_.Write("new/lib/c.dll", "new c");
    tmp_.Write("new/.hidden", "not installed");
  }
  std::string Dest() const { return tmp_.Path("dest") + rtl::PathDelim; }
  app::TInstallPlan Plan(bool mayMove = false) const {
    return app::PlanInstallation(tmp_.Path("new"), tmp_.Path("dest"), mayMove);
  }
  // Carries out the plan up to `files` files, without committing.
  static void PlaceUpTo(app::TInstallation& installation, const app::TInstallPlan& plan,
                        std::size_t files) {
    for (const std::string& folder : plan.Directories) {
      installation.MakeDirectory(folder);
    }
    for (std::size_t i = 0; i < files && i < plan.Files.size(); ++i) {
      installation.PlaceFile(plan.Files[i]);
    }
  }

  rtl::ScopedAnsiCodePage utf8_{rtl::CP_UTF8_};
  TempDir tmp_;
};

TEST_F(Installation, TheChecksRefuseWhatTheInstallationWouldFailOn) {
  struct Case {
    std::string Name;
    std::function<void(const TempDir&)> Arrange;
    std::string Message;
  };
  const std::string newDir = tmp_.Path("new");
  const std::string dest = tmp_.Path("dest");
  std::vector<Case> cases = {
      {"a missing source", [](const TempDir& t) { std::filesystem::remove_all(t.Path("new")); },
       "ディレクトリ[" + newDir + "]が存在しません"},
      {"a missing destination",
       [](const TempDir& t) { std::filesystem::remove_all(t.Path("dest")); },
       "インストール先ディレクトリ[" + dest + "]が存在しません"},
      {"a destination that is a file",
       [](const TempDir& t) {
         std::filesystem::remove_all(t.Path("dest"));
         t.Write("dest", "a file");
       },
       "インストール先ディレクトリ[" + dest + "]が存在しません"},
  };
  // What only some systems put into a file system: each with the file it
  // makes below "new" and the text of the error it gives.
  for (const testing_support::ForeignEntry& entry : testing_support::ForeignEntries()) {
    cases.push_back({entry.Name, entry.Make,
                     "ファイル[" + tmp_.Path("new/" + entry.Relative) + "]をディレクトリ[" +
                         tmp_.Path("dest/" + entry.Folder) + "]にコピーできませんでした " +
                         entry.ErrorText});
  }
  for (const Case& c : cases) {
    TempDir tmp;
    tmp.Write("new/ZEL.EXE", "new exe");
    tmp.Write("new/doc/a.txt", "new a");
    tmp.MakeDir("dest");
    c.Arrange(tmp);
    std::string message =
        MessageOf([&] { app::PlanInstallation(tmp.Path("new"), tmp.Path("dest"), false); });
    // The paths of this case's own directory.
    for (std::size_t at; (at = message.find(tmp.Path(""))) != std::string::npos;) {
      message.replace(at, tmp.Path("").size(), tmp_.Path(""));
    }
    EXPECT_EQ(message, c.Message) << c.Name;
  }
}

TEST_F(Installation, ThePlanHoldsTheTreeWithoutHiddenNamesAndMovesOnlyWhenAllowed) {
  std::filesystem::create_symlink("doc/a.txt", tmp_.Path("new/alias.txt"));
  const app::TInstallPlan plan = Plan();
  EXPECT_EQ(plan.LeftOut, std::vector<std::string>{".hidden"});
  EXPECT_EQ(plan.Directories, (std::vector<std::string>{"doc", "lib", NativeName("doc/deep")}));
  std::map<std::string, bool> files;
  for (const app::TPlannedFile& file : plan.Files) {
    files[file.Relative] = file.Move;
  }
  EXPECT_EQ(files, (std::map<std::string, bool>{{"ZEL.EXE", false},
                                                {"alias.txt", false},
                                                {NativeName("doc/a.txt"), false},
                                                {NativeName("doc/deep/b.txt"), false},
                                                {NativeName("lib/c.dll"), false}}));
  // The tool's own files move where they share the volume; a link never does.
  for (const app::TPlannedFile& file : Plan(true).Files) {
    EXPECT_EQ(file.Move, file.Relative != "alias.txt") << file.Relative;
  }
}

TEST_F(Installation, ACommittedInstallationHoldsTheNewTreeAndNoBackup) {
  const app::TInstallPlan plan = Plan(true);
  {
    app::TInstallation installation(Dest());
    PlaceUpTo(installation, plan, plan.Files.size());
    installation.Commit();
  }
  EXPECT_EQ(Snapshot(tmp_.Path("dest")),
            (std::map<std::string, std::string>{{"ZEL.EXE", "new exe"},
                                                {"keep.txt", "mine"},
                                                {"doc", "<dir>"},
                                                {"doc/a.txt", "new a"},
                                                {"doc/deep", "<dir>"},
                                                {"doc/deep/b.txt", "new b"},
                                                {"lib", "<dir>"},
                                                {"lib/c.dll", "new c"}}));
}

TEST_F(Installation, AFailureHalfWayPutsEverythingBack) {
  const std::map<std::string, std::string> before = Snapshot(tmp_.Path("dest"));
  for (const bool move : {false, true}) {
    const app::TInstallPlan plan = Plan(move);
    for (std::size_t placed = 0; placed <= plan.Files.size(); ++placed) {
      app::TInstallation installation(Dest());
      PlaceUpTo(installation, plan, placed);
      EXPECT_TRUE(installation.RollBack());
      EXPECT_EQ(Snapshot(tmp_.Path("dest")), before) << placed << " files, move " << move;
      if (move) {
        // What moved in went away with the rollback; the plan is redone
        // from a fresh copy.
        tmp_.Write("new/ZEL.EXE", "new exe");
        tmp_.Write("new/doc/a.txt", "new a");
        tmp_.Write("new/doc/deep/b.txt", "new b");
        tmp_.Write("new/lib/c.dll", "new c");
      }
    }
  }
  // A file of the release that cannot be read fails the installation,
  // which the destructor undoes.
  const app::TInstallPlan plan = Plan();
  std::filesystem::remove(tmp_.Path("new/lib/c.dll"));
  EXPECT_NE(MessageOf([&] {
              app::TInstallation installation(Dest());
              PlaceUpTo(installation, plan, plan.Files.size());
            }),
            "");
  EXPECT_EQ(Snapshot(tmp_.Path("dest")), before);
}

TEST_F(Installation, AKilledRunIsPutBackByTheNextOne) {
  const std::map<std::string, std::string> before = Snapshot(tmp_.Path("dest"));
  const app::TInstallPlan plan = Plan();
  for (std::size_t placed = 0; placed <= plan.Files.size(); ++placed) {
    // The child ends without unwinding, as a killed process does.
    EXPECT_EXIT(
        {
          app::TInstallation installation(Dest());
          PlaceUpTo(installation, plan, placed);
          std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(Exists(Dest() + ".zelupd-backup"));
    EXPECT_TRUE(app::RestoreInterruptedInstallation(tmp_.Path("dest")));
    EXPECT_EQ(Snapshot(tmp_.Path("dest")), before) << placed << " files";
  }
  EXPECT_FALSE(app::RestoreInterruptedInstallation(tmp_.Path("dest")));

  // A backup whose journal says the installation was complete is only
  // removed: what was installed stays.
  {
    app::TInstallation installation(Dest());
    PlaceUpTo(installation, plan, plan.Files.size());
    installation.Commit();
  }
  tmp_.Write("dest/.zelupd-backup/files/ZEL.EXE", "old exe");
  tmp_.Write("dest/.zelupd-backup/journal", "R ZEL.EXE\nC \n");
  EXPECT_TRUE(app::RestoreInterruptedInstallation(tmp_.Path("dest")));
  EXPECT_EQ(ReadFile(Dest() + "ZEL.EXE"), "new exe");
  EXPECT_FALSE(Exists(Dest() + ".zelupd-backup"));
}

}  // namespace
