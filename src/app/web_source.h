// The steps of an update from the maker's download page: fetching the page,
// finding its module link, placing the download, and the record of the
// archive installed last.
#pragma once

#include <string>
#include <string_view>

namespace app {

inline constexpr std::string_view kUserAgent = "ZElUpd/0.8";
inline constexpr std::string_view kNoModuleLink = "NONE";
inline constexpr std::string_view kLastDownloadRecord = "downver.inf";

// Fetches the page at `url` into `text` (8-bit, as the server sent it, up
// to any zero byte of each chunk read). True as soon as the address could
// be opened: an error page of the server counts as the page.
bool FetchPage(const std::string& url, std::string& text);

// The "href" of the first anchor whose "id" is "$target$" exactly, or
// kNoModuleLink. That anchor decides: without a usable "href" the page has
// no module link, and later anchors are not looked at.
std::string FindModuleLink(const std::string& page);

// The page address up to and including its last "/", then the link as text.
std::string ArchiveUrlOf(const std::string& pageUrl, const std::string& link);

// The part of `url` after its last "/" (all of it when there is none).
std::string DownloadFileNameOf(const std::string& url);
// Whether `name` may be used as a file name in the download directory: not
// empty, not "." or "..", and free of path and drive delimiters.
bool IsPlainFileName(std::string_view name);

// Whether the record at `recordPath` names the file of `localPath`.
bool IsLastDownload(const std::string& recordPath, const std::string& localPath);
// Records the file name of `localPath`; the result is not examined.
void SaveLastDownload(const std::string& recordPath, const std::string& localPath);

}  // namespace app
