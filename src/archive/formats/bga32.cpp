#include "archive/formats/bga32.h"

#include <array>

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

std::span<const TCommandPlan> TBGA32::CommandPlans() const {
  static constexpr std::array<TCommandPlan, 4> kPlans{{
      {TBuilder::Extract, "x", TResponseFileRule::Caller},
      {TBuilder::Add, "a", TResponseFileRule::Caller},
      {TBuilder::Delete, "d", TResponseFileRule::OnRemoveItem},
      {TBuilder::Sfx, "s", TResponseFileRule::OnRemoveItem},
  }};
  return kPlans;
}

std::string TBGA32::BuildCommand(const TCommandRequest& request) {
  return BuildBgaCommand(request.Word, request.ArchiveFileName, request.Options, request.Dir,
                         request.Files, request.UseResponseFile);
}

bool IsBgaArchive(const std::string& fileName) {
  return TBGA32::OpensArchive(fileName, true);
}

}  // namespace archive
