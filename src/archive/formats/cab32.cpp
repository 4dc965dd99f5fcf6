#include "archive/formats/cab32.h"

#include "archive/errors.h"
#include "platform/fs.h"
#include "rtl/codepage.h"

namespace archive {

std::string TCab32::BuildCabCommand(const std::string& command, const std::string& archiveFileName,
                                    const TArchiverOptions& options, const std::string& dir,
                                    const FileItems& files, bool useResponseFile) const {
  TCmdOpt opt;
  opt.AddFlag("o", options.c == 1);
  opt.AddFlag("i", options.n > 0 || HasOwnerWindow());
  opt.AddFlag("r", options.r > 0);
  opt.AddDir("h", options.w);
  opt.AddFlag("j", options.x == 0);
  opt.AddFlag("q", options.ji > 0);
  opt.Add(options.UserOptions);
  AddArchiveAndDest(opt, archiveFileName, dir);
  AddFileList(opt, options, useResponseFile, files);
  return command + opt.Text;
}

std::string TCab32::GetExtractCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                      const TArchiverOptions& options, const std::string& dir,
                                      const FileItems& files, bool /*useResponseFile*/) {
  return BuildCabCommand("-x", platform::ExpandFileName(archiveFileName), options, dir, files,
                         options.ResFileUsage.Contains(ruOnUnpack));
}

std::string TCab32::GetAddCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                  const TArchiverOptions& options, const std::string& dir,
                                  const FileItems& files, bool /*useResponseFile*/) {
  return BuildCabCommand("-a", archiveFileName, options, dir, files,
                         options.ResFileUsage.Contains(ruOnPack));
}

std::string TCab32::GetSfxCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                  const TArchiverOptions& options, const std::string& dir) {
  return BuildCabCommand("-f", archiveFileName, options, dir, FileItems{}, false);
}

std::string TCab32::GetExtractMemCommand(TWindowHandle /*window*/,
                                         const std::string& archiveFileName,
                                         const TArchiverOptions& options,
                                         const std::string& memberName) {
  return BuildCabCommand("", archiveFileName, options, "", FileItems{memberName}, false);
}

bool IsCabArchive(const std::string& fileName) {
  return TCab32::OpensArchive(fileName, false);
}

}  // namespace archive
