#include "app/installation.h"

#include <fstream>

#include "app/errors.h"
#include "fileutil/dirtreat.h"
#include "platform/fs.h"
#include "rtl/format.h"
#include "rtl/mbcs.h"
#include "rtl/strtable.h"

namespace app {
namespace {

constexpr std::string_view kJournal = "journal";
constexpr std::string_view kFiles = "files";
constexpr std::string_view kIncomingPrefix = ".zelupd-new-";
constexpr std::string_view kProbePrefix = ".zu";
// Journal entries: a file added, a file replaced (kept in the backup), a
// folder made, a new file being written, the installation complete.
constexpr char kAdded = 'A';
constexpr char kReplaced = 'R';
constexpr char kFolder = 'D';
constexpr char kIncoming = 'T';
constexpr char kComplete = 'C';
constexpr std::uint64_t kBlock = 4096;

std::int64_t CodeOf(const platform::SysError& error) {
  return static_cast<std::int64_t>(error.Code);
}

// The folder part of a relative path, with its delimiter (empty for none).
std::string FolderOf(const std::string& relative) {
  std::string delimiter(1, rtl::PathDelim);
  return relative.substr(0, rtl::LastDelimiter(delimiter, relative));
}

[[noreturn]] void ThrowCopyError(const std::string& source, const std::string& destDir,
                                 const platform::SysError& error) {
  throw fileutil::EFileCopyError(
      rtl::Format(rtl::LoadStr(rtl::SFileCopyFailed),
                  {source, destDir, fileutil::MessageText(error), CodeOf(error)}));
}

// A journal line holds one path: "%", line breaks and carriage returns in
// names are escaped.
std::string Escape(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '%' || c == '\n' || c == '\r') {
      static constexpr char kHex[] = "0123456789ABCDEF";
      escaped += '%';
      escaped += kHex[static_cast<unsigned char>(c) >> 4];
      escaped += kHex[static_cast<unsigned char>(c) & 0x0F];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string Unescape(const std::string& text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      plain += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      plain += text[i];
    }
  }
  return plain;
}

bool Within(const std::string& path, const std::string& root) {
  const std::string prefix = rtl::IncludeTrailingPathDelimiter(root);
  return path.compare(0, prefix.size(), prefix) == 0;
}

std::uint64_t RoundedUp(std::uint64_t size) {
  return (size + kBlock - 1) / kBlock * kBlock;
}

void CheckWritable(const TInstallPlan& plan) {
  if (plan.Files.empty()) {
    return;
  }
  std::string probe;
  if (const platform::SysError error = platform::GetTempFileName(plan.Dest, kProbePrefix, probe);
      error.Failed()) {
    const TPlannedFile& first = plan.Files.front();
    ThrowCopyError(first.Source, plan.Dest + FolderOf(first.Relative), error);
  }
  (void)platform::DeleteFile(probe);
}

void CheckRoom(const TInstallPlan& plan) {
  std::uint64_t available = 0;
  if (platform::GetFreeSpace(plan.Dest, available).Failed()) {
    return;  // nothing to judge by; a full disk is still undone later
  }
  // The old files stay until the end, so every copied byte is new.
  std::uint64_t needed = 0;
  for (const TPlannedFile& file : plan.Files) {
    if (file.Move) {
      continue;
    }
    needed += RoundedUp(file.Size);
    if (needed > available) {
      ThrowCopyError(file.Source, plan.Dest + FolderOf(file.Relative),
                     platform::SystemError(platform::kErrorDiskFull));
    }
  }
}

// Undoes journal entries, last first. False when a replaced file could not
// be put back or an added one could not be removed.
bool Undo(const std::string& dest, const std::string& backup,
          const std::vector<std::string>& journal) {
  bool complete = true;
  const std::string files = backup + std::string(kFiles) + rtl::PathDelim;
  // Last entry first.
  for (std::size_t i = journal.size(); i-- > 0;) {
    const std::string& entry = journal[i];
    if (entry.size() < 2) {
      continue;
    }
    const std::string relative = entry.substr(2);
    const std::string target = dest + relative;
    const platform::EntryKind kind = platform::GetEntryKind(target);
    switch (entry[0]) {
      case kReplaced: {
        const std::string kept = files + relative;
        const platform::EntryKind keptKind = platform::GetEntryKind(kept);
        if (keptKind == platform::EntryKind::None) {
          break;  // it was never moved: the old file is still in place
        }
        // A folder kept aside goes back where a file now stands.
        if (keptKind == platform::EntryKind::Directory && kind != platform::EntryKind::None &&
            kind != platform::EntryKind::Directory) {
          (void)platform::DeleteFile(target);
        }
        complete = !platform::RenameReplacing(kept, target).Failed() && complete;
        break;
      }
      case kAdded:
        if (kind != platform::EntryKind::None) {
          complete = !platform::DeleteFile(target).Failed() && complete;
        }
        break;
      case kIncoming:
        if (kind != platform::EntryKind::None) {
          (void)platform::DeleteFile(target);
        }
        break;
      case kFolder:
        // Whatever else came to stand in it stays, and so does the folder.
        if (kind == platform::EntryKind::Directory) {
          (void)platform::RemoveDirectory(target);
        }
        break;
      default:
        break;
    }
  }
  (void)platform::FlushDirectory(dest);
  return complete;
}

std::vector<std::string> ReadJournal(const std::string& path) {
  std::vector<std::string> entries;
  std::ifstream file(path, std::ios::binary);
  std::string line;
  while (std::getline(file, line)) {
    // A line cut by a crash never got to be acted on.
    if (file.eof() || line.size() < 2) {
      break;
    }
    entries.push_back(line.substr(0, 2) + Unescape(line.substr(2)));
  }
  return entries;
}

}  // namespace

TInstallPlan PlanInstallation(const std::string& source, const std::string& dest, bool mayMove) {
  TInstallPlan plan;
  plan.Source = rtl::IncludeTrailingPathDelimiter(source);
  plan.Dest = rtl::IncludeTrailingPathDelimiter(dest);
  const std::vector<fileutil::TTreeEntry> entries = fileutil::ListTree(source, &plan.LeftOut);
  const std::string root = platform::RealPath(source);
  const bool sameVolume = mayMove && platform::SameVolume(source, dest);
  for (const fileutil::TTreeEntry& entry : entries) {
    const std::string path = plan.Source + entry.Relative;
    switch (entry.Kind) {
      case platform::EntryKind::Directory:
        plan.Directories.push_back(entry.Relative);
        break;
      case platform::EntryKind::File:
        plan.Files.push_back({path, entry.Relative, entry.Size, sameVolume});
        break;
      case platform::EntryKind::Link: {
        // A link within the release stands for its file, which is copied.
        const std::string target = platform::RealPath(path);
        if (target.empty() || !Within(target, root) ||
            platform::GetEntryKind(target) != platform::EntryKind::File) {
          ThrowCopyError(path, plan.Dest + FolderOf(entry.Relative),
                         platform::SystemError(platform::kErrorNotSupported));
        }
        plan.Files.push_back({path, entry.Relative, entry.Size, false});
        break;
      }
      default:
        ThrowCopyError(path, plan.Dest + FolderOf(entry.Relative),
                       platform::SystemError(platform::kErrorNotSupported));
    }
  }
  if (!platform::DirectoryExists(dest)) {
    throw EStartError(rtl::Format(rtl::LoadStr(rtl::SDestDirMissing), {dest}));
  }
  CheckWritable(plan);
  CheckRoom(plan);
  return plan;
}

TInstallation::TInstallation(const std::string& dest)
    : dest_(rtl::IncludeTrailingPathDelimiter(dest)),
      backup_(dest_ + std::string(kBackupFolder) + rtl::PathDelim) {
  const std::string folder = rtl::ExcludeTrailingPathDelimiter(backup_);
  if (platform::CreateDirectory(folder).Failed() ||
      platform::CreateDirectory(backup_ + std::string(kFiles)).Failed()) {
    throw ECreateDirError(rtl::Format(rtl::LoadStr(rtl::SCreateDirFailed), {folder}));
  }
}

TInstallation::~TInstallation() {
  if (!finished_) {
    (void)RollBack();
  }
}

void TInstallation::Journal(char kind, const std::string& relative) {
  const std::string line = std::string(1, kind) + " " + relative;
  const std::string journal = backup_ + std::string(kJournal);
  if (const platform::SysError error =
          platform::AppendToFile(journal, std::string(1, kind) + " " + Escape(relative) + "\n");
      error.Failed()) {
    ThrowCopyError(dest_ + relative, backup_, error);
  }
  journal_.push_back(line);
}

void TInstallation::MakeBackupParents(const std::string& relative) {
  std::string folder = backup_ + std::string(kFiles);
  const std::string parents = FolderOf(relative);
  std::size_t start = 0;
  while (start < parents.size()) {
    const std::size_t end = parents.find(rtl::PathDelim, start);
    folder += rtl::PathDelim + parents.substr(start, end - start);
    if (backupFolders_.insert(folder).second &&
        platform::GetEntryKind(folder) != platform::EntryKind::Directory) {
      if (const platform::SysError error = platform::CreateDirectory(folder); error.Failed()) {
        throw ECreateDirError(rtl::Format(rtl::LoadStr(rtl::SCreateDirFailed), {folder}));
      }
    }
    start = end + 1;
  }
}

void TInstallation::KeepAside(const std::string& relative, const std::string& sourceForMessage,
                              bool vacate) {
  const std::string target = dest_ + relative;
  if (platform::GetEntryKind(target) == platform::EntryKind::None) {
    Journal(kAdded, relative);
    return;
  }
  // Refused before it gets a second name: that name could not be removed
  // while the file is in use.
  if (platform::GetEntryKind(target) == platform::EntryKind::File) {
    if (const platform::SysError error = platform::TestReplaceable(target); error.Failed()) {
      ThrowCopyError(sourceForMessage, dest_ + FolderOf(relative), error);
    }
  }
  Journal(kReplaced, relative);
  MakeBackupParents(relative);
  const std::string kept = backup_ + std::string(kFiles) + rtl::PathDelim + relative;
  // A second name keeps the old file in place until the new one replaces
  // it in one step; where that is not possible, it moves aside first.
  if (!vacate && platform::GetEntryKind(target) == platform::EntryKind::File &&
      !platform::CreateHardLink(kept, target).Failed()) {
    return;
  }
  if (const platform::SysError error = platform::RenameReplacing(target, kept); error.Failed()) {
    ThrowCopyError(sourceForMessage, dest_ + FolderOf(relative), error);
  }
}

void TInstallation::MakeDirectory(const std::string& relative) {
  const std::string target = dest_ + relative;
  if (platform::DirectoryExists(target)) {
    return;
  }
  // A file where the release has a folder is kept aside like a replaced one.
  if (platform::GetEntryKind(target) != platform::EntryKind::None) {
    KeepAside(relative, target, true);
  }
  Journal(kFolder, relative);
  if (platform::CreateDirectory(target).Failed()) {
    throw ECreateDirError(rtl::Format(rtl::LoadStr(rtl::SCreateDirFailed), {target}));
  }
  touchedFolders_.insert(rtl::ExtractFilePath(target));
}

void TInstallation::PlaceFile(const TPlannedFile& file) {
  const std::string target = dest_ + file.Relative;
  const std::string folder = dest_ + FolderOf(file.Relative);
  std::string incoming = file.Source;
  if (file.Move) {
    if (const platform::SysError error = platform::FlushFile(file.Source); error.Failed()) {
      ThrowCopyError(file.Source, folder, error);
    }
  } else {
    const std::string name = std::string(kIncomingPrefix) + std::to_string(incoming_++) + ".tmp";
    incoming = folder + name;
    Journal(kIncoming, FolderOf(file.Relative) + name);
    (void)platform::DeleteFile(incoming);  // one left by a killed run
    if (const platform::SysError error = platform::CopyNewFileDurably(file.Source, incoming);
        error.Failed()) {
      ThrowCopyError(file.Source, folder, error);
    }
  }
  KeepAside(file.Relative, file.Source, false);
  if (const platform::SysError error = platform::RenameReplacing(incoming, target);
      error.Failed()) {
    ThrowCopyError(file.Source, folder, error);
  }
  touchedFolders_.insert(folder);
}

void TInstallation::Commit() {
  for (const std::string& folder : touchedFolders_) {
    (void)platform::FlushDirectory(folder);
  }
  // Marked complete first: a backup that outlives this call is then only
  // removed, never put back.
  Journal(kComplete, "");
  finished_ = true;
  (void)fileutil::DeleteTreeQuietly(rtl::ExcludeTrailingPathDelimiter(backup_));
}

bool TInstallation::RollBack() noexcept {
  finished_ = true;
  try {
    if (!Undo(dest_, backup_, journal_)) {
      return false;
    }
  } catch (...) {
    return false;
  }
  return fileutil::DeleteTreeQuietly(rtl::ExcludeTrailingPathDelimiter(backup_));
}

bool RestoreInterruptedInstallation(const std::string& dest) {
  const std::string destDir = rtl::IncludeTrailingPathDelimiter(dest);
  const std::string backup = destDir + std::string(kBackupFolder) + rtl::PathDelim;
  const std::string folder = rtl::ExcludeTrailingPathDelimiter(backup);
  if (platform::GetEntryKind(folder) != platform::EntryKind::Directory) {
    return false;
  }
  const std::vector<std::string> journal = ReadJournal(backup + std::string(kJournal));
  const bool complete = !journal.empty() && journal.back()[0] == kComplete;
  if ((!complete && !Undo(destDir, backup, journal)) || !fileutil::DeleteTreeQuietly(folder)) {
    throw EZelUpdError(rtl::Format(rtl::LoadStr(rtl::SNotRestored), {dest, folder}));
  }
  return true;
}

}  // namespace app
