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
