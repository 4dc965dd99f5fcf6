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

}  // namespace

CZelUpd::CZelUpd() {
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
  const std::string archive = FindLargestMatch(source);
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
  ExtractAll(archive, workDir);
  UpdateFromDirectory(workDir, dest, true);
}

void ExtractAll(const std::string& archive, const std::string& dir) {
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
  (void)archiveFile.ExtractFiles(nullptr, nullptr, archive::FileItems{std::string(kAllMembers)},
                                 dir);
}

void CZelUpd::UpdateFromPage(const std::string& url, const std::string& /*dest*/,
                             bool /*deleteDownload*/, const std::string& /*downPath*/) {
  throw EZelUpdError(
      rtl::Format(rtl::Utf8ToAnsi("このビルドではウェブからの更新ができません[%s]"), {url}));
}

void CZelUpd::UpdateFromFileUrl(const std::string& url, const std::string& /*dest*/,
                                bool /*deleteDownload*/, const std::string& /*downPath*/) {
  throw EZelUpdError(
      rtl::Format(rtl::Utf8ToAnsi("このビルドではウェブからの更新ができません[%s]"), {url}));
}

}  // namespace app
