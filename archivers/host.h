// Where the engine meets the system it runs on: how names and paths pass
// between it and libarchive, and the local time. The engine keeps member
// names in UTF-8 and paths in the host's ANSI code page; libarchive keeps
// each name as bytes in the C library's locale or, on Windows, as UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "libraries.h"

namespace archivers {

// The local time of Unix `seconds`; false when it has none.
bool ToLocalTime(std::int64_t seconds, std::tm& local);

enum class EntryName { Path, Symlink, Hardlink };

// The entry's name in UTF-8, as stored when its format declares no
// character set (told apart by StoredNameToUtf8); empty when it has none.
std::string EntryNameUtf8(archive_entry* entry, EntryName which);
// Sets the member name (UTF-8) of an entry to be written to an archive.
void SetEntryNameUtf8(archive_entry* entry, EntryName which, const std::string& utf8);
// Sets the path (host) an entry is written to by the disk writer.
void SetEntryHostPath(archive_entry* entry, const std::string& hostPath);

// archive_read_open_filename and archive_write_open_filename for a host path.
int OpenArchiveForReading(archive* reader, const std::string& hostPath, std::size_t blockSize);
int OpenArchiveForWriting(archive* writer, const std::string& hostPath);

// For the scope of one entry call: what libarchive needs of the calling
// thread to give names as EntryNameUtf8 expects them.
class ScopedNameLocale {
 public:
  ScopedNameLocale();
  ~ScopedNameLocale();
  ScopedNameLocale(const ScopedNameLocale&) = delete;
  ScopedNameLocale& operator=(const ScopedNameLocale&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace archivers
