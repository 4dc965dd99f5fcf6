#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/errors.h"
#include "archive/formats/szip32.h"
#include "archive/formats/yz132.h"
#include "archive/sfx_file.h"
#include "archive_recorder/recorder_client.h"
#include "rtl/codepage.h"
#include "support/scoped.h"
#include "support/temp_dir.h"

namespace {

using archive::FileItems;
using archive::TArchiverOptions;
using archive::TSevenZip32;
using archive::TWindowHandle;
using archive::TYZ1;
using recorder_test::LibraryFile;
using recorder_test::RecordedMember;
using recorder_test::ScopedEnv;
using recorder_test::Script;
using recorder_test::Session;
using recorder_test::VariantDir;
using testing_support::Exists;
using testing_support::NativeName;
using testing_support::ReadFile;
using testing_support::ScopedCurrentDir;
using testing_support::ScopedValue;
using testing_support::TempDir;

// The archive side refuses with EArchiver.
constexpr auto RefusalOf = testing_support::RefusalOf<archive::EArchiver>;

TWindowHandle Window(std::uintptr_t value) {
  return reinterpret_cast<TWindowHandle>(value);
}

// Bytes that differ from position to position, so a shifted copy shows.
std::string Bytes(std::size_t size, unsigned seed) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    data[i] = static_cast<char>((i * 7 + seed) & 0xFFu);
  }
  return data;
}

// Each test starts without bindings and with the process variables as they
// were, finds stub files only where it puts them (the work directory, made
// current, or a directory of its own on PATH), and reads messages as UTF-8.
class FormatTest : public ::testing::Test {
 protected:
  FormatTest() {
    TYZ1::FreeDLL();
    TSevenZip32::FreeDLL();
  }
  ~FormatTest() override {
    TYZ1::FreeDLL();
    TSevenZip32::FreeDLL();
  }

  // A directory holding copies of the chosen libraries of the full variant.
  std::string LibraryDir(const std::vector<std::string>& libraries) const {
    for (const std::string& library : libraries) {
      std::filesystem::copy_file(VariantDir("full") + library, libs_.Path(library));
    }
    return libs_.Dir();
  }

  rtl::ScopedAnsiCodePage utf8_{rtl::CP_UTF8_};
  ScopedValue<std::string> name1_{archive::Yz1DllName1()};
  ScopedValue<std::string> name2_{archive::Yz1DllName2()};
  ScopedValue<std::string> module_{archive::SevenZipSfxModule()};
  ScopedValue<std::string> config_{archive::SevenZipSfxConfig()};
  TempDir libs_;
  TempDir work_;
  TempDir pathDir_;
  ScopedEnv path_{"PATH", pathDir_.Dir()};
  ScopedCurrentDir cwd_{work_.Dir()};
};

using Yz1 = FormatTest;
using SevenZip = FormatTest;

// --- YZ1 command lines ---

TEST_F(Yz1, LevelAndSwitchesOfTheCommandLine) {
  const Session session("full");
  TYZ1 yz1;
  const struct {
    const char* name;
    std::function<void(TArchiverOptions&)> set;
    const char* switches;
  } cases[] = {
      {"nothing given", [](TArchiverOptions&) {}, ""},
      {"m 0 forces c 2",
       [](TArchiverOptions& o) {
         o.m = 0;
         o.c = 5;
       },
       " -c2 -y2"},
      {"m unset keeps c", [](TArchiverOptions& o) { o.c = 5; }, " -c5"},
      {"m 1",
       [](TArchiverOptions& o) {
         o.m = 1;
         o.c = 5;
       },
       " -c5 -y1"},
      {"m 2", [](TArchiverOptions& o) { o.m = 2; }, " -c2 -y2"},
      {"m 9",
       [](TArchiverOptions& o) {
         o.m = 9;
         o.c = 3;
       },
       " -c3 -y0"},
      {"m 3 has no level",
       [](TArchiverOptions& o) {
         o.m = 3;
         o.c = 3;
       },
       " -c3"},
      {"m -2 read unsigned", [](TArchiverOptions& o) { o.m = -2; }, ""},
      {"n, p and x",
       [](TArchiverOptions& o) {
         o.n = 1;
         o.p = 0;
         o.x = 1;
       },
       " -i -z0 -x1"},
      {"n 0",
       [](TArchiverOptions& o) {
         o.n = 0;
         o.p = 2;
       },
       " -z2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TArchiverOptions options;
    c.set(options);
    EXPECT_EQ(
        yz1.GetExtractCommand(nullptr, "a.yz1", options, NativeName("/d"), FileItems{"*.*"}, false),
        std::string("x -+") + c.switches + NativeName("  \"a.yz1\" \"/d/\" \"*.*\" "));
    EXPECT_EQ(
        yz1.GetAddCommand(nullptr, "a.yz1", options, NativeName("/base/"), FileItems{"f"}, false),
        std::string("c -+") + c.switches + NativeName("  \"a.yz1\" \"/base/\" \"f\" "));
  }
}

TEST_F(Yz1, ExtractionRunsThroughTheFirstLibraryWithTheTemplatesResponseFlag) {
  const Session session("full");
  session.SetScript(Script().Result("Yz1", {0x8019}));
  TYZ1 yz1;
  TArchiverOptions options;
  options.UserOptions = "-u";
  options.UserFileList = "-tail";
  options.ResFileName = session.Dir().Path("names.rsp");
  // The response file follows the flag the template passes, not ResFileUsage.
  options.ResFileUsage.Exclude(archive::ruOnUnpack);
  std::string commandLine;
  std::string output;
  EXPECT_EQ(yz1.ExtractFiles(nullptr, "a.yz1", options, NativeName("/d"), FileItems{"one", "two"},
                             true, commandLine, output),
            0x8019);
  const std::string expected =
      NativeName("x -+ -u \"a.yz1\" \"/d/\" \"@") + options.ResFileName + "\" -tail";
  EXPECT_EQ(commandLine, expected);
  EXPECT_EQ(ReadFile(options.ResFileName), "\"one\"\r\n\"two\"\r\n");
  const auto calls = session.CallsTo("Yz1");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Library, LibraryFile("YYZ32.DLL"));
  EXPECT_EQ(calls[0].Arg("line"), expected);

  options.ResFileUsage.Include(archive::ruOnPack);
  EXPECT_EQ(yz1.GetAddCommand(nullptr, "a.yz1", options, "", FileItems{"one"}, false),
            "c -+ -u \"a.yz1\" \"one\" -tail");
}

TEST_F(Yz1, OwnerWindowAsksForTheLibrarysOwnProgressSwitch) {
  const Session session("full");
  TYZ1 yz1;
  TArchiverOptions options;
  options.n = 0;
  yz1.SetOwnerWindow(Window(9), nullptr);
  EXPECT_EQ(yz1.GetExtractCommand(nullptr, "a.yz1", options, "", FileItems{"f"}, false),
            "x -+ -i  \"a.yz1\" \"f\" ");
}

TEST_F(Yz1, DeletingUpdatingAndMemoryExtractionAreRefused) {
  const Session session("full");
  TYZ1 yz1;
  TArchiverOptions options;
  std::string commandLine = "untouched";
  std::string output;
  EXPECT_EQ(RefusalOf([&] {
              yz1.DeleteFiles(nullptr, "a", options, "", FileItems{"f"}, false, commandLine,
                              output);
            }),
            "この形式の書庫ではファイルの削除をサポートしておりません。");
  EXPECT_EQ(RefusalOf([&] {
              yz1.UpdateFiles(nullptr, "a", options, "", FileItems{"f"}, false, commandLine,
                              output);
            }),
            "この形式の書庫では書庫の更新をサポートしておりません。");
  EXPECT_EQ(RefusalOf([&] {
              yz1.ExtractMem(nullptr, "a", options, "m", nullptr, 0, nullptr, commandLine);
            }),
            "この形式ではメモリ展開をサポートしておりません。");
  EXPECT_EQ(commandLine, "untouched");
  EXPECT_TRUE(session.Calls().empty());
}

// --- YZ1 loading ---

TEST_F(Yz1, EachNameIsTriedInOrder) {
  const struct {
    const char* name;
    std::vector<std::string> present;
    std::string name1;
    const char* loaded;
    std::string library;
  } cases[] = {
      {"both present",
       {LibraryFile("YYZ32.DLL"), LibraryFile("YZ1.DLL")},
       "YYZ32.DLL",
       "YYZ32.DLL",
       LibraryFile("YYZ32.DLL")},
      {"first only",
       {LibraryFile("YYZ32.DLL")},
       "YYZ32.DLL",
       "YYZ32.DLL",
       LibraryFile("YYZ32.DLL")},
      {"second only", {LibraryFile("YZ1.DLL")}, "YYZ32.DLL", "YZ1.DLL", LibraryFile("YZ1.DLL")},
      {"first name empty",
       {LibraryFile("YYZ32.DLL"), LibraryFile("YZ1.DLL")},
       "",
       "YZ1.DLL",
       LibraryFile("YZ1.DLL")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    for (const std::string& library : c.present) {
      std::filesystem::copy_file(VariantDir("full") + library, dir.Path(library));
    }
    const Session session(std::vector{dir.Dir()});
    archive::Yz1DllName1() = c.name1;
    TYZ1 yz1;
    ASSERT_NE(TYZ1::Yz1Dll(), nullptr);
    EXPECT_EQ(TYZ1::Yz1Dll()->DllName(), c.loaded);
    EXPECT_EQ(TYZ1::Yz1Dll()->Prefix(), "Yz1");
    EXPECT_EQ(TYZ1::Yz1Dll()->FormatName(), "YZ1 形式書庫");
    yz1.CheckArchive("a.yz1", 1, 0);
    const auto calls = session.CallsTo("Yz1CheckArchive");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Library, c.library);
    TYZ1::FreeDLL();
  }
}

TEST_F(Yz1, NeitherLibraryLeavesNoBindingSoALaterConstructionRetries) {
  const Session session(std::vector{libs_.Dir()});
  try {
    TYZ1 yz1;
    FAIL() << "constructed without a library";
  } catch (const archive::ENoArchiverDLL&) {
    FAIL() << "the binding's own message instead of the two names";
  } catch (const archive::EArchiver& e) {
    EXPECT_EQ(e.Message(), "Yz1 形式書庫を扱うには YYZ32.DLL か YZ1.DLL が必要です。");
  }
  EXPECT_EQ(TYZ1::Yz1Dll(), nullptr);
  EXPECT_THROW(TYZ1{}, archive::EArchiver);
  EXPECT_FALSE(archive::IsYz1Archive(work_.Write("a.yz1", "x")));

  LibraryDir({LibraryFile("YZ1.DLL")});
  TYZ1 yz1;
  ASSERT_NE(TYZ1::Yz1Dll(), nullptr);
  EXPECT_EQ(TYZ1::Yz1Dll()->DllName(), "YZ1.DLL");
}

TEST_F(Yz1, LoadFailureNamesTheNamesThatAreSet) {
  const Session session(std::vector{libs_.Dir()});
  const struct {
    const char* name1;
    const char* name2;
    const char* message;
  } cases[] = {
      {"YYZ32.DLL", "YZ1.DLL", "Yz1 形式書庫を扱うには YYZ32.DLL か YZ1.DLL が必要です。"},
      {"", "YZ1.DLL", "Yz1 形式書庫を扱うには YZ1.DLL が必要です。"},
      {"OTHER.DLL", "", "Yz1 形式書庫を扱うには OTHER.DLL が必要です。"},
      {"", "", "Yz1 形式書庫を扱うには  が必要です。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name1) + "|" + c.name2);
    archive::Yz1DllName1() = c.name1;
    archive::Yz1DllName2() = c.name2;
    EXPECT_EQ(RefusalOf([] { TYZ1::LoadDLL(); }), c.message);
    EXPECT_EQ(TYZ1::Yz1Dll(), nullptr);
  }
}

// --- YZ1 passwords ---

TEST_F(Yz1, ProtectedArchiveAsksForAPasswordAtMostFourTimes) {
  constexpr long long kPassword = 0x800A;
  const struct {
    const char* name;
    const char* variant;
    std::vector<long long> findResults;
    std::vector<long long> dialogResults;
    int result;
    std::size_t searches;
    std::size_t dialogs;
  } cases[] = {
      {"always protected", "full", {kPassword}, {0}, static_cast<int>(kPassword), 4, 4},
      {"second password right", "full", {kPassword, kPassword, 0}, {0}, 0, 3, 2},
      {"dialog cancelled", "full", {kPassword}, {0, -1}, static_cast<int>(kPassword), 2, 2},
      {"dialog cancelled at once", "full", {kPassword}, {-1}, static_cast<int>(kPassword), 1, 1},
      {"not protected", "full", {0x8019}, {0}, 0x8019, 1, 0},
      {"no password entries", "no-password", {kPassword}, {0}, static_cast<int>(kPassword), 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Session session(c.variant);
    Script script;
    script.Result("Yz1OpenArchive", {5}).Password("open sesame");
    script.Member(RecordedMember("doc.txt", 10, 5, 0, 0));
    // The scripted codes are stored as one list per key.
    std::string text = script.Text() + "result\tYz1FindFirst";
    for (const long long code : c.findResults) {
      text += "\t" + std::to_string(code);
    }
    text += "\nresult\tYz1PasswordDialog";
    for (const long long code : c.dialogResults) {
      text += "\t" + std::to_string(code);
    }
    session.Dir().Write("script.txt", text + "\n");

    TYZ1 yz1;
    const archive::TArchiveHandle handle = yz1.OpenArchive(Window(0x77), "a.yz1", 0);
    archive::TMemberInfo info{};
    EXPECT_EQ(yz1.FindFirst(handle, info, "*.*"), c.result);
    // A found member is completed as after any search.
    EXPECT_EQ(std::string(info.Dll.FileName), c.result == 0 ? "doc.txt" : "");
    const std::uint64_t size64 = info.OriginalSize64;  // packed: read a copy
    EXPECT_EQ(size64, c.result == 0 ? 10u : 0u);
    EXPECT_EQ(session.CallsTo("Yz1FindFirst").size(), c.searches);
    const auto dialogs = session.CallsTo("Yz1PasswordDialog");
    ASSERT_EQ(dialogs.size(), c.dialogs);
    for (const auto& dialog : dialogs) {
      EXPECT_EQ(dialog.Arg("window"), std::to_string(0x77));
      EXPECT_EQ(dialog.Arg("size"), "256");
    }
    // A password is set after every dialog that was not cancelled, and
    // each search after the first follows one.
    std::vector<std::string> sequence;
    for (const auto& call : session.Calls()) {
      if (call.Entry == "Yz1FindFirst" || call.Entry == "Yz1PasswordDialog" ||
          call.Entry == "Yz1SetDefaultPassword") {
        sequence.push_back(call.Entry);
      }
      if (call.Entry == "Yz1SetDefaultPassword") {
        EXPECT_EQ(call.Arg("handle"), "5");
        EXPECT_EQ(call.Arg("password"), "open sesame");
      }
    }
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < c.searches; ++i) {
      expected.emplace_back("Yz1FindFirst");
      if (i < c.dialogs) {
        expected.emplace_back("Yz1PasswordDialog");
        if (session.CallsTo("Yz1PasswordDialog")[i].Arg("result") != "-1") {
          expected.emplace_back("Yz1SetDefaultPassword");
        }
      }
    }
    EXPECT_EQ(sequence, expected);
    TYZ1::FreeDLL();
  }
}

TEST_F(Yz1, APasswordThatFillsTheWholeBufferEndsWithIt) {
  const Session session("full");
  // More than fits, with no NUL: the library writes all 256 bytes.
  session.SetScript(
      Script().Result("Yz1FindFirst", {0x800A, 0}).PasswordUnterminated(std::string(300, 'p')));
  TYZ1 yz1;
  archive::TMemberInfo info{};
  yz1.FindFirst(yz1.OpenArchive(nullptr, "a.yz1", 0), info, "*");
  const auto set = session.CallsTo("Yz1SetDefaultPassword");
  ASSERT_EQ(set.size(), 1u);
  EXPECT_EQ(set[0].Arg("password"), std::string(256, 'p'));
}

TEST_F(Yz1, TheLatestOpenedWindowIsTheDialogsOwner) {
  const Session session("full");
  session.SetScript(Script().Result("Yz1FindFirst", {0x800A, 0}).Result("Yz1PasswordDialog", {0}));
  TYZ1 yz1;
  archive::TYZ1Dll& dll = *TYZ1::Yz1Dll();
  EXPECT_EQ(dll.LastWindow(), nullptr);
  dll.OpenArchive(Window(3), "a.yz1", 0);
  EXPECT_EQ(dll.LastWindow(), Window(3));
  const archive::TArchiveHandle handle = dll.OpenArchive(Window(4), "b.yz1", 0);
  EXPECT_EQ(dll.LastWindow(), Window(4));
  archive::TMemberInfo info{};
  dll.FindFirst(handle, "*", info);
  EXPECT_EQ(session.CallsTo("Yz1PasswordDialog").at(0).Arg("window"), "4");
}

// --- YZ1 self-extracting files ---

TEST_F(Yz1, SelfExtractorIsStubArchiveAndBigEndianSize) {
  const struct {
    const char* name;
    std::int8_t gw;
    std::vector<std::string> stubs;
    const char* used;
    std::size_t archiveSize;
    std::string tail;
  } cases[] = {
      {"Win32 console stub",
       1,
       {"yzw32cui.sfx", "yzdec.exe", "yzdos16.sfx"},
       "yzw32cui.sfx",
       258,
       std::string("\x00\x00\x01\x02", 4)},
      {"Win32 decoder",
       2,
       {"yzdec.exe", "yzdos16.sfx"},
       "yzdec.exe",
       66051,
       std::string("\x00\x01\x02\x03", 4)},
      {"DOS with gw 0",
       0,
       {"yzw32cui.sfx", "yzdos16.sfx"},
       "yzdos16.sfx",
       1,
       std::string("\x00\x00\x00\x01", 4)},
      {"DOS with gw unset", -1, {"yzdos16.sfx"}, "yzdos16.sfx", 0, std::string(4, '\0')},
  };
  const Session session("full");
  TYZ1 yz1;
  unsigned seed = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const ScopedCurrentDir cwd(dir.Dir());
    for (const std::string& stub : c.stubs) {
      dir.Write(stub, "stub of " + stub + std::string(3, '\0'));
    }
    const std::string archiveData = Bytes(c.archiveSize, ++seed);
    dir.Write("data.yz1", archiveData);
    TArchiverOptions options;
    options.gw = c.gw;
    std::string commandLine = "keep";
    std::string output = "keep";
    EXPECT_EQ(yz1.MakeSfx(nullptr, "data.yz1", options, "", commandLine, output), 0);
    EXPECT_EQ(ReadFile(dir.Path("data.exe")), ReadFile(dir.Path(c.used)) + archiveData + c.tail);
    EXPECT_EQ(commandLine, "keep");
    EXPECT_EQ(output, "keep");
  }
  EXPECT_TRUE(session.Calls().empty());
}

TEST_F(Yz1, SelfExtractorGoesBesideTheArchiveOrIntoTheDirectory) {
  const Session session("full");
  TYZ1 yz1;
  pathDir_.Write("yzw32cui.sfx", "S");  // found along PATH
  work_.Write("v1.2/data.yz1", "A");
  work_.Write("plain", "B");
  work_.MakeDir("out");
  const struct {
    const char* archive;
    const char* dir;
    const char* output;
  } cases[] = {
      {"v1.2/data.yz1", "", "v1.2/data.exe"},
      {"plain", "", "plain.exe"},
      {"v1.2/data.yz1", "out", "out/data.exe"},
      {"v1.2/data.yz1", "out/", "out/data.exe"},
  };
  TArchiverOptions options;
  options.gw = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.archive) + " in " + c.dir);
    std::string commandLine;
    std::string output;
    yz1.MakeSfx(nullptr, NativeName(c.archive), options, NativeName(c.dir), commandLine, output);
    EXPECT_EQ(ReadFile(work_.Path(c.output)),
              "S" + ReadFile(work_.Path(c.archive)) + std::string("\x00\x00\x00\x01", 4));
  }
}

TEST_F(Yz1, MissingStubsAreNamedAndNothingIsWritten) {
  const Session session("full");
  TYZ1 yz1;
  work_.Write("data.yz1", "A");
  // The other kind's stubs do not stand in.
  work_.Write("yzw32cui.sfx", "W");
  TArchiverOptions options;
  std::string commandLine;
  std::string output;
  options.gw = 0;
  EXPECT_EQ(RefusalOf([&] { yz1.MakeSfx(nullptr, "data.yz1", options, "", commandLine, output); }),
            "yz1 書庫からのDOS自己解凍書庫の作成には yzdos16.sfx が必要です。");
  std::filesystem::remove(work_.Path("yzw32cui.sfx"));
  work_.Write("yzdos16.sfx", "D");
  options.gw = 1;
  EXPECT_EQ(RefusalOf([&] { yz1.MakeSfx(nullptr, "data.yz1", options, "", commandLine, output); }),
            "yz1 書庫からのWin32自己解凍書庫の作成には yzw32cui.sfx か yzdec.exe が必要です。");
  EXPECT_FALSE(Exists(work_.Path("data.exe")));
}

TEST_F(Yz1, FailedBuildsLeaveNoOutputThatLooksFinished) {
  const Session session("full");
  TYZ1 yz1;
  work_.Write("yzw32cui.sfx", "S");
  TArchiverOptions options;
  options.gw = 1;
  std::string commandLine;
  std::string output;
  const auto make = [&](const std::string& archiveName) {
    yz1.MakeSfx(nullptr, archiveName, options, "", commandLine, output);
  };

  // A missing archive stops before the output is created.
  EXPECT_THROW(make("missing.yz1"), rtl::EFOpenError);
  EXPECT_FALSE(Exists(work_.Path("missing.exe")));

  // An archive that is its own output is not emptied.
  work_.Write("self.exe", "ARCHIVE");
  EXPECT_THROW(make("self.exe"), rtl::EFCreateError);
  EXPECT_EQ(ReadFile(work_.Path("self.exe")), "ARCHIVE");

  // A write that fails takes the partial output away.
  work_.Write("full.yz1", Bytes(100000, 3));
  std::filesystem::create_symlink("/dev/full", work_.Path("full.exe"));
  EXPECT_THROW(make("full.yz1"), rtl::EWriteError);
  EXPECT_FALSE(
      std::filesystem::is_symlink(std::filesystem::symlink_status(work_.Path("full.exe"))));

  // A size that the four-byte tail cannot hold is refused before writing.
  work_.Write("huge.yz1", "");
  std::filesystem::resize_file(work_.Path("huge.yz1"), 0x100000000u);
  EXPECT_EQ(RefusalOf([&] { make("huge.yz1"); }),
            "huge.yz1 は 4GB 以上あるため自己解凍書庫にできません。");
  EXPECT_FALSE(Exists(work_.Path("huge.exe")));

  // An existing output is replaced, not appended to or merged.
  work_.Write("old.yz1", "new");
  work_.Write("old.exe", std::string(1000, 'o'));
  make("old.yz1");
  EXPECT_EQ(ReadFile(work_.Path("old.exe")), "Snew" + std::string("\x00\x00\x00\x03", 4));
}

// --- content checks ---

TEST_F(FormatTest, ContentChecksOpenExistingFilesOnly) {
  const struct {
    const char* name;
    std::function<bool(const std::string&)> check;
    const char* prefix;
  } checks[] = {
      {"YZ1", archive::IsYz1Archive, "Yz1"},
      {"7-Zip", archive::IsSevenZipArchive, "SevenZip"},
  };
  const std::string present = work_.Write("present.arc", "x");
  work_.MakeDir("folder");
  for (const auto& c : checks) {
    SCOPED_TRACE(c.name);
    const std::string open = std::string(c.prefix) + "OpenArchive";
    const std::string close = std::string(c.prefix) + "CloseArchive";
    {
      const Session session("full");
      session.SetScript(Script().Result(open, {7, 0}));
      EXPECT_FALSE(c.check("absent.arc"));
      EXPECT_FALSE(c.check("folder"));
      EXPECT_TRUE(session.Calls().empty());
      EXPECT_TRUE(c.check("present.arc"));
      EXPECT_FALSE(c.check("present.arc"));
      const auto opens = session.CallsTo(open);
      ASSERT_EQ(opens.size(), 2u);
      EXPECT_EQ(opens[0].Arg("file"), present);
      EXPECT_EQ(opens[0].Arg("window"), "0");
      EXPECT_EQ(opens[0].Arg("mode"), std::to_string(0x800002));
      const auto closes = session.CallsTo(close);
      ASSERT_EQ(closes.size(), 2u);
      EXPECT_EQ(closes[0].Arg("handle"), "7");
      EXPECT_EQ(closes[1].Arg("handle"), "0");
    }
    TYZ1::FreeDLL();
    TSevenZip32::FreeDLL();
    {
      const Session session("no-open");
      EXPECT_FALSE(c.check("present.arc"));
    }
    TYZ1::FreeDLL();
    TSevenZip32::FreeDLL();
    {
      const Session session(std::vector{libs_.Dir()});
      EXPECT_FALSE(c.check("present.arc"));
    }
  }
}

// --- 7-Zip command lines ---

TEST_F(SevenZip, SwitchesInTheirOrder) {
  const Session session("full");
  TSevenZip32 sevenZip;
  const struct {
    const char* name;
    std::function<void(TArchiverOptions&)> set;
    const char* extract;
    const char* add;
  } cases[] = {
      {"nothing given", [](TArchiverOptions&) {}, "x -ms=off \"-o/d/\"  \"a.7z\" \"f\" ",
       "u -ms=off \"-o/d/\"  \"a.7z\" \"f\" "},
      {"all overwrite modes",
       [](TArchiverOptions& o) {
         o.m = 2;
         o.jn = 1;
         o.c = 1;
       },
       "x -aou -aos -aoa -ms=off \"-o/d/\"  \"a.7z\" \"f\" ",
       "u -ms=off \"-o/d/\"  \"a.7z\" \"f\" "},
      {"m 1 is no mode",
       [](TArchiverOptions& o) {
         o.m = 1;
         o.jn = 0;
         o.c = 0;
       },
       "x -ms=off \"-o/d/\"  \"a.7z\" \"f\" ", "u -ms=off \"-o/d/\"  \"a.7z\" \"f\" "},
      {"x 0 extracts flat",
       [](TArchiverOptions& o) {
         o.x = 0;
         o.c = 1;
       },
       "e -aoa -ms=off \"-o/d/\"  \"a.7z\" \"f\" ", "u -ms=off \"-o/d/\"  \"a.7z\" \"f\" "},
      {"x 1", [](TArchiverOptions& o) { o.x = 1; }, "x -ms=off \"-o/d/\"  \"a.7z\" \"f\" ",
       "u -ms=off \"-o/d/\"  \"a.7z\" \"f\" "},
      {"r 0", [](TArchiverOptions& o) { o.r = 0; }, "x -ms=off -r- \"-o/d/\"  \"a.7z\" \"f\" ",
       "u -ms=off -r- \"-o/d/\"  \"a.7z\" \"f\" "},
      {"r 1", [](TArchiverOptions& o) { o.r = 1; }, "x -ms=off \"-o/d/\"  \"a.7z\" \"f\" ",
       "u -ms=off \"-o/d/\"  \"a.7z\" \"f\" "},
      {"everything",
       [](TArchiverOptions& o) {
         o.m = 2;
         o.jn = 3;
         o.c = 2;
         o.n = 1;
         o.r = 2;
         o.w = NativeName("/work");
         o.y = 1;
         o.jx.Add("*.bak");
         o.jx.Add("*.tmp");
         o.UserOptions = "-user";
         o.UserFileList = "-tail";
       },
       "x -aou -aos -aoa -ms=off -hide -r \"-w/work/\" -y \"-x!*.bak\" \"-x!*.tmp\" \"-o/d/\""
       " -user \"a.7z\" \"f\" -tail",
       "u -ms=off -hide -r \"-w/work/\" -y \"-x!*.bak\" \"-x!*.tmp\" \"-o/d/\" -user \"a.7z\""
       " \"f\" -tail"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TArchiverOptions options;
    c.set(options);
    const std::string d = NativeName("/d");
    EXPECT_EQ(sevenZip.GetExtractCommand(nullptr, "a.7z", options, d, FileItems{"f"}, false),
              NativeName(c.extract));
    EXPECT_EQ(sevenZip.GetAddCommand(nullptr, "a.7z", options, d, FileItems{"f"}, false),
              NativeName(c.add));
    // Deleting never names a directory and never sets an overwrite mode.
    const std::string deleteLine =
        sevenZip.GetDeleteCommand(nullptr, "a.7z", options, d, FileItems{"f"}, false);
    EXPECT_EQ(deleteLine.rfind("d -ms=off", 0), 0u) << deleteLine;
    EXPECT_EQ(deleteLine.find("-o"), std::string::npos) << deleteLine;
  }
}

TEST_F(SevenZip, OperationsReachTheLibraryAndResponseFilesFollowTheOptions) {
  const Session session("full");
  session.SetScript(Script().Result("SevenZip", {0x8020}));
  TSevenZip32 sevenZip;
  TArchiverOptions options;
  options.ResFileName = session.Dir().Path("names.rsp");
  std::string commandLine;
  std::string output(16, '\0');
  // The template's flag is not consulted; ruOnUnpack is in the default set.
  const std::string archive = NativeName("/a.7z");
  EXPECT_EQ(sevenZip.ExtractFiles(nullptr, archive, options, NativeName("/d"), FileItems{"one"},
                                  false, commandLine, output),
            0x8020);
  const std::string extract =
      NativeName("x -ms=off \"-o/d/\"  \"/a.7z\" \"@") + options.ResFileName + "\" ";
  EXPECT_EQ(commandLine, extract);
  EXPECT_EQ(ReadFile(options.ResFileName), "\"one\"\r\n");
  options.ResFileUsage = archive::TResFileUsage{archive::ruOnUpdate};
  sevenZip.DeleteFiles(nullptr, archive, options, NativeName("/d"), FileItems{"one"}, true,
                       commandLine, output);
  EXPECT_EQ(commandLine, NativeName("d -ms=off  \"/a.7z\" \"one\" "));
  const auto calls = session.CallsTo("SevenZip");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].Library, LibraryFile("7-zip32.dll"));
  EXPECT_EQ(calls[0].Arg("line"), extract);
  EXPECT_EQ(calls[0].Arg("size"), "16");
  EXPECT_EQ(calls[1].Arg("line"), commandLine);

  EXPECT_EQ(RefusalOf([&] {
              sevenZip.UpdateFiles(nullptr, "a", options, "", FileItems{"f"}, false, commandLine,
                                   output);
            }),
            "この形式の書庫では書庫の更新をサポートしておりません。");
  EXPECT_EQ(RefusalOf([&] {
              sevenZip.ExtractMem(nullptr, "a", options, "m", nullptr, 0, nullptr, commandLine);
            }),
            "この形式ではメモリ展開をサポートしておりません。");
}

TEST_F(SevenZip, MissingLibraryKeepsTheUnloadedBinding) {
  const Session session(std::vector{libs_.Dir()});
  EXPECT_EQ(RefusalOf([] { TSevenZip32 sevenZip; }),
            "7z 形式書庫 を扱うには 7-zip32.dll が 必要です。");
  ASSERT_NE(TSevenZip32::SevenZipDll(), nullptr);
  EXPECT_EQ(TSevenZip32::SevenZipDll()->ModuleHandle(), 0u);
  TSevenZip32 sevenZip;
  EXPECT_THROW(sevenZip.CheckArchive("a.7z", 0, 0), archive::ENoArchiverDLL);
  // Once the library is there, the next loading operation loads it.
  LibraryDir({LibraryFile("7-zip32.dll")});
  sevenZip.CheckArchive("a.7z", 0, 0);
  EXPECT_EQ(session.CallsTo("SevenZipCheckArchive").size(), 1u);
}

// --- 7-Zip self-extracting files ---

TEST_F(SevenZip, SelfExtractorIsModuleConfigurationAndArchive) {
  const Session session("full");
  TSevenZip32 sevenZip;
  work_.Write("7z.sfx", Bytes(300, 1));
  work_.Write("7zCon.sfx", Bytes(200, 2));
  work_.Write("setup.txt", ";!@Install@!UTF-8!\r\n");
  const std::string archiveData = Bytes(1000, 3);
  work_.Write("pack.7z", archiveData);
  work_.MakeDir("out");
  const struct {
    const char* name;
    const char* module;
    const char* config;
    const char* dir;
    const char* moduleFile;
    const char* output;
  } cases[] = {
      {"default module", "", "", "", "7z.sfx", "pack.exe"},
      {"with configuration", "", "setup.txt", "", "7z.sfx", "pack.exe"},
      {"chosen module, other directory", "7zCon.sfx", "", "out", "7zCon.sfx", "out/pack.exe"},
  };
  TArchiverOptions options;
  options.gw = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    archive::SevenZipSfxModule() = c.module;
    archive::SevenZipSfxConfig() = c.config;
    std::string commandLine = "keep";
    std::string output = "keep";
    EXPECT_EQ(sevenZip.MakeSfx(nullptr, "pack.7z", options, c.dir, commandLine, output), 0);
    const std::string config = *c.config == '\0' ? "" : ReadFile(work_.Path(c.config));
    EXPECT_EQ(ReadFile(work_.Path(c.output)),
              ReadFile(work_.Path(c.moduleFile)) + config + archiveData);
    EXPECT_EQ(archive::SevenZipSfxModule(), c.moduleFile);
    EXPECT_EQ(commandLine, "keep");
    EXPECT_EQ(output, "keep");
  }
  EXPECT_TRUE(session.Calls().empty());
}

TEST_F(SevenZip, SelfExtractorRefusalsLeaveNoOutput) {
  const Session session("full");
  TSevenZip32 sevenZip;
  work_.Write("pack.7z", "A");
  std::string commandLine;
  std::string output;
  TArchiverOptions options;
  const auto make = [&] { sevenZip.MakeSfx(nullptr, "pack.7z", options, "", commandLine, output); };

  // A 16-bit self-extractor is refused, after the default module is chosen.
  for (const std::int8_t gw : {std::int8_t{0}, std::int8_t{-1}}) {
    options.gw = gw;
    EXPECT_EQ(RefusalOf(make), "16bit SFX を作成することはできません。");
  }
  EXPECT_EQ(archive::SevenZipSfxModule(), "7z.sfx");

  options.gw = 1;
  archive::SevenZipSfxModule() = "7zSD.sfx";
  try {
    make();
    FAIL() << "built without its module";
  } catch (const archive::ESfxNoRequiredFile& e) {
    EXPECT_EQ(e.ArchiveKind(), "7z");
    EXPECT_EQ(e.SfxKind(), "");
    EXPECT_EQ(e.RequiredFile(), "7zSD.sfx");
    EXPECT_EQ(e.Message(), "7z 書庫からの自己解凍書庫の作成には '7zSD.sfx' ファイルが必要です。");
  }

  pathDir_.Write("7zSD.sfx", "M");  // found along PATH
  archive::SevenZipSfxConfig() = "missing.txt";
  EXPECT_THROW(make(), rtl::EFOpenError);
  EXPECT_FALSE(Exists(work_.Path("pack.exe")));

  archive::SevenZipSfxConfig() = "";
  make();
  EXPECT_EQ(ReadFile(work_.Path("pack.exe")), "MA");
}

TEST_F(SevenZip, ModuleIsLookedForInSevenZipsDirectoryFirst) {
  const TempDir sevenZipDir;
  sevenZipDir.Write("7z.sfx", "installed");
  const std::string withoutDelimiter = sevenZipDir.Dir().substr(0, sevenZipDir.Dir().size() - 1);
  work_.Write("7z.sfx", "current");
  work_.Write("7zC.sfx", "current");
  const struct {
    std::string dir;
    std::string module;
    std::string found;
  } cases[] = {
      {sevenZipDir.Dir(), "7z.sfx", sevenZipDir.Path("7z.sfx")},
      {withoutDelimiter, "7z.sfx", sevenZipDir.Path("7z.sfx")},
      {sevenZipDir.Dir(), "7zC.sfx", work_.Path("7zC.sfx")},
      {"", "7z.sfx", work_.Path("7z.sfx")},
      {sevenZipDir.Dir(), work_.Path("7z.sfx"), work_.Path("7z.sfx")},
      {sevenZipDir.Dir(), "7zS.sfx", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dir + " " + c.module);
    EXPECT_EQ(archive::FindSevenZipSfxModule(c.dir, c.module), c.found);
  }
  // Without a registry there is no installation directory to look in.
  EXPECT_EQ(archive::SevenZipDirectory(), "");
}

// --- helpers of the self-extracting builds ---

TEST(SfxFile, ExtensionIsReplacedInTheFileNamePartOnly) {
  const struct {
    const char* name;
    char delimiter;
    const char* expected;
  } cases[] = {
      {"a.yz1", '/', "a.exe"},
      {"dir/a.b.c", '/', "dir/a.b.exe"},
      {"dir.v2/archive", '/', "dir.v2/archive.exe"},
      {"trailing.", '/', "trailing.exe"},
      {"", '/', ".exe"},
      {"C:\\dl.d\\pack", '\\', "C:\\dl.d\\pack.exe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(archive::ChangeFileExt(c.name, ".exe", c.delimiter), c.expected);
  }
}

TEST(SfxFile, ATrailByteOfTheDirectoryIsNoDelimiter) {
  const rtl::ScopedAnsiCodePage sjis(rtl::CP_SHIFT_JIS);
  // "\x95\x5C" is one character; its second byte is the backslash code.
  EXPECT_EQ(archive::ChangeFileExt("C:\\pack.v\x95\x5Cz", ".exe", '\\'), "C:\\pack.exe");
  EXPECT_EQ(archive::ChangeFileExt("C:\\d.v\\\x95\x5C", ".exe", '\\'), "C:\\d.v\\\x95\x5C.exe");
}

}  // namespace
