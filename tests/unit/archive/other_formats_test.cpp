#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/errors.h"
#include "archive/formats/arj32.h"
#include "archive/formats/bga32.h"
#include "archive/formats/cab32.h"
#include "archive/formats/lha32.h"
#include "archive/formats/rar32.h"
#include "archive/formats/tar32.h"
#include "archive_recorder/recorder_client.h"
#include "platform/fs.h"
#include "rtl/codepage.h"
#include "support/scoped.h"
#include "support/temp_dir.h"

namespace {

using archive::FileItems;
using archive::TArchiver;
using archive::TArchiverDll;
using archive::TArchiverOptions;
using archive::TArj32;
using archive::TBGA32;
using archive::TBZ232;
using archive::TCab32;
using archive::TRar32;
using archive::TTar32;
using archive::TTgz32;
using recorder_test::LibraryFile;
using recorder_test::ScopedEnv;
using recorder_test::Script;
using recorder_test::Session;
using testing_support::NativeName;
using testing_support::ReadFile;
using testing_support::ScopedCurrentDir;
using testing_support::TempDir;

// The archive side refuses with EArchiver.
constexpr auto RefusalOf = testing_support::RefusalOf<archive::EArchiver>;

archive::TWindowHandle Window(std::uintptr_t value) {
  return reinterpret_cast<archive::TWindowHandle>(value);
}

// Each test starts without bindings, so the ones it makes see its own session.
class OtherFormats : public ::testing::Test {
 protected:
  OtherFormats() { FreeAll(); }
  ~OtherFormats() override { FreeAll(); }

  static void FreeAll() {
    TCab32::FreeDLL();
    TArj32::FreeDLL();
    archive::TLha32::FreeDLL();
    TTar32::FreeDLL();
    TRar32::FreeDLL();
    TBGA32::FreeDLL();
  }

  rtl::ScopedAnsiCodePage utf8_{rtl::CP_UTF8_};
};

struct Family {
  std::string Name;
  std::function<std::unique_ptr<TArchiver>()> Make;
  std::function<TArchiverDll*()> Binding;
  std::function<bool(const std::string&)> IsArchive;
  std::string FormatName;
  std::string DllName;
  std::string Prefix;
  std::string LibraryFile;
};

bool TarCheck(const std::string& fileName) {
  return archive::GetTarArchiveType(fileName) == archive::atTar;
}

std::vector<Family> Families() {
  return {
      {"cab", [] { return std::make_unique<TCab32>(); }, TCab32::CabDll, archive::IsCabArchive,
       "CAB 形式書庫", "CAB32.DLL", "Cab", LibraryFile("CAB32.DLL")},
      {"arj", [] { return std::make_unique<TArj32>(); }, TArj32::ArjDll, archive::IsArjArchive,
       "ARJ 形式書庫", "UNARJ32J.DLL", "Unarj", LibraryFile("UNARJ32J.DLL")},
      {"tar", [] { return std::make_unique<TTar32>(); }, TTar32::TarDll, TarCheck,
       "tar/tgz/taz/bz2 形式書庫", "TAR32.DLL", "Tar", LibraryFile("TAR32.DLL")},
      {"tgz", [] { return std::make_unique<TTgz32>(); }, TTar32::TarDll, TarCheck,
       "tar/tgz/taz/bz2 形式書庫", "TAR32.DLL", "Tar", LibraryFile("TAR32.DLL")},
      {"bz2", [] { return std::make_unique<TBZ232>(); }, TTar32::TarDll, TarCheck,
       "tar/tgz/taz/bz2 形式書庫", "TAR32.DLL", "Tar", LibraryFile("TAR32.DLL")},
      {"rar", [] { return std::make_unique<TRar32>(); }, TRar32::RarDll, archive::IsRarArchive,
       "RAR 形式書庫", "UNRAR32.DLL", "Unrar", LibraryFile("UNRAR32.DLL")},
      {"bga", [] { return std::make_unique<TBGA32>(); }, TBGA32::BgaDll, archive::IsBgaArchive,
       "BGA 形式書庫", "BGA32.DLL", "Bga", LibraryFile("BGA32.DLL")},
  };
}

TEST_F(OtherFormats, EachFamilyBindsItsOwnLibrary) {
  for (const Family& family : Families()) {
    SCOPED_TRACE(family.Name);
    FreeAll();
    const Session session("full");
    session.SetScript(Script().Result(family.Prefix, {0x8019}));
    const std::unique_ptr<TArchiver> archiver = family.Make();
    const TArchiverDll* dll = family.Binding();
    ASSERT_NE(dll, nullptr);
    EXPECT_EQ(dll->FormatName(), family.FormatName);
    EXPECT_EQ(dll->DllName(), family.DllName);
    EXPECT_EQ(dll->Prefix(), family.Prefix);
    EXPECT_NE(dll->ModuleHandle(), 0u);
    // ARJ builds LHA lines but never loads the LHA library.
    EXPECT_EQ(archive::TLha32::LhaDll(), nullptr);

    TArchiverOptions options;
    options.jse = 0;
    options.jso = 0;
    std::string commandLine;
    std::string output;
    EXPECT_EQ(archiver->ExtractFiles(nullptr, "a", options, "", FileItems{"f"}, false, commandLine,
                                     output),
              0x8019);
    const auto commands = session.CallsTo(family.Prefix);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].Library, family.LibraryFile);
    EXPECT_EQ(commands[0].Arg("line"), commandLine);
    EXPECT_TRUE(archiver->SetOwnerWindow(Window(0x42), nullptr));
    EXPECT_EQ(session.CallsTo(family.Prefix + "SetOwnerWindowEx").size(), 1u);
  }
}

TEST_F(OtherFormats, TheThreeTarClassesShareOneBinding) {
  const Session session("full");
  TTar32 tar;
  const TArchiverDll* shared = TTar32::TarDll();
  TTgz32 tgz;
  TBZ232 bz2;
  EXPECT_EQ(TTar32::TarDll(), shared);
  EXPECT_EQ(&tgz.ArchiverDll(), shared);
  EXPECT_EQ(&bz2.ArchiverDll(), shared);
}

TEST_F(OtherFormats, MissingLibraryNamesTheFamilyAndIsTriedAgain) {
  for (const Family& family : Families()) {
    SCOPED_TRACE(family.Name);
    FreeAll();
    TempDir libraries;
    const Session session(std::vector{libraries.Dir()});
    session.SetScript(Script().Result(family.Prefix + "GetArchiveType", {1}));
    const std::string existing = session.Dir().Path("script.txt");
    try {
      family.Make();
      ADD_FAILURE() << "constructed without its library";
    } catch (const archive::ENoArchiverDLL& e) {
      EXPECT_EQ(e.Message(),
                family.FormatName + " を扱うには " + family.DllName + " が 必要です。");
    }
    ASSERT_NE(family.Binding(), nullptr);
    EXPECT_EQ(family.Binding()->ModuleHandle(), 0u);
    EXPECT_FALSE(family.IsArchive(existing));
    // The stored binding lets later constructions succeed; loading operations fail again.
    const std::unique_ptr<TArchiver> archiver = family.Make();
    EXPECT_THROW(archiver->CheckArchive("a", 0, 0), archive::ENoArchiverDLL);
    // Once the library is in place, the next operation that loads loads it.
    std::filesystem::copy_file(recorder_test::VariantDir("full") + family.LibraryFile,
                               libraries.Path(family.LibraryFile));
    EXPECT_TRUE(family.IsArchive(existing));
    EXPECT_NE(family.Binding()->ModuleHandle(), 0u);
  }
}

// --- Command lines ---

struct LineCase {
  std::string Name;
  std::function<void(TArchiverOptions&)> Setup;
  std::function<std::string(TArchiver&, const TArchiverOptions&)> Build;
  std::string Expected;
};

template <class Archiver>
void ExpectLines(const std::vector<LineCase>& cases) {
  const Session session("full");
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Archiver archiver;
    TArchiverOptions options;
    c.Setup(options);
    EXPECT_EQ(c.Build(archiver, options), NativeName(c.Expected));
  }
  EXPECT_TRUE(session.Calls().empty());
}

void NoOptions(TArchiverOptions& /*options*/) {}

// The paths of a case, and its expected line, are written with "/" and
// taken with the system's delimiter.
auto Extract(const std::string& archive, const std::string& dir, bool flag = false) {
  return [=](TArchiver& a, const TArchiverOptions& o) {
    return a.GetExtractCommand(nullptr, NativeName(archive), o, NativeName(dir), FileItems{"*.*"},
                               flag);
  };
}

auto Add(const std::string& archive, const std::string& dir, bool flag = false) {
  return [=](TArchiver& a, const TArchiverOptions& o) {
    return a.GetAddCommand(nullptr, NativeName(archive), o, NativeName(dir), FileItems{"f 1", "f2"},
                           flag);
  };
}

auto Delete(const std::string& archive, const std::string& dir) {
  return [=](TArchiver& a, const TArchiverOptions& o) {
    return a.GetDeleteCommand(nullptr, NativeName(archive), o, NativeName(dir), FileItems{"old"},
                              false);
  };
}

auto Sfx(const std::string& archive, const std::string& dir) {
  return [=](TArchiver& a, const TArchiverOptions& o) {
    return a.GetSfxCommand(nullptr, NativeName(archive), o, NativeName(dir));
  };
}

// A CAB archive in the root directory: its full name, which the extraction
// leaves as it is.
std::string RootedCab() {
  return platform::ExpandFileName(NativeName("/a.cab"));
}

auto ExtractMem(const std::string& archive) {
  return [=](TArchiver& a, const TArchiverOptions& o) {
    return a.GetExtractMemCommand(nullptr, NativeName(archive), o, NativeName("doc/read me.txt"));
  };
}

TEST_F(OtherFormats, CabLines) {
  TempDir cwd;
  const ScopedCurrentDir inCwd(cwd.Dir());
  const std::string full = cwd.Dir() + "rel/a.cab";
  ExpectLines<TCab32>({
      {"extraction expands the archive name", NoOptions, Extract("rel/a.cab", "/dest"),
       "-x  \"" + full + "\" \"/dest/\" \"*.*\" "},
      {"every switch",
       [](TArchiverOptions& o) {
         o.c = 1;
         o.n = 1;
         o.r = 1;
         o.w = NativeName("/work");
         o.x = 0;
         o.ji = 1;
         o.UserOptions = "-user";
         o.UserFileList = "-tail";
       },
       Extract(RootedCab(), "/dest/"),
       "-x -o -i -r \"-h/work/\" -j -q -user \"" + RootedCab() + "\" \"/dest/\" \"*.*\" -tail"},
      {"values that give no switch",
       [](TArchiverOptions& o) {
         o.c = 2;
         o.n = 0;
         o.r = 0;
         o.x = 1;
         o.ji = 0;
       },
       Add("rel/a.cab", "/base"), "-a  \"rel/a.cab\" \"/base/\" \"f 1\" \"f2\" "},
      {"c of 0 gives no -o", [](TArchiverOptions& o) { o.c = 0; }, Add("a.cab", ""),
       "-a  \"a.cab\" \"f 1\" \"f2\" "},
      {"self-extracting: directory, no files, no response file",
       [](TArchiverOptions& o) { o.ResFileName = "/nonexistent/dir/names.rsp"; },
       Sfx("a.cab", "/out"), "-f  \"a.cab\" \"/out/\" "},
      {"extraction to memory", NoOptions, ExtractMem("a.cab"), "  \"a.cab\" \"doc/read me.txt\" "},
  });
}

TEST_F(OtherFormats, RarLines) {
  ExpectLines<TRar32>({
      {"unset c gives -u", NoOptions, Extract("a.rar", "/d"), "-x -u  \"a.rar\" \"/d/\" \"*.*\" "},
      {"x of 0 extracts without paths", [](TArchiverOptions& o) { o.x = 0; },
       Extract("a.rar", "/d"), "-e -u  \"a.rar\" \"/d/\" \"*.*\" "},
      {"x of 1 keeps them", [](TArchiverOptions& o) { o.x = 1; }, Extract("a.rar", "/d"),
       "-x -u  \"a.rar\" \"/d/\" \"*.*\" "},
      {"c of 0 still -u", [](TArchiverOptions& o) { o.c = 0; }, Extract("a.rar", ""),
       "-x -u  \"a.rar\" \"*.*\" "},
      {"every switch",
       [](TArchiverOptions& o) {
         o.c = 1;
         o.m = 1;
         o.p = 2;
         o.UserOptions = "-o+";
       },
       Extract("a.rar", "/d"), "-x -y -s -o+ \"a.rar\" \"/d/\" \"*.*\" "},
      {"m and p of 0 give nothing",
       [](TArchiverOptions& o) {
         o.c = 1;
         o.m = 0;
         o.p = 0;
       },
       Extract("a.rar", "/d"), "-x  \"a.rar\" \"/d/\" \"*.*\" "},
      {"extraction to memory", NoOptions, ExtractMem("a.rar"),
       " -u  \"a.rar\" \"doc/read me.txt\" "},
  });
}

TEST_F(OtherFormats, BgaLines) {
  ExpectLines<TBGA32>({
      {"unset x and c give -j and -n", NoOptions, Extract("a.gza", "/d"),
       "x -n -j  \"a.gza\" \"/d/\" \"*.*\" "},
      {"every switch",
       [](TArchiverOptions& o) {
         o.a = 1;
         o.c = 1;
         o.n = 1;
         o.r = 1;
         o.x = 1;
         o.jm = 5;
       },
       Add("a.gza", "/b"), "a -a -o -i -r -l5  \"a.gza\" \"/b/\" \"f 1\" \"f2\" "},
      {"zero values",
       [](TArchiverOptions& o) {
         o.a = 0;
         o.c = 0;
         o.n = 0;
         o.r = 0;
         o.x = 0;
         o.jm = 0;
       },
       Extract("a.gza", "/d"), "x -n -j -l0  \"a.gza\" \"/d/\" \"*.*\" "},
      {"deleting passes no directory", NoOptions, Delete("a.gza", "/ignored"),
       "d -n -j  \"a.gza\" \"old\" "},
      {"self-extracting without a response file name", NoOptions, Sfx("a.gza", "/out"),
       "s -n -j  \"a.gza\" \"/out/\" "},
  });
}

TEST_F(OtherFormats, TarLines) {
  ExpectLines<TTar32>({
      {"archive and directory as separate values", NoOptions, Extract("a.tar", "/d"),
       "x  -f \"a.tar\" -o \"/d/\" \"*.*\" "},
      {"every switch",
       [](TArchiverOptions& o) {
         o.a = 1;
         o.n = 1;
         o.o = 1;
         o.p = 1;
         o.x = 0;
         o.jm = 9;  // no compression switch for a plain tar
         o.UserOptions = "--user";
       },
       Add("a.tar", "/b/"),
       "c -AH --display-dialog=0 -g --check-all-path=1 --use-directory=0 --user -f \"a.tar\" -o "
       "\"/b/\" \"f 1\" \"f2\" "},
      {"zero values",
       [](TArchiverOptions& o) {
         o.a = 0;
         o.n = 0;
         o.o = 0;
         o.p = 0;
         o.x = 2;
       },
       Extract("a.tar", ""), "x -I --check-all-path=0 --use-directory=2  -f \"a.tar\" \"*.*\" "},
      {"no archive name, no -f", NoOptions, Add("", "/b"), "c  -o \"/b/\" \"f 1\" \"f2\" "},
      {"extraction to memory", NoOptions, ExtractMem("a.tar"),
       "  -f \"a.tar\" \"doc/read me.txt\" "},
  });
  ExpectLines<TTgz32>({
      {"unset level", NoOptions, Add("a.tgz", "/b"),
       "c -z  -f \"a.tgz\" -o \"/b/\" \"f 1\" \"f2\" "},
      {"level 0 is no level", [](TArchiverOptions& o) { o.jm = 0; }, Add("a.tgz", ""),
       "c -z  -f \"a.tgz\" \"f 1\" \"f2\" "},
      {"level 9", [](TArchiverOptions& o) { o.jm = 9; }, Add("a.tgz", "/b"),
       "c -z9  -f \"a.tgz\" -o \"/b/\" \"f 1\" \"f2\" "},
      {"extraction to memory", NoOptions, ExtractMem("a.tgz"),
       " -z  -f \"a.tgz\" \"doc/read me.txt\" "},
  });
  ExpectLines<TBZ232>({
      {"unset level", NoOptions, Extract("a.tbz", "/d"), "x -B  -f \"a.tbz\" -o \"/d/\" \"*.*\" "},
      {"level 3", [](TArchiverOptions& o) { o.jm = 3; }, Extract("a.tbz", "/d"),
       "x -B3  -f \"a.tbz\" -o \"/d/\" \"*.*\" "},
  });
}

TEST_F(OtherFormats, ArjExtractsWithLhaLinesAndInheritsTheRest) {
  const Session session("full");
  TArj32 arj;
  TArchiverOptions options;
  options.jse = 1;
  options.jso = 1;
  std::string commandLine;
  std::string output;
  const std::string d = NativeName("/d");
  const std::string b = NativeName("/b");
  arj.ExtractFiles(nullptr, "a.arj", options, d, FileItems{"*.*"}, false, commandLine, output);
  EXPECT_EQ(commandLine, NativeName("x -+ -jse1 -jso1  \"a.arj\" \"/d/\" \"*.*\" "));
  arj.AddFiles(nullptr, "a.arj", options, b, FileItems{"f"}, false, commandLine, output);
  EXPECT_EQ(commandLine, NativeName("u -+ -jse1 -jso1  \"a.arj\" \"/b/\" \"f\" "));
  arj.DeleteFiles(nullptr, "a.arj", options, b, FileItems{"f"}, false, commandLine, output);
  EXPECT_EQ(commandLine, "d -+ -jse1 -jso1  \"a.arj\" \"f\" ");
  arj.UpdateFiles(nullptr, "a.arj", options, b, FileItems{"f"}, false, commandLine, output);
  EXPECT_EQ(commandLine, NativeName("f -+ -jse1 -jso1  \"a.arj\" \"/b/\" \"f\" "));
  arj.MakeSfx(nullptr, "a.arj", options, NativeName("/o"), commandLine, output);
  EXPECT_EQ(commandLine, NativeName("s -+ -jse1 -jso1  \"a.arj\" \"/o/\" "));
  const auto commands = session.CallsTo("Unarj");
  ASSERT_EQ(commands.size(), 5u);
  EXPECT_EQ(commands[4].Arg("line"), commandLine);
  std::uint32_t written = 0;
  std::uint8_t buffer[8] = {};
  arj.ExtractMem(nullptr, "a.arj", options, "m", buffer, sizeof buffer, &written, commandLine);
  EXPECT_EQ(commandLine, " -+ -jse1 -jso1  \"a.arj\" \"m\" ");
  EXPECT_EQ(session.CallsTo("UnarjExtractMem").size(), 1u);
  EXPECT_TRUE(session.CallsTo("Unlha").empty());

  // The LHA option checks hold for ARJ lines too.
  options.jse = -1;
  commandLine = "untouched";
  EXPECT_THROW(arj.ExtractFiles(nullptr, "a.arj", options, "/d", FileItems{"*.*"}, false,
                                commandLine, output),
               rtl::EAssertionFailed);
  EXPECT_EQ(commandLine, "untouched");
  EXPECT_EQ(session.CallsTo("Unarj").size(), 5u);
}

// --- Response files ---

TEST_F(OtherFormats, ResponseFileDecisions) {
  const Session session("full");
  const std::string rsp = session.Dir().Path("names.rsp");
  const std::string item = "\"@" + rsp + "\"";
  const auto withResponseFile = [&](TArchiverOptions& o) { o.ResFileName = rsp; };
  const auto usage = [&](std::initializer_list<archive::TResFileUse> uses) {
    const archive::TResFileUsage set(uses);
    return [=](TArchiverOptions& o) {
      o.ResFileName = rsp;
      o.ResFileUsage = set;
    };
  };
  // The option set decides, whatever the caller's flag says.
  ExpectLines<TCab32>({
      {"cab extract", withResponseFile, Extract(RootedCab(), "/d", false),
       "-x  \"" + RootedCab() + "\" \"/d/\" " + item + " "},
      {"cab extract, not in set", usage({archive::ruOnPack}), Extract(RootedCab(), "/d", true),
       "-x  \"" + RootedCab() + "\" \"/d/\" \"*.*\" "},
      {"cab add", usage({archive::ruOnPack}), Add("a.cab", "", false),
       "-a  \"a.cab\" " + item + " "},
  });
  ExpectLines<TRar32>({
      {"rar extract", usage({archive::ruOnUnpack}), Extract("a.rar", "", false),
       "-x -u  \"a.rar\" " + item + " "},
      {"rar extract, not in set", usage({archive::ruOnPack}), Extract("a.rar", "", true),
       "-x -u  \"a.rar\" \"*.*\" "},
  });
  ExpectLines<TTar32>({
      {"tar extract", usage({archive::ruOnUnpack}), Extract("a.tar", "/d"),
       "x  -f \"a.tar\" -o \"/d/\" " + item + " "},
      {"tar add, not in set", usage({archive::ruOnUnpack}), Add("a.tar", "", true),
       "c  -f \"a.tar\" \"f 1\" \"f2\" "},
  });
  // BGA's extraction and adding follow the caller's flag instead.
  ExpectLines<TBGA32>({
      {"bga extract by flag", usage({}), Extract("a.gza", "", true),
       "x -n -j  \"a.gza\" " + item + " "},
      {"bga add without flag", withResponseFile, Add("a.gza", "", false),
       "a -n -j  \"a.gza\" \"f 1\" \"f2\" "},
      {"bga delete by set", usage({archive::ruOnRemoveItem}), Delete("a.gza", "/x"),
       "d -n -j  \"a.gza\" " + item + " "},
      {"bga delete, not in set", usage({archive::ruOnPack}), Delete("a.gza", "/x"),
       "d -n -j  \"a.gza\" \"old\" "},
  });
  // ARJ's extraction follows the flag too.
  ExpectLines<TArj32>({
      {"arj extract by flag",
       [&](TArchiverOptions& o) {
         usage({})(o);
         o.jse = 0;
         o.jso = 0;
       },
       Extract("a.arj", "", true), "x -+ -jse0 -jso0  \"a.arj\" " + item + " "},
      {"arj extract without flag",
       [&](TArchiverOptions& o) {
         withResponseFile(o);
         o.jse = 0;
         o.jso = 0;
       },
       Extract("a.arj", "", false), "x -+ -jse0 -jso0  \"a.arj\" \"*.*\" "},
  });
}

TEST_F(OtherFormats, BgaSelfExtractingCommandWritesAnEmptyResponseFile) {
  const Session session("full");
  TBGA32 bga;
  TArchiverOptions options;
  options.ResFileName = session.Dir().Path("names.rsp");
  session.Dir().Write("names.rsp", "\"stale\"\r\n");
  std::string commandLine;
  std::string output;
  EXPECT_EQ(bga.MakeSfx(nullptr, "a.gza", options, NativeName("/out"), commandLine, output), 0);
  EXPECT_EQ(commandLine,
            NativeName("s -n -j  \"a.gza\" \"/out/\" \"@") + options.ResFileName + "\" ");
  EXPECT_EQ(ReadFile(options.ResFileName), "");
  const auto commands = session.CallsTo("Bga");
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].Arg("line"), commandLine);
}

TEST_F(OtherFormats, OwnerWindowAsksForProgressMessages) {
  const Session session("full");
  const auto registered = [](TArchiver& archiver) {
    EXPECT_TRUE(archiver.SetOwnerWindow(Window(0x77), nullptr));
  };
  TArchiverOptions options;
  options.n = 1;
  TCab32 cab;
  registered(cab);
  options.n = 0;
  EXPECT_EQ(cab.GetAddCommand(nullptr, "a.cab", options, "", FileItems{"f"}, false),
            "-a -i  \"a.cab\" \"f\" ");
  TBGA32 bga;
  registered(bga);
  EXPECT_EQ(bga.GetAddCommand(nullptr, "a.gza", options, "", FileItems{"f"}, false),
            "a -n -i -j  \"a.gza\" \"f\" ");
  // TAR's own dialog switch is left out while a window takes the messages.
  options.n = 1;
  TTar32 tar;
  EXPECT_EQ(tar.GetAddCommand(nullptr, "a.tar", options, "", FileItems{"f"}, false),
            "c --display-dialog=0  -f \"a.tar\" \"f\" ");
  registered(tar);
  EXPECT_EQ(tar.GetAddCommand(nullptr, "a.tar", options, "", FileItems{"f"}, false),
            "c  -f \"a.tar\" \"f\" ");
  EXPECT_TRUE(tar.KillOwnerWindow(Window(0x77)));
  EXPECT_EQ(tar.GetAddCommand(nullptr, "a.tar", options, "", FileItems{"f"}, false),
            "c --display-dialog=0  -f \"a.tar\" \"f\" ");
}

// --- Refusals ---

TEST_F(OtherFormats, UnsupportedOperationsAreRefusedBeforeTheLibrary) {
  const std::string noAdd = "この形式では書庫ファイルの作成をサポートしておりません。";
  const std::string noDelete = "この形式の書庫ではファイルの削除をサポートしておりません。";
  const std::string noUpdate = "この形式の書庫では書庫の更新をサポートしておりません。";
  const std::string noSfx = "この形式では自己解凍書庫の作成をサポートしておりません。";
  const std::string noMem = "この形式ではメモリ展開をサポートしておりません。";
  enum Op { kAdd, kDelete, kUpdate, kSfx, kMem };
  struct Case {
    std::string Name;
    std::function<std::unique_ptr<TArchiver>()> Make;
    Op Operation;
    std::string Message;
  };
  const auto cab = [] { return std::make_unique<TCab32>(); };
  const auto tar = [] { return std::make_unique<TTar32>(); };
  const auto tgz = [] { return std::make_unique<TTgz32>(); };
  const auto rar = [] { return std::make_unique<TRar32>(); };
  const auto bga = [] { return std::make_unique<TBGA32>(); };
  const std::vector<Case> cases{
      {"cab delete", cab, kDelete, noDelete}, {"cab update", cab, kUpdate, noUpdate},
      {"tar delete", tar, kDelete, noDelete}, {"tar update", tar, kUpdate, noUpdate},
      {"tgz delete", tgz, kDelete, noDelete}, {"tgz update", tgz, kUpdate, noUpdate},
      {"rar add", rar, kAdd, noAdd},          {"rar delete", rar, kDelete, noDelete},
      {"rar update", rar, kUpdate, noUpdate}, {"rar sfx", rar, kSfx, noSfx},
      {"bga update", bga, kUpdate, noUpdate}, {"bga memory", bga, kMem, noMem},
  };
  const Session session("full");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::unique_ptr<TArchiver> archiver = c.Make();
    TArchiverOptions options;
    std::string commandLine = "untouched";
    std::string output;
    const FileItems files{"a"};
    EXPECT_EQ(
        RefusalOf([&] {
          switch (c.Operation) {
            case kAdd:
              archiver->AddFiles(nullptr, "a", options, "", files, false, commandLine, output);
              break;
            case kDelete:
              archiver->DeleteFiles(nullptr, "a", options, "", files, false, commandLine, output);
              break;
            case kUpdate:
              archiver->UpdateFiles(nullptr, "a", options, "", files, false, commandLine, output);
              break;
            case kSfx:
              archiver->MakeSfx(nullptr, "a", options, "", commandLine, output);
              break;
            case kMem:
              archiver->ExtractMem(nullptr, "a", options, "m", nullptr, 0, nullptr, commandLine);
              break;
          }
        }),
        c.Message);
    EXPECT_EQ(commandLine, "untouched");
  }
  EXPECT_TRUE(session.Calls().empty());
}

// --- TAR's self-extracting files ---

class TarSfx : public OtherFormats {
 protected:
  TarSfx() {
    stub_ = std::string("MZ\x90\0stub\x1A\r\n", 12);
    for (std::size_t i = 0; i < 150000; ++i) {
      archiveBytes_ += static_cast<char>((i * 7919 + i / 251) & 0xFF);
    }
    stubs_.Write("kmtarsef.exe", stub_);
    archive_ = work_.Write("zel152.tar", archiveBytes_);
  }

  // The stub is found along the standard search path: in the current
  // directory here, with nothing on PATH.
  TempDir stubs_;
  TempDir work_;
  TempDir emptyPath_;
  ScopedEnv path_{"PATH", emptyPath_.Dir()};
  Session session_{"full"};
  std::string stub_;
  std::string archiveBytes_;
  std::string archive_;
};

TEST_F(TarSfx, StubThenArchiveByteForByte) {
  const ScopedCurrentDir inStubs(stubs_.Dir());
  TempDir out;
  out.Write("zel152.EXE", std::string(400000, 'x'));  // replaced, not appended to
  struct Case {
    std::string Name;
    std::function<std::unique_ptr<TTar32>()> Make;
    std::string Dir;
    std::string Expected;
  };
  const std::vector<Case> cases{
      {"beside the archive", [] { return std::make_unique<TTar32>(); }, "",
       work_.Path("zel152.EXE")},
      {"into a directory", [] { return std::make_unique<TTgz32>(); }, out.Path("sub"),
       out.Path("sub/zel152.EXE")},
      {"into a directory with its delimiter", [] { return std::make_unique<TTar32>(); }, out.Dir(),
       out.Path("zel152.EXE")},
  };
  out.MakeDir("sub");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    std::filesystem::remove(work_.Path("zel152.EXE"));
    const std::unique_ptr<TTar32> tar = c.Make();
    TArchiverOptions options;
    std::string commandLine = "untouched";
    std::string output = "buffer";
    EXPECT_EQ(tar->MakeSfx(nullptr, archive_, options, c.Dir, commandLine, output), 0);
    EXPECT_EQ(ReadFile(c.Expected), stub_ + archiveBytes_);
    EXPECT_EQ(commandLine, "untouched");
    EXPECT_EQ(output, "buffer");
  }
  EXPECT_EQ(ReadFile(archive_), archiveBytes_);
  EXPECT_TRUE(session_.Calls().empty());
}

TEST_F(TarSfx, MissingStubRaisesBeforeAnyFileIsMade) {
  const ScopedCurrentDir inEmpty(emptyPath_.Dir());
  TTar32 tar;
  TArchiverOptions options;
  std::string commandLine;
  std::string output;
  try {
    tar.MakeSfx(nullptr, archive_, options, "", commandLine, output);
    FAIL() << "made without its stub";
  } catch (const archive::ESfxNoRequiredFile& e) {
    EXPECT_EQ(e.ArchiveKind(), "tar/tgz");
    EXPECT_EQ(e.SfxKind(), "");
    EXPECT_EQ(e.RequiredFile(), "kmtarsef.exe");
    EXPECT_EQ(e.Message(),
              "tar/tgz 書庫からの自己解凍書庫の作成には 'kmtarsef.exe' ファイルが必要です。");
  }
  EXPECT_FALSE(testing_support::Exists(work_.Path("zel152.EXE")));
}

TEST_F(TarSfx, Bz2IsRefusedBeforeAnythingElse) {
  TBZ232 bz2;
  TArchiverOptions options;
  std::string commandLine = "untouched";
  std::string output;
  const std::string message = "BZ2 形式書庫は自己解凍形式にできません。";
  {
    // Even without a stub the refusal comes first.
    const ScopedCurrentDir inEmpty(emptyPath_.Dir());
    EXPECT_EQ(RefusalOf([&] { bz2.MakeSfx(nullptr, archive_, options, "", commandLine, output); }),
              message);
  }
  const ScopedCurrentDir inStubs(stubs_.Dir());
  EXPECT_EQ(RefusalOf([&] { bz2.MakeSfx(nullptr, archive_, options, "", commandLine, output); }),
            message);
  EXPECT_FALSE(testing_support::Exists(work_.Path("zel152.EXE")));
  EXPECT_EQ(commandLine, "untouched");
  EXPECT_TRUE(session_.Calls().empty());
}

TEST_F(TarSfx, FileFailuresRaiseAndNeverReportSuccess) {
  const ScopedCurrentDir inStubs(stubs_.Dir());
  TTar32 tar;
  TArchiverOptions options;
  std::string commandLine;
  std::string output;
  const auto make = [&](const std::string& archive, const std::string& dir) {
    return tar.MakeSfx(nullptr, archive, options, dir, commandLine, output);
  };
  // A missing archive, and a directory in its place, cannot be opened.
  EXPECT_THROW(make(work_.Path("missing.tar"), ""), rtl::EFOpenError);
  EXPECT_FALSE(testing_support::Exists(work_.Path("missing.EXE")));
  work_.MakeDir("folder.tar");
  EXPECT_THROW(make(work_.Path("folder.tar"), ""), rtl::EFOpenError);
  EXPECT_FALSE(testing_support::Exists(work_.Path("folder.EXE")));
  // An output directory that does not exist.
  EXPECT_THROW(make(archive_, work_.Path("no/such/dir")), rtl::EFCreateError);
  // An archive that already bears the output's name is not emptied by writing it.
  const std::string named = work_.Write("self.EXE", archiveBytes_);
  EXPECT_THROW(make(named, ""), rtl::EFCreateError);
  EXPECT_EQ(ReadFile(named), archiveBytes_);
  // Nor is it through another name of the same file.
  TempDir out;
  std::filesystem::create_symlink(archive_, out.Path("zel152.EXE"));
  EXPECT_THROW(make(archive_, out.Dir()), rtl::EFCreateError);
  EXPECT_EQ(ReadFile(archive_), archiveBytes_);
  // A device that takes no data: the lost bytes are a failure, not a success.
  TempDir full;
  std::filesystem::create_symlink("/dev/full", full.Path("zel152.EXE"));
  EXPECT_THROW(make(archive_, full.Dir()), rtl::EWriteError);
  // Also when everything fits the buffer and only closing writes it out.
  std::filesystem::create_symlink("/dev/full", full.Path("small.EXE"));
  EXPECT_THROW(make(work_.Write("small.tar", "tiny"), full.Dir()), rtl::EWriteError);
  // What was written is taken away again.
  EXPECT_FALSE(std::filesystem::is_symlink(full.Path("zel152.EXE")));
  EXPECT_FALSE(std::filesystem::is_symlink(full.Path("small.EXE")));
}

TEST(SfxFileName, ExtensionReplacedAndDirectoryJoined) {
  struct Case {
    std::string Archive;
    std::string Dir;
    std::string Expected;
  };
  const std::vector<Case> windowsCases{
      {"C:\\dl\\zel.tar", "", "C:\\dl\\zel.EXE"},
      {"C:\\dl\\zel.tar.gz", "", "C:\\dl\\zel.tar.EXE"},
      {"C:\\dl.v2\\zel", "", "C:\\dl.v2\\zel.EXE"},
      {"zel", "", "zel.EXE"},
      {"C:\\dl\\zel.tar", "D:\\out", "D:\\out\\zel.EXE"},
      {"C:\\dl\\zel.tar", "D:\\out\\", "D:\\out\\zel.EXE"},
      {"C:zel.tgz", "D:\\out", "D:\\out\\zel.EXE"},
      // 表 ends in 0x5C as its trail byte: no delimiter, in the name or the directory.
      {"C:\\dl\\\x95\x5Czel.tar", "D:\\o", "D:\\o\\\x95\x5Czel.EXE"},
      {"C:\\dl\\zel.tar", "D:\\\x95\x5C", "D:\\\x95\x5C\\zel.EXE"},
  };
  const rtl::ScopedAnsiCodePage sjis(rtl::CP_SHIFT_JIS);
  for (const Case& c : windowsCases) {
    SCOPED_TRACE(c.Archive + " | " + c.Dir);
    EXPECT_EQ(archive::SfxFileName(c.Archive, ".EXE", c.Dir, "\\:"), c.Expected);
  }
  // The system's own delimiters by default.
  EXPECT_EQ(archive::SfxFileName(NativeName("/dl/zel.v2/zel"), ".EXE", ""),
            NativeName("/dl/zel.v2/zel.EXE"));
  EXPECT_EQ(archive::SfxFileName(NativeName("/dl/zel.tar"), ".EXE", NativeName("/out")),
            NativeName("/out/zel.EXE"));
}

// --- Content checks ---

TEST_F(OtherFormats, OpeningChecksOpenAndCloseTheExpandedName) {
  struct Case {
    std::string Prefix;
    std::function<bool(const std::string&)> Check;
  };
  const std::vector<Case> cases{
      {"Cab", archive::IsCabArchive},
      {"Unarj", archive::IsArjArchive},
      {"Unrar", archive::IsRarArchive},
      {"Bga", archive::IsBgaArchive},
  };
  TempDir cwd;
  cwd.Write("one.arc", "x");
  cwd.Write("two.arc", "x");
  const ScopedCurrentDir inCwd(cwd.Dir());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Prefix);
    FreeAll();
    const Session session("full");
    session.SetScript(Script().Result(c.Prefix + "OpenArchive", {7, 0}));
    EXPECT_TRUE(c.Check("one.arc"));
    EXPECT_FALSE(c.Check("two.arc"));
    const auto opens = session.CallsTo(c.Prefix + "OpenArchive");
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].Arg("file"), cwd.Dir() + "one.arc");
    EXPECT_EQ(opens[0].Arg("window"), "0");
    EXPECT_EQ(opens[0].Arg("mode"), std::to_string(0x800002));
    // Closed in both cases, also with the failed handle 0.
    const auto closes = session.CallsTo(c.Prefix + "CloseArchive");
    ASSERT_EQ(closes.size(), 2u);
    EXPECT_EQ(closes[0].Arg("handle"), "7");
    EXPECT_EQ(closes[1].Arg("handle"), "0");
    EXPECT_TRUE(session.CallsTo(c.Prefix + "CheckArchive").empty());
  }
}

TEST_F(OtherFormats, BgaCheckOpensOnlyAnExistingFile) {
  const Session session("full");
  TempDir tmp;
  tmp.MakeDir("folder");
  EXPECT_FALSE(archive::IsBgaArchive(tmp.Path("missing.gza")));
  EXPECT_FALSE(archive::IsBgaArchive(tmp.Path("folder")));
  EXPECT_TRUE(session.Calls().empty());
  ASSERT_NE(TBGA32::BgaDll(), nullptr);
  EXPECT_NE(TBGA32::BgaDll()->ModuleHandle(), 0u);
  // Other families open whatever they are given.
  EXPECT_TRUE(archive::IsCabArchive(tmp.Path("missing.cab")));
}

TEST_F(OtherFormats, ChecksWithoutTheirEntryAnswerNo) {
  const Session session("no-open");
  EXPECT_FALSE(archive::IsCabArchive("a"));
  EXPECT_FALSE(archive::IsArjArchive("a"));
  EXPECT_FALSE(archive::IsRarArchive("a"));
  TempDir tmp;
  EXPECT_FALSE(archive::IsBgaArchive(tmp.Write("a.gza", "x")));
}

TEST_F(OtherFormats, TarTypeCodesAsDetectionReadsThem) {
  const std::vector<std::pair<int, archive::TArchiverType>> codes{
      {1, archive::atTar},  {2, archive::atTgz},   {3, archive::atTgz},       {4, archive::atTgz},
      {5, archive::atTgz},  {6, archive::atBZ2},   {7, archive::atBZ2},       {0, archive::atNone},
      {8, archive::atNone}, {-1, archive::atNone}, {0x8019, archive::atNone},
  };
  Script script;
  std::initializer_list<long long> sequence{1, 2, 3, 4, 5, 6, 7, 0, 8, -1, 0x8019};
  script.Result("TarGetArchiveType", sequence);
  const Session session("full");
  session.SetScript(script);
  for (const auto& [code, type] : codes) {
    SCOPED_TRACE(code);
    EXPECT_EQ(archive::GetTarArchiveType("rel/zel.tgz"), type);
  }
  const auto calls = session.CallsTo("TarGetArchiveType");
  ASSERT_EQ(calls.size(), codes.size());
  // The name goes to the library as given, not expanded.
  EXPECT_EQ(calls[0].Arg("file"), "rel/zel.tgz");
}

TEST_F(OtherFormats, TarTypeWithoutLibraryOrEntryIsNone) {
  {
    TempDir empty;
    const Session session(std::vector{empty.Dir()});
    EXPECT_EQ(archive::GetTarArchiveType("a.tar"), archive::atNone);
  }
  FreeAll();
  const Session session("no-type");
  session.SetScript(Script().Result("TarGetArchiveType", {1}));
  EXPECT_EQ(archive::GetTarArchiveType("a.tar"), archive::atNone);
}

}  // namespace
