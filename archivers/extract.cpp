#include "extract.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>

#include "engine_error.h"
#include "host.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "raii.h"
#include "reader.h"
#include "rtl/mbcs.h"
#include "safe_path.h"
#include "state.h"

namespace archivers {
namespace {

// The disk writer never writes through a symlink nor takes a "..", and
// restores the members' times. Absolute names are refused before a path
// reaches it (SafeComponents): the paths it gets are rooted in the real
// destination directory, so libarchive's own absolute-path refusal would
// refuse them all.
constexpr int kDiskFlags = ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                           ARCHIVE_EXTRACT_SECURE_SYMLINKS | ARCHIVE_EXTRACT_NO_OVERWRITE;

struct Cancelled {};

bool Exists(const std::string& path, platform::FileStatus& status) {
  return platform::GetFileStatus(path, status);
}

bool Exists(const std::string& path) {
  return platform::GetEntryKind(path) != platform::EntryKind::None;
}

// libarchive's errno (on Windows mapped from the system's error by it).
int ErrnoCode(int error, int fallback) {
  if (error == ENOSPC) {
    return arcapi::kErrorDiskSpace;
  }
#if defined(EDQUOT)
  if (error == EDQUOT) {
    return arcapi::kErrorDiskSpace;
  }
#endif
  return error == EROFS ? arcapi::kErrorReadOnly : fallback;
}

[[noreturn]] void RaiseDiskError(archive* disk, int fallback) {
  const char* text = archive_error_string(disk);
  throw EngineError(ErrnoCode(archive_errno(disk), fallback),
                    text != nullptr ? text : "cannot write");
}

[[noreturn]] void RaiseSystemError(const std::string& what, const platform::SysError& error,
                                   int fallback) {
  throw EngineError(error.Code == platform::kErrorDiskFull ? arcapi::kErrorDiskSpace : fallback,
                    what + ": " + error.Text);
}

std::string Joined(const std::string& root, const std::vector<std::string>& components) {
  std::string path = root;
  for (const std::string& component : components) {
    path += rtl::PathDelim;
    path += component;
  }
  return path;
}

std::string MemberKey(const Member& member) {
  std::string name = NormalizePattern(member.Name);
  return name;
}

bool Chosen(const Member& member, const ExtractRequest& request) {
  const std::string key = MemberKey(member);
  return PathSelected(request.Patterns, key, request.Rules) &&
         !PathExcluded(request.Excludes, key, request.Rules);
}

// A file being written under a temporary name beside its target: removed
// unless it was renamed into place.
class PendingFile {
 public:
  PendingFile(archive* disk, std::string path) : disk_(disk), path_(std::move(path)) {}
  ~PendingFile() {
    if (open_) {
      archive_write_finish_entry(disk_);
    }
    if (!committed_) {
      platform::DeleteFile(path_);
    }
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const std::string& Path() const { return path_; }
  void Opened() { open_ = true; }
  void Finish() {
    open_ = false;
    if (archive_write_finish_entry(disk_) < ARCHIVE_WARN) {
      RaiseDiskError(disk_, arcapi::kErrorCannotWrite);
    }
  }
  void RenameTo(const std::string& target) {
    if (const platform::SysError error = platform::RenameReplacing(path_, target); error.Failed()) {
      RaiseSystemError("cannot write " + target, error, arcapi::kErrorCannotWrite);
    }
    committed_ = true;
  }

 private:
  archive* disk_;
  std::string path_;
  bool open_ = false;
  bool committed_ = false;
};

class Extraction {
 public:
  Extraction(Family family, const ExtractRequest& request, OutputText& output)
      : request_(request), output_(output), reader_(OpenMemberReader(family, request.Archive)) {}

  int Run() {
    root_ = PrepareDestination(request_.Destination);
    disk_.reset(archive_write_disk_new());
    if (!disk_) {
      throw EngineError(arcapi::kErrorCannotWrite, "out of memory");
    }
    archive_write_disk_set_options(disk_.get(), kDiskFlags);
    try {
      Walk();
    } catch (const EngineError& e) {
      Report(e.Code(), e.what());
    } catch (const Cancelled&) {
      Report(arcapi::kErrorUserCancel, "cancelled");
    }
    // Directory times are set last, when nothing goes into them any more.
    archive_write_close(disk_.get());
    output_.Line(std::to_string(extracted_) + " file(s) extracted");
    return result_.Value();
  }

 private:
  void Report(int code, const std::string& message) {
    result_.Note(code);
    output_.Line(message);
  }

  void Walk() {
    Member member;
    while (reader_->Next(member)) {
      if (!Chosen(member, request_)) {
        continue;
      }
      if (!enumeration_.Continue(member, reader_->Index())) {
        throw Cancelled{};
      }
      try {
        ExtractMember(member);
      } catch (const EngineError& e) {
        Report(e.Code(), ToHost(member.Name) + ": " + e.what());
      } catch (const ReadCancelled&) {
        throw Cancelled{};
      }
    }
  }

  void ExtractMember(const Member& member) {
    const std::optional<std::vector<std::string>> safe = SafeComponents(member.Name);
    if (!safe) {
      throw EngineError(arcapi::kErrorCannotWrite, "refused, the name leaves the destination");
    }
    if (member.IsSymlink() || member.IsHardlink()) {
      throw EngineError(arcapi::kErrorCannotWrite, "refused, links are not extracted");
    }
    if (safe->empty() || (member.IsDirectory() && !request_.WithPaths)) {
      return;
    }
    if (member.Encrypted) {
      throw EngineError(arcapi::kErrorPasswordFile, "encrypted, not extracted");
    }
    std::vector<std::string> components;
    for (const std::string& component : *safe) {
      components.push_back(ToHost(component));
    }
    if (!request_.WithPaths) {
      components = {components.back()};
    }
    const std::string target = Joined(root_, components);
    if (member.IsDirectory()) {
      MakeDirectory(target);
    } else if (member.Type == AE_IFREG) {
      WriteFile(member, target);
    } else {
      throw EngineError(arcapi::kErrorUnknownType, "a special file, not extracted");
    }
  }

  // The path to write, or nullopt when an existing file stays.
  std::optional<std::string> Decide(const Member& member, const std::string& target) {
    platform::FileStatus status;
    if (!Exists(target, status)) {
      return target;
    }
    if (status.Kind == platform::EntryKind::Directory) {
      throw EngineError(arcapi::kErrorCannotWrite, "a directory of that name exists");
    }
    switch (request_.Policy) {
      case Overwrite::Replace:
        return target;
      case Overwrite::Skip:
        Report(arcapi::kErrorAlreadyExist, ToHost(member.Name) + ": exists, skipped");
        return std::nullopt;
      case Overwrite::NewerOnly:
        if (member.ModifiedSeconds && *member.ModifiedSeconds > status.ModifiedSeconds) {
          return target;
        }
        Report(arcapi::kErrorMoreFresh, ToHost(member.Name) + ": the file is newer, skipped");
        return std::nullopt;
      case Overwrite::Rename:
        return FreeName(target);
    }
    return target;
  }

  static std::string FreeName(const std::string& target) {
    const std::size_t slash = target.rfind(rtl::PathDelim);
    const std::size_t dot = target.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > slash + 1;
    const std::string stem = hasExtension ? target.substr(0, dot) : target;
    const std::string extension = hasExtension ? target.substr(dot) : std::string();
    for (unsigned n = 1;; ++n) {
      std::string candidate = stem;
      candidate += "_" + std::to_string(n);
      candidate += extension;
      if (!Exists(candidate)) {
        return candidate;
      }
    }
  }

  std::string TemporaryBeside(const std::string& target) {
    const std::string directory = target.substr(0, target.rfind(rtl::PathDelim));
    for (;;) {
      std::string candidate = directory + rtl::PathDelim + ".zel" +
                              std::to_string(platform::GetCurrentProcessId()) + "-" +
                              std::to_string(++temporaries_) + ".tmp";
      if (!Exists(candidate)) {
        return candidate;
      }
    }
  }

  Entry CloneEntry(const std::string& path) const {
    Entry entry(archive_entry_clone(reader_->CurrentEntry()));
    if (!entry) {
      throw EngineError(arcapi::kErrorCannotWrite, "out of memory");
    }
    SetEntryHostPath(entry.get(), path);
    return entry;
  }

  void WriteHeader(PendingFile& file, archive_entry* entry) {
    if (archive_write_header(disk_.get(), entry) < ARCHIVE_WARN) {
      RaiseDiskError(disk_.get(), arcapi::kErrorCannotWrite);
    }
    file.Opened();
  }

  void Send(int state, const arcapi::TExtractingInfoEx& info) const {
    if (!progress_.Send(state, info)) {
      throw Cancelled{};
    }
  }

  void WriteFile(const Member& member, const std::string& target) {
    const std::optional<std::string> destination = Decide(member, target);
    if (!destination) {
      return;
    }
    arcapi::TExtractingInfoEx info{};
    FillExtractingInfo(member, *destination, info);
    Send(arcapi::kExtractBegin, info);
    PendingFile file(disk_.get(), TemporaryBeside(*destination));
    const Entry entry = CloneEntry(file.Path());
    archive_entry_set_perm(entry.get(), member.FilePermissions());
    WriteHeader(file, entry.get());
    std::uint64_t written = 0;
    bool reported = false;
    archive* disk = disk_.get();
    reader_->ReadData([&](const void* data, std::size_t size, std::int64_t offset) {
      if (archive_write_data_block(disk, data, size, offset) < ARCHIVE_OK) {
        RaiseDiskError(disk, arcapi::kErrorCannotWrite);
      }
      written += size;
      info.Info.WriteSize = Clip32(written);
      reported = true;
      return progress_.Send(arcapi::kExtractInProcess, info);
    });
    if (!reported) {
      Send(arcapi::kExtractInProcess, info);
    }
    file.Finish();
    file.RenameTo(*destination);
    Installed(member);
    Send(arcapi::kExtractEnd, info);
  }

  void MakeDirectory(const std::string& target) {
    if (Exists(target)) {
      if (platform::GetEntryKind(target) == platform::EntryKind::Directory) {
        return;
      }
      throw EngineError(arcapi::kErrorMakeDirectory, "a file of that name exists");
    }
    const Entry entry = CloneEntry(target);
    // The extraction must be able to write into it.
    archive_entry_set_perm(entry.get(), archive_entry_perm(entry.get()) | 0700);
    if (archive_write_header(disk_.get(), entry.get()) < ARCHIVE_WARN) {
      RaiseDiskError(disk_.get(), arcapi::kErrorMakeDirectory);
    }
    if (archive_write_finish_entry(disk_.get()) < ARCHIVE_WARN) {
      RaiseDiskError(disk_.get(), arcapi::kErrorMakeDirectory);
    }
  }

  void Installed(const Member& member) {
    ++extracted_;
    output_.Line(ToHost(member.Name));
  }

  const ExtractRequest& request_;
  OutputText& output_;
  std::unique_ptr<MemberReader> reader_;
  std::string root_;
  WriteArchive disk_;
  Progress progress_;
  Enumeration enumeration_;
  ResultCode result_;
  unsigned extracted_ = 0;
  unsigned temporaries_ = 0;
};

std::string LocalTimeText(const Member& member) {
  if (!member.ModifiedSeconds) {
    return "                   ";
  }
  std::tm local{};
  char text[32] = "";
  if (ToLocalTime(*member.ModifiedSeconds, local)) {
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  }
  return text;
}

// The family's whole-archive check, before any member is trusted.
void CheckWholeArchive(Family family, const std::string& archiveName) {
  if (const auto check = TraitsOf(family).CheckStream) {
    check(archiveName);
  }
}

std::string ListLine(const Member& member) {
  char sizes[64];
  std::snprintf(sizes, sizeof sizes, "%12llu %12llu %5u ",
                static_cast<unsigned long long>(member.Size),
                static_cast<unsigned long long>(member.CompressedSize.value_or(0)),
                static_cast<unsigned>(RatioOf(member)));
  std::string method = member.Method;
  method.resize(8, ' ');
  return sizes + LocalTimeText(member) + " " + method + " " + ToHost(member.Name);
}

// Hands each member the request chooses to `visit`, in archive order, until
// the enumeration callback stops it (noted as a user cancel).
template <class Visit>
void ForEachChosen(MemberReader& reader, const ExtractRequest& request,
                   const Enumeration& enumeration, ResultCode& result, Visit visit) {
  Member member;
  while (reader.Next(member)) {
    if (!Chosen(member, request)) {
      continue;
    }
    if (!enumeration.Continue(member, reader.Index())) {
      result.Note(arcapi::kErrorUserCancel);
      return;
    }
    visit(member);
  }
}

}  // namespace

int ExtractToDisk(Family family, const ExtractRequest& request, OutputText& output) {
  Extraction extraction(family, request, output);
  // Before anything is written: a damaged stream cannot say which member
  // it spoiled.
  CheckWholeArchive(family, request.Archive);
  return extraction.Run();
}

int ListMembers(Family family, const ExtractRequest& request, OutputText& output) {
  const std::unique_ptr<MemberReader> reader = OpenMemberReader(family, request.Archive);
  const Enumeration enumeration;
  ResultCode result;
  std::uint64_t total = 0;
  unsigned count = 0;
  output.Line("        size   compressed ratio date       time     method   name");
  try {
    ForEachChosen(*reader, request, enumeration, result, [&](const Member& member) {
      output.Line(ListLine(member));
      total += member.Size;
      ++count;
    });
  } catch (const EngineError& e) {
    result.Note(e.Code());
    output.Line(e.what());
  }
  output.Line(std::to_string(count) + " file(s), " + std::to_string(total) + " byte(s)");
  return result.Value();
}

int TestMembers(Family family, const ExtractRequest& request, OutputText& output) {
  const std::unique_ptr<MemberReader> reader = OpenMemberReader(family, request.Archive);
  const Enumeration enumeration;
  ResultCode result;
  try {
    CheckWholeArchive(family, request.Archive);
  } catch (const EngineError& e) {
    result.Note(e.Code());
    output.Line(e.what());
  }
  try {
    ForEachChosen(*reader, request, enumeration, result, [&](const Member& member) {
      try {
        reader->ReadData([](const void*, std::size_t, std::int64_t) { return true; });
        output.Line(ToHost(member.Name) + ": OK");
      } catch (const EngineError& e) {
        result.Note(e.Code());
        output.Line(ToHost(member.Name) + ": " + e.what());
      }
    });
  } catch (const EngineError& e) {
    result.Note(e.Code());
    output.Line(e.what());
  }
  return result.Value();
}

int ExtractToMemory(Family family, const std::string& archiveName, const std::string& pattern,
                    PatternRules rules, const MemoryTarget& target) {
  if (target.Written != nullptr) {
    *target.Written = 0;
  }
  const std::unique_ptr<MemberReader> reader = OpenMemberReader(family, archiveName);
  CheckWholeArchive(family, archiveName);
  Member member;
  while (reader->Next(member)) {
    if (!member.IsRegular() || !WildcardMatch(pattern, MemberKey(member), rules)) {
      continue;
    }
    if (member.Encrypted) {
      return arcapi::kErrorPasswordFile;
    }
    std::uint64_t copied = 0;
    bool truncated = false;
    reader->ReadData([&](const void* data, std::size_t size, std::int64_t offset) {
      const auto start = static_cast<std::uint64_t>(std::max<std::int64_t>(offset, 0));
      const std::uint64_t end = start + size;
      if (end > target.Size) {
        truncated = true;
      }
      if (start < target.Size && target.Buffer != nullptr) {
        // A hole in a sparse member reads as zeros.
        if (start > copied) {
          std::memset(target.Buffer + copied, 0, static_cast<std::size_t>(start - copied));
        }
        const auto length =
            static_cast<std::size_t>(std::min<std::uint64_t>(end, target.Size) - start);
        std::memcpy(target.Buffer + start, data, length);
        copied = std::max(copied, start + length);
      }
      return true;
    });
    if (target.Written != nullptr) {
      *target.Written = Clip32(copied);
    }
    if (target.Time != nullptr) {
      *target.Time = static_cast<std::uint32_t>(member.ModifiedSeconds.value_or(0));
    }
    if (target.Attributes != nullptr) {
      *target.Attributes = static_cast<std::uint16_t>(member.WindowsAttributes());
    }
    return truncated ? arcapi::kErrorDiskSpace : arcapi::kSuccess;
  }
  return arcapi::kErrorNotExist;
}

std::vector<Member> ReadMembers(Family family, const std::string& archiveName) {
  const std::unique_ptr<MemberReader> reader = OpenMemberReader(family, archiveName);
  std::vector<Member> members;
  Member member;
  try {
    while (reader->Next(member)) {
      members.push_back(member);
    }
  } catch (const EngineError&) {
    if (members.empty()) {
      throw;
    }
  }
  return members;
}

bool IsArchive(Family family, const std::string& archiveName, int mode) {
  const int level = mode & 3;
  const bool allHeaders = level == arcapi::kCheckBasic || (mode & arcapi::kCheckAll) != 0;
  const bool allData = level == arcapi::kCheckFullCrc;
  try {
    const std::unique_ptr<MemberReader> reader = OpenMemberReader(family, archiveName);
    if (allData) {
      CheckWholeArchive(family, archiveName);
    }
    Member member;
    bool more = reader->Next(member);
    while (more && (allHeaders || allData)) {
      if (allData && member.Encrypted) {
        return false;
      }
      if (allData) {
        reader->ReadData([](const void*, std::size_t, std::int64_t) { return true; });
      }
      more = reader->Next(member);
    }
    return true;
  } catch (const EngineError&) {
    return false;
  }
}

int ArchiveType(Family family, const std::string& archiveName) {
  try {
    Member member;
    const auto typeOf = TraitsOf(family).ArchiveType;
    if (typeOf == nullptr) {
      OpenMemberReader(family, archiveName)->Next(member);
      return 1;
    }
    ArchiveReader reader(family, archiveName);
    reader.Next(member);
    return typeOf(reader.Handle());
  } catch (const EngineError& e) {
    return e.Code() == arcapi::kErrorArchiveFileOpen ? -1 : 0;
  }
}

}  // namespace archivers
