#include "archive/archive_file.h"

#include <gtest/gtest.h>

#include "archive/errors.h"
#include "archive/formats/arj32.h"
#include "archive/formats/bga32.h"
#include "archive/formats/cab32.h"
#include "archive/formats/lha32.h"
#include "archive/formats/rar32.h"
#include "archive/formats/szip32.h"
#include "archive/formats/tar32.h"
#include "archive/formats/yz132.h"
#include "archive/formats/zip32.h"
#include "archive_recorder/recorder_client.h"
#include "platform/desktop.h"
#include "rtl/codepage.h"
#include "support/temp_dir.h"

namespace {

using archive::DetectArchiverType;
using archive::FileItems;
using archive::TArchiveFile;
using recorder_test::LibraryFile;
using recorder_test::RecordedMember;
using recorder_test::Script;
using recorder_test::Session;
using testing_support::TempDir;

void FreeEveryBinding() {
  archive::TLha32::FreeDLL();
  archive::TZip32::FreeDLL();
  archive::TCab32::FreeDLL();
  archive::TArj32::FreeDLL();
  archive::TTar32::FreeDLL();
  archive::TRar32::FreeDLL();
  archive::TBGA32::FreeDLL();
  archive::TYZ1::FreeDLL();
  archive::TSevenZip32::FreeDLL();
}

// Each test binds the libraries of its own session.
class ArchiveFile : public ::testing::Test {
 protected:
  ArchiveFile() { FreeEveryBinding(); }
  ~ArchiveFile() override { FreeEveryBinding(); }

  rtl::ScopedAnsiCodePage utf8_{rtl::CP_UTF8_};
};

TEST(DetectArchiverType, ByTheLastExtensionIgnoringCase) {
  const struct {
    const char* name;
    archive::TArchiverType type;
  } cases[] = {
      {"a.lzh", archive::atLha},         {"A.LZH", archive::atLha},      {"a.cab", archive::atCab},
      {"a.jar", archive::atZip},         {"a.Ear", archive::atZip},      {"a.war", archive::atZip},
      {"a.zip", archive::atZip},         {"a.arj", archive::atArj},      {"a.rar", archive::atRar},
      {"a.yz1", archive::atYz1},         {"a.gca", archive::atGCA},      {"a.gza", archive::atBga},
      {"a.bza", archive::atBga},         {"a.bz2", archive::atBZ2},      {"lib.a", archive::atTar},
      {"x.lib", archive::atTar},         {"a.tar", archive::atTar},      {"a.deb", archive::atTar},
      {"a.rpm", archive::atTar},         {"a.cpio", archive::atTar},     {"a.Z", archive::atTgz},
      {"a.tar.gz", archive::atTgz},      {"a.tgz", archive::atTgz},      {"a.taz", archive::atTgz},
      {"a.7z", archive::at7z},           {"a.txt", archive::atNone},     {"noext", archive::atNone},
      {"dir.lzh/file", archive::atNone}, {"a.lzh.bak", archive::atNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DetectArchiverType(c.name), c.type) << c.name;
  }
}

TEST(DecodeStreamName, SeparatorBecomesColonAndItsSecondCharacterFive) {
  EXPECT_EQ(archive::DecodeStreamName("file.txt;#stream", ";#"), "file.txt:\x05stream");
  EXPECT_EQ(archive::DecodeStreamName("file.txt;stream", ";#"), "file.txt:stream");
  EXPECT_EQ(archive::DecodeStreamName("a;#b;c", ";#"),
            "a:\x05"
            "b:c");
  EXPECT_EQ(archive::DecodeStreamName("plain", ";#"), "plain");
  EXPECT_EQ(archive::DecodeStreamName("a;#b", ";"), "a:#b");
  EXPECT_EQ(archive::DecodeStreamName("a;#b", ""), "a;#b");
}

TEST(RestoreStreams, AVolumeWithoutStreamsKeepsEveryFile) {
  TempDir tmp;
  tmp.Write("a.txt;#s", "stream data");
  archive::TStreamList list{tmp.Path("a.txt;#s")};
  const archive::TArchiverOptions options;
  archive::RestoreStreams(&list, options, tmp.Dir());
  EXPECT_EQ(testing_support::ReadFile(tmp.Path("a.txt;#s")), "stream data");
  archive::RestoreStreams(nullptr, options, tmp.Dir());
}

TEST_F(ArchiveFile, AFreshComponentHasNoArchiverAndRefusesToExtract) {
  TArchiveFile file;
  EXPECT_EQ(file.ArchiverType(), archive::atAutoDetect);
  EXPECT_EQ(file.Archiver(), nullptr);
  EXPECT_EQ(file.FileName(), "");
  EXPECT_EQ(file.OutputSize(), 0u);
  file.SetFileName("noextension");
  EXPECT_EQ(file.ArchiverType(), archive::atAutoDetect);
  EXPECT_EQ(file.FileName(), "noextension");
  try {
    file.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, "/tmp/");
    FAIL();
  } catch (const archive::EArchiver& e) {
    EXPECT_EQ(e.Message(), "書庫の形式を判別できません。");
  }
  EXPECT_EQ(file.LastCommand(), "");
}

TEST_F(ArchiveFile, TypeSetterKeepsEverythingOnRefusalAndOnAMissingLibrary) {
  const Session session("full");
  TArchiveFile file;
  file.SetFileName("new.LZH");
  ASSERT_EQ(file.ArchiverType(), archive::atLha);
  archive::TArchiver* lha = file.Archiver();
  ASSERT_NE(dynamic_cast<archive::TLha32*>(lha), nullptr);

  // Unknown extensions and atNone change nothing but the name.
  file.SetFileName("readme.txt");
  EXPECT_EQ(file.ArchiverType(), archive::atLha);
  EXPECT_EQ(file.Archiver(), lha);
  EXPECT_EQ(file.FileName(), "readme.txt");
  file.SetArchiverType(archive::atNone);
  EXPECT_EQ(file.ArchiverType(), archive::atLha);

  // Unsupported formats: refused, also through the name.
  for (const archive::TArchiverType type : {archive::atGCA, archive::atBel}) {
    try {
      file.SetArchiverType(type);
      FAIL();
    } catch (const archive::EArchiver& e) {
      EXPECT_EQ(e.Message(), "書庫の形式を特定できませんでした。");
    }
  }
  EXPECT_THROW(file.SetFileName("old.gca"), archive::EArchiver);
  EXPECT_EQ(file.FileName(), "readme.txt");
  EXPECT_EQ(file.ArchiverType(), archive::atLha);
  EXPECT_EQ(file.Archiver(), lha);

  // atAutoDetect is reported but the archiver stays.
  file.SetArchiverType(archive::atAutoDetect);
  EXPECT_EQ(file.ArchiverType(), archive::atAutoDetect);
  EXPECT_EQ(file.Archiver(), lha);

  // Each supported type gets its own class.
  file.SetFileName("a.tgz");
  EXPECT_NE(dynamic_cast<archive::TTgz32*>(file.Archiver()), nullptr);
  file.SetArchiverType(archive::at7z);
  EXPECT_NE(dynamic_cast<archive::TSevenZip32*>(file.Archiver()), nullptr);
}

TEST_F(ArchiveFile, AMissingLibraryLeavesTypeArchiverAndName) {
  TempDir onlyLha;
  onlyLha.MakeDir("libs");
  std::filesystem::copy_file(recorder_test::VariantDir("full") + LibraryFile("UNLHA32.DLL"),
                             onlyLha.Path("libs/" + LibraryFile("UNLHA32.DLL")));
  const Session session(std::vector{onlyLha.Path("libs/")});
  TArchiveFile file;
  file.SetFileName("a.lzh");
  archive::TArchiver* lha = file.Archiver();
  try {
    file.SetFileName("a.rar");
    FAIL();
  } catch (const archive::ENoArchiverDLL& e) {
    EXPECT_EQ(e.Message(), "RAR 形式書庫 を扱うには UNRAR32.DLL が 必要です。");
  }
  EXPECT_EQ(file.FileName(), "a.lzh");
  EXPECT_EQ(file.ArchiverType(), archive::atLha);
  EXPECT_EQ(file.Archiver(), lha);
}

TEST_F(ArchiveFile, ExeIsDetectedByContentWithLhaWinning) {
  const Session session("full");
  TempDir tmp;
  tmp.Write("setup.exe", "MZ");
  // Every library says yes: every check runs, and the LHA check comes last.
  EXPECT_EQ(DetectArchiverType(tmp.Path("setup.exe")), archive::atLha);
  EXPECT_EQ(session.CallsTo("UnlhaCheckArchive").size(), 1u);
  EXPECT_EQ(session.CallsTo("CabOpenArchive").size(), 1u);
  EXPECT_EQ(session.CallsTo("UnrarOpenArchive").size(), 1u);

  // Only the ZIP library says yes.
  session.SetScript(Script()
                        .Result("CheckArchive", {0})
                        .Result("OpenArchive", {0})
                        .Result("UnZipCheckArchive", {1})
                        .Result("UnZipOpenArchive", {5})
                        .Result("UnzipCheckArchive", {1})
                        .Result("UnzipOpenArchive", {5}));
  EXPECT_EQ(DetectArchiverType(tmp.Path("setup.exe")), archive::atZip);

  // Nobody says yes: atNone, so the component keeps what it had.
  session.SetScript(Script()
                        .Result("CheckArchive", {0})
                        .Result("OpenArchive", {0})
                        .Result("GetArchiveType", {0}));
  EXPECT_EQ(DetectArchiverType(tmp.Path("setup.exe")), archive::atNone);
  TArchiveFile file;
  file.SetFileName(tmp.Path("setup.exe"));
  EXPECT_EQ(file.ArchiverType(), archive::atAutoDetect);
  EXPECT_EQ(file.Archiver(), nullptr);
}

TEST_F(ArchiveFile, OutputBufferOfTheChosenSize) {
  const Session session("full");
  session.SetScript(Script().Output("2 files extracted"));
  TArchiveFile file;
  file.SetFileName("a.lzh");
  file.Options().jse = 1;
  file.Options().jso = 1;
  file.SetOutputSize(8192);
  EXPECT_EQ(file.OutputSize(), 8192u);
  EXPECT_EQ(file.OutputText(), "");
  EXPECT_EQ(file.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, "/w/"), 0);
  auto commands = session.CallsTo("Unlha");
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].Arg("size"), "8192");
  EXPECT_EQ(commands[0].Arg("output"), "set");
  EXPECT_EQ(file.OutputText(), "2 files extracted");
  EXPECT_EQ(file.LastCommand(), commands[0].Arg("line"));

  file.SetOutputSize(0);
  file.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, "/w/");
  commands = session.CallsTo("Unlha");
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[1].Arg("size"), "0");
  EXPECT_EQ(commands[1].Arg("output"), "null");
  EXPECT_EQ(file.OutputText(), "");
}

TEST_F(ArchiveFile, GivenOptionsReplaceTheComponentsAndTheResultIsUnjudged) {
  const Session session("full");
  session.SetScript(Script().Result("Unlha", {0x8019}));
  TArchiveFile file;
  file.SetFileName("a.lzh");
  archive::TArchiverOptions own;
  own.jse = 0;
  own.jso = 0;
  own.ResFileUsage = {};
  EXPECT_EQ(file.ExtractFiles(nullptr, &own, FileItems{"*.*"}, "/w/"), 0x8019);
  EXPECT_NE(file.LastCommand().find("-jse0"), std::string::npos);
  // The component's own options lack jse: the builder's check stops it.
  EXPECT_THROW(file.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, "/w/"), rtl::EAssertionFailed);
  EXPECT_EQ(file.LastCommand(), "");
  EXPECT_EQ(TArchiveFile::CurrentArchiveFile(), nullptr);
}

TEST_F(ArchiveFile, EnumerationRunsForTheCallAndItsAbortStopsTheLibrary) {
  const Session session("full");
  session.SetScript(Script()
                        .Member(RecordedMember("a.txt", 1, 1, 0, 0))
                        .Member(RecordedMember("b.txt", 1, 1, 0, 0))
                        .Member(RecordedMember("c.txt", 1, 1, 0, 0)));
  TArchiveFile file;
  file.SetFileName("a.lzh");
  file.Options().jse = 1;
  file.Options().jso = 1;
  int seen = 0;
  file.OnEnumMember = [&](TArchiveFile& sender, archive::TEnumMemberInfo64&, bool& abort) {
    EXPECT_EQ(&sender, &file);
    EXPECT_EQ(TArchiveFile::CurrentArchiveFile(), &file);
    abort = ++seen == 2;
  };
  file.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, "/w/");
  EXPECT_EQ(seen, 2);
  const auto commands = session.CallsTo("Unlha");
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].Arg("enumerated"), "2");
  const auto sets = session.CallsTo("UnlhaSetEnumMembersProc64");
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0].Arg("size"), "1094");
  EXPECT_EQ(session.CallsTo("UnlhaClearEnumMembersProc64").size(), 1u);
  EXPECT_EQ(TArchiveFile::CurrentArchiveFile(), nullptr);

  // The callback itself: 0 stops, all bits set goes on.
  archive::TEnumMemberInfo64 record{};
  seen = 0;
  file.OnEnumMember = [&](TArchiveFile&, archive::TEnumMemberInfo64&, bool& abort) {
    abort = ++seen > 1;
  };
  EXPECT_EQ(TArchiveFile::EnumMembersCallback(&record), -1);  // nobody registered
  EXPECT_EQ(seen, 0);
}

TEST_F(ArchiveFile, AnEventThatThrowsStopsTheLibraryAndPassesOut) {
  const Session session("full");
  session.SetScript(Script()
                        .Member(RecordedMember("a.txt", 1, 1, 0, 0))
                        .Member(RecordedMember("b.txt", 1, 1, 0, 0)));
  TArchiveFile file;
  file.SetFileName("a.lzh");
  file.Options().jse = 1;
  file.Options().jso = 1;
  file.OnEnumMember = [](TArchiveFile&, archive::TEnumMemberInfo64&, bool&) {
    throw rtl::Exception("member refused");
  };
  try {
    file.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, "/w/");
    FAIL();
  } catch (const rtl::Exception& e) {
    EXPECT_EQ(e.Message(), "member refused");
  }
  EXPECT_EQ(session.CallsTo("Unlha")[0].Arg("enumerated"), "1");
  EXPECT_EQ(session.CallsTo("UnlhaClearEnumMembersProc64").size(), 1u);
  EXPECT_EQ(TArchiveFile::CurrentArchiveFile(), nullptr);
}

TEST_F(ArchiveFile, OwnerWindowOnlyForProgressOrStreamCollection) {
  const Session session("full");
  TArchiveFile file;
  file.SetFileName("a.lzh");
  file.Options().jse = 1;
  file.Options().jso = 1;
  file.Options().IncludeExtraStreams = false;
  file.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, "/w/");
  EXPECT_TRUE(session.CallsTo("UnlhaSetOwnerWindowEx").empty());
  EXPECT_TRUE(session.CallsTo("UnlhaSetEnumMembersProc64").empty());

  file.OnProgress = [](TArchiveFile&, int, arcapi::TExtractingInfoEx*, bool&) {};
  file.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, "/w/");
  auto sets = session.CallsTo("UnlhaSetOwnerWindowEx");
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_NE(sets[0].Arg("window"), "0");
  EXPECT_EQ(sets[0].Arg("callback"), "null");
  auto kills = session.CallsTo("UnlhaKillOwnerWindowEx");
  ASSERT_EQ(kills.size(), 1u);
  EXPECT_EQ(kills[0].Arg("window"), sets[0].Arg("window"));
  // The same hidden window serves every operation of the component.
  file.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, "/w/");
  sets = session.CallsTo("UnlhaSetOwnerWindowEx");
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[1].Arg("window"), sets[0].Arg("window"));

  // Collecting streams needs the messages too.
  file.OnProgress = nullptr;
  file.Options().IncludeExtraStreams = true;
  file.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, "/w/");
  EXPECT_EQ(session.CallsTo("UnlhaSetOwnerWindowEx").size(), 3u);
  EXPECT_EQ(session.CallsTo("UnlhaKillOwnerWindowEx").size(), 3u);
}

TEST_F(ArchiveFile, ALibraryWithoutOwnerWindowEntriesStillExtracts) {
  const Session session("no-owner");
  TArchiveFile file;
  file.SetFileName("a.lzh");
  file.Options().jse = 1;
  file.Options().jso = 1;
  bool called = false;
  file.OnProgress = [&](TArchiveFile&, int, arcapi::TExtractingInfoEx*, bool&) { called = true; };
  EXPECT_EQ(file.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, "/w/"), 0);
  EXPECT_EQ(session.CallsTo("Unlha").size(), 1u);
  EXPECT_FALSE(called);
}

TEST(RegisteredMessage, SameNumberForTheSameNameInAnyCase) {
  const std::uint32_t id = platform::RegisterWindowMessage("wm_arcextract");
  EXPECT_GE(id, 0xC000u);
  EXPECT_LE(id, 0xFFFFu);
  EXPECT_EQ(platform::RegisterWindowMessage("WM_ARCEXTRACT"), id);
  EXPECT_NE(platform::RegisterWindowMessage("wm_arcextract2"), id);
}

TEST(MessageWindow, SendReachesTheHandlerAndAnExceptionWaitsForItsOwner) {
  std::uint32_t got = 0;
  platform::MessageWindow window(
      [&](std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) -> std::intptr_t {
        got = message;
        if (wParam == 9) {
          throw rtl::Exception("handler failed");
        }
        return lParam + 1;
      });
  EXPECT_EQ(platform::SendMessage(window.Native(), 0xC123, 0, 41), 42);
  EXPECT_EQ(got, 0xC123u);
  EXPECT_EQ(platform::SendMessage(window.Native(), 0xC123, 9, 0), 1);  // reads as "abort"
  const std::exception_ptr pending = window.TakeException();
  ASSERT_TRUE(pending);
  EXPECT_THROW(std::rethrow_exception(pending), rtl::Exception);
  EXPECT_FALSE(window.TakeException());
  EXPECT_EQ(platform::SendMessage(nullptr, 0xC123, 0, 0), 0);
}

}  // namespace
