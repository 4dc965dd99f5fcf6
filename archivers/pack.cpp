#include "pack.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <set>
#include <utility>

#include "engine_error.h"
#include "host.h"
#include "member.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "raii.h"
#include "reader.h"
#include "rtl/mbcs.h"
#include "state.h"

namespace archivers {
namespace {

constexpr std::size_t kCopyBlock = std::size_t{256} * 1024;

// A file to store: where it is and the member name it gets.
struct Source {
  std::string Path;  // host
  std::string Name;  // UTF-8 member name
  platform::FileStatus Status;
};

bool IsDirectory(const Source& source) {
  return source.Status.Kind == platform::EntryKind::Directory;
}

bool IsRegular(const Source& source) {
  return source.Status.Kind == platform::EntryKind::File;
}

bool IsLink(const Source& source) {
  return source.Status.Kind == platform::EntryKind::Link;
}

bool HasWildcard(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

// A caller's name in UTF-8 with "/" delimiters (never splitting a
// double-byte character of the host code page).
std::string CallerName(const std::string& host) {
  std::string utf8 = FromHost(host);
  std::replace(utf8.begin(), utf8.end(), '\\', '/');
  return utf8;
}

// The member name a path gets: relative, without "." and "..".
std::string StoredName(const std::string& utf8) {
  std::vector<std::string> kept;
  for (std::string& component : SplitPath(utf8)) {
    if (component != "." && component != "..") {
      kept.push_back(std::move(component));
    }
  }
  return JoinPath(kept, kept.size());
}

std::string Concat(const std::string& directory, const std::string& name) {
  if (directory.empty()) {
    return name;
  }
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

// The names in the directory, "." and ".." left out, sorted.
std::vector<std::string> DirectoryNames(const std::string& path) {
  std::vector<std::string> names;
  platform::DirectorySearch search(Concat(path, "*"));
  platform::FindData entry;
  while (search.Next(entry)) {
    if (entry.Name != "." && entry.Name != "..") {
      names.push_back(entry.Name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool IsAbsolute(const std::string& path) {
  return (!path.empty() && (path.front() == '/' || path.front() == '\\')) ||
         (path.size() >= 2 && path[1] == ':');
}

Member DescribeSource(const Source& source) {
  Member member;
  member.Name = source.Name;
  const platform::FileStatus& status = source.Status;
  member.Size = status.Size;
  member.SizeKnown = true;
  member.ModifiedSeconds = status.ModifiedSeconds;
  member.WriteTime = ToFileTime(status.ModifiedSeconds, status.ModifiedNanoseconds);
  member.AccessTime = ToFileTime(status.AccessSeconds, status.AccessNanoseconds);
  member.Type = IsDirectory(source) ? AE_IFDIR : IsLink(source) ? AE_IFLNK : AE_IFREG;
  member.Permissions = static_cast<mode_t>(status.Permissions);
  return member;
}

// Turns the caller's names into the files to store.
class SourceCollector {
 public:
  SourceCollector(const PackRequest& request, OutputText& output, ResultCode& result)
      : request_(request), output_(output), result_(result) {}

  std::vector<Source> Collect() {
    for (const std::string& name : request_.Names) {
      AddName(name);
    }
    return std::move(sources_);
  }

 private:
  std::string OnDisk(const std::string& utf8Relative) const {
    std::string host = ToHost(utf8Relative);
    if (IsAbsolute(host)) {
      return host;
    }
    return Concat(request_.BaseDirectory, host);
  }

  void AddName(const std::string& hostName) {
    const std::string name = CallerName(hostName);
    if (HasWildcard(BaseName(name))) {
      const std::string directory = DirName(name);
      const std::string onDisk = name.front() == '/' ? "/" + ToHost(directory)
                                                     : OnDisk(directory.empty() ? "." : directory);
      AddMatches(onDisk, StoredName(directory), BaseName(name));
      return;
    }
    const std::string path = OnDisk(name);
    platform::FileStatus status;
    if (!platform::GetFileStatus(path, status)) {
      result_.Note(arcapi::kErrorNotExist);
      output_.Line(hostName + ": not found");
      return;
    }
    AddPath(path, StoredName(name), status);
  }

  // Matches in `diskDirectory` (host) and, when asked, its subdirectories;
  // member names begin with `namePrefix` (UTF-8).
  void AddMatches(const std::string& diskDirectory, const std::string& namePrefix,
                  const std::string& pattern) {
    std::vector<std::pair<std::string, std::string>> pending{{diskDirectory, namePrefix}};
    bool matched = false;
    while (!pending.empty()) {
      const auto [onDisk, prefix] = std::move(pending.back());
      pending.pop_back();
      std::vector<std::pair<std::string, std::string>> subdirectories;
      for (const std::string& hostEntry : DirectoryNames(onDisk)) {
        const std::string entry = FromHost(hostEntry);
        const std::string path = Concat(onDisk, hostEntry);
        const std::string name = prefix.empty() ? entry : Concat(prefix, entry);
        platform::FileStatus status;
        if (!platform::GetFileStatus(path, status)) {
          continue;
        }
        if (request_.WildcardRecurse && status.Kind == platform::EntryKind::Directory) {
          subdirectories.emplace_back(path, name);
        }
        if (WildcardMatch(pattern, entry, request_.Rules)) {
          matched = true;
          AddPath(path, name, status);
        }
      }
      pending.insert(pending.end(), subdirectories.rbegin(), subdirectories.rend());
    }
    if (!matched) {
      result_.Note(arcapi::kErrorNotExist);
      output_.Line(ToHost(pattern) + ": nothing matches");
    }
  }

  // The path and, for a directory taken whole, everything under it.
  void AddPath(const std::string& path, const std::string& name,
               const platform::FileStatus& status) {
    std::vector<Source> pending{{path, name, status}};
    while (!pending.empty()) {
      Source source = std::move(pending.back());
      pending.pop_back();
      if (IsDirectory(source) && request_.Recurse) {
        std::vector<Source> children = Children(source);
        pending.insert(pending.end(), std::make_move_iterator(children.rbegin()),
                       std::make_move_iterator(children.rend()));
      }
      Keep(std::move(source));
    }
  }

  std::vector<Source> Children(const Source& directory) const {
    std::vector<Source> children;
    for (const std::string& hostEntry : DirectoryNames(directory.Path)) {
      Source child;
      child.Path = Concat(directory.Path, hostEntry);
      child.Name = Concat(directory.Name, FromHost(hostEntry));
      if (platform::GetFileStatus(child.Path, child.Status)) {
        children.push_back(std::move(child));
      }
    }
    return children;
  }

  void Keep(Source source) {
    const bool directory = IsDirectory(source);
    if (request_.JunkPaths) {
      if (directory) {
        return;
      }
      source.Name = BaseName(source.Name);
    }
    // Never the archive into itself.
    if (IsRegular(source) && platform::SameFile(source.Path, request_.Archive)) {
      return;
    }
    if (source.Name.empty() || (directory && !request_.DirectoryEntries) ||
        !(directory || IsRegular(source) || IsLink(source)) ||
        PathExcluded(request_.Excludes, source.Name, request_.Rules) ||
        !names_.insert(source.Name).second) {
      return;
    }
    sources_.push_back(std::move(source));
  }

  const PackRequest& request_;
  OutputText& output_;
  ResultCode& result_;
  std::set<std::string> names_;
  std::vector<Source> sources_;
};

// The new archive, written beside the old one and renamed over it.
class ArchiveWriter {
 public:
  explicit ArchiveWriter(const PackRequest& request) : target_(request.Archive) {
    const std::string directory = rtl::ExtractFilePath(target_);
    temporary_ = directory + ".zel" + std::to_string(platform::GetCurrentProcessId()) + "-pack.tmp";
    writer_.reset(archive_write_new());
    if (!writer_) {
      throw EngineError(arcapi::kErrorCannotWrite, "out of memory");
    }
    Configure(request);
    if (OpenArchiveForWriting(writer_.get(), temporary_) != ARCHIVE_OK) {
      Raise(arcapi::kErrorCannotWrite);
    }
    open_ = true;
  }
  ~ArchiveWriter() {
    writer_.reset();
    if (!committed_ && open_) {
      platform::DeleteFile(temporary_);
    }
  }
  ArchiveWriter(const ArchiveWriter&) = delete;
  ArchiveWriter& operator=(const ArchiveWriter&) = delete;

  archive* Handle() const { return writer_.get(); }

  void Header(archive_entry* entry) {
    if (archive_write_header(writer_.get(), entry) < ARCHIVE_WARN) {
      Raise(arcapi::kErrorCannotWrite);
    }
  }

  void Data(const void* data, std::size_t size) {
    if (size > 0 && archive_write_data(writer_.get(), data, size) < 0) {
      Raise(arcapi::kErrorCannotWrite);
    }
  }

  void Commit() {
    if (archive_write_close(writer_.get()) != ARCHIVE_OK) {
      Raise(arcapi::kErrorCannotWrite);
    }
    if (const platform::SysError error = platform::RenameReplacing(temporary_, target_);
        error.Failed()) {
      throw EngineError(error.Code == platform::kErrorDiskFull ? arcapi::kErrorDiskSpace
                                                               : arcapi::kErrorCannotWrite,
                        "cannot write " + target_ + ": " + error.Text);
    }
    committed_ = true;
  }

 private:
  [[noreturn]] void Raise(int code) const {
    const char* text = archive_error_string(writer_.get());
    const int error = archive_errno(writer_.get());
    throw EngineError(error == ENOSPC ? arcapi::kErrorDiskSpace : code,
                      text != nullptr ? text : "cannot write the archive");
  }

  void Option(const char* module, const char* option, const std::string& value) {
    archive_write_set_option(writer_.get(), module, option, value.c_str());
  }

  void Configure(const PackRequest& request) {
    archive* a = writer_.get();
    const std::string level = std::to_string(request.Level);
    switch (request.Format) {
      case PackFormat::Zip:
        archive_write_set_format_zip(a);
        if (request.Level == 0) {
          Option("zip", "compression", "store");
        } else if (request.Level > 0) {
          Option("zip", "compression-level", level);
        }
        break;
      case PackFormat::SevenZip:
        archive_write_set_format_7zip(a);
        if (request.Level == 0) {
          Option("7zip", "compression", "store");
        } else if (request.Level > 0) {
          Option("7zip", "compression-level", level);
        }
        break;
      case PackFormat::Tar:
        archive_write_set_format_pax_restricted(a);
        ConfigureTarFilter(request);
        break;
    }
  }

  void ConfigureTarFilter(const PackRequest& request) {
    archive* a = writer_.get();
    switch (request.Filter) {
      case TarFilter::None:
        archive_write_add_filter_none(a);
        return;
      case TarFilter::Gzip:
        archive_write_add_filter_gzip(a);
        break;
      case TarFilter::Bzip2:
        archive_write_add_filter_bzip2(a);
        break;
      case TarFilter::Compress:
        archive_write_add_filter_compress(a);
        return;
      case TarFilter::Xz:
        archive_write_add_filter_xz(a);
        break;
    }
    if (request.Level >= 1) {
      archive_write_set_filter_option(a, nullptr, "compression-level",
                                      std::to_string(request.Level).c_str());
    }
  }

  std::string target_;
  std::string temporary_;
  WriteArchive writer_;
  bool open_ = false;
  bool committed_ = false;
};

// What the archive keeps of a file besides its data.
void DescribeEntry(archive_entry* entry, const Source& source) {
  const platform::FileStatus& status = source.Status;
  archive_entry_set_filetype(entry, IsDirectory(source) ? AE_IFDIR
                                    : IsLink(source)    ? AE_IFLNK
                                                        : AE_IFREG);
  archive_entry_set_perm(entry, static_cast<mode_t>(status.Permissions));
  archive_entry_set_size(entry, static_cast<la_int64_t>(status.Size));
  archive_entry_set_mtime(entry, static_cast<time_t>(status.ModifiedSeconds),
                          status.ModifiedNanoseconds);
  archive_entry_set_atime(entry, static_cast<time_t>(status.AccessSeconds),
                          status.AccessNanoseconds);
  archive_entry_set_uid(entry, status.OwnerId);
  archive_entry_set_gid(entry, status.GroupId);
  SetEntryNameUtf8(entry, EntryName::Path, source.Name);
}

void StoreSource(ArchiveWriter& writer, const Source& source) {
  const Entry entry(archive_entry_new());
  DescribeEntry(entry.get(), source);
  if (IsLink(source)) {
    const std::string target = platform::ReadSymbolicLink(source.Path);
    if (target.empty()) {
      throw EngineError(arcapi::kErrorCannotRead, "cannot read the link " + source.Path);
    }
    SetEntryNameUtf8(entry.get(), EntryName::Symlink, FromHost(target));
  }
  if (!IsRegular(source)) {
    writer.Header(entry.get());
    return;
  }
  platform::InputFile file;
  if (file.Open(source.Path).Failed()) {
    throw EngineError(arcapi::kErrorFileOpen, "cannot open " + source.Path);
  }
  writer.Header(entry.get());
  std::vector<char> buffer(kCopyBlock);
  std::uint64_t done = 0;
  while (done < source.Status.Size) {
    const std::int64_t got = file.ReadAt(
        done, buffer.data(),
        static_cast<std::size_t>(std::min<std::uint64_t>(source.Status.Size - done, kCopyBlock)));
    if (got <= 0) {
      throw EngineError(arcapi::kErrorCannotRead, "cannot read " + source.Path);
    }
    writer.Data(buffer.data(), static_cast<std::size_t>(got));
    done += static_cast<std::uint64_t>(got);
  }
}

void CopyMember(ArchiveWriter& writer, ArchiveReader& reader, const Member& member) {
  if (member.Encrypted) {
    throw EngineError(arcapi::kErrorPasswordFile, ToHost(member.Name) + ": encrypted, cannot copy");
  }
  writer.Header(reader.CurrentEntry());
  std::uint64_t written = 0;
  const std::vector<char> zeros(kCopyBlock, '\0');
  reader.ReadData([&](const void* data, std::size_t size, la_int64_t offset) {
    // A hole of a sparse member is written out as zeros.
    while (offset > 0 && written < static_cast<std::uint64_t>(offset)) {
      const auto gap = static_cast<std::size_t>(
          std::min<std::uint64_t>(static_cast<std::uint64_t>(offset) - written, zeros.size()));
      writer.Data(zeros.data(), gap);
      written += gap;
    }
    writer.Data(data, size);
    written += size;
    return true;
  });
}

// The family whose reader reads back what the format writes.
Family ReadFamily(PackFormat format) {
  switch (format) {
    case PackFormat::Zip:
      return Family::Zip;
    case PackFormat::SevenZip:
      return Family::SevenZip;
    case PackFormat::Tar:
      return Family::Tar;
  }
  return Family::Zip;
}

bool HasMembers(const std::string& archiveName) {
  platform::FileStatus status;
  return platform::GetFileStatus(platform::RealPath(archiveName), status) &&
         status.Kind == platform::EntryKind::File && status.Size > 0;
}

class Packing {
 public:
  Packing(const PackRequest& request, OutputText& output) : request_(request), output_(output) {}

  int Run() {
    if (request_.Mode != PackMode::Delete) {
      SourceCollector collector(request_, output_, result_);
      sources_ = collector.Collect();
    }
    const bool existing = request_.Mode != PackMode::Create && HasMembers(request_.Archive);
    if (!existing && (request_.Mode == PackMode::Freshen || request_.Mode == PackMode::Delete)) {
      throw EngineError(arcapi::kErrorArchiveFileOpen, "no archive " + request_.Archive);
    }
    if (!existing && sources_.empty()) {
      result_.Note(arcapi::kErrorNotExist);
      output_.Line("nothing to store");
      return result_.Value();
    }
    std::optional<ArchiveReader> reader;
    if (existing) {
      reader.emplace(ReadFamily(request_.Format), request_.Archive);
    }
    ArchiveWriter writer(request_);
    if (reader) {
      CopyExisting(writer, *reader);
      // Windows replaces no file that is open: the old archive is closed
      // before the new one is renamed over it.
      reader.reset();
    }
    if (request_.Mode != PackMode::Freshen && request_.Mode != PackMode::Delete) {
      for (std::size_t i = 0; i < sources_.size(); ++i) {
        if (!used_.contains(i)) {
          Store(writer, i);
        }
      }
    }
    if (request_.Mode == PackMode::Delete && deleted_ == 0) {
      result_.Note(arcapi::kErrorNotExist);
      output_.Line("no member matches");
    }
    writer.Commit();
    output_.Line(std::to_string(stored_) + " file(s) stored");
    return result_.Value();
  }

 private:
  std::optional<std::size_t> SourceNamed(const std::string& name) const {
    const std::string key = NormalizePattern(name);
    for (std::size_t i = 0; i < sources_.size(); ++i) {
      if (NormalizePattern(sources_[i].Name) == key) {
        return i;
      }
    }
    return std::nullopt;
  }

  bool Replaces(const Source& source, const Member& member) const {
    if (request_.Mode == PackMode::Add) {
      return true;
    }
    return !member.ModifiedSeconds || source.Status.ModifiedSeconds > *member.ModifiedSeconds;
  }

  void CopyExisting(ArchiveWriter& writer, ArchiveReader& reader) {
    Member member;
    while (reader.Next(member)) {
      if (request_.Mode == PackMode::Delete) {
        if (PathSelected(request_.Names, NormalizePattern(member.Name), request_.Rules)) {
          ++deleted_;
          output_.Line(ToHost(member.Name) + ": deleted");
          continue;
        }
        CopyMember(writer, reader, member);
        continue;
      }
      const std::optional<std::size_t> source = SourceNamed(member.Name);
      if (source) {
        used_.insert(*source);
      }
      if (source && Replaces(sources_[*source], member)) {
        Store(writer, *source);
      } else {
        CopyMember(writer, reader, member);
      }
    }
  }

  void Store(ArchiveWriter& writer, std::size_t index) {
    const Source& source = sources_[index];
    if (!enumeration_.Continue(DescribeSource(source), static_cast<std::uint32_t>(stored_))) {
      throw EngineError(arcapi::kErrorUserCancel, "cancelled");
    }
    StoreSource(writer, source);
    ++stored_;
    output_.Line(ToHost(source.Name));
  }

  const PackRequest& request_;
  OutputText& output_;
  ResultCode result_;
  std::vector<Source> sources_;
  std::set<std::size_t> used_;
  Enumeration enumeration_;
  unsigned stored_ = 0;
  unsigned deleted_ = 0;
};

}  // namespace

int Pack(const PackRequest& request, OutputText& output) {
  Packing packing(request, output);
  try {
    return packing.Run();
  } catch (const EngineError& e) {
    output.Line(e.what());
    throw;
  }
}

}  // namespace archivers
