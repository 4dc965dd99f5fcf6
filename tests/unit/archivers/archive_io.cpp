// Archives written and read with libarchive, apart from the tests: its
// global "struct archive" and the framework's namespace of that name
// cannot meet in one file.
#include <archive.h>
#include <archive_entry.h>

#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive_io.h"
#include "archive_names.h"

namespace archivers_test {
namespace {

struct WriterDeleter {
  void operator()(archive* a) const { archive_write_free(a); }
};
struct ReaderDeleter {
  void operator()(archive* a) const { archive_read_free(a); }
};
struct EntryDeleter {
  void operator()(archive_entry* e) const { archive_entry_free(e); }
};

int FilterCode(Filter filter) {
  switch (filter) {
    case Filter::None:
      return ARCHIVE_FILTER_NONE;
    case Filter::Gzip:
      return ARCHIVE_FILTER_GZIP;
    case Filter::Bzip2:
      return ARCHIVE_FILTER_BZIP2;
    case Filter::Compress:
      return ARCHIVE_FILTER_COMPRESS;
    case Filter::Xz:
      return ARCHIVE_FILTER_XZ;
  }
  return ARCHIVE_FILTER_NONE;
}

void SetFormat(archive* writer, Format format) {
  switch (format) {
    case Format::Zip:
      archive_write_set_format_zip(writer);
      // Flagged UTF-8 from the names themselves, not from the locale: a
      // Windows program has no UTF-8 locale.
      archive_write_set_option(writer, "zip", "hdrcharset", "UTF-8");
      break;
    case Format::ZipStored:
      archive_write_set_format_zip(writer);
      archive_write_set_option(writer, "zip", "hdrcharset", "UTF-8");
      archive_write_set_option(writer, "zip", "compression", "store");
      break;
    case Format::ZipCp932:
      archive_write_set_format_zip(writer);
      archive_write_set_option(writer, "zip", "hdrcharset", "CP932");
      break;
    case Format::ZipUnflagged:
      archive_write_set_format_zip(writer);
      break;
    case Format::Pax:
      archive_write_set_format_pax(writer);
      break;
    case Format::SevenZip:
      archive_write_set_format_7zip(writer);
      break;
    case Format::SevenZipStored:
      archive_write_set_format_7zip(writer);
      archive_write_set_option(writer, "7zip", "compression", "store");
      break;
    case Format::Raw:
      archive_write_set_format_raw(writer);
      break;
  }
}

void Describe(archive_entry* entry, const Item& item, const testing_support::ArchiveNames& names) {
  names.SetPathname(entry, item.Name);
  archive_entry_set_mtime(entry, static_cast<std::time_t>(item.Modified), 0);
  if (item.Accessed) {
    archive_entry_set_atime(entry, static_cast<std::time_t>(*item.Accessed), 0);
  }
  if (item.Created) {
    archive_entry_set_birthtime(entry, static_cast<std::time_t>(*item.Created), 0);
  }
  switch (item.Type) {
    case Item::File:
      archive_entry_set_filetype(entry, AE_IFREG);
      archive_entry_set_perm(entry, 0644);
      archive_entry_set_size(entry, static_cast<la_int64_t>(item.Data.size()));
      break;
    case Item::Directory:
      archive_entry_set_filetype(entry, AE_IFDIR);
      archive_entry_set_perm(entry, 0755);
      break;
    case Item::Symlink:
      archive_entry_set_filetype(entry, AE_IFLNK);
      archive_entry_set_perm(entry, 0777);
      names.SetSymlink(entry, item.Link);
      break;
    case Item::Hardlink:
      archive_entry_set_filetype(entry, AE_IFREG);
      archive_entry_set_perm(entry, 0644);
      names.SetHardlink(entry, item.Link);
      archive_entry_set_size(entry, 0);
      break;
  }
}

}  // namespace

void WriteArchive(const std::string& path, Format format, Filter filter,
                  const std::vector<Item>& items) {
  // Names given as bytes the ZIP writer stores unflagged.
  const testing_support::ArchiveNames names(format == Format::ZipUnflagged);
  std::unique_ptr<archive, WriterDeleter> writer(archive_write_new());
  SetFormat(writer.get(), format);
  archive_write_add_filter(writer.get(), FilterCode(filter));
  ASSERT_EQ(archive_write_open_filename(writer.get(), path.c_str()), ARCHIVE_OK)
      << archive_error_string(writer.get());
  for (const Item& item : items) {
    std::unique_ptr<archive_entry, EntryDeleter> entry(archive_entry_new());
    Describe(entry.get(), item, names);
    ASSERT_GE(archive_write_header(writer.get(), entry.get()), ARCHIVE_WARN)
        << archive_error_string(writer.get());
    if (!item.Data.empty()) {
      ASSERT_EQ(archive_write_data(writer.get(), item.Data.data(), item.Data.size()),
                static_cast<la_ssize_t>(item.Data.size()));
    }
  }
  ASSERT_EQ(archive_write_close(writer.get()), ARCHIVE_OK) << archive_error_string(writer.get());
}

namespace {

void Put16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

}  // namespace

void WriteStoredCab(const std::string& path, const std::vector<Item>& items, bool utf8Names) {
  constexpr std::uint32_t kHeaderSize = 36;
  constexpr std::uint32_t kFolderSize = 8;
  std::string files;
  std::string data;
  for (const Item& item : items) {
    Put32(files, static_cast<std::uint32_t>(item.Data.size()));
    Put32(files, static_cast<std::uint32_t>(data.size()));  // offset in the folder
    Put16(files, 0);                                        // folder
    Put16(files, (44 << 9) | (1 << 5) | 2);                 // 2024-01-02
    Put16(files, (3 << 11) | (4 << 5) | 3);                 // 03:04:06
    Put16(files, 0x20 | (utf8Names ? 0x80 : 0));
    files += item.Name;
    files += '\0';
    data += item.Data;
  }
  ASSERT_LE(data.size(), 32768u) << "one data block only";
  const std::uint32_t filesAt = kHeaderSize + kFolderSize;
  const auto dataAt = static_cast<std::uint32_t>(filesAt + files.size());
  const auto total = static_cast<std::uint32_t>(dataAt + 8 + data.size());
  std::string cab = "MSCF";
  Put32(cab, 0);
  Put32(cab, total);
  Put32(cab, 0);
  Put32(cab, filesAt);
  Put32(cab, 0);
  cab += '\x03';  // version 1.3
  cab += '\x01';
  Put16(cab, 1);  // folders
  Put16(cab, static_cast<std::uint32_t>(items.size()));
  Put16(cab, 0);  // flags
  Put16(cab, 0);  // set
  Put16(cab, 0);  // cabinet index
  Put32(cab, dataAt);
  Put16(cab, 1);  // data blocks
  Put16(cab, 0);  // stored
  cab += files;
  Put32(cab, 0);  // no checksum
  Put16(cab, static_cast<std::uint32_t>(data.size()));
  Put16(cab, static_cast<std::uint32_t>(data.size()));
  cab += data;
  std::ofstream(path, std::ios::binary) << cab;
}

std::map<std::string, std::string> ReadBack(const std::string& path) {
  std::map<std::string, std::string> members;
  const testing_support::ArchiveNames names(false);
  std::unique_ptr<archive, ReaderDeleter> reader(archive_read_new());
  archive_read_support_format_all(reader.get());
  archive_read_support_filter_all(reader.get());
  if (archive_read_open_filename(reader.get(), path.c_str(), 65536) != ARCHIVE_OK) {
    ADD_FAILURE() << "cannot read " << path << ": " << archive_error_string(reader.get());
    return members;
  }
  archive_entry* entry = nullptr;
  while (archive_read_next_header(reader.get(), &entry) == ARCHIVE_OK) {
    const std::string name = names.Pathname(entry);
    if (archive_entry_filetype(entry) == AE_IFDIR) {
      members[name.back() == '/' ? name : name + "/"] = "";
      continue;
    }
    if (archive_entry_filetype(entry) == AE_IFLNK) {
      members[name] = "-> " + names.Symlink(entry);
      continue;
    }
    std::string data;
    char buffer[8192];
    la_ssize_t got = 0;
    while ((got = archive_read_data(reader.get(), buffer, sizeof buffer)) > 0) {
      data.append(buffer, static_cast<std::size_t>(got));
    }
    members[name] = data;
  }
  return members;
}

}  // namespace archivers_test
