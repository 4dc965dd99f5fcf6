// Damaged archives and link members through the real libraries: every one
// fails the extraction with its code, and no damaged file or link is left
// looking whole.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/formats/lha32.h"
#include "archive/formats/szip32.h"
#include "archive/formats/tar32.h"
#include "archive/formats/zip32.h"
#include "archivers_support.h"

namespace {

using archive::FileItems;
using archivers_test::ArchiverLibraries;
using archivers_test::Filter;
using archivers_test::Format;
using archivers_test::Item;
using archivers_test::Tree;
using archivers_test::WriteArchive;
using testing_support::TempDir;
using Set = std::set<std::string>;

using Damaged = ArchiverLibraries;

struct Extracted {
  int Result = 0;
  std::string Output;
};

Extracted ExtractAll(archive::TArchiver& archiver, const std::string& archiveName,
                     const std::string& dir) {
  std::string commandLine;
  std::string output(8192, '\0');
  // The LHA archiver wants to be told these, as the updater tells them.
  archive::TArchiverOptions options;
  options.jse = 1;
  options.jso = 1;
  Extracted extracted;
  extracted.Result = archiver.ExtractFiles(nullptr, archiveName, options, dir, FileItems{"*.*"},
                                           false, commandLine, output);
  extracted.Output = output.substr(0, output.find('\0'));
  return extracted;
}

// 200 KB of text that compresses to more than the libraries read ahead.
std::string LongText() {
  std::string text;
  std::uint32_t x = 7;
  for (int line = 0; line < 4000; ++line) {
    for (int i = 0; i < 49; ++i) {
      x = x * 1103515245 + 12345;
      text += static_cast<char>('a' + (x >> 16) % 26);
    }
    text += '\n';
  }
  return text;
}

std::string ReadBytes(const std::string& path) {
  return testing_support::ReadFile(path);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A negative position counts from the end.
void FlipByte(const std::string& path, long position) {
  std::string bytes = ReadBytes(path);
  const auto at = static_cast<std::size_t>(
      position >= 0 ? position : static_cast<long>(bytes.size()) + position);
  ASSERT_LT(at, bytes.size());
  bytes[at] = static_cast<char>(bytes[at] ^ 0x10);
  WriteBytes(path, bytes);
}

TEST_F(Damaged, ACompressedTarMustPassItsWholeStreamCheck) {
  const std::string text = LongText();
  const std::vector<Item> items{{"long.txt", text}, {"short.txt", "short\n"}};
  const Set whole{"long.txt = " + std::to_string(text.size()) + " bytes", "short.txt = short\n"};
  enum class Harm { None, FlipMiddle, FlipTail, FlipLength, CutEnd };
  struct Case {
    std::string Name;
    Filter Compression;
    Harm Damage;
    int Result;
  };
  const std::vector<Case> cases{
      {"intact.tgz", Filter::Gzip, Harm::None, 0},
      {"data.tgz", Filter::Gzip, Harm::FlipMiddle, 0x800C},
      // The gzip trailer: the CRC-32, then the length, 4 bytes each.
      {"crc.tgz", Filter::Gzip, Harm::FlipTail, 0x800C},
      {"length.tgz", Filter::Gzip, Harm::FlipLength, 0x800C},
      {"cut.tgz", Filter::Gzip, Harm::CutEnd, 0x801A},
      {"data.tar.bz2", Filter::Bzip2, Harm::FlipMiddle, 0x800C},
      // The stream's CRC.
      {"tail.tar.bz2", Filter::Bzip2, Harm::FlipTail, 0x800C},
      {"data.txz", Filter::Xz, Harm::FlipMiddle, 0x800C},
      // The index and the stream footer.
      {"tail.txz", Filter::Xz, Harm::FlipTail, 0x800C},
  };
  archive::TTar32 tar;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const TempDir work;
    const std::string path = work.Path(c.Name);
    WriteArchive(path, Format::Pax, c.Compression, items);
    const auto size = static_cast<long>(std::filesystem::file_size(path));
    switch (c.Damage) {
      case Harm::None:
        break;
      case Harm::FlipMiddle:
        FlipByte(path, size / 2);
        break;
      case Harm::FlipTail:
        FlipByte(path, -7);
        break;
      case Harm::FlipLength:
        FlipByte(path, -2);
        break;
      case Harm::CutEnd:
        WriteBytes(path, ReadBytes(path).substr(0, static_cast<std::size_t>(size - 100)));
        break;
    }
    const TempDir dir;
    const Extracted extracted = ExtractAll(tar, path, dir.Dir());
    EXPECT_EQ(extracted.Result, c.Result) << extracted.Output;
    // A stream that fails its check cannot say which member it spoiled:
    // nothing is written.
    EXPECT_EQ(Tree(dir.Dir()), c.Result == 0 ? whole : Set{});
    EXPECT_EQ(archive::TTar32::TarDll()->CheckArchive(path, 2) != 0, c.Result == 0);
  }
}

TEST_F(Damaged, ATarHeaderThatFailsItsChecksumStopsTheExtraction) {
  const TempDir work;
  const std::string path = work.Path("a.tar");
  WriteArchive(path, Format::Pax, Filter::None,
               {{"first.txt", "first\n"}, {"second.txt", "second\n"}, {"third.txt", "third\n"}});
  // The second member's header: the block that starts with its name.
  const std::string bytes = ReadBytes(path);
  std::size_t second = bytes.find("second.txt");
  while (second != std::string::npos && second % 512 != 0) {
    second = bytes.find("second.txt", second + 1);
  }
  ASSERT_NE(second, std::string::npos);
  FlipByte(path, static_cast<long>(second));
  archive::TTar32 tar;
  const TempDir dir;
  const Extracted extracted = ExtractAll(tar, path, dir.Dir());
  // libarchive would skip to the next header it can read, and the member
  // would go missing unseen.
  EXPECT_EQ(extracted.Result, 0x8017) << extracted.Output;
  EXPECT_EQ(Tree(dir.Dir()), Set{"first.txt = first\n"});
}

TEST_F(Damaged, ZipAnd7ZipMembersMustPassTheirCrc) {
  const std::string text = LongText().substr(0, 20000);
  const std::vector<Item> items{{"long.txt", text}, {"short.txt", "short\n"}};
  archive::TZip32 zip;
  archive::TSevenZip32 sevenZip;
  struct Case {
    std::string Name;
    Format Kind;
    archive::TArchiver* Archiver;
    bool Flip;
    int Result;
    Set Expected;
  };
  const Set whole{"long.txt = 20000 bytes", "short.txt = short\n"};
  const std::vector<Case> cases{
      {"intact.zip", Format::ZipStored, &zip, false, 0, whole},
      {"flipped.zip", Format::ZipStored, &zip, true, 0x800C, {"short.txt = short\n"}},
      {"intact.7z", Format::SevenZipStored, &sevenZip, false, 0, whole},
      {"flipped.7z", Format::SevenZipStored, &sevenZip, true, 0x800C, {"short.txt = short\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const TempDir work;
    const std::string path = work.Path(c.Name);
    WriteArchive(path, c.Kind, Filter::None, items);
    if (c.Flip) {
      // Stored: the member's bytes are in the archive as they are.
      const std::size_t at = ReadBytes(path).find(text.substr(10000, 64));
      ASSERT_NE(at, std::string::npos);
      FlipByte(path, static_cast<long>(at));
    }
    const TempDir dir;
    const Extracted extracted = ExtractAll(*c.Archiver, path, dir.Dir());
    EXPECT_EQ(extracted.Result, c.Result) << extracted.Output;
    EXPECT_EQ(Tree(dir.Dir()), c.Expected);
  }
}

TEST_F(Damaged, LinkMembersAreNeverWritten) {
  const TempDir work;
  const std::vector<Item> items{
      {"ok.txt", "fine\n"},
      {"inside", "", Item::Symlink, "ok.txt"},
      {"last.txt", "last\n"},
  };
  WriteArchive(work.Path("links.zip"), Format::Zip, Filter::None, items);
  WriteArchive(work.Path("links.7z"), Format::SevenZip, Filter::None, items);
  WriteArchive(
      work.Path("links.tar"), Format::Pax, Filter::None,
      {{"ok.txt", "fine\n"}, {"inside", "", Item::Hardlink, "ok.txt"}, {"last.txt", "last\n"}});
  archive::TZip32 zip;
  archive::TSevenZip32 sevenZip;
  archive::TTar32 tar;
  archive::TLha32 lha;
  struct Case {
    std::string Archive;
    archive::TArchiver* Archiver;
    std::string Link;
    Set Expected;
  };
  const Set others{"last.txt = last\n", "ok.txt = fine\n"};
  const std::vector<Case> cases{
      {work.Path("links.zip"), &zip, "inside", others},
      {work.Path("links.7z"), &sevenZip, "inside", others},
      {work.Path("links.tar"), &tar, "inside", others},
      // Written by LHa for UNIX: one symbolic link "symlink" to "target".
      {archivers_test::LzhFixture("lhasa/lha_unix114i/h2_symlink.lzh"), &lha, "symlink", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Archive);
    const TempDir dir;
    const Extracted extracted = ExtractAll(*c.Archiver, c.Archive, dir.Dir());
    EXPECT_EQ(extracted.Result, 0x8013);
    EXPECT_NE(extracted.Output.find(c.Link + ": refused"), std::string::npos) << extracted.Output;
    EXPECT_EQ(Tree(dir.Dir()), c.Expected);
  }
}

}  // namespace
