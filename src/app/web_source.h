// The steps of an update from the maker's download page: fetching the page,
// finding its module link, placing the download, and the record of the
// archive installed last.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace app {

inline constexpr std::string_view kUserAgent = "ZElUpd/0.8";
inline constexpr std::u16string_view kNoModuleLink = u"NONE";
inline constexpr std::string_view kLastDownloadRecord = "downver.inf";

// The largest page the tool reads; a larger one is refused before it has
// filled the memory.
inline constexpr std::size_t kPageLimit = std::size_t{16} * 1024 * 1024;

struct TFetchedPage {
  // The answer's bytes as the server sent them (its content encoding
  // undone), zero bytes included.
  std::string Bytes;
  // Its Content-Type header, empty when there was none.
  std::string ContentType;
  // The address that answered, after any redirection: the page's links are
  // relative to it.
  std::string Url;
};

// Fetches the page at `url` (as the user wrote it). True when the whole
// answer arrived, whatever its status: an error page of the server counts
// as the page. False when the address cannot be opened, the transfer fails
// part-way or the page is larger than kPageLimit.
bool FetchPage(const std::string& url, TFetchedPage& page);

// The "href" of the first anchor whose "id" is "$target$" exactly, as a
// browser reads it (its character and entity references resolved), or
// kNoModuleLink. That anchor decides: without a usable "href" the page has
// no module link, and later anchors are not looked at. `baseHref`, when
// given, receives the "href" of the page's first base element (empty when
// it has none).
std::u16string FindModuleLink(std::u16string page, std::u16string* baseHref = nullptr);

// The address of the archive: `link` resolved against the page's address
// and its base element's address, as a browser resolves it.
std::u16string ArchiveUrlOf(std::u16string_view pageUrl, std::u16string_view baseHref,
                            std::u16string_view link);

// Whether the file just downloaded to `path` is an archive the tool can
// open. A file of a format whose library is missing is given the benefit
// of the doubt: the archive source then names the missing library.
bool IsDownloadedArchive(const std::string& path);

// Whether the record at `recordPath` names the file of `localPath`.
bool IsLastDownload(const std::string& recordPath, const std::string& localPath);
// Records the file name of `localPath`; the result is not examined.
void SaveLastDownload(const std::string& recordPath, const std::string& localPath);

}  // namespace app
