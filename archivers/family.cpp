#include "family.h"

#include <array>

namespace archivers {
namespace {

constexpr std::array<FamilyTraits, 6> kTraits{{
    {Family::Lha, "LHA", false},
    {Family::Zip, "ZIP", true},
    {Family::Cab, "CAB", false},
    {Family::Tar, "TAR", false},
    {Family::Rar, "RAR", false},
    {Family::SevenZip, "7-Zip", false},
}};

void EnableTarFamily(archive* reader) {
  archive_read_support_format_tar(reader);
  archive_read_support_format_gnutar(reader);
  archive_read_support_format_cpio(reader);
  archive_read_support_format_ar(reader);
  // A lone compressed file; the reader refuses it without a filter.
  archive_read_support_format_raw(reader);
  EnableCompressionFilters(reader);
}

}  // namespace

void EnableCompressionFilters(archive* reader) {
  // Only filters built into the library: none of them starts a program.
  archive_read_support_filter_gzip(reader);
  archive_read_support_filter_bzip2(reader);
  archive_read_support_filter_compress(reader);
  archive_read_support_filter_xz(reader);
  archive_read_support_filter_lzma(reader);
  archive_read_support_filter_lzip(reader);
  archive_read_support_filter_zstd(reader);
  archive_read_support_filter_rpm(reader);
}

const FamilyTraits& TraitsOf(Family family) {
  for (const FamilyTraits& traits : kTraits) {
    if (traits.Id == family) {
      return traits;
    }
  }
  return kTraits.front();
}

void EnableReadFormats(archive* reader, Family family) {
  switch (family) {
    case Family::Lha:  // read by liblhasa
      break;
    case Family::Zip:
      // The seekable reader trusts the central directory and finds it
      // behind a self-extracting stub.
      archive_read_support_format_zip_seekable(reader);
      break;
    case Family::Cab:
      archive_read_support_format_cab(reader);
      break;
    case Family::Tar:
      EnableTarFamily(reader);
      break;
    case Family::Rar:
      archive_read_support_format_rar(reader);
      archive_read_support_format_rar5(reader);
      break;
    case Family::SevenZip:
      archive_read_support_format_7zip(reader);
      break;
  }
}

}  // namespace archivers
