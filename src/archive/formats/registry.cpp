#include "archive/formats/registry.h"

#include <algorithm>
#include <cstddef>

#include "archive/formats/arj32.h"
#include "archive/formats/bga32.h"
#include "archive/formats/bound_archiver.h"
#include "archive/formats/cab32.h"
#include "archive/formats/lha32.h"
#include "archive/formats/rar32.h"
#include "archive/formats/szip32.h"
#include "archive/formats/tar32.h"
#include "archive/formats/yz132.h"
#include "archive/formats/zip32.h"
#include "rtl/mbcs.h"
#include "rtl/strtable.h"

namespace archive {
namespace {

template <class Archiver>
std::unique_ptr<TArchiver> Create() {
  return std::make_unique<Archiver>();
}

template <bool (*IsArchive)(const std::string&), TArchiverType Type>
TArchiverType DetectBy(const std::string& fileName) {
  return IsArchive(fileName) ? Type : atNone;
}

// The order is that of the content checks: LHA's answer wins over all
// others, and TAR's stands only when no other check says yes. 7z has no
// content check.
constexpr TFormatRow kFormats[] = {
    {atTar, ".a .lib .tar .deb .rpm .cpio", &GetTarArchiveType, &Create<TTar32>, rtl::STarFormat,
     "TAR32.DLL", "Tar"},
    {atTgz, ".z .gz .tgz .taz", nullptr, &Create<TTgz32>, rtl::STarFormat, "TAR32.DLL", "Tar"},
    {atBZ2, ".bz2", nullptr, &Create<TBZ232>, rtl::STarFormat, "TAR32.DLL", "Tar"},
    {atRar, ".rar", &DetectBy<&IsRarArchive, atRar>, &Create<TRar32>, rtl::SRarFormat,
     "UNRAR32.DLL", "Unrar"},
    {atArj, ".arj", &DetectBy<&IsArjArchive, atArj>, &Create<TArj32>, rtl::SArjFormat,
     "UNARJ32J.DLL", "Unarj"},
    {atZip, ".jar .ear .war .zip", &DetectBy<&IsZipArchive, atZip>, &Create<TZip32>,
     rtl::SZipFormat, "UNZIP32.DLL", "UnZip"},
    {atBga, ".gza .bza", &DetectBy<&IsBgaArchive, atBga>, &Create<TBGA32>, rtl::SBgaFormat,
     "BGA32.DLL", "Bga"},
    {atYz1, ".yz1", &DetectBy<&IsYz1Archive, atYz1>, &Create<TYZ1>, rtl::SYz1Format, "YYZ32.DLL",
     "Yz1"},
    {atCab, ".cab", &DetectBy<&IsCabArchive, atCab>, &Create<TCab32>, rtl::SCabFormat, "CAB32.DLL",
     "Cab"},
    {atLha, ".lzh", &DetectBy<&IsLhaArchive, atLha>, &Create<TLha32>, rtl::SLhaFormat,
     "UNLHA32.DLL", "Unlha"},
    {at7z, ".7z", nullptr, &Create<TSevenZip32>, rtl::S7zFormat, "7-zip32.dll", "SevenZip"},
    {atGCA, ".gca", nullptr, nullptr, kNoFormatName, "", ""},
    {atBel, "", nullptr, nullptr, kNoFormatName, "", ""},
};

constexpr bool EachTypeOnce() {
  for (int type = atLha; type < atNone; ++type) {
    if (std::count_if(std::begin(kFormats), std::end(kFormats),
                      [&](const TFormatRow& row) { return row.Type == type; }) != 1) {
      return false;
    }
  }
  return std::size(kFormats) == atNone;
}

constexpr bool IsExtension(std::string_view extension) {
  return extension.size() > 1 && extension[0] == '.' &&
         std::none_of(extension.begin() + 1, extension.end(),
                      [](char c) { return (c >= 'A' && c <= 'Z') || c == '.'; });
}

constexpr std::size_t Occurrences(std::string_view extension) {
  std::size_t found = 0;
  for (const TFormatRow& row : kFormats) {
    found +=
        AnyExtension(row.Extensions, [&](std::string_view known) { return known == extension; })
            ? 1U
            : 0U;
  }
  return found;
}

constexpr bool ExtensionsWellFormedAndUnique() {
  return std::none_of(std::begin(kFormats), std::end(kFormats), [](const TFormatRow& row) {
    return AnyExtension(row.Extensions, [](std::string_view extension) {
      return !IsExtension(extension) || Occurrences(extension) != 1;
    });
  });
}

// A served format has a name and names its library and entry prefix; a
// format that is only told apart names none. (Whether a row has a factory
// cannot be asked here: GCC's sanitizer builds do not take a function's
// address as a constant.)
constexpr bool FormatsNameTheirLibraries() {
  return std::all_of(std::begin(kFormats), std::end(kFormats), [](const TFormatRow& row) {
    const bool named = row.FormatName != kNoFormatName;
    return named == !row.LibraryName.empty() && named == !row.Prefix.empty();
  });
}

static_assert(EachTypeOnce());
static_assert(ExtensionsWellFormedAndUnique());
static_assert(FormatsNameTheirLibraries());

}  // namespace

std::span<const TFormatRow> FormatRows() {
  return kFormats;
}

const TFormatRow* FindFormat(TArchiverType type) {
  const auto* found = std::find_if(std::begin(kFormats), std::end(kFormats),
                                   [&](const TFormatRow& row) { return row.Type == type; });
  return found != std::end(kFormats) ? found : nullptr;
}

TArchiverType FormatOfExtension(std::string_view extension) {
  for (const TFormatRow& row : kFormats) {
    if (AnyExtension(row.Extensions, [&](std::string_view known) {
          return rtl::SameTextAscii(extension, known);
        })) {
      return row.Type;
    }
  }
  return atNone;
}

TArchiverType FormatOfContent(const std::string& fileName) {
  // Every check runs, each loading its library if it can.
  TArchiverType result = atNone;
  for (const TFormatRow& row : kFormats) {
    if (row.Detect == nullptr) {
      continue;
    }
    if (const TArchiverType type = row.Detect(fileName); type != atNone) {
      result = type;
    }
  }
  return result;
}

void LoadRegisteredBinding(TArchiverType type, std::unique_ptr<TArchiverDll>& binding) {
  const TFormatRow* row = FindFormat(type);
  rtl::Assert(row != nullptr && row->Create != nullptr, "a registered format");
  LoadFormatBinding(binding, row->FormatName, row->LibraryName, row->Prefix);
}

}  // namespace archive
