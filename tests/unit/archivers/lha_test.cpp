// The LHA library through the framework: the committed LZH fixtures.
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/formats/lha32.h"
#include "archivers_support.h"
#include "enum_record.h"
#include "platform/desktop.h"
#include "rtl/codepage.h"

namespace {

using archive::FileItems;
using archive::TArchiverOptions;
using archive::TLha32;
using archive::TMemberInfo;
using archivers_test::ArchiverLibraries;
using archivers_test::BigText;
using archivers_test::FarText;
using archivers_test::LzhFixture;
using archivers_test::OldText;
using archivers_test::Tree;
using archivers_test::V;
using testing_support::TempDir;
using Set = std::set<std::string>;

// The options the updater gives an extraction.
void SetUpdaterOptions(TArchiverOptions& options) {
  options.n = 1;
  options.y = 1;
  options.jse = 1;
  options.jso = 1;
}

// An archiver's options are not copied; each use makes its own.
struct UpdaterOptions : TArchiverOptions {
  UpdaterOptions() { SetUpdaterOptions(*this); }
};

class Lha : public ArchiverLibraries {
 protected:
  int Extract(const std::string& fixture, const std::string& dir, const FileItems& files,
              const TArchiverOptions& options = UpdaterOptions()) {
    return ExtractPath(LzhFixture(fixture), dir, files, options);
  }

  int ExtractPath(const std::string& archive, const std::string& dir, const FileItems& files,
                  const TArchiverOptions& options = UpdaterOptions()) {
    std::string commandLine;
    std::string output(4096, '\0');
    const int result =
        lha_.ExtractFiles(nullptr, archive, options, dir, files, false, commandLine, output);
    output.resize(output.find('\0'));
    output_ = output;
    return result;
  }

  // The library's own command entry with a line of the test's making.
  int Run(const std::string& line) {
    std::string output(4096, '\0');
    const int result = TLha32::LhaDll()->Command(nullptr, "", line, output);
    output.resize(output.find('\0'));
    output_ = output;
    return result;
  }

  TLha32 lha_;
  std::string output_;
};

// How Tree shows the two large members.
std::string Big() {
  return "big.txt = " + std::to_string(BigText().size()) + " bytes";
}

std::string Far() {
  return "far.txt = " + std::to_string(FarText().size()) + " bytes";
}

TEST_F(Lha, ExtractsEveryMethodAndHeaderLevel) {
  struct Case {
    std::string Fixture;
    Set Expected;
  };
  const std::vector<Case> cases{
      {"stored.lzh", {Big(), "tiny.txt = hello\n"}},
      {"lh5-level0.lzh", {Big(), Far(), "tiny.txt = hello\n"}},
      {"lh5-level1.lzh", {Big(), Far(), "tiny.txt = hello\n"}},
      {"lh5-level2.lzh", {Big(), Far(), "tiny.txt = hello\n"}},
      {"lh6.lzh", {Big(), Far(), "tiny.txt = hello\n"}},
      {"lh7.lzh", {Big(), Far(), "tiny.txt = hello\n"}},
      {"subdir.lzh", {"sub/", "sub/inner.txt = inner file\n", "top.txt = top file\n"}},
      {"zel-new.lzh",
       {"ZEL.EXE = new ZEL.EXE\n", "plugin.dll = new plugin.dll\n", "readme.txt = 1280 bytes"}},
      {"unsupported.lzh",
       {"good.txt = good member\n", "old.txt = 3024 bytes",
        "after.txt = member after the -lh1- one\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Fixture);
    const TempDir dir;
    EXPECT_EQ(Extract(c.Fixture, dir.Dir(), FileItems{"*.*"}), 0) << output_;
    EXPECT_EQ(Tree(dir.Dir()), c.Expected);
    if (c.Expected.contains(Big())) {
      EXPECT_EQ(testing_support::ReadFile(dir.Path("big.txt")), BigText());
    }
    if (c.Expected.contains(Far())) {
      EXPECT_EQ(testing_support::ReadFile(dir.Path("far.txt")), FarText());
    }
    if (c.Expected.contains("old.txt = 3024 bytes")) {
      EXPECT_EQ(testing_support::ReadFile(dir.Path("old.txt")), OldText());
    }
  }
}

TEST_F(Lha, ExtractedFilesKeepTheirTimes) {
  const TempDir dir;
  ASSERT_EQ(Extract("subdir-dirent.lzh", dir.Dir(), FileItems{"*.*"}), 0) << output_;
  struct stat status {};
  ASSERT_EQ(::stat(dir.Path("top.txt").c_str(), &status), 0);
  EXPECT_EQ(status.st_mtime, 1704164650);
  ASSERT_EQ(::stat(dir.Path("sub/inner.txt").c_str(), &status), 0);
  EXPECT_EQ(status.st_mtime, 1704164650);
  // The directory's time is set after its members are written.
  ASSERT_EQ(::stat(dir.Path("sub").c_str(), &status), 0);
  EXPECT_EQ(status.st_mtime, 1704164650);
}

TEST_F(Lha, ProgramsOfDosArchivesAreExecutable) {
  // The archive keeps no Unix permissions: on Windows the name makes a program.
  const TempDir dir;
  ASSERT_EQ(Extract("zel-new.lzh", dir.Dir(), FileItems{"*.*"}), 0) << output_;
  struct stat status {};
  ASSERT_EQ(::stat(dir.Path("ZEL.EXE").c_str(), &status), 0);
  EXPECT_NE(status.st_mode & S_IXUSR, 0u);
  EXPECT_NE(status.st_mode & S_IWUSR, 0u);
  ASSERT_EQ(::stat(dir.Path("readme.txt").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH), 0u);
}

TEST_F(Lha, ListsMembersWithSizesMethodsAndTimes) {
  // 2024-01-02 03:04:06 UTC, as the DOS date and time and as a file time.
  const std::uint16_t bigDate = (44 << 9) | (1 << 5) | 2;
  const std::uint16_t bigTime = (3 << 11) | (4 << 5) | 3;
  const std::uint64_t bigFileTime = (1704164646ULL + 11644473600ULL) * 10000000ULL;
  for (const std::string fixture : {"lh5-level0.lzh", "lh5-level1.lzh", "lh5-level2.lzh"}) {
    SCOPED_TRACE(fixture);
    const archive::TArchiveHandle handle = lha_.OpenArchive(nullptr, LzhFixture(fixture), 0);
    ASSERT_NE(handle, nullptr);
    std::vector<TMemberInfo> members;
    TMemberInfo info{};
    for (int found = lha_.FindFirst(handle, info, "*.*"); found == 0;
         found = lha_.FindNext(handle, info)) {
      members.push_back(info);
    }
    EXPECT_EQ(lha_.FindNext(handle, info), -1);
    EXPECT_EQ(lha_.CloseArchive(handle), 0);
    ASSERT_EQ(members.size(), 3u);
    const auto& big = members[0];
    EXPECT_STREQ(big.Dll.FileName, "big.txt");
    EXPECT_EQ(V(big.Dll.OriginalSize), 8250u);
    EXPECT_EQ(V(big.Dll.CompressedSize), 399u);
    EXPECT_EQ(V(big.Dll.Ratio), 399 * 1000 / 8250);
    EXPECT_STREQ(big.Dll.Method, "-lh5-");
    EXPECT_EQ(V(big.Dll.DosDate), bigDate);
    EXPECT_EQ(V(big.Dll.DosTime), bigTime);
    EXPECT_EQ(V(big.LastWriteTime), bigFileTime);
    EXPECT_EQ(V(big.OriginalSize64), 8250u);
    EXPECT_EQ(V(big.CompressedSize64), 399u);
    EXPECT_STREQ(members[1].Dll.FileName, "far.txt");
    EXPECT_EQ(V(members[1].Dll.OriginalSize), 14192u);
    EXPECT_STREQ(members[2].Dll.FileName, "tiny.txt");
    EXPECT_STREQ(members[2].Dll.Method, "-lh0-");
    EXPECT_EQ(V(members[2].Dll.CompressedSize), 6u);
    EXPECT_STREQ(members[2].Dll.Attribute, "----A");
  }
}

TEST_F(Lha, SearchPatternsChooseMembers) {
  struct Case {
    std::string Pattern;
    std::uint32_t Mode;
    std::vector<std::string> Expected;
  };
  const std::vector<Case> cases{
      {"*.*", 0, {"sub/", "sub/inner.txt", "top.txt"}},
      {"", 0, {"sub/", "sub/inner.txt", "top.txt"}},
      {"T*.TXT", 0, {"top.txt"}},
      {"sub\\inner.txt", 0, {"sub/inner.txt"}},
      {"inner.txt", 0, {}},
      {"inner.txt", arcapi::kOpenCheckFileNameOnly, {"sub/inner.txt"}},
      {"?op.txt", 0, {"top.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Pattern);
    const archive::TArchiveHandle handle =
        lha_.OpenArchive(nullptr, LzhFixture("subdir-dirent.lzh"), c.Mode);
    ASSERT_NE(handle, nullptr);
    std::vector<std::string> names;
    TMemberInfo info{};
    for (int found = lha_.FindFirst(handle, info, c.Pattern); found == 0;
         found = lha_.FindNext(handle, info)) {
      names.emplace_back(info.Dll.FileName);
    }
    EXPECT_EQ(names, c.Expected);
    lha_.CloseArchive(handle);
  }
}

TEST_F(Lha, ExtractsChosenMembersWithAndWithoutPaths) {
  struct Case {
    std::string Name;
    FileItems Files;
    std::int8_t X;
    Set Expected;
  };
  const std::vector<Case> cases{
      {"all with paths",
       FileItems{"*.*"},
       -1,
       {"sub/", "sub/inner.txt = inner file\n", "top.txt = top file\n"}},
      {"all without paths",
       FileItems{"*.*"},
       0,
       {"inner.txt = inner file\n", "top.txt = top file\n"}},
      {"one member", FileItems{"sub/inner.txt"}, -1, {"sub/", "sub/inner.txt = inner file\n"}},
      {"a directory chooses its members",
       FileItems{"sub"},
       -1,
       {"sub/", "sub/inner.txt = inner file\n"}},
      {"a wildcard, case ignored", FileItems{"TOP.*"}, -1, {"top.txt = top file\n"}},
      {"nothing matches", FileItems{"none.txt"}, -1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const TempDir dir;
    UpdaterOptions options;
    options.x = c.X;
    EXPECT_EQ(Extract("subdir-dirent.lzh", dir.Dir(), c.Files, options), 0) << output_;
    EXPECT_EQ(Tree(dir.Dir()), c.Expected);
  }
  const TempDir dir;
  EXPECT_EQ(Run("e \"" + LzhFixture("subdir.lzh") + "\" \"" + dir.Dir() + "\""), 0) << output_;
  EXPECT_EQ(Tree(dir.Dir()), (Set{"inner.txt = inner file\n", "top.txt = top file\n"}));
}

TEST_F(Lha, ResponseFilesNameTheMembers) {
  const TempDir dir;
  UpdaterOptions options;
  options.ResFileName = dir.Path("list.txt");
  options.ResFileUsage = archive::TResFileUsage{archive::ruOnUnpack};
  const TempDir out;
  std::string commandLine;
  std::string output(1024, '\0');
  EXPECT_EQ(lha_.ExtractFiles(nullptr, LzhFixture("lh5-level2.lzh"), options, out.Dir(),
                              FileItems{"tiny.txt", "far.txt"}, true, commandLine, output),
            0);
  EXPECT_NE(commandLine.find("@" + options.ResFileName), std::string::npos);
  EXPECT_EQ(Tree(out.Dir()), (Set{Far(), "tiny.txt = hello\n"}));

  // Written by hand: LF line ends, unquoted and quoted names, blank lines.
  const std::string list = dir.Write("hand.txt", "big.txt\n\n  \"tiny.txt\"  \n");
  const TempDir other;
  EXPECT_EQ(Run("x \"" + LzhFixture("lh5-level2.lzh") + "\" \"" + other.Dir() + "\" @" + list), 0);
  EXPECT_EQ(Tree(other.Dir()), (Set{Big(), "tiny.txt = hello\n"}));
  // A response file that is not there fails the command before anything is written.
  const TempDir none;
  EXPECT_EQ(Run("x \"" + LzhFixture("lh5-level2.lzh") + "\" \"" + none.Dir() + "\" @" +
                dir.Path("missing.txt")),
            0x800F);
  EXPECT_EQ(Tree(none.Dir()), Set{});
}

TEST_F(Lha, JapaneseNamesComeOutInTheHostCodePage) {
  const TempDir dir;
  EXPECT_EQ(Extract("cp932-name.lzh", dir.Dir(), FileItems{"*.*"}), 0) << output_;
  EXPECT_EQ(Extract("cp932-5c.lzh", dir.Dir(), FileItems{"*.*"}), 0) << output_;
  EXPECT_EQ(Tree(dir.Dir()), (Set{"日本語.txt = Japanese name\n", "表.txt = hyou\n", "ソフト/",
                                  "ソフト/readme.txt = soft\n"}));
  const archive::TArchiveHandle handle = lha_.OpenArchive(nullptr, LzhFixture("cp932-5c.lzh"), 0);
  TMemberInfo info{};
  // Patterns and names are in the host's code page too.
  ASSERT_EQ(lha_.FindFirst(handle, info, rtl::Utf8ToAnsi("ソフト\\*")), 0);
  EXPECT_EQ(std::string(info.Dll.FileName), rtl::Utf8ToAnsi("ソフト/readme.txt"));
  lha_.CloseArchive(handle);
}

TEST_F(Lha, NamesThatLeaveTheDestinationAreRefusedAbsoluteOnesTakenBelowIt) {
  for (const std::string fixture : {"traversal.lzh", "traversal-level0.lzh"}) {
    SCOPED_TRACE(fixture);
    const TempDir top;
    const std::string dest = top.Path("a/b/dest/");
    EXPECT_EQ(Extract(fixture, dest, FileItems{"*.*"}), 0x8013) << output_;
    // The ".." names refused, the absolute one below the destination;
    // nowhere else a file.
    EXPECT_EQ(Tree(top.Dir()),
              (Set{"a/", "a/b/", "a/b/dest/", "a/b/dest/abs/",
                   "a/b/dest/abs/evil.txt = must not be written outside the target\n",
                   "a/b/dest/good.txt = good member\n"}));
    EXPECT_FALSE(std::filesystem::exists("/abs/evil.txt"));
  }
}

TEST_F(Lha, MembersThatCannotBeReadLeaveNoFile) {
  struct Case {
    std::string Fixture;
    int Result;
    Set Expected;
  };
  const std::vector<Case> cases{
      {"unknown-method.lzh",
       0x8009,
       {"good.txt = good member\n", "after.txt = member after the -lh3- one\n"}},
      // The inverted bytes still decode, to data that fails the CRC.
      {"damaged.lzh", 0x800C, {Far(), "tiny.txt = hello\n"}},
      {"bad-crc.lzh", 0x800C, {"tiny.txt = hello\n"}},
      {"truncated.lzh", 0x801A, {}},
      {"lhasa/regression/truncated.lzh", 0x801A, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Fixture);
    const TempDir dir;
    EXPECT_EQ(Extract(c.Fixture, dir.Dir(), FileItems{"*.*"}), c.Result) << output_;
    // No zero-filled or partial file, and no temporary file left behind.
    EXPECT_EQ(Tree(dir.Dir()), c.Expected);
  }
}

// Where the archive's `index`th header starts (0 the first).
std::size_t HeaderStart(const std::string& archive, int index) {
  const auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(archive.at(at)); };
  const auto le = [&](std::size_t at, int size) {
    std::size_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
      value = (value << 8) | byte(at + static_cast<std::size_t>(i));
    }
    return value;
  };
  std::size_t at = 0;
  for (int i = 0; i < index; ++i) {
    // The header, then its packed data (level 1: with the extended headers).
    const std::size_t header = byte(at + 20) == 2 ? le(at, 2) : std::size_t{byte(at)} + 2;
    at += header + le(at + 7, 4);
  }
  return at;
}

TEST_F(Lha, BrokenHeadersStopTheExtraction) {
  struct Case {
    std::string Name;
    std::string Fixture;
    int Header;
    std::size_t Offset;  // in the header
    std::uint8_t Flip;
    int Result;
    Set Expected;
  };
  const std::vector<Case> cases{
      // A name byte of far.txt: the level 0 checksum no longer adds up.
      {"checksum", "lh5-level0.lzh", 1, 23, 0x20, 0x8016, {Big()}},
      // The same in a level 2 header, whose CRC extended header tells.
      {"header CRC", "lh5-level2.lzh", 1, 30, 0x20, 0x8016, {Big()}},
      // A header level that does not exist.
      {"level", "lh5-level2.lzh", 1, 20, 0x04, 0x8017, {Big()}},
      // The first header: nothing can be read.
      {"first", "lh5-level0.lzh", 0, 23, 0x20, 0x8016, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const TempDir work;
    std::string bytes = testing_support::ReadFile(LzhFixture(c.Fixture));
    const std::size_t at = HeaderStart(bytes, c.Header) + c.Offset;
    bytes[at] = static_cast<char>(bytes[at] ^ c.Flip);
    const std::string archive = work.Write("broken.lzh", bytes);
    const TempDir dir;
    EXPECT_EQ(ExtractPath(archive, dir.Dir(), FileItems{"*.*"}), c.Result) << output_;
    EXPECT_EQ(Tree(dir.Dir()), c.Expected);
  }
}

TEST_F(Lha, ExtractsOneMemberIntoMemory) {
  struct Case {
    std::string Fixture;
    std::string Member;
    std::uint32_t BufferSize;
    int Result;
    std::string Expected;
  };
  const std::string big = BigText();
  const std::vector<Case> cases{
      {"lh5-level2.lzh", "big.txt", 9000, 0, big},
      {"lh5-level2.lzh", "BIG.TXT", 8250, 0, big},
      {"lh5-level2.lzh", "big.txt", 100, 0x8005, big.substr(0, 100)},
      {"subdir.lzh", "sub/inner.txt", 100, 0, "inner file\n"},
      {"lh5-level2.lzh", "missing.txt", 100, 0x800F, ""},
      {"damaged.lzh", "big.txt", 9000, 0x800C, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Member + " of " + c.Fixture);
    std::vector<std::uint8_t> buffer(c.BufferSize + 16, 0xEE);
    std::uint32_t written = 12345;
    std::string commandLine;
    const int result = lha_.ExtractMem(nullptr, LzhFixture(c.Fixture), UpdaterOptions(), c.Member,
                                       buffer.data(), c.BufferSize, &written, commandLine);
    EXPECT_EQ(result, c.Result);
    if (c.Result == 0x800C) {
      continue;
    }
    EXPECT_EQ(written, c.Expected.size());
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(written)),
              c.Expected);
    // Nothing beyond the buffer.
    EXPECT_EQ(buffer[c.BufferSize], 0xEE);
  }
}

TEST_F(Lha, TellsArchivesFromOtherFiles) {
  const TempDir dir;
  const std::string text = dir.Write("notes.lzh", "just some text\nwith two lines\n");
  const std::string lzh = LzhFixture("lh5-level2.lzh");
  // A self-extracting archive: a program stub in front of the archive.
  const std::string sfx =
      dir.Write("setup.exe", "MZ" + std::string(3000, '\x90') + testing_support::ReadFile(lzh));
  EXPECT_FALSE(archive::IsLhaArchive(text));
  EXPECT_FALSE(archive::IsLhaArchive(dir.Path("missing.lzh")));
  EXPECT_TRUE(archive::IsLhaArchive(lzh));
  EXPECT_TRUE(archive::IsLhaArchive(sfx));
  archive::TArchiverDll& dll = *TLha32::LhaDll();
  struct Case {
    std::string File;
    int Mode;
    int Expected;
  };
  const std::vector<Case> cases{
      {text, 0, 0},
      {text, 16, 0},
      {lzh, 0, 1},
      {lzh, 2, 1},
      {LzhFixture("damaged.lzh"), 1, 1},
      {LzhFixture("damaged.lzh"), 2, 0},
      {LzhFixture("bad-crc.lzh"), 2, 0},
      {LzhFixture("truncated.lzh"), 16, 0},
      {LzhFixture("unknown-method.lzh"), 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.File + " mode " + std::to_string(c.Mode));
    EXPECT_EQ(dll.CheckArchive(c.File, c.Mode) != 0 ? 1 : 0, c.Expected);
  }
  // The self-extractor's members are found behind the stub.
  const TempDir out;
  EXPECT_EQ(Run("x \"" + sfx + "\" \"" + out.Dir() + "\" tiny.txt"), 0) << output_;
  EXPECT_EQ(Tree(out.Dir()), Set{"tiny.txt = hello\n"});
}

TEST_F(Lha, FailuresReturnTheInterfaceCodes) {
  const TempDir dir;
  const std::string text = dir.Write("text.lzh", "plain text\n");
  struct Case {
    std::string Line;
    int Result;
  };
  const std::vector<Case> cases{
      {"a \"" + dir.Path("new.lzh") + "\" \"" + dir.Dir() + "\" x", 0x8023},
      {"d \"" + LzhFixture("stored.lzh") + "\" tiny.txt", 0x8023},
      {"x \"" + dir.Path("missing.lzh") + "\" \"" + dir.Dir() + "\"", 0x8018},
      {"x \"" + text + "\" \"" + dir.Dir() + "\"", 0x8019},
      {"x", 0x8018},
      {"", 0x8023},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Line);
    EXPECT_EQ(Run(c.Line), c.Result) << output_;
  }
  archive::TArchiverDll& dll = *TLha32::LhaDll();
  TMemberInfo info{};
  EXPECT_EQ(dll.CloseArchive(nullptr), 0x8021);
  EXPECT_EQ(dll.FindFirst(nullptr, "*", info), 0x8021);
  EXPECT_EQ(dll.OpenArchive(nullptr, text, 0), nullptr);
  const archive::TArchiveHandle handle = dll.OpenArchive(nullptr, LzhFixture("stored.lzh"), 0);
  EXPECT_EQ(dll.FindNext(handle, info), 0x8022);
  EXPECT_EQ(dll.CloseArchive(handle), 0);
  EXPECT_EQ(dll.CloseArchive(handle), 0x8021);
  EXPECT_EQ(dll.GetArchiveType(LzhFixture("stored.lzh")), 1);
  EXPECT_EQ(dll.GetArchiveType(text), 0);
  EXPECT_EQ(dll.GetArchiveType(dir.Path("missing.lzh")), -1);
}

TEST_F(Lha, ExistingFilesAreReplacedOnlyByNewerMembersUnlessTold) {
  const TempDir dir;
  const std::string tiny = dir.Write("tiny.txt", "mine\n");
  // Newer than the member: kept.
  std::filesystem::last_write_time(tiny, std::filesystem::file_time_type::clock::now());
  EXPECT_EQ(Extract("stored.lzh", dir.Dir(), FileItems{"tiny.txt"}), 0x800E);
  EXPECT_EQ(testing_support::ReadFile(tiny), "mine\n");
  UpdaterOptions options;
  options.c = 1;
  EXPECT_EQ(Extract("stored.lzh", dir.Dir(), FileItems{"tiny.txt"}, options), 0);
  EXPECT_EQ(testing_support::ReadFile(tiny), "hello\n");
}

TEST_F(Lha, OutputNeverPassesTheBuffer) {
  const std::string line = "l \"" + LzhFixture("stored.lzh") + "\"";
  // Through the binding first: an empty output passes no buffer at all.
  std::string none;
  ASSERT_EQ(TLha32::LhaDll()->Command(nullptr, "", line, none), 0);
  // Then the bound entry itself, with guard bytes behind the buffer.
  const arcapi::TCommandEntry command = TLha32::LhaDll()->Entries().Command;
  ASSERT_NE(command, nullptr);
  for (const std::uint32_t size : {1u, 8u, 100u, 4096u}) {
    SCOPED_TRACE(size);
    std::vector<char> buffer(size + 8, '#');
    EXPECT_EQ(command(nullptr, line.c_str(), buffer.data(), size), 0);
    EXPECT_LT(std::strlen(buffer.data()), size);
    EXPECT_EQ(std::string(buffer.end() - 8, buffer.end()), std::string(8, '#'));
  }
  std::vector<char> buffer(4096, '#');
  ASSERT_EQ(command(nullptr, line.c_str(), buffer.data(), 4096), 0);
  EXPECT_NE(std::string(buffer.data()).find("tiny.txt"), std::string::npos);
  std::vector<char> small(8, '#');
  ASSERT_EQ(command(nullptr, line.c_str(), small.data(), 8), 0);
  EXPECT_EQ(std::string(small.data()), std::string(buffer.data(), 7));
}

// The enumeration callback: names seen, and the member at which to stop.
std::vector<std::string> g_enumerated;
std::size_t g_stopAt = 0;

int ARCAPI Enumerate(arcapi::TEnumMemberInfo64* info) {
  archivers::EnumMemberRecord record{};
  std::memcpy(&record, info, sizeof record);
  g_enumerated.emplace_back(record.FileName);
  return g_enumerated.size() == g_stopAt ? 0 : -1;
}

TEST_F(Lha, EnumerationSeesEveryMemberAndCanStop) {
  g_enumerated.clear();
  g_stopAt = 0;
  EXPECT_EQ(lha_.SetEnumMembersProc(Enumerate, 100), 0);
  EXPECT_NE(lha_.SetEnumMembersProc(Enumerate, arcapi::kEnumMemberInfo64Size), 0);
  const TempDir all;
  EXPECT_EQ(Extract("lh5-level2.lzh", all.Dir(), FileItems{"*.*"}), 0);
  EXPECT_EQ(g_enumerated, (std::vector<std::string>{"big.txt", "far.txt", "tiny.txt"}));

  g_enumerated.clear();
  g_stopAt = 2;
  const TempDir stopped;
  EXPECT_EQ(Extract("lh5-level2.lzh", stopped.Dir(), FileItems{"*.*"}), 0x8020);
  EXPECT_EQ(g_enumerated, (std::vector<std::string>{"big.txt", "far.txt"}));
  EXPECT_EQ(Tree(stopped.Dir()), Set{Big()});

  EXPECT_NE(lha_.ClearEnumMembersProc(), 0);
  g_enumerated.clear();
  const TempDir cleared;
  EXPECT_EQ(Extract("lh5-level2.lzh", cleared.Dir(), FileItems{"*.*"}), 0);
  EXPECT_TRUE(g_enumerated.empty());
}

struct Message {
  std::uintptr_t State;
  std::string Source;
  std::string Destination;
};

TEST_F(Lha, ProgressReachesTheOwnerWindowAndCanAbort) {
  const std::uint32_t extractMessage = platform::RegisterWindowMessage("wm_arcextract");
  std::vector<Message> messages;
  bool abortOnData = false;
  platform::MessageWindow window(
      [&](std::uint32_t message, std::uintptr_t state, std::intptr_t record) -> std::intptr_t {
        if (message != extractMessage) {
          return 0;
        }
        const auto* info = reinterpret_cast<const arcapi::TExtractingInfoEx*>(record);
        messages.push_back({state, info->Info.SourceFileName, info->Info.DestFileName});
        return abortOnData && state == 1 ? 1 : 0;
      });
  const auto owner = static_cast<archive::TWindowHandle>(window.Native());
  ASSERT_TRUE(lha_.SetOwnerWindow(owner, nullptr));
  const TempDir dir;
  ASSERT_EQ(Extract("subdir.lzh", dir.Dir(), FileItems{"*.*"}), 0) << output_;
  const std::string inner = dir.Path("sub/inner.txt");
  const std::string top = dir.Path("top.txt");
  ASSERT_EQ(messages.size(), 6u);
  const std::vector<std::uintptr_t> states{0, 1, 2, 0, 1, 2};
  for (std::size_t i = 0; i < messages.size(); ++i) {
    EXPECT_EQ(messages[i].State, states[i]);
    EXPECT_EQ(messages[i].Source, i < 3 ? "sub/inner.txt" : "top.txt");
    EXPECT_EQ(messages[i].Destination, i < 3 ? inner : top);
  }

  messages.clear();
  abortOnData = true;
  const TempDir aborted;
  EXPECT_EQ(Extract("lh5-level2.lzh", aborted.Dir(), FileItems{"*.*"}), 0x8020);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].Source, "big.txt");
  EXPECT_EQ(Tree(aborted.Dir()), Set{});

  EXPECT_TRUE(lha_.KillOwnerWindow(owner));
  messages.clear();
  const TempDir quiet;
  EXPECT_EQ(Extract("stored.lzh", quiet.Dir(), FileItems{"*.*"}), 0);
  EXPECT_TRUE(messages.empty());
}

}  // namespace
