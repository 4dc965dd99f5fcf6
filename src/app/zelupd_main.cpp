#include "app/zelupd_main.h"

#include "app/errors.h"
#include "app/install.h"
#include "fileutil/dirtreat.h"
#include "platform/com.h"
#include "platform/fs.h"
#include "rtl/codepage.h"
#include "rtl/format.h"
#include "rtl/mbcs.h"
#include "rtl/strtable.h"

namespace app {

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

void CZelUpd::UpdateFromArchive(const std::string& source, const std::string& /*dest*/) {
  const std::string archive = FindLargestMatch(source);
  if (archive.empty() || !platform::FileExists(archive)) {
    throw EArchiveFileError(rtl::Format(rtl::LoadStr(rtl::SArchiveNotFound), {source}));
  }
  // Nothing is unpacked yet: refuse before a work directory is made.
  throw EZelUpdError(
      rtl::Format(rtl::Utf8ToAnsi("このビルドでは書庫[%s]を展開できません"), {archive}));
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
