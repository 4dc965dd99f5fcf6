#include "archive/formats/rar32.h"

#include <array>

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

std::span<const TCommandPlan> TRar32::CommandPlans() const {
  static constexpr std::array<TCommandPlan, 2> kPlans{{
      {TBuilder::Extract, "-x", TResponseFileRule::OnUnpack},
      {TBuilder::ExtractMem, "", TResponseFileRule::Never},
  }};
  return kPlans;
}

std::string TRar32::BuildCommand(const TCommandRequest& request) {
  // "-x" keeps the members' paths; "-e" (option x at 0) drops them.
  const bool dropPaths = request.Builder == TBuilder::Extract && request.Options.x == 0;
  return BuildRarCommand(dropPaths ? "-e" : request.Word, request.ArchiveFileName, request.Options,
                         request.Dir, request.Files, request.UseResponseFile);
}

bool IsRarArchive(const std::string& fileName) {
  return TRar32::OpensArchive(fileName, false);
}

}  // namespace archive
