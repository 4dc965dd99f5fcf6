#include "families/tar.h"

#include <utility>

#include "rtl/mbcs.h"
#include "text.h"

namespace archivers::tar {
namespace {

// A lone compressed file is named after the archive without its
// compression extension. The archive's name is a host path: its
// directories end at the host's delimiters ("\\" on Windows) as well as "/".
std::string RawMemberName(const std::string& archivePath) {
  std::string name = BaseName(FromHost(rtl::ExtractFileName(archivePath)));
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    const std::string extension = LowerAscii(name.substr(dot));
    if (extension == ".gz" || extension == ".bz2" || extension == ".z" || extension == ".xz" ||
        extension == ".lzma" || extension == ".lz" || extension == ".zst") {
      return name.substr(0, dot);
    }
  }
  return name + ".out";
}

std::string FilterMethod(archive* reader) {
  switch (archive_filter_code(reader, 0)) {
    case ARCHIVE_FILTER_GZIP:
      return "gzip";
    case ARCHIVE_FILTER_BZIP2:
      return "bzip2";
    case ARCHIVE_FILTER_COMPRESS:
      return "compress";
    case ARCHIVE_FILTER_XZ:
      return "xz";
    case ARCHIVE_FILTER_LZMA:
      return "lzma";
    case ARCHIVE_FILTER_ZSTD:
      return "zstd";
    case ARCHIVE_FILTER_NONE:
      return "-----";
    default:
      return "filter";
  }
}

class FilterFacts final : public MemberFacts {
 public:
  explicit FilterFacts(std::string hostPath) : path_(std::move(hostPath)) {}

  void Add(archive* reader, Member& member) override {
    if (archive_format(reader) == ARCHIVE_FORMAT_RAW) {
      member.Name = RawMemberName(path_);
    }
    member.Method = FilterMethod(reader);
    if (archive_filter_code(reader, 0) == ARCHIVE_FILTER_NONE) {
      member.CompressedSize = member.Size;
    }
  }

 private:
  std::string path_;
};

bool EndsWith(const std::string& text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The filter the archive's name asks for (".tgz", ".tar.bz2", ...).
TarFilter FilterOfName(const std::string& archiveName) {
  const std::string name = LowerAscii(archiveName);
  for (const std::string_view suffix : {".tgz", ".tar.gz", ".gz"}) {
    if (EndsWith(name, suffix)) {
      return TarFilter::Gzip;
    }
  }
  for (const std::string_view suffix : {".tbz", ".tbz2", ".tar.bz2", ".bz2"}) {
    if (EndsWith(name, suffix)) {
      return TarFilter::Bzip2;
    }
  }
  for (const std::string_view suffix : {".taz", ".tar.z", ".z"}) {
    if (EndsWith(name, suffix)) {
      return TarFilter::Compress;
    }
  }
  for (const std::string_view suffix : {".txz", ".tar.xz", ".xz"}) {
    if (EndsWith(name, suffix)) {
      return TarFilter::Xz;
    }
  }
  return TarFilter::None;
}

std::optional<int> Level(const ParsedCommand& parsed, std::string_view name) {
  for (const std::string& item : parsed.Switches) {
    if (item.rfind(name, 0) != 0) {
      continue;
    }
    const std::string rest = item.substr(name.size());
    if (rest.empty()) {
      return -1;
    }
    if (rest.size() == 1 && rest[0] >= '0' && rest[0] <= '9') {
      return rest[0] - '0';
    }
  }
  return std::nullopt;
}

void FilterFromSwitches(const ParsedCommand& parsed, PackRequest& pack) {
  pack.Filter = FilterOfName(parsed.Archive);
  const std::pair<std::string_view, TarFilter> switches[] = {{"z", TarFilter::Gzip},
                                                             {"B", TarFilter::Bzip2},
                                                             {"j", TarFilter::Bzip2},
                                                             {"Z", TarFilter::Compress},
                                                             {"J", TarFilter::Xz}};
  for (const auto& [name, filter] : switches) {
    if (const std::optional<int> level = Level(parsed, name)) {
      pack.Filter = filter;
      pack.Level = *level;
    }
  }
}

PackRequest Creation(const ParsedCommand& parsed) {
  PackRequest pack;
  pack.Format = PackFormat::Tar;
  pack.Mode = PackMode::Create;
  pack.Archive = parsed.Archive;
  pack.BaseDirectory = parsed.Destination;
  pack.Names = parsed.Patterns;
  FilterFromSwitches(parsed, pack);
  return pack;
}

}  // namespace

Dialect LineDialect() {
  Dialect dialect;
  dialect.CommandWord = true;
  dialect.ValueSwitches = {"f", "o"};
  dialect.ArchiveSwitch = "f";
  dialect.DestinationSwitch = "o";
  return dialect;
}

Plan CommandPlan(const ParsedCommand& parsed) {
  Plan plan;
  plan.Extract = BaseExtract(Family::Tar, parsed);
  plan.Extract.Policy = Overwrite::Replace;
  bool found = false;
  const std::string useDirectory = parsed.ValueOf("-use-directory=", found);
  plan.Extract.WithPaths = !found || useDirectory != "0";
  const std::string& word = parsed.Word;
  if (word == "x" || word == "e") {
    plan.What = Action::Extract;
    plan.Extract.WithPaths = plan.Extract.WithPaths && word == "x";
  } else if (word == "t" || word == "l") {
    plan.What = Action::List;
  } else if (word == "c") {
    plan.What = Action::Pack;
    plan.Pack = Creation(parsed);
  } else {
    plan.What = Action::Unsupported;
  }
  return plan;
}

void EnableFormats(archive* reader) {
  archive_read_support_format_tar(reader);
  archive_read_support_format_gnutar(reader);
  archive_read_support_format_cpio(reader);
  archive_read_support_format_ar(reader);
  // A lone compressed file; the reader refuses it without a filter.
  archive_read_support_format_raw(reader);
  EnableCompressionFilters(reader);
}

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

std::unique_ptr<MemberFacts> OpenFacts(const std::string& hostPath) {
  return std::make_unique<FilterFacts>(hostPath);
}

int ArchiveType(archive* reader) {
  const bool raw = archive_format(reader) == ARCHIVE_FORMAT_RAW;
  switch (archive_filter_code(reader, 0)) {
    case ARCHIVE_FILTER_NONE:
      return 1;
    case ARCHIVE_FILTER_GZIP:
      return raw ? 3 : 2;
    case ARCHIVE_FILTER_COMPRESS:
      return 4;
    case ARCHIVE_FILTER_BZIP2:
      return raw ? 7 : 6;
    default:
      return 5;
  }
}

}  // namespace archivers::tar
