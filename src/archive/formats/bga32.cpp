#include "archive/formats/bga32.h"

#include "archive/errors.h"
#include "platform/fs.h"
#include "rtl/codepage.h"

namespace archive {

std::string TBGA32::BuildBgaCommand(const std::string& command, const std::string& archiveFileName,
                                    const TArchiverOptions& options, const std::string& dir,
                                    const FileItems& files, bool useResponseFile) const {
  TCmdOpt opt;
  opt.AddFlag("a", options.a > 0);
  opt.Add(options.c > 0 ? "-o" : "-n");
  opt.AddFlag("i", options.n > 0 || HasOwnerWindow());
  opt.AddFlag("r", options.r > 0);
  // An unset x (-1) counts as below 1.
  opt.AddFlag("j", options.x < 1);
  opt.AddSwitch("l", options.jm);
  opt.Add(options.UserOptions);
  AddArchiveAndDest(opt, archiveFileName, dir);
  AddFileList(opt, options, useResponseFile, files);
  return command + opt.Text;
}

std::string TBGA32::GetExtractCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                      const TArchiverOptions& options, const std::string& dir,
                                      const FileItems& files, bool useResponseFile) {
  return BuildBgaCommand("x", archiveFileName, options, dir, files, useResponseFile);
}

std::string TBGA32::GetAddCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                  const TArchiverOptions& options, const std::string& dir,
                                  const FileItems& files, bool useResponseFile) {
  return BuildBgaCommand("a", archiveFileName, options, dir, files, useResponseFile);
}

std::string TBGA32::GetDeleteCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                     const TArchiverOptions& options, const std::string& /*dir*/,
                                     const FileItems& files, bool /*useResponseFile*/) {
  return BuildBgaCommand("d", archiveFileName, options, "", files,
                         options.ResFileUsage.Contains(ruOnRemoveItem));
}

std::string TBGA32::GetSfxCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                  const TArchiverOptions& options, const std::string& dir) {
  return BuildBgaCommand("s", archiveFileName, options, dir, FileItems{},
                         options.ResFileUsage.Contains(ruOnRemoveItem));
}

bool IsBgaArchive(const std::string& fileName) {
  return TBGA32::OpensArchive(fileName, true);
}

}  // namespace archive
