#include "fileutil/dirtreat.h"

#include "platform/fs.h"
#include "rtl/format.h"
#include "rtl/mbcs.h"
#include "rtl/strtable.h"
#include "rtl/sysmsg.h"

namespace fileutil {
namespace {

std::int64_t CodeOf(const platform::SysError& error) {
  return static_cast<std::int64_t>(error.Code);
}

void CopyEntry(const std::string& dir, const std::string& name, CExtraCopyParam* param) {
  const std::string source = dir + name;
  const platform::SysError error =
      platform::CopyFile(source, param->Dest + name, !param->Overwrite);
  if (error.Failed()) {
    throw EFileCopyError(rtl::Format(rtl::LoadStr(rtl::SFileCopyFailed),
                                     {source, param->Dest, MessageText(error), CodeOf(error)}));
  }
}

void DeleteEntry(const std::string& dir, const std::string& name, CExtraCopyParam* /*param*/) {
  const std::string path = dir + name;
  const platform::SysError error = platform::DeleteFile(path);
  if (error.Failed()) {
    throw EFileDeleteError(rtl::Format(rtl::LoadStr(rtl::SFileDeleteFailed),
                                       {path, MessageText(error), CodeOf(error)}));
  }
}

[[noreturn]] void ThrowOSError(const platform::SysError& error) {
  throw rtl::EOSError(error.Code, rtl::TrimSystemMessage(error.Text));
}

}  // namespace

std::string MessageText(const platform::SysError& error) {
  return rtl::TrimSystemMessage(error.Text);
}

std::string AddBackslash(std::string_view path) {
  return rtl::IncludeTrailingPathDelimiter(path);
}

void ForEachEntry(const std::string& dir, EntryCallback callback, CExtraCopyParam* param) {
  if (!platform::DirectoryExists(dir)) {
    throw EDirectoryError(rtl::Format(rtl::LoadStr(rtl::SDirMissing), {dir}));
  }
  const std::string walkDir = AddBackslash(dir);
  if (param != nullptr) {
    param->Dest = AddBackslash(param->Dest);
  }
  // The search closes itself, also when the callback raises.
  platform::DirectorySearch search(walkDir + "*.*");
  platform::FindData entry;
  while (search.Next(entry)) {
    if (!entry.Name.empty() && entry.Name[0] == '.') {
      continue;
    }
    callback(walkDir, entry.Name, param);
  }
}

void CopyDirectory(const std::string& source, const std::string& dest, bool overwrite) {
  CExtraCopyParam param{dest, overwrite};
  ForEachEntry(source, CopyEntry, &param);
}

void DeleteDirectory(const std::string& dir) {
  ForEachEntry(dir, DeleteEntry, nullptr);
  const platform::SysError error = platform::RemoveDirectory(dir);
  if (error.Failed()) {
    throw EDirectoryDeleteError(
        rtl::Format(rtl::LoadStr(rtl::SDirDeleteFailed), {dir, MessageText(error), CodeOf(error)}));
  }
}

std::vector<TTreeEntry> ListTree(const std::string& dir, std::vector<std::string>* leftOut) {
  if (!platform::DirectoryExists(dir)) {
    throw EDirectoryError(rtl::Format(rtl::LoadStr(rtl::SDirMissing), {dir}));
  }
  const std::string root = AddBackslash(dir);
  std::vector<TTreeEntry> entries;
  // Breadth first through a list that grows behind the reading position:
  // no recursion, and every directory comes before its entries.
  std::vector<std::string> pending{std::string()};
  for (std::size_t next = 0; next < pending.size(); ++next) {
    const std::string prefix = pending[next].empty() ? "" : AddBackslash(pending[next]);
    platform::DirectorySearch search(root + prefix + "*");
    platform::FindData found;
    while (search.Next(found)) {
      if (found.Name == "." || found.Name == "..") {
        continue;
      }
      const std::string relative = prefix + found.Name;
      if (found.Name[0] == '.') {
        if (leftOut != nullptr) {
          leftOut->push_back(relative);
        }
        continue;
      }
      const platform::EntryKind kind = platform::GetEntryKind(root + relative);
      // A link's size is that of what it leads to.
      entries.push_back({relative, kind, kind == platform::EntryKind::Directory ? 0 : found.Size});
      if (kind == platform::EntryKind::Directory) {
        pending.push_back(relative);
      }
    }
  }
  return entries;
}

namespace {

// The entries of `dir` (with its delimiter) other than "." and "..".
std::vector<std::string> NamesIn(const std::string& dir) {
  std::vector<std::string> names;
  platform::DirectorySearch search(dir + "*");
  platform::FindData found;
  while (search.Next(found)) {
    if (found.Name != "." && found.Name != "..") {
      names.push_back(found.Name);
    }
  }
  return names;
}

// Removes the tree; `fail` decides what a failure does (raise, or note it
// and go on).
template <class OnFailure>
void RemoveTree(const std::string& dir, OnFailure fail) {
  // Directories in the order found; removed last to first, so each one is
  // empty by the time its turn comes.
  std::vector<std::string> directories{AddBackslash(dir)};
  for (std::size_t next = 0; next < directories.size(); ++next) {
    const std::string current = directories[next];
    for (const std::string& name : NamesIn(current)) {
      const std::string path = current + name;
      if (platform::GetEntryKind(path) == platform::EntryKind::Directory) {
        directories.push_back(AddBackslash(path));
      } else if (const platform::SysError error = platform::DeleteFile(path); error.Failed()) {
        fail(EFileDeleteError(rtl::Format(rtl::LoadStr(rtl::SFileDeleteFailed),
                                          {path, MessageText(error), CodeOf(error)})));
      }
    }
  }
  for (auto it = directories.rbegin(); it != directories.rend(); ++it) {
    const std::string path = it + 1 == directories.rend() ? dir : it->substr(0, it->size() - 1);
    if (const platform::SysError error = platform::RemoveDirectory(path); error.Failed()) {
      fail(EDirectoryDeleteError(rtl::Format(rtl::LoadStr(rtl::SDirDeleteFailed),
                                             {path, MessageText(error), CodeOf(error)})));
    }
  }
}

}  // namespace

void DeleteTree(const std::string& dir) {
  if (!platform::DirectoryExists(dir)) {
    throw EDirectoryError(rtl::Format(rtl::LoadStr(rtl::SDirMissing), {dir}));
  }
  // A link to a directory goes itself; what it leads to stays.
  if (platform::GetEntryKind(rtl::ExcludeTrailingPathDelimiter(dir)) == platform::EntryKind::Link) {
    if (const platform::SysError error =
            platform::DeleteFile(rtl::ExcludeTrailingPathDelimiter(dir));
        error.Failed()) {
      throw EDirectoryDeleteError(rtl::Format(rtl::LoadStr(rtl::SDirDeleteFailed),
                                              {dir, MessageText(error), CodeOf(error)}));
    }
    return;
  }
  RemoveTree(dir, [](const auto& error) { throw error; });
}

bool DeleteTreeQuietly(const std::string& dir) noexcept {
  bool complete = true;
  try {
    if (platform::GetEntryKind(dir) != platform::EntryKind::Directory) {
      return platform::GetEntryKind(dir) == platform::EntryKind::None;
    }
    RemoveTree(dir, [&complete](const auto& /*error*/) { complete = false; });
  } catch (...) {
    return false;
  }
  return complete;
}

std::string GetTempDirectory() {
  std::string path;
  if (const platform::SysError error = platform::GetTempPath(path); error.Failed()) {
    ThrowOSError(error);
  }
  return path;
}

std::string MakeTempFileName(const std::string& dir, std::string_view prefix) {
  std::string path;
  if (const platform::SysError error = platform::GetTempFileName(dir, prefix.substr(0, 3), path);
      error.Failed()) {
    ThrowOSError(error);
  }
  return path;
}

}  // namespace fileutil
