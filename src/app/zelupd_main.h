// The updater object of one run and its update operations.
#pragma once

#include <string>

namespace app {

class CZelUpd {
 public:
  CZelUpd();
  ~CZelUpd();
  CZelUpd(const CZelUpd&) = delete;
  CZelUpd& operator=(const CZelUpd&) = delete;

  // Closes the running file manager, copies `source`'s files over `dest`,
  // deletes `source` when asked, and starts the file manager again.
  void UpdateFromDirectory(const std::string& source, const std::string& dest, bool deleteSource);
  // `source` is an archive or a wildcard that picks the greatest name.
  void UpdateFromArchive(const std::string& source, const std::string& dest);
  void UpdateFromPage(const std::string& url, const std::string& dest, bool deleteDownload,
                      const std::string& downPath);
  void UpdateFromFileUrl(const std::string& url, const std::string& dest, bool deleteDownload,
                         const std::string& downPath);
};

// The full name of the greatest-named file that `pattern` matches (ordinal
// byte order; directories skipped), or the pattern's directory part alone.
std::string FindLargestMatch(const std::string& pattern);

// Unpacks every member of `archive` into the existing directory `dir`;
// returns the library's code.
int ExtractAll(const std::string& archive, const std::string& dir);

}  // namespace app
