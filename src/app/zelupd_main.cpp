#include "app/zelupd_main.h"

#include <algorithm>

#include "app/errors.h"
#include "app/install.h"
#include "app/installation.h"
#include "app/progress.h"
#include "archive/archive_file.h"
#include "archive/result_text.h"
#include "fileutil/dirtreat.h"
#include "platform/com.h"
#include "platform/fs.h"
#include "platform/interrupt.h"
#include "rtl/console.h"
#include "rtl/format.h"
#include "rtl/mbcs.h"
#include "rtl/strtable.h"

namespace app {
namespace {

constexpr std::string_view kWorkDirPrefix = "TMP";
constexpr std::string_view kAllMembers = "*.*";
constexpr std::uint32_t kExtractOutputSize = 8192;

// Whether the extraction left a file that would be installed.
bool HoldsAFile(const std::string& dir) {
  const std::vector<fileutil::TTreeEntry> entries = fileutil::ListTree(dir, nullptr);
  return std::any_of(entries.begin(), entries.end(), [](const fileutil::TTreeEntry& entry) {
    return entry.Kind != platform::EntryKind::Directory;
  });
}

void StartZelQuietly(const std::string& dest) noexcept {
  try {
    StartZel(dest);
  } catch (...) {
    // The failure being reported matters more than this one.
  }
}

// Brings the planned tree in as one change: any failure undoes it all.
void InstallPlan(const TInstallPlan& plan) {
  TInstallation installation(plan.Dest);
  try {
    for (const std::string& folder : plan.Directories) {
      CheckInterrupted();
      installation.MakeDirectory(folder);
    }
    TProgressLine progress(rtl::Format(rtl::LoadStr(rtl::SInstallingInto), {plan.Dest}),
                           rtl::LoadStr(rtl::SUnitFiles));
    std::uint64_t done = 0;
    for (const TPlannedFile& file : plan.Files) {
      CheckInterrupted();
      installation.PlaceFile(file);
      progress.Update(++done, static_cast<std::int64_t>(plan.Files.size()));
    }
    installation.Commit();
  } catch (const rtl::Exception& e) {
    const std::string note =
        installation.RollBack()
            ? rtl::LoadStr(rtl::SRestored)
            : " / " + rtl::Format(rtl::LoadStr(rtl::SNotRestored),
                                  {plan.Dest, plan.Dest + std::string(kBackupFolder)});
    throw EZelUpdError(e.Message() + note);
  }
}

// Removes a work directory whatever happens after it was made.
class TWorkDirectory {
 public:
  explicit TWorkDirectory(std::string path) : path_(std::move(path)) {}
  ~TWorkDirectory() { (void)fileutil::DeleteTreeQuietly(path_); }
  TWorkDirectory(const TWorkDirectory&) = delete;
  TWorkDirectory& operator=(const TWorkDirectory&) = delete;

 private:
  std::string path_;
};

}  // namespace

CZelUpd::CZelUpd() : CZelUpd(rtl::ExtractFilePath(platform::GetModuleFileName())) {}
CZelUpd::CZelUpd(std::string toolDirectory) : toolDirectory_(std::move(toolDirectory)) {
  platform::ComInitialize();
}
CZelUpd::~CZelUpd() {
  platform::ComUninitialize();
}

void CZelUpd::UpdateFromDirectory(const std::string& source, const std::string& dest,
                                  bool deleteSource) {
  Install(source, dest, deleteSource, false);
}

void CZelUpd::Install(const std::string& source, const std::string& dest, bool removeSource,
                      bool ownSource) {
  const TInstallPlan plan = PlanInstallation(source, dest, ownSource);
  CheckZelWritable(dest);
  for (const std::string& name : plan.LeftOut) {
    rtl::WriteErrLn(
        rtl::Format(rtl::LoadStr(rtl::SNotInstalledDotName), {rtl::EscapeControlCharacters(name)}));
  }
  const bool wasRunning = !FindRunningZel().IsNull();
  try {
    TWaitNotices notices;
    // The file manager may stay busy for as long as it likes; only the user
    // ends this wait.
    while (!PrepareDestination(dest, &notices)) {
    }
    CheckInterrupted();
    InstallPlan(plan);
  } catch (const rtl::Exception&) {
    // A file manager the tool closed is not left closed.
    if (wasRunning && FindRunningZel().IsNull()) {
      StartZelQuietly(dest);
    }
    throw;
  }
  if (removeSource) {
    try {
      fileutil::DeleteTree(source);
    } catch (const rtl::Exception&) {
      StartZelQuietly(dest);
      throw;
    }
  }
  StartZel(dest);
}

std::string FindLargestMatch(const std::string& pattern) {
  std::string largest;
  platform::DirectorySearch search(pattern);
  platform::FindData entry;
  while (search.Next(entry)) {
    if ((entry.Attributes & platform::kFaDirectory) != 0) {
      continue;
    }
    // std::string compares as unsigned bytes, the longer name winning a tie.
    if (entry.Name > largest) {
      largest = entry.Name;
    }
  }
  std::string separators(1, rtl::PathDelim);
  separators += rtl::DriveDelim;
  return pattern.substr(0, rtl::LastDelimiter(separators, pattern)) + largest;
}

void CZelUpd::UpdateFromArchive(const std::string& source, const std::string& dest) {
  InstallArchive(FindLargestMatch(source), source, dest);
}

void CZelUpd::InstallArchive(const std::string& archive, const std::string& source,
                             const std::string& dest) {
  if (archive.empty() || !platform::FileExists(archive)) {
    throw EArchiveFileError(rtl::Format(rtl::LoadStr(rtl::SArchiveNotFound), {source}));
  }
  // A fresh temporary name, turned from a file into a directory.
  const std::string workDir =
      fileutil::MakeTempFileName(fileutil::GetTempDirectory(), kWorkDirPrefix);
  (void)platform::DeleteFile(workDir);
  if (platform::CreateDirectory(workDir).Failed()) {
    throw ECreateDirError(rtl::Format(rtl::LoadStr(rtl::SCreateDirFailed), {workDir}));
  }
  const TWorkDirectory removedInAnyCase(workDir);
  const int result = ExtractAll(archive, workDir);
  CheckInterrupted();
  // Whatever the library could not do leaves a release that is not whole:
  // nothing of it is installed, and the file manager is not touched.
  if (result != 0) {
    throw EArchiveFileError(rtl::Format(rtl::LoadStr(rtl::SExtractFailed),
                                        {archive, result, archive::ResultText(result)}));
  }
  if (!HoldsAFile(workDir)) {
    throw EArchiveFileError(rtl::Format(rtl::LoadStr(rtl::SNothingExtracted), {archive}));
  }
  Install(workDir, dest, true, true);
}

int ExtractAll(const std::string& archive, const std::string& dir) {
  archive::TArchiveFile archiveFile(nullptr);
  archiveFile.SetFileName(archive);
  archiveFile.SetOutputSize(kExtractOutputSize);
  archive::TArchiverOptions& options = archiveFile.Options();
  options.n = 1;
  options.y = 1;
  // The LHA builder insists on these two; 1 lets the library go past a
  // member it cannot write, and extract everything without asking.
  options.jse = 1;
  options.jso = 1;
  // Members counted on the terminal; a request to stop ends the extraction.
  TProgressLine progress(rtl::Format(rtl::LoadStr(rtl::SExtracting), {archive}),
                         rtl::LoadStr(rtl::SUnitFiles));
  std::uint64_t members = 0;
  archiveFile.OnProgress = [&](archive::TArchiveFile& /*sender*/, int state,
                               arcapi::TExtractingInfoEx* /*info*/, bool& abort) {
    if (state == arcapi::kExtractBegin) {
      progress.Update(++members, -1);
    }
    abort = abort || platform::Interrupted();
  };
  // Whatever the work directory holds afterwards is installed.
  return archiveFile.ExtractFiles(nullptr, nullptr, archive::FileItems{std::string(kAllMembers)},
                                  dir);
}

}  // namespace app
