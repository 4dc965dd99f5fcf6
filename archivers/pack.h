// The writing commands: creating ZIP, TAR and 7-Zip archives, and adding
// to, freshening and deleting from existing ZIP and 7-Zip archives. An
// archive is never changed in place: the new one is written beside it and
// renamed over it only when complete, so a failure leaves the old one as
// it was.
#pragma once

#include <string>
#include <vector>

#include "text.h"
#include "wildcard.h"

namespace archivers {

enum class PackFormat { Zip, Tar, SevenZip };

enum class PackMode {
  Create,   // a new archive; an existing one is replaced
  Add,      // files replace members of their name, others are appended
  Update,   // as Add, but a member is replaced only by a newer file
  Freshen,  // only members that exist are replaced, by newer files
  Delete,   // the names are member patterns; matching members go
};

enum class TarFilter { None, Gzip, Bzip2, Compress, Xz };

struct PackRequest {
  PackFormat Format = PackFormat::Zip;
  PackMode Mode = PackMode::Add;
  std::string Archive;                // host code page
  std::string BaseDirectory;          // host; relative names are taken from here
  std::vector<std::string> Names;     // host: files, directories, wildcards
  std::vector<std::string> Excludes;  // UTF-8 member patterns
  PatternRules Rules;
  bool Recurse = true;           // a directory brings its contents
  bool WildcardRecurse = false;  // wildcards also match in subdirectories
  bool JunkPaths = false;        // members are named by the file name alone
  bool DirectoryEntries = true;
  int Level = -1;  // compression level 0-9; -1 the format's default
  TarFilter Filter = TarFilter::None;
};

int Pack(const PackRequest& request, OutputText& output);

}  // namespace archivers
