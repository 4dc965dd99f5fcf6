// Web addresses as a browser treats them: a link resolved against the
// address of its page, the form an address takes on the wire, and the file
// name a download gets.
#pragma once

#include <string>
#include <string_view>

namespace app {

// The five components of an address, each without its delimiters; a
// component that is absent differs from one that is empty ("x?" has an
// empty query, "x" none).
struct TUrlParts {
  std::u16string Scheme;
  bool HasAuthority = false;
  std::u16string Authority;
  std::u16string Path;
  bool HasQuery = false;
  std::u16string Query;
  bool HasFragment = false;
  std::u16string Fragment;
};

TUrlParts SplitUrl(std::u16string_view url);
std::u16string JoinUrl(const TUrlParts& parts);
// The path with its "." and ".." segments applied.
std::u16string RemoveDotSegments(std::u16string_view path);

// `reference` (a link as written in a page) resolved against the absolute
// address `base`, without its fragment. Blanks and control characters
// around the link and line breaks and tabs inside it are dropped, and in an
// http or https address a backslash before the query is a slash, as
// browsers do.
std::u16string ResolveUrl(std::u16string_view base, std::u16string_view reference);

// Whether `url` is an absolute http or https address with a host part.
bool IsWebUrl(std::u16string_view url);
bool IsWebUrl(std::string_view url);

// `url` as it is sent: UTF-8, with every byte that an address cannot hold
// as such (blanks, controls, bytes above 0x7E and " < > \ ^ ` { | })
// percent-encoded; percent signs already there are kept.
std::string WireUrl(std::u16string_view url);

// The file name of a download from the wire address `url`: its last path
// segment without query and fragment, percent-decoded as UTF-8 (bytes that
// are not UTF-8 are taken in the ANSI code page), in the ANSI code page.
// Empty when a character of it has no form in the ANSI code page.
std::string DownloadFileNameOf(std::string_view url);

// Whether `name` may be used as a file name in the download directory: not
// empty, not "." or "..", and free of slashes, backslashes, the drive
// delimiter, NUL and other control characters.
bool IsPlainFileName(std::string_view name);

}  // namespace app
