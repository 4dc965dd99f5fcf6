#include "archive/formats/cab32.h"

#include <array>

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

std::span<const TCommandPlan> TCab32::CommandPlans() const {
  static constexpr std::array<TCommandPlan, 4> kPlans{{
      {TBuilder::Extract, "-x", TResponseFileRule::OnUnpack},
      {TBuilder::Add, "-a", TResponseFileRule::OnPack},
      {TBuilder::Sfx, "-f", TResponseFileRule::Never},
      {TBuilder::ExtractMem, "", TResponseFileRule::Never},
  }};
  return kPlans;
}

std::string TCab32::BuildCommand(const TCommandRequest& request) {
  // Extraction names the archive in full; the other lines as it was given.
  const std::string archive = request.Builder == TBuilder::Extract
                                  ? platform::ExpandFileName(request.ArchiveFileName)
                                  : request.ArchiveFileName;
  return BuildCabCommand(request.Word, archive, request.Options, request.Dir, request.Files,
                         request.UseResponseFile);
}

bool IsCabArchive(const std::string& fileName) {
  return TCab32::OpensArchive(fileName, false);
}

}  // namespace archive
