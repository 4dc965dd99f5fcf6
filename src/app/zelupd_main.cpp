#include "app/zelupd_main.h"

#include "app/errors.h"
#include "app/install.h"
#include "archive/archive_file.h"
#include "fileutil/dirtreat.h"
#include "platform/com.h"
#include "platform/fs.h"
#include "rtl/codepage.h"
#include "rtl/format.h"
#include "rtl/mbcs.h"
#include "rtl/strtable.h"

namespace app {
namespace {

constexpr std::string_view kWorkDirPrefix = "TMP";
constexpr std::string_view kAllMembers = "*.*";
constexpr std::uint32_t kExtractOutputSize = 8192;

bool WorkDirectoryIsEmpty(const std::string& dir) {
  platform::DirectorySearch search(rtl::IncludeTrailingPathDelimiter(dir) + "*");
  platform::FindData entry;
  while (search.Next(entry)) {
    if (entry.Name != "." && entry.Name != "..") {
      return false;
    }
  }
  return true;
}

}  // namespace

CZelUpd::CZelUpd() : CZelUpd(rtl::ExtractFilePath(platform::GetModuleFileName())) {}
CZelUpd::CZelUpd(std::string toolDirectory) : toolDirectory_(std::move(toolDirectory)) {
  platform::ComInitialize();
}
CZelUpd::~CZelUpd() {
  platform::ComUninitialize();
}

void CZelUpd::UpdateFromDirectory(const std::string& source, const std::string& dest,
                                  bool deleteSource) {
  // The file manager may stay busy for as long as it likes; only the user ends this wait.
  while (!PrepareDestination(dest)) {
  }
  fileutil::CopyDirectory(source, dest, true);
  if (deleteSource) {
    fileutil::DeleteDirectory(source);
  }
  StartZel(dest);
}

std::string FindLargestMatch(const std::string& pattern) {
  std::string largest;
  platform::DirectorySearch search(pattern);
  platform::FindData entry;
  while (search.Next(entry)) {
    if ((entry.Attributes & platform::kFaDirectory) != 0) {
      continue;
    }
    // std::string compares as unsigned bytes, the longer name winning a tie.
    if (entry.Name > largest) {
      largest = entry.Name;
    }
  }
  std::string separators(1, rtl::PathDelim);
  separators += rtl::DriveDelim;
  return pattern.substr(0, rtl::LastDelimiter(separators, pattern)) + largest;
}

void CZelUpd::UpdateFromArchive(const std::string& source, const std::string& dest) {
  InstallArchive(FindLargestMatch(source), source, dest);
}

void CZelUpd::InstallArchive(const std::string& archive, const std::string& source,
                             const std::string& dest) {
  if (archive.empty() || !platform::FileExists(archive)) {
    throw EArchiveFileError(rtl::Format(rtl::LoadStr(rtl::SArchiveNotFound), {source}));
  }
  // A fresh temporary name, turned from a file into a directory.
  const std::string workDir =
      fileutil::MakeTempFileName(fileutil::GetTempDirectory(), kWorkDirPrefix);
  (void)platform::DeleteFile(workDir);
  if (platform::CreateDirectory(workDir).Failed()) {
    throw ECreateDirError(rtl::Format(rtl::LoadStr(rtl::SCreateDirFailed), {workDir}));
  }
  const int result = ExtractAll(archive, workDir);
  // A library that failed and left nothing would otherwise close the file
  // manager only to start the same version again, and report success.
  if (result != 0 && WorkDirectoryIsEmpty(workDir)) {
    (void)platform::RemoveDirectory(workDir);
    throw EArchiveFileError(rtl::Format(
        rtl::Utf8ToAnsi("書庫[%s]を展開できませんでした (コード 0x%x)"), {archive, result}));
  }
  UpdateFromDirectory(workDir, dest, true);
}

int ExtractAll(const std::string& archive, const std::string& dir) {
  archive::TArchiveFile archiveFile(nullptr);
  archiveFile.SetFileName(archive);
  archiveFile.SetOutputSize(kExtractOutputSize);
  archive::TArchiverOptions& options = archiveFile.Options();
  options.n = 1;
  options.y = 1;
  // The LHA builder insists on these two; 1 lets the library go past a
  // member it cannot write, and extract everything without asking.
  options.jse = 1;
  options.jso = 1;
  // Whatever the work directory holds afterwards is installed.
  return archiveFile.ExtractFiles(nullptr, nullptr, archive::FileItems{std::string(kAllMembers)},
                                  dir);
}

}  // namespace app
