#include "archive/formats/rar32.h"

#include "archive/errors.h"
#include "platform/fs.h"
#include "rtl/codepage.h"

namespace archive {

std::string TRar32::BuildRarCommand(const std::string& command, const std::string& archiveFileName,
                                    const TArchiverOptions& options, const std::string& dir,
                                    const FileItems& files, bool useResponseFile) {
  TCmdOpt opt;
  // An unset c (-1) counts as below 1.
  opt.AddFlag("u", options.c < 1);
  opt.AddFlag("y", options.m > 0);
  opt.AddFlag("s", options.p > 0);
  opt.Add(options.UserOptions);
  AddArchiveAndDest(opt, archiveFileName, dir);
  AddFileList(opt, options, useResponseFile, files);
  return command + opt.Text;
}

std::string TRar32::GetExtractCommand(TWindowHandle /*window*/, const std::string& archiveFileName,
                                      const TArchiverOptions& options, const std::string& dir,
                                      const FileItems& files, bool /*useResponseFile*/) {
  return BuildRarCommand(options.x == 0 ? "-e" : "-x", archiveFileName, options, dir, files,
                         options.ResFileUsage.Contains(ruOnUnpack));
}

std::string TRar32::GetExtractMemCommand(TWindowHandle /*window*/,
                                         const std::string& archiveFileName,
                                         const TArchiverOptions& options,
                                         const std::string& memberName) {
  return BuildRarCommand("", archiveFileName, options, "", FileItems{memberName}, false);
}

bool IsRarArchive(const std::string& fileName) {
  return TRar32::OpensArchive(fileName, false);
}

}  // namespace archive
