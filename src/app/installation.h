// A release's tree brought into the installation as one change: checked
// before the file manager is touched, every file replaced in one step, the
// replaced files kept aside in the destination until the end and put back
// when anything fails, also by the next run after a run that was killed.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// The hidden folder in the destination that keeps the replaced files and
// the journal of the changes until the installation is complete.
inline constexpr std::string_view kBackupFolder = ".zelupd-backup";

struct TPlannedFile {
  std::string Source;    // full path
  std::string Relative;  // below the destination
  std::uint64_t Size = 0;
  // Renamed into place (same volume, a file of the tool's own) rather than
  // copied.
  bool Move = false;
};

struct TInstallPlan {
  std::string Source;  // with its delimiter
  std::string Dest;    // with its delimiter
  // Relative paths, each before what it holds.
  std::vector<std::string> Directories;
  std::vector<TPlannedFile> Files;
  // Entries not installed because their names begin with ".".
  std::vector<std::string> LeftOut;
};

// Everything about installing `source` into `dest` that can be known before
// anything changes: the source exists and holds only files and folders (a
// pipe, device, socket or a link that leads out of it is refused), the
// destination is a folder that can be written and has room for the files
// that will be copied. A failure raises the message the installation would
// have met. `mayMove`: the source is the tool's own and its files may be
// moved where they share a volume with the destination.
TInstallPlan PlanInstallation(const std::string& source, const std::string& dest, bool mayMove);

// One installation into a destination, with its journal: each change is
// written ahead of being made, so that it can be undone from the journal
// alone.
class TInstallation {
 public:
  // Makes the backup folder in `dest` (with its delimiter).
  explicit TInstallation(const std::string& dest);
  // Puts everything back unless committed.
  ~TInstallation();
  TInstallation(const TInstallation&) = delete;
  TInstallation& operator=(const TInstallation&) = delete;

  void MakeDirectory(const std::string& relative);
  // Writes the new file under a hidden name beside its target (or takes it
  // as it is when it moves), keeps the old one aside and renames the new
  // one over it.
  void PlaceFile(const TPlannedFile& file);
  // The installation is complete: the backup goes.
  void Commit();
  // Puts back every replaced file, removes every added file and folder, and
  // removes the backup. False when something could not be put back; the
  // backup then stays for the next run.
  bool RollBack() noexcept;

 private:
  void Journal(char kind, const std::string& relative);
  // Keeps what stands at `relative` aside: as a second name while the new
  // file takes its place, or moved away when the place must be empty.
  void KeepAside(const std::string& relative, const std::string& sourceForMessage, bool vacate);
  void MakeBackupParents(const std::string& relative);

  std::string dest_;
  std::string backup_;
  std::set<std::string> backupFolders_;
  std::set<std::string> touchedFolders_;
  std::vector<std::string> journal_;
  std::size_t incoming_ = 0;
  bool finished_ = false;
};

// Puts back an installation that a killed run left half-done in `dest`
// (its backup folder is there); a complete one only loses its backup.
// True when there was one. Raises when it cannot be put back.
bool RestoreInterruptedInstallation(const std::string& dest);

}  // namespace app
