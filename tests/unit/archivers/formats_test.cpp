// The ZIP, TAR, 7-Zip, CAB and RAR libraries through the framework, on
// archives written with libarchive, and what every library exports.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/formats/cab32.h"
#include "archive/formats/lha32.h"
#include "archive/formats/rar32.h"
#include "archive/formats/szip32.h"
#include "archive/formats/tar32.h"
#include "archive/formats/zip32.h"
#include "archivers_support.h"
#include "file_times.h"
#include "platform/library.h"
#include "rtl/codepage.h"

namespace {

using archive::FileItems;
using archive::TArchiverOptions;
using archive::TMemberInfo;
using archivers_test::ArchiverLibraries;
using archivers_test::Filter;
using archivers_test::Format;
using archivers_test::Item;
using archivers_test::ReadBack;
using archivers_test::Tree;
using archivers_test::V;
using archivers_test::WriteArchive;
using testing_support::SetFileTimes;
using testing_support::TempDir;
using Set = std::set<std::string>;
using Members = std::map<std::string, std::string>;

std::string Compressible() {
  std::string text(5000, 'z');
  return text;
}

std::vector<Item> SampleItems() {
  return {
      {"a.txt", "alpha\n"},         {"dir/", "", Item::Directory}, {"dir/b.txt", "beta\n"},
      {"日本.txt", "nihon\n"},      {"[x].txt", "bracket\n"},      {"-dash.txt", "dash\n"},
      {"long.txt", Compressible()},
  };
}

Set SampleTree() {
  return {"a.txt = alpha\n",      "dir/",
          "dir/b.txt = beta\n",   "日本.txt = nihon\n",
          "[x].txt = bracket\n",  "-dash.txt = dash\n",
          "long.txt = 5000 bytes"};
}

template <class Archiver>
int ExtractWith(Archiver& archiver, const std::string& archiveName, const std::string& dir,
                const FileItems& files, const TArchiverOptions& options = TArchiverOptions()) {
  std::string commandLine;
  std::string output(4096, '\0');
  return archiver.ExtractFiles(nullptr, archiveName, options, dir, files, false, commandLine,
                               output);
}

template <class Archiver>
int AddWith(Archiver& archiver, const std::string& archiveName, const std::string& dir,
            const FileItems& files, const TArchiverOptions& options = TArchiverOptions()) {
  std::string commandLine;
  std::string output(4096, '\0');
  return archiver.AddFiles(nullptr, archiveName, options, dir, files, false, commandLine, output);
}

using Formats = ArchiverLibraries;

// --- ZIP ---

TEST_F(Formats, ZipExtractsAllOrChosenMembers) {
  const TempDir work;
  const std::string zip = work.Path("sample.zip");
  WriteArchive(zip, Format::Zip, Filter::None, SampleItems());
  struct Case {
    std::string Name;
    FileItems Files;
    std::int8_t X;
    Set Expected;
  };
  const std::vector<Case> cases{
      {"all", FileItems{"*.*"}, -1, SampleTree()},
      {"a bracket is literal", FileItems{"[x].txt"}, -1, {"[x].txt = bracket\n"}},
      {"a leading minus is a name", FileItems{"-dash.txt"}, -1, {"-dash.txt = dash\n"}},
      {"a directory", FileItems{"dir"}, -1, {"dir/", "dir/b.txt = beta\n"}},
      {"without paths", FileItems{"dir\\*"}, 0, {"b.txt = beta\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    archive::TZip32 zip32;
    TArchiverOptions options;
    options.x = c.X;
    const TempDir dir;
    EXPECT_EQ(ExtractWith(zip32, zip, dir.Dir(), c.Files, options), 0);
    EXPECT_EQ(Tree(dir.Dir()), c.Expected);
  }
}

TEST_F(Formats, ZipNamesComeOutInTheHostCodePageHoweverStored) {
  for (const Format format : {Format::Zip, Format::ZipCp932, Format::ZipUnflagged}) {
    SCOPED_TRACE(static_cast<int>(format));
    const TempDir work;
    const std::string zip = work.Path("names.zip");
    WriteArchive(zip, format, Filter::None, {{"日本.txt", "nihon\n"}, {"ソフト/表.txt", "hyou\n"}});
    archive::TZip32 zip32;
    const TempDir dir;
    EXPECT_EQ(ExtractWith(zip32, zip, dir.Dir(), FileItems{"*.*"}), 0);
    EXPECT_EQ(Tree(dir.Dir()), (Set{"日本.txt = nihon\n", "ソフト/", "ソフト/表.txt = hyou\n"}));
    const archive::TArchiveHandle handle = zip32.OpenArchive(nullptr, zip, 0);
    TMemberInfo info{};
    // Patterns and names are in the host's code page too.
    ASSERT_EQ(zip32.FindFirst(handle, info, rtl::Utf8ToAnsi("ソフト/*")), 0);
    EXPECT_EQ(std::string(info.Dll.FileName), rtl::Utf8ToAnsi("ソフト/表.txt"));
    // The central directory was found for the name: its method is known.
    EXPECT_STREQ(info.Dll.Method, "Deflate");
    zip32.CloseArchive(handle);
  }
}

TEST_F(Formats, ZipMembersCarryMethodSizesAndCrc) {
  const TempDir work;
  const std::string deflated = work.Path("deflated.zip");
  const std::string stored = work.Path("stored.zip");
  WriteArchive(deflated, Format::Zip, Filter::None, {{"long.txt", Compressible()}});
  WriteArchive(stored, Format::ZipStored, Filter::None, {{"long.txt", Compressible()}});
  archive::TZip32 zip32;
  for (const auto& [file, method] : {std::pair{deflated, "Deflate"}, std::pair{stored, "Store"}}) {
    SCOPED_TRACE(method);
    const archive::TArchiveHandle handle = zip32.OpenArchive(nullptr, file, 0);
    ASSERT_NE(handle, nullptr);
    TMemberInfo info{};
    ASSERT_EQ(zip32.FindFirst(handle, info, "*"), 0);
    EXPECT_STREQ(info.Dll.Method, method);
    EXPECT_EQ(V(info.Dll.OriginalSize), 5000u);
    EXPECT_EQ(V(info.OriginalSize64), 5000u);
    if (std::string(method) == "Store") {
      EXPECT_EQ(V(info.Dll.CompressedSize), 5000u);
    } else {
      EXPECT_LT(V(info.Dll.CompressedSize), 100u);
      EXPECT_GT(V(info.Dll.CompressedSize), 0u);
    }
    EXPECT_EQ(V(info.CompressedSize64), V(info.Dll.CompressedSize));
    // CRC-32 of 5000 times "z".
    EXPECT_EQ(V(info.Dll.Crc), 0xE89D912Au);
    EXPECT_EQ(V(info.LastWriteTime), (1704164646ULL + 11644473600ULL) * 10000000ULL);
    EXPECT_EQ(zip32.FindNext(handle, info), -1);
    zip32.CloseArchive(handle);
  }
}

TEST_F(Formats, ZipKeepsExistingFilesUnlessToldToOverwrite) {
  const TempDir work;
  const std::string zip = work.Path("a.zip");
  WriteArchive(zip, Format::Zip, Filter::None, {{"a.txt", "from the archive\n"}});
  const TempDir dir;
  dir.Write("a.txt", "mine\n");
  archive::TZip32 zip32;
  EXPECT_EQ(ExtractWith(zip32, zip, dir.Dir(), FileItems{"*.*"}), 0x8010);
  EXPECT_EQ(Tree(dir.Dir()), Set{"a.txt = mine\n"});
  TArchiverOptions overwrite;
  overwrite.c = 1;
  EXPECT_EQ(ExtractWith(zip32, zip, dir.Dir(), FileItems{"*.*"}, overwrite), 0);
  EXPECT_EQ(Tree(dir.Dir()), Set{"a.txt = from the archive\n"});
}

TEST_F(Formats, ZipPackingAddsFreshensAndDeletes) {
  const TempDir source;
  source.Write("a.txt", "one\n");
  source.Write("sub/c.txt", "sea\n");
  source.Write("skip.bak", "no\n");
  SetFileTimes(source.Path("a.txt"), 1700000000);
  const TempDir work;
  const std::string zip = work.Path("made.zip");
  archive::TZip32 zip32;
  TArchiverOptions options;
  options.r = 1;
  EXPECT_EQ(AddWith(zip32, zip, source.Dir(), FileItems{"a.txt", "sub"}, options), 0);
  // The options ask for no directory members (-D) unless a is 2.
  EXPECT_EQ(ReadBack(zip), (Members{{"a.txt", "one\n"}, {"sub/c.txt", "sea\n"}}));
  options.a = 2;
  EXPECT_EQ(AddWith(zip32, zip, source.Dir(), FileItems{"sub"}, options), 0);
  EXPECT_EQ(ReadBack(zip), (Members{{"a.txt", "one\n"}, {"sub/", ""}, {"sub/c.txt", "sea\n"}}));

  // Freshening replaces only members that exist, with newer files.
  source.Write("a.txt", "two\n");
  SetFileTimes(source.Path("a.txt"), 1800000000);
  std::string commandLine;
  std::string output(1024, '\0');
  EXPECT_EQ(zip32.UpdateFiles(nullptr, zip, TArchiverOptions(), source.Dir(),
                              FileItems{"a.txt", "skip.bak"}, false, commandLine, output),
            0);
  EXPECT_EQ(ReadBack(zip), (Members{{"a.txt", "two\n"}, {"sub/", ""}, {"sub/c.txt", "sea\n"}}));

  EXPECT_EQ(zip32.DeleteFiles(nullptr, zip, TArchiverOptions(), "", FileItems{"sub"}, false,
                              commandLine, output),
            0);
  EXPECT_EQ(ReadBack(zip), (Members{{"a.txt", "two\n"}}));

  // Without paths, by wildcard.
  const std::string flat = work.Path("flat.zip");
  TArchiverOptions junk;
  junk.x = 0;
  junk.r = 1;
  EXPECT_EQ(AddWith(zip32, flat, source.Dir(), FileItems{"*.txt"}, junk), 0);
  EXPECT_EQ(ReadBack(flat), (Members{{"a.txt", "two\n"}, {"c.txt", "sea\n"}}));

  // A file that is not there: the archive is left as it was.
  EXPECT_EQ(AddWith(zip32, work.Path("none.zip"), source.Dir(), FileItems{"missing.txt"}), 0x800F);
  EXPECT_FALSE(std::filesystem::exists(work.Path("none.zip")));
  EXPECT_EQ(Tree(work.Dir()),
            (Set{"made.zip = " + std::to_string(std::filesystem::file_size(zip)) + " bytes",
                 "flat.zip = " + std::to_string(std::filesystem::file_size(flat)) + " bytes"}));
}

// --- TAR ---

TEST_F(Formats, TarReportsItsArchiveTypes) {
  const TempDir work;
  const std::vector<Item> items{{"a.txt", "alpha\n"}};
  struct Case {
    std::string Name;
    Format Kind;
    Filter Compression;
    int Type;
  };
  const std::vector<Case> cases{
      {"a.tar", Format::Pax, Filter::None, 1},       {"a.tar.gz", Format::Pax, Filter::Gzip, 2},
      {"a.txt.gz", Format::Raw, Filter::Gzip, 3},    {"a.tar.Z", Format::Pax, Filter::Compress, 4},
      {"a.txt.Z", Format::Raw, Filter::Compress, 4}, {"a.tar.xz", Format::Pax, Filter::Xz, 5},
      {"a.tar.bz2", Format::Pax, Filter::Bzip2, 6},  {"a.txt.bz2", Format::Raw, Filter::Bzip2, 7},
  };
  archive::TTar32 tar;
  archive::TArchiverDll& dll = *archive::TTar32::TarDll();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteArchive(work.Path(c.Name), c.Kind, c.Compression, items);
    EXPECT_EQ(dll.GetArchiveType(work.Path(c.Name)), c.Type);
  }
  EXPECT_EQ(dll.GetArchiveType(work.Write("text.tar", "plain text, no archive\n")), 0);
  EXPECT_EQ(dll.GetArchiveType(work.Path("missing.tar")), -1);
  EXPECT_EQ(archive::GetTarArchiveType(work.Path("a.tar.gz")), archive::atTgz);
  EXPECT_EQ(archive::GetTarArchiveType(work.Path("a.tar.bz2")), archive::atBZ2);
  // A lone compressed file is extracted under the archive's name without the extension.
  const TempDir dir;
  EXPECT_EQ(ExtractWith(tar, work.Path("a.txt.gz"), dir.Dir(), FileItems{"*.*"}), 0);
  EXPECT_EQ(Tree(dir.Dir()), Set{"a.txt = alpha\n"});
}

TEST_F(Formats, TarCreatesEachCompressionAndExtractsIt) {
  const TempDir source;
  source.Write("a.txt", "alpha\n");
  source.Write("dir/b.txt", "beta\n");
  const TempDir work;
  archive::TTar32 tar;
  archive::TTgz32 tgz;
  archive::TBZ232 bz2;
  struct Case {
    std::string Name;
    archive::TArchiver* Archiver;
    int Type;
  };
  const std::vector<Case> cases{
      {"made.tar", &tar, 1}, {"made.tgz", &tgz, 2}, {"made.tar.bz2", &bz2, 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(AddWith(*c.Archiver, work.Path(c.Name), source.Dir(), FileItems{"a.txt", "dir"}), 0);
    EXPECT_EQ(archive::TTar32::TarDll()->GetArchiveType(work.Path(c.Name)), c.Type);
    const TempDir dir;
    EXPECT_EQ(ExtractWith(*c.Archiver, work.Path(c.Name), dir.Dir(), FileItems{"*.*"}), 0);
    EXPECT_EQ(Tree(dir.Dir()), (Set{"a.txt = alpha\n", "dir/", "dir/b.txt = beta\n"}));
  }
}

TEST_F(Formats, TarMembersCarryTheirThreeTimes) {
  const TempDir work;
  const std::string tar = work.Path("times.tar");
  Item item{"a.txt", "alpha\n"};
  item.Modified = 1600000000;
  item.Accessed = 1600000100;
  item.Created = 1500000000;
  WriteArchive(tar, Format::Pax, Filter::None, {item, {"b.txt", "beta\n"}});
  archive::TTar32 tar32;
  const archive::TArchiveHandle handle = tar32.OpenArchive(nullptr, tar, 0);
  ASSERT_NE(handle, nullptr);
  const auto fileTime = [](std::uint64_t seconds) {
    return (seconds + 11644473600ULL) * 10000000ULL;
  };
  TMemberInfo info{};
  ASSERT_EQ(tar32.FindFirst(handle, info, "*.*"), 0);
  EXPECT_EQ(V(info.LastWriteTime), fileTime(1600000000));
  EXPECT_EQ(V(info.LastAccessTime), fileTime(1600000100));
  EXPECT_EQ(V(info.CreationTime), fileTime(1500000000));
  EXPECT_EQ(V(info.OriginalSize64), 6u);
  EXPECT_EQ(V(info.CompressedSize64), 6u);
  // Without an access or creation time the DOS time stands in.
  ASSERT_EQ(tar32.FindNext(handle, info), 0);
  EXPECT_STREQ(info.Dll.FileName, "b.txt");
  EXPECT_EQ(V(info.LastAccessTime), fileTime(1704164646));
  EXPECT_EQ(V(info.CreationTime), fileTime(1704164646));
  EXPECT_EQ(tar32.FindNext(handle, info), -1);
  tar32.CloseArchive(handle);
}

TEST_F(Formats, LinksAndNamesThatLeaveTheDestinationAreRefused) {
  const TempDir work;
  const std::string tar = work.Path("links.tar");
  WriteArchive(tar, Format::Pax, Filter::None,
               {
                   {"ok.txt", "fine\n"},
                   {"in", "", Item::Symlink, "ok.txt"},
                   {"up", "", Item::Symlink, "../outside"},
                   {"abs", "", Item::Symlink, "/etc/passwd"},
                   {"dir/", "", Item::Directory},
                   {"dir/back", "", Item::Symlink, ".."},
                   {"chain", "", Item::Symlink, "dir/back/.."},
                   {"dir/back/through.txt", "through a link\n"},
                   {"hard", "", Item::Hardlink, "ok.txt"},
                   {"hard-out", "", Item::Hardlink, "../ok.txt"},
                   {"../evil.txt", "evil\n"},
                   {"/abs.txt", "evil\n"},
                   {"dir/../../evil2.txt", "evil\n"},
                   {"last.txt", "last\n"},
               });
  const TempDir top;
  const std::string dest = top.Path("dest/");
  archive::TTar32 tar32;
  EXPECT_EQ(ExtractWith(tar32, tar, dest, FileItems{"*.*"}), 0x8013);
  // No link at all, inside or not: "dir/back" is a plain directory then.
  // The absolute name is taken below the destination.
  EXPECT_EQ(Tree(top.Dir()), (Set{"dest/", "dest/ok.txt = fine\n", "dest/dir/", "dest/dir/back/",
                                  "dest/dir/back/through.txt = through a link\n",
                                  "dest/abs.txt = evil\n", "dest/last.txt = last\n"}));
}

// --- 7-Zip ---

TEST_F(Formats, SevenZipExtractsAddsAndDeletes) {
  const TempDir work;
  const std::string sevenZip = work.Path("sample.7z");
  WriteArchive(sevenZip, Format::SevenZip, Filter::None, SampleItems());
  archive::TSevenZip32 szip;
  const TempDir dir;
  EXPECT_EQ(ExtractWith(szip, sevenZip, dir.Dir(), FileItems{"*.*"}), 0);
  EXPECT_EQ(Tree(dir.Dir()), SampleTree());

  const TempDir source;
  source.Write("new.txt", "new\n");
  source.Write("a.txt", "replaced\n");
  SetFileTimes(source.Path("a.txt"), 1800000000);
  EXPECT_EQ(AddWith(szip, sevenZip, source.Dir(), FileItems{"new.txt", "a.txt"}), 0);
  const Members members = ReadBack(sevenZip);
  EXPECT_EQ(members.at("a.txt"), "replaced\n");
  EXPECT_EQ(members.at("new.txt"), "new\n");
  EXPECT_EQ(members.at("dir/b.txt"), "beta\n");
  EXPECT_EQ(members.size(), 8u);

  std::string commandLine;
  std::string output(1024, '\0');
  EXPECT_EQ(szip.DeleteFiles(nullptr, sevenZip, TArchiverOptions(), "", FileItems{"dir"}, false,
                             commandLine, output),
            0);
  EXPECT_FALSE(ReadBack(sevenZip).contains("dir/b.txt"));
  EXPECT_EQ(ReadBack(sevenZip).size(), 6u);
}

TEST_F(Formats, SevenZipOverwriteSwitchesDecide) {
  const TempDir work;
  const std::string sevenZip = work.Path("a.7z");
  WriteArchive(sevenZip, Format::SevenZip, Filter::None, {{"a.txt", "archive\n"}});
  struct Case {
    std::string Name;
    void (*Set)(TArchiverOptions&);
    int Result;
    ::Set Expected;
  };
  const std::vector<Case> cases{
      {"asked nothing: kept", [](TArchiverOptions&) {}, 0x8010, {"a.txt = mine\n"}},
      {"skip", [](TArchiverOptions& o) { o.jn = 1; }, 0x8010, {"a.txt = mine\n"}},
      {"overwrite", [](TArchiverOptions& o) { o.c = 1; }, 0, {"a.txt = archive\n"}},
      {"rename",
       [](TArchiverOptions& o) { o.m = 2; },
       0,
       {"a.txt = mine\n", "a_1.txt = archive\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    archive::TSevenZip32 szip;
    TArchiverOptions options;
    c.Set(options);
    const TempDir dir;
    dir.Write("a.txt", "mine\n");
    EXPECT_EQ(ExtractWith(szip, sevenZip, dir.Dir(), FileItems{"*.*"}, options), c.Result);
    EXPECT_EQ(Tree(dir.Dir()), c.Expected);
  }
}

// --- CAB ---

TEST_F(Formats, CabExtractsAndListsStoredCabinets) {
  const TempDir work;
  const std::string cab = work.Path("a.cab");
  archivers_test::WriteStoredCab(
      cab, {{"readme.txt", "read me\n"}, {"sub\\inner.txt", "inner\n"}, {"\x93\xfa.txt", "sjis\n"}},
      false);
  EXPECT_TRUE(archive::IsCabArchive(cab));
  archive::TCab32 cab32;
  const TempDir dir;
  EXPECT_EQ(ExtractWith(cab32, cab, dir.Dir(), FileItems{"*.*"}), 0);
  EXPECT_EQ(Tree(dir.Dir()),
            (Set{"readme.txt = read me\n", "sub/", "sub/inner.txt = inner\n", "日.txt = sjis\n"}));
  const archive::TArchiveHandle handle = cab32.OpenArchive(nullptr, cab, 0);
  ASSERT_NE(handle, nullptr);
  TMemberInfo info{};
  ASSERT_EQ(cab32.FindFirst(handle, info, "readme.txt"), 0);
  EXPECT_EQ(V(info.Dll.OriginalSize), 8u);
  EXPECT_EQ(V(info.Dll.DosDate), (44 << 9) | (1 << 5) | 2);
  EXPECT_STREQ(info.Dll.Method, "CAB");
  cab32.CloseArchive(handle);
  // Without paths, and an existing file kept unless told.
  const TempDir flat;
  flat.Write("readme.txt", "mine\n");
  TArchiverOptions options;
  options.x = 0;
  EXPECT_EQ(ExtractWith(cab32, cab, flat.Dir(), FileItems{"*.*"}, options), 0x8010);
  EXPECT_EQ(Tree(flat.Dir()),
            (Set{"readme.txt = mine\n", "inner.txt = inner\n", "日.txt = sjis\n"}));
}

TEST_F(Formats, EachFamilyExtractsOneMemberIntoMemory) {
  const TempDir work;
  const std::vector<Item> items{{"a.txt", "alpha\n"}, {"dir/b.txt", "beta\n"}};
  WriteArchive(work.Path("a.zip"), Format::Zip, Filter::None, items);
  WriteArchive(work.Path("a.tgz"), Format::Pax, Filter::Gzip, items);
  archivers_test::WriteStoredCab(work.Path("a.cab"), items, true);
  archive::TZip32 zip;
  archive::TTgz32 tgz;
  archive::TCab32 cab;
  const std::vector<std::pair<std::string, archive::TArchiver*>> cases{
      {"a.zip", &zip}, {"a.tgz", &tgz}, {"a.cab", &cab}};
  for (const auto& [name, archiver] : cases) {
    SCOPED_TRACE(name);
    std::vector<std::uint8_t> buffer(64, 0);
    std::uint32_t written = 0;
    std::string commandLine;
    TArchiverOptions options;
    EXPECT_EQ(
        archiver->ExtractMem(nullptr, work.Path(name), options, "dir/b.txt", buffer.data(),
                             static_cast<std::uint32_t>(buffer.size()), &written, commandLine),
        0)
        << commandLine;
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(written)),
              "beta\n");
    EXPECT_EQ(
        archiver->ExtractMem(nullptr, work.Path(name), options, "c.txt", buffer.data(),
                             static_cast<std::uint32_t>(buffer.size()), &written, commandLine),
        0x800F);
    EXPECT_EQ(written, 0u);
  }
}

// --- families keep to their own formats ---

TEST_F(Formats, EachLibraryClaimsOnlyItsOwnFormat) {
  const TempDir work;
  const std::string zip = work.Path("a.zip");
  const std::string tar = work.Path("a.tar");
  const std::string sevenZip = work.Path("a.7z");
  WriteArchive(zip, Format::Zip, Filter::None, {{"a.txt", "alpha\n"}});
  WriteArchive(tar, Format::Pax, Filter::None, {{"a.txt", "alpha\n"}});
  WriteArchive(sevenZip, Format::SevenZip, Filter::None, {{"a.txt", "alpha\n"}});
  const std::string lzh = archivers_test::LzhFixture("stored.lzh");
  const std::string text = work.Write("a.txt", "text\n");
  EXPECT_TRUE(archive::IsZipArchive(zip));
  EXPECT_TRUE(archive::IsLhaArchive(lzh));
  for (const std::string& other : {lzh, tar, sevenZip, text}) {
    SCOPED_TRACE(other);
    EXPECT_FALSE(archive::IsZipArchive(other));
    EXPECT_FALSE(archive::IsCabArchive(other));
    EXPECT_FALSE(archive::IsRarArchive(other));
  }
  for (const std::string& other : {zip, tar, sevenZip, text}) {
    SCOPED_TRACE(other);
    EXPECT_FALSE(archive::IsLhaArchive(other));
  }
  EXPECT_EQ(archive::GetTarArchiveType(zip), archive::atNone);
  EXPECT_EQ(archive::GetTarArchiveType(lzh), archive::atNone);
  EXPECT_EQ(archive::GetTarArchiveType(tar), archive::atTar);
  // CAB and RAR read only: packing is refused by the library.
  archive::TCab32 cab;
  EXPECT_EQ(AddWith(cab, work.Path("new.cab"), work.Dir(), FileItems{"a.txt"}), 0x8023);
  EXPECT_FALSE(std::filesystem::exists(work.Path("new.cab")));
}

TEST_F(Formats, LibrariesExportTheirEntriesAndNothingElse) {
  const std::vector<std::string> suffixes{
      "OpenArchive",      "CloseArchive",         "FindFirst",
      "FindNext",         "ExtractMem",           "CheckArchive",
      "SetOwnerWindowEx", "KillOwnerWindowEx",    "GetCreateTimeEx",
      "GetAccessTimeEx",  "GetOriginalSizeEx",    "GetCompressedSizeEx",
      "GetArchiveType",   "SetEnumMembersProc64", "ClearEnumMembersProc64"};
  struct Case {
    std::string Dll;
    std::string Prefix;
    std::string Command;
    std::string WriteTime;
    std::string Absent;
  };
  const std::vector<Case> cases{
      {"UNLHA32.DLL", "Unlha", "Unlha", "UnlhaGetWriteTimeEx", "Zip"},
      {"UNZIP32.DLL", "UnZip", "UnZip", "UnzipGetWriteTimeEx", "Zip"},
      {"ZIP32J.DLL", "UnZip", "Zip", "UnzipGetWriteTimeEx", "UnZip"},
      {"CAB32.DLL", "Cab", "Cab", "CabGetWriteTimeEx", "CabPackCommand"},
      {"TAR32.DLL", "Tar", "Tar", "TarGetWriteTimeEx", "Zip"},
      {"UNRAR32.DLL", "Unrar", "Unrar", "UnrarGetWriteTimeEx", "UnrarSetDefaultPassword"},
      {"7-ZIP32.DLL", "SevenZip", "SevenZip", "SevenZipGetWriteTimeEx", "UnZip"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Dll);
    const platform::Library library = platform::LoadLibrary(c.Dll);
    ASSERT_TRUE(library.IsLoaded());
    EXPECT_NE(library.GetProcAddress(c.Command), nullptr);
    EXPECT_NE(library.GetProcAddress(c.WriteTime), nullptr);
    for (const std::string& suffix : suffixes) {
      EXPECT_NE(library.GetProcAddress(c.Prefix + suffix), nullptr) << suffix;
    }
    EXPECT_EQ(library.GetProcAddress(c.Absent), nullptr);
    // The engine and its static runtime stay inside.
    EXPECT_EQ(library.GetProcAddress("_ZN3rtl11AnsiCodePageEv"), nullptr);
    EXPECT_EQ(library.GetProcAddress("zel_archiver_unused_PackCommand"), nullptr);
  }
  EXPECT_FALSE(platform::LoadLibrary("UNARJ32J.DLL").IsLoaded());
  EXPECT_FALSE(platform::LoadLibrary("BGA32.DLL").IsLoaded());
}

}  // namespace
