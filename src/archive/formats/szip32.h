// The archiver of 7z archives, bound to 7-zip32.dll under the prefix
// "SevenZip". Its self-extracting archives are put together without the
// library, from one of 7-Zip's own modules.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "archive/archiver.h"
#include "archive/formats/bound_archiver.h"

namespace archive {

// The module put in front of a self-extracting 7z archive; empty means not
// chosen, and the first self-extracting build then sets it to "7z.sfx".
std::string& SevenZipSfxModule();
// A file put between the module and the archive; empty for none.
std::string& SevenZipSfxConfig();

// The modules that may be chosen as SevenZipSfxModule; the first is the default.
inline constexpr std::array<std::string_view, 5> SevenZipSfxModules{
    "7z.sfx", "7zC.sfx", "7zCon.sfx", "7zS.sfx", "7zSD.sfx"};

class TSevenZip32 : public TBoundArchiver<TArchiver, at7z> {
 public:
  static TArchiverDll* SevenZipDll() { return Binding(); }

  // Writes module [+ SevenZipSfxConfig] + archive as the archive name with
  // ".exe", in `dir` when one is given; the library is not used. The module
  // is looked for in 7-Zip's own directory first, then along the standard
  // search path. gw at 0 or below (a 16-bit self-extractor) is refused.
  // Returns 0 and leaves `commandLine` and `output` untouched.
  int MakeSfx(TWindowHandle window, const std::string& archiveFileName,
              const TArchiverOptions& options, const std::string& dir, std::string& commandLine,
              std::string& output) override;

  // The switches, "-o" with the directory, the user's options, the quoted
  // archive and the file list, after the command word ("x" becomes "e"
  // when x is 0).
  std::string BuildSevenZipCommand(const std::string& command, const std::string& archiveFileName,
                                   const TArchiverOptions& options, const std::string& dir,
                                   const FileItems& files, bool useResponseFile);

 protected:
  std::span<const TCommandPlan> CommandPlans() const override;
  std::string BuildCommand(const TCommandRequest& request) override;
};

// The directory 7-Zip is installed in, from the system's registry; empty
// where there is none.
std::string SevenZipDirectory();

// The full path of the self-extractor module: in `sevenZipDir` when it is
// there, otherwise along the standard search path; empty when not found.
std::string FindSevenZipSfxModule(const std::string& sevenZipDir, const std::string& module);

// Whether the file exists and the 7-Zip library opens it; never raises.
bool IsSevenZipArchive(const std::string& fileName);

}  // namespace archive
