// The updater object of one run and its update operations.
#pragma once

#include <string>

namespace app {

class CZelUpd {
 public:
  // The last-download record and the default download directory are in the
  // directory of the tool's executable.
  CZelUpd();
  // ... or in `toolDirectory` (with its trailing delimiter), for tests.
  explicit CZelUpd(std::string toolDirectory);
  ~CZelUpd();
  CZelUpd(const CZelUpd&) = delete;
  CZelUpd& operator=(const CZelUpd&) = delete;

  // Closes the running file manager, copies `source`'s files over `dest`,
  // deletes `source` when asked, and starts the file manager again.
  void UpdateFromDirectory(const std::string& source, const std::string& dest, bool deleteSource);
  // `source` is an archive or a wildcard that picks the greatest name.
  void UpdateFromArchive(const std::string& source, const std::string& dest);
  // Fetches the page at `url`, finds its module link and goes on with
  // UpdateFromFileUrl on the link joined to the page's directory.
  void UpdateFromPage(const std::string& url, const std::string& dest, bool deleteDownload,
                      const std::string& downPath);
  // Downloads the archive at `url` into `downPath` (empty: the tool's
  // directory) unless it is there already, installs it, deletes it when
  // asked and records its name; refuses the archive the record names.
  void UpdateFromFileUrl(const std::string& url, const std::string& dest, bool deleteDownload,
                         const std::string& downPath);

 private:
  // Installs the tree of `source` into `dest` as one change, checked before
  // the file manager is closed and undone when it fails; removes `source`
  // afterwards when asked. `ownSource`: a work directory of the tool's, whose
  // files may be moved.
  void Install(const std::string& source, const std::string& dest, bool removeSource,
               bool ownSource);
  // Downloads `wireUrl` (the address `url` as it is sent) to `localPath`;
  // what is not an archive is not kept.
  void Download(const std::string& wireUrl, const std::string& url, const std::string& localPath);
  // Installs from exactly `archive`; `source` names it in messages.
  void InstallArchive(const std::string& archive, const std::string& source,
                      const std::string& dest);

  std::string toolDirectory_;
};

// The full name of the greatest-named file that `pattern` matches (ordinal
// byte order; directories skipped), or the pattern's directory part alone.
std::string FindLargestMatch(const std::string& pattern);

// Unpacks every member of `archive` into the existing directory `dir`;
// returns the library's code.
int ExtractAll(const std::string& archive, const std::string& dir);

}  // namespace app
