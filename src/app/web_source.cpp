#include "app/web_source.h"

#include <array>
#include <cstring>
#include <memory>

#include "app/errors.h"
#include "app/zelupd_main.h"
#include "fileutil/dirtreat.h"
#include "html/dom_core.h"
#include "html/html_parser.h"
#include "platform/fs.h"
#include "platform/net.h"
#include "platform/profile.h"
#include "rtl/codepage.h"
#include "rtl/format.h"
#include "rtl/mbcs.h"
#include "rtl/strtable.h"

namespace app {
namespace {

constexpr std::size_t kReadChunk = 1025;
constexpr std::u16string_view kAnchorTag = u"a";
constexpr std::u16string_view kIdAttribute = u"id";
constexpr std::u16string_view kTargetId = u"$target$";
constexpr std::u16string_view kLinkAttribute = u"href";
constexpr std::string_view kRecordSection = "ZelUpd";
constexpr std::string_view kRecordKey = "LastDown";

// The value of an attribute as far as its first child goes: a value with an
// entity reference is cut before it. Empty when there is no such child.
std::u16string FirstChildValue(const html::TNode* attribute) {
  const html::TNode* first = attribute->childNodes()->item(0);
  return first == nullptr ? std::u16string() : first->nodeValue();
}

bool IsModuleAnchor(const html::TNode* anchor) {
  const html::TNode* id = anchor->attributes()->getNamedItem(kIdAttribute);
  return id != nullptr && id->childNodes()->item(0) != nullptr && FirstChildValue(id) == kTargetId;
}

[[noreturn]] void ThrowDownloadFailed(const std::string& url) {
  throw EFileDownloadError(rtl::Format(rtl::LoadStr(rtl::SFileDownloadFailed), {url}));
}

}  // namespace

bool FetchPage(const std::string& url, std::string& text) {
  text.clear();
  // Declared first, closed last: the request goes before its session.
  const std::unique_ptr<platform::InternetSession> session =
      platform::InternetOpen(std::string(kUserAgent), platform::kInternetOpenTypePreconfig);
  if (!session) {
    return false;
  }
  const std::unique_ptr<platform::InternetRequest> request =
      session->OpenUrl(url, platform::kInternetFlagReload);
  if (!request) {
    return false;
  }
  std::array<char, kReadChunk> buffer{};
  while (true) {
    buffer.fill('\0');
    if (request->Read(buffer) == 0) {
      break;
    }
    text.append(buffer.data(), ::strnlen(buffer.data(), buffer.size()));
  }
  return true;
}

std::string FindModuleLink(const std::string& page) {
  std::unique_ptr<html::TDocument> document;
  {
    html::THtmlParser parser;
    document = parser.ParseString(rtl::AnsiToWide(page));
  }
  std::string link(kNoModuleLink);
  // The search list goes before its document.
  const std::unique_ptr<html::TSearchNodeList> anchors = document->getElementsByTagName(kAnchorTag);
  for (int i = 0; i < anchors->length(); ++i) {
    const html::TNode* anchor = anchors->item(i);
    if (!IsModuleAnchor(anchor)) {
      continue;
    }
    const html::TNode* href = anchor->attributes()->getNamedItem(kLinkAttribute);
    const std::u16string value = href == nullptr ? std::u16string() : FirstChildValue(href);
    if (!value.empty()) {
      link = rtl::WideToAnsi(value);
    }
    break;
  }
  return link;
}

std::string ArchiveUrlOf(const std::string& pageUrl, const std::string& link) {
  return pageUrl.substr(0, rtl::LastDelimiter("/", pageUrl)) + link;
}

std::string DownloadFileNameOf(const std::string& url) {
  return url.substr(rtl::LastDelimiter("/", url));
}

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string_view::npos) {
    return false;
  }
  std::string delimiters(1, rtl::PathDelim);
  delimiters += rtl::DriveDelim;
  return rtl::LastDelimiter(delimiters, name) == 0;
}

bool IsLastDownload(const std::string& recordPath, const std::string& localPath) {
  const std::string last = platform::GetPrivateProfileString(
      std::string(kRecordSection), std::string(kRecordKey), "", recordPath);
  return last == rtl::ExtractFileName(localPath);
}

void SaveLastDownload(const std::string& recordPath, const std::string& localPath) {
  (void)platform::WritePrivateProfileString(std::string(kRecordSection), std::string(kRecordKey),
                                            rtl::ExtractFileName(localPath), recordPath);
}

void CZelUpd::UpdateFromPage(const std::string& url, const std::string& dest, bool deleteDownload,
                             const std::string& downPath) {
  std::string page;
  if (!FetchPage(url, page)) {
    throw EFileDownloadError(rtl::Format(rtl::LoadStr(rtl::SPageDownloadFailed), {url}));
  }
  const std::string link = FindModuleLink(page);
  if (link == kNoModuleLink) {
    throw EFileDownloadError(rtl::Format(rtl::LoadStr(rtl::SModuleNotFound), {url}));
  }
  UpdateFromFileUrl(ArchiveUrlOf(url, link), dest, deleteDownload, downPath);
}

void CZelUpd::UpdateFromFileUrl(const std::string& url, const std::string& dest,
                                bool deleteDownload, const std::string& downPath) {
  const std::string downloadDir =
      downPath.empty() ? toolDirectory_ : fileutil::AddBackslash(downPath);
  // A name that could reach outside the download directory is never a path.
  const std::string fileName = DownloadFileNameOf(url);
  if (!IsPlainFileName(fileName)) {
    ThrowDownloadFailed(url);
  }
  const std::string localPath = downloadDir + fileName;
  const std::string recordPath = toolDirectory_ + std::string(kLastDownloadRecord);
  // Before the local file is looked at: an installed archive is refused
  // even while it is still on disk.
  if (platform::FileExists(recordPath) && IsLastDownload(recordPath, localPath)) {
    throw EFileDownloadError(rtl::LoadStr(rtl::SNotUpdated));
  }
  if (!platform::FileExists(localPath) &&
      platform::UrlDownloadToFile(url, localPath, std::string(kUserAgent)) !=
          platform::kDownloadOk) {
    ThrowDownloadFailed(url);
  }
  // Exactly this file: its name may hold characters that a pattern reads
  // as wildcards.
  InstallArchive(localPath, localPath, dest);
  if (deleteDownload) {
    (void)platform::DeleteFile(localPath);
  }
  SaveLastDownload(recordPath, localPath);
}

}  // namespace app
