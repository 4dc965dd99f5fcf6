#include "app/web_source.h"

#include <array>
#include <cstdint>
#include <memory>

#include "app/errors.h"
#include "app/install.h"
#include "app/page_charset.h"
#include "app/progress.h"
#include "app/web_address.h"
#include "app/zelupd_main.h"
#include "archive/archive_file.h"
#include "archive/errors.h"
#include "archive/formats/szip32.h"
#include "fileutil/dirtreat.h"
#include "html/dom_core.h"
#include "html/entities.h"
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
constexpr std::u16string_view kBaseTag = u"base";
constexpr std::u16string_view kIdAttribute = u"id";
constexpr std::u16string_view kTargetId = u"$target$";
constexpr std::u16string_view kLinkAttribute = u"href";
constexpr std::string_view kRecordSection = "ZelUpd";
constexpr std::string_view kRecordKey = "LastDown";
// What the entity table answers for a name it does not know; no name it
// knows stands for a blank.
constexpr std::uint16_t kUnknownEntity = 0x20;

// The value of an attribute as far as its first child goes.
std::u16string FirstChildValue(const html::TNode* attribute) {
  const html::TNode* first = attribute->childNodes()->item(0);
  return first == nullptr ? std::u16string() : first->nodeValue();
}

// The whole value of an attribute as a browser reads it: its text with
// every reference resolved; a name the table does not know stays as it
// was written.
std::u16string AttributeValue(const html::TNode* attribute) {
  std::u16string value;
  for (const html::TNode* part = attribute->firstChild(); part != nullptr;
       part = part->nextSibling()) {
    if (part->nodeType() != html::TNode::ENTITY_REFERENCE_NODE) {
      value += part->nodeValue();
      continue;
    }
    const std::u16string name = part->nodeName();
    const std::uint16_t code = html::GetEntityValue(name);
    if (code == kUnknownEntity) {
      value += u"&" + name + u";";
    } else {
      value += static_cast<char16_t>(code);
    }
  }
  return value;
}

bool IsModuleAnchor(const html::TNode* anchor) {
  const html::TNode* id = anchor->attributes()->getNamedItem(kIdAttribute);
  return id != nullptr && id->childNodes()->item(0) != nullptr && FirstChildValue(id) == kTargetId;
}

// The href of the first element named `tag` that has one, or empty.
std::u16string FirstHref(html::TDocument& document, std::u16string_view tag) {
  const std::unique_ptr<html::TSearchNodeList> elements = document.getElementsByTagName(tag);
  for (int i = 0; i < elements->length(); ++i) {
    const html::TNode* href = elements->item(i)->attributes()->getNamedItem(kLinkAttribute);
    if (href != nullptr) {
      return AttributeValue(href);
    }
  }
  return {};
}

std::u16string AsciiToWide(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (const char c : text) {
    wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  }
  return wide;
}

[[noreturn]] void ThrowDownloadFailed(const std::string& url) {
  throw EFileDownloadError(rtl::Format(rtl::LoadStr(rtl::SFileDownloadFailed), {url}));
}

}  // namespace

bool FetchPage(const std::string& url, TFetchedPage& page) {
  page = {};
  // Declared first, closed last: the request goes before its session.
  const std::unique_ptr<platform::InternetSession> session =
      platform::InternetOpen(std::string(kUserAgent), platform::kInternetOpenTypePreconfig);
  if (!session) {
    return false;
  }
  const std::unique_ptr<platform::InternetRequest> request =
      session->OpenUrl(WireUrl(rtl::AnsiToWide(url)), platform::kInternetFlagReload);
  if (!request) {
    return false;
  }
  const std::int64_t announced = request->ContentLength();
  if (announced > static_cast<std::int64_t>(kPageLimit)) {
    return false;
  }
  page.ContentType = request->ContentType();
  page.Url = request->Url();
  TProgressLine progress(url);
  // Room for the largest page at once: the memory is taken as it is
  // written, and a page that grows past the limit never doubles it.
  page.Bytes.reserve(announced >= 0 ? static_cast<std::size_t>(announced)
                                    : kPageLimit + kReadChunk);
  std::array<char, kReadChunk> buffer{};
  while (true) {
    std::size_t count = 0;
    if (!request->Read(buffer, count)) {
      return false;
    }
    if (count == 0) {
      break;
    }
    page.Bytes.append(buffer.data(), count);
    if (page.Bytes.size() > kPageLimit) {
      return false;
    }
    progress.Update(page.Bytes.size(), announced);
  }
  return true;
}

std::u16string FindModuleLink(std::u16string page, std::u16string* baseHref) {
  std::unique_ptr<html::TDocument> document;
  {
    html::THtmlParser parser;
    document = parser.ParseString(std::move(page));
  }
  std::u16string link(kNoModuleLink);
  // The search lists go before their document.
  {
    const std::unique_ptr<html::TSearchNodeList> anchors =
        document->getElementsByTagName(kAnchorTag);
    for (int i = 0; i < anchors->length(); ++i) {
      const html::TNode* anchor = anchors->item(i);
      if (!IsModuleAnchor(anchor)) {
        continue;
      }
      const html::TNode* href = anchor->attributes()->getNamedItem(kLinkAttribute);
      const std::u16string value = href == nullptr ? std::u16string() : AttributeValue(href);
      if (!value.empty()) {
        link = value;
      }
      break;
    }
  }
  if (baseHref != nullptr) {
    *baseHref = FirstHref(*document, kBaseTag);
  }
  return link;
}

std::u16string ArchiveUrlOf(std::u16string_view pageUrl, std::u16string_view baseHref,
                            std::u16string_view link) {
  // A base element's address is itself relative to the page's.
  const std::u16string base =
      baseHref.empty() ? std::u16string(pageUrl) : ResolveUrl(pageUrl, baseHref);
  return ResolveUrl(base, link);
}

bool IsDownloadedArchive(const std::string& path) {
  // 7-Zip archives are not among the formats recognised inside an ".exe".
  if (archive::DetectArchiverType(path, false) != archive::atNone ||
      archive::IsSevenZipArchive(path)) {
    return true;
  }
  try {
    archive::TArchiveFile probe(nullptr);
    probe.SetFileName(path);
    if (probe.Archiver() != nullptr) {
      // The binding outlives a failed load (the content check above tried
      // it already): only loading tells whether the library is there.
      probe.Archiver()->EnsureDLL();
      probe.Archiver()->ArchiverDll().Load();
    }
  } catch (const archive::ENoArchiverDLL&) {
    return true;
  } catch (const rtl::Exception&) {
    return false;
  }
  return false;
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
  TFetchedPage page;
  if (!FetchPage(url, page)) {
    CheckInterrupted();
    throw EFileDownloadError(rtl::Format(rtl::LoadStr(rtl::SPageDownloadFailed), {url}));
  }
  std::u16string baseHref;
  const std::u16string link = FindModuleLink(DecodePage(page.Bytes, page.ContentType), &baseHref);
  if (link == kNoModuleLink) {
    throw EFileDownloadError(rtl::Format(rtl::LoadStr(rtl::SModuleNotFound), {url}));
  }
  UpdateFromFileUrl(WireUrl(ArchiveUrlOf(AsciiToWide(page.Url), baseHref, link)), dest,
                    deleteDownload, downPath);
}

void CZelUpd::UpdateFromFileUrl(const std::string& url, const std::string& dest,
                                bool deleteDownload, const std::string& downPath) {
  const std::string wire = WireUrl(rtl::AnsiToWide(url));
  // Nothing but the web is ever asked, and a name that could reach outside
  // the download directory is never a path: both refused before a request.
  if (!IsWebUrl(wire)) {
    ThrowDownloadFailed(url);
  }
  const std::string fileName = DownloadFileNameOf(wire);
  if (!IsPlainFileName(fileName)) {
    ThrowDownloadFailed(url);
  }
  const std::string downloadDir =
      downPath.empty() ? toolDirectory_ : fileutil::AddBackslash(downPath);
  const std::string localPath = downloadDir + fileName;
  const std::string recordPath = toolDirectory_ + std::string(kLastDownloadRecord);
  // Before the local file is looked at: an installed archive is refused
  // even while it is still on disk.
  if (platform::FileExists(recordPath) && IsLastDownload(recordPath, localPath)) {
    throw EFileDownloadError(rtl::LoadStr(rtl::SNotUpdated));
  }
  if (!platform::FileExists(localPath)) {
    Download(wire, url, localPath);
  }
  // Exactly this file: its name may hold characters that a pattern reads
  // as wildcards.
  InstallArchive(localPath, localPath, dest);
  if (deleteDownload) {
    (void)platform::DeleteFile(localPath);
  }
  SaveLastDownload(recordPath, localPath);
}

void CZelUpd::Download(const std::string& wireUrl, const std::string& url,
                       const std::string& localPath) {
  std::int32_t result = platform::kDownloadOk;
  {
    TProgressLine progress(url);
    result = platform::UrlDownloadToFile(
        wireUrl, localPath, std::string(kUserAgent),
        [&progress](std::uint64_t done, std::int64_t total) { progress.Update(done, total); });
  }
  if (result != platform::kDownloadOk) {
    CheckInterrupted();
    ThrowDownloadFailed(url);
  }
  // A login or error page answered in place of the archive is not kept:
  // the next run asks the server again.
  if (!IsDownloadedArchive(localPath)) {
    (void)platform::DeleteFile(localPath);
    ThrowDownloadFailed(url);
  }
}

}  // namespace app
