// Archives made by historical LZH tools (taken from lhasa's test suite, see
// tests/data/README.md), extracted through the facade as the updater
// extracts them. Each file must come out with the CRC-32 and length that
// lhasa's own tests expect of it, under its name as stored.
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/archive_file.h"
#include "archivers_support.h"
#include "enum_record.h"

namespace {

using archive::FileItems;
using archive::TArchiveFile;
using archivers_test::LzhFixture;
using testing_support::TempDir;

class LhasaArchives : public archivers_test::ArchiverLibraries {
 protected:
  LhasaArchives() {
    file_.SetOutputSize(8192);
    file_.Options().n = 1;
    file_.Options().y = 1;
    file_.Options().jse = 1;
    file_.Options().jso = 1;
    file_.OnEnumMember = [this](TArchiveFile&, archive::TEnumMemberInfo64& info, bool&) {
      archivers::EnumMemberRecord record{};
      std::memcpy(&record, &info, sizeof record);
      methods_.emplace_back(record.Method);
    };
  }

  TArchiveFile file_;
  std::vector<std::string> methods_;
};

// The regular files under `root`, as relative paths with "/".
std::vector<std::string> Files(const std::string& root) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) {
      files.push_back(entry.path().lexically_relative(root).generic_string());
    }
  }
  return files;
}

std::uint32_t Crc32(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

TEST_F(LhasaArchives, EveryMethodAndHeaderVariantExtractsAsLhasaDoes) {
  struct Case {
    std::string Fixture;  // under tests/data/lzh/lhasa/
    std::string Method;   // of the file
    std::string File;     // the one file, as stored
    std::uint32_t Crc32;  // lhasa's test-decompress values
    std::uint64_t Length;
  };
  const std::vector<Case> cases{
      {"lha_amiga_212/lh1.lzh", "-lh1-", "gpl-2", 0x4e46f4a1, 18092},
      {"lha_amiga_122/lh4.lzh", "-lh4-", "gpl-2", 0x4e46f4a1, 18092},
      {"lharc_atari_313a/h2_lz5.lzh", "-lz5-", "GPL2", 0x4e46f4a1, 18092},
      {"generated/lzs/lzs.lzs", "-lzs-", "GPL-2", 0x4e46f4a1, 18092},
      // DOS names in capitals stay so (lhasa lower-cases them).
      {"larc333/subdir.lzs", "-lz4-", "SUBDIR/SUBDIR2/HELLO.TXT", 0xaf083b2d, 12},
      // PMarc pads its files; lhasa's values include the padding.
      {"pmarc2/pm0.pma", "-pm0-", "GPL-2.GZ", 0x549d935a, 6912},
      {"pmarc124/pm1.pma", "-pm1-", "COPYING.TXT", 0xb7d0e42c, 25284},
      {"pmarc2/comment.pma", "-pm2-", "HELLO.TXT", 0x906330c5, 128},
      // 256 bytes stored, of which a MacBinary header and its padding go.
      {"maclha_224/l2_subdir.lzh", "-lh0-", "subdir/subdir2/hello.txt", 0x0d4a1185, 11},
      {"lha_os9_211c/h0_subdir.lzh", "-lh0-", "SUBDIR/SUBDIR2/hello.txt", 0xaf083b2d, 12},
      // OS-9/68k writes level 2 headers two bytes short.
      {"lha_osk_201/h2_subdir.lzh", "-lh0-", "subdir/subdir2/hello.txt", 0xaf083b2d, 12},
      {"lha_os2_208/h3_subdir.lzh", "-lh0-", "subdir/subdir2/HELLO.TXT", 0xb19b306e, 14},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Fixture);
    methods_.clear();
    file_.SetFileName(LzhFixture("lhasa/" + c.Fixture));
    ASSERT_EQ(file_.ArchiverType(), archive::atLha);
    const TempDir work;
    EXPECT_EQ(file_.ExtractFiles(nullptr, nullptr, FileItems{"*.*"}, work.Dir()), 0)
        << file_.OutputText();
    ASSERT_EQ(Files(work.Dir()), std::vector<std::string>{c.File});
    const std::string data = testing_support::ReadFile(work.Path(c.File));
    EXPECT_EQ(data.size(), c.Length);
    EXPECT_EQ(Crc32(data), c.Crc32);
    ASSERT_FALSE(methods_.empty());
    EXPECT_EQ(methods_.back(), c.Method);
  }
}

}  // namespace
