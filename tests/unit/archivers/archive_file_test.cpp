// The facade over the real libraries: what the updater does, with the
// events a program may add.
#include "archive/archive_file.h"

#include <gtest/gtest.h>

#include "archivers_support.h"
#include "rtl/exceptions.h"
#include "support/temp_dir.h"

namespace {

using archive::FileItems;
using archive::TArchiveFile;
using archivers_test::LzhFixture;
using testing_support::ReadFile;
using testing_support::TempDir;

class ArchiveFileOnLibraries : public archivers_test::ArchiverLibraries {
 protected:
  ArchiveFileOnLibraries() {
    file_.SetOutputSize(8192);
    file_.Options().n = 1;
    file_.Options().y = 1;
    file_.Options().jse = 1;
    file_.Options().jso = 1;
  }

  TArchiveFile file_;
};

TEST_F(ArchiveFileOnLibraries, ExtractsWhatTheUpdaterAsksFor) {
  file_.SetFileName(LzhFixture("zel-new.lzh"));
  ASSERT_EQ(file_.ArchiverType(), archive::atLha);
  const TempDir work;
  EXPECT_EQ(file_.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, work.Dir()), 0)
      << file_.OutputText();
  EXPECT_EQ(ReadFile(work.Path("ZEL.EXE")), "new ZEL.EXE\n");
  EXPECT_TRUE(testing_support::Exists(work.Path("readme.txt")));
  EXPECT_TRUE(testing_support::Exists(work.Path("plugin.dll")));
  EXPECT_EQ(file_.LastCommand().substr(0, 24), "x -+ -n1 -y1 -jse1 -jso1");
}

TEST_F(ArchiveFileOnLibraries, ProgressReachesOnProgressAndItsAbortStops) {
  file_.SetFileName(LzhFixture("subdir.lzh"));
  struct Seen {
    int State;
    std::string Member;
    std::string Destination;
  };
  std::vector<Seen> seen;
  bool abortOnData = false;
  file_.OnProgress = [&](TArchiveFile& sender, int state, arcapi::TExtractingInfoEx* info,
                         bool& abort) {
    EXPECT_EQ(&sender, &file_);
    ASSERT_NE(info, nullptr);
    seen.push_back({state, info->Info.SourceFileName, info->Info.DestFileName});
    abort = abortOnData && state == arcapi::kExtractInProcess;
  };
  const TempDir work;
  ASSERT_EQ(file_.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, work.Dir()), 0);
  ASSERT_EQ(seen.size(), 6u);
  EXPECT_EQ(seen[1].State, arcapi::kExtractInProcess);
  EXPECT_EQ(seen[1].Member, "sub/inner.txt");
  EXPECT_EQ(seen[1].Destination, work.Path("sub/inner.txt"));
  EXPECT_EQ(seen[4].Member, "top.txt");

  seen.clear();
  abortOnData = true;
  const TempDir stopped;
  EXPECT_EQ(file_.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, stopped.Dir()),
            arcapi::kErrorUserCancel);
  EXPECT_FALSE(testing_support::Exists(stopped.Path("top.txt")));
}

TEST_F(ArchiveFileOnLibraries, AnExceptionInAnEventStopsTheLibraryAndPassesOut) {
  file_.SetFileName(LzhFixture("lh5-level2.lzh"));
  int calls = 0;
  file_.OnProgress = [&](TArchiveFile&, int, arcapi::TExtractingInfoEx*, bool&) {
    ++calls;
    throw rtl::Exception("progress refused");
  };
  const TempDir work;
  try {
    file_.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, work.Dir());
    FAIL();
  } catch (const rtl::Exception& e) {
    EXPECT_EQ(e.Message(), "progress refused");
  }
  EXPECT_EQ(calls, 1);  // the library stopped at the first answer
  EXPECT_FALSE(testing_support::Exists(work.Path("far.txt")));
}

TEST_F(ArchiveFileOnLibraries, MembersAreEnumeratedDuringTheExtraction) {
  file_.SetFileName(LzhFixture("lh5-level2.lzh"));
  int members = 0;
  file_.OnEnumMember = [&](TArchiveFile&, archive::TEnumMemberInfo64&, bool& abort) {
    EXPECT_EQ(TArchiveFile::CurrentArchiveFile(), &file_);
    abort = ++members == 2;
  };
  const TempDir work;
  EXPECT_EQ(file_.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, work.Dir()),
            arcapi::kErrorUserCancel);
  EXPECT_EQ(members, 2);
  EXPECT_EQ(TArchiveFile::CurrentArchiveFile(), nullptr);
  EXPECT_TRUE(testing_support::Exists(work.Path("big.txt")));
  EXPECT_FALSE(testing_support::Exists(work.Path("tiny.txt")));
}

TEST_F(ArchiveFileOnLibraries, ZipByExtensionAndAnUnknownArchiveByContent) {
  const TempDir tmp;
  archivers_test::WriteArchive(tmp.Path("pack.zip"), archivers_test::Format::Zip,
                               archivers_test::Filter::None, {{"a.txt", "alpha"}});
  std::filesystem::copy_file(tmp.Path("pack.zip"), tmp.Path("setup.exe"));
  file_.SetFileName(tmp.Path("setup.exe"));
  EXPECT_EQ(file_.ArchiverType(), archive::atZip);
  const TempDir work;
  EXPECT_EQ(file_.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, work.Dir()), 0);
  EXPECT_EQ(ReadFile(work.Path("a.txt")), "alpha");

  // A self-extracting LHA archive: LHA's answer wins.
  std::filesystem::copy_file(LzhFixture("stored.lzh"), tmp.Path("lha.exe"));
  file_.SetFileName(tmp.Path("lha.exe"));
  EXPECT_EQ(file_.ArchiverType(), archive::atLha);
}

}  // namespace
