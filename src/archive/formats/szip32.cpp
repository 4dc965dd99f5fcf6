#include "archive/formats/szip32.h"

#include <array>
#include <vector>

#include "archive/errors.h"
#include "archive/sfx_file.h"
#include "platform/fs.h"
#include "platform/registry.h"
#include "rtl/exceptions.h"
#include "rtl/mbcs.h"
#include "rtl/strtable.h"

namespace archive {
namespace {

bool HasDirectoryPart(const std::string& fileName) {
  std::string delimiters(1, rtl::PathDelim);
  delimiters += rtl::DriveDelim;
  return rtl::LastDelimiter(delimiters, fileName) != 0;
}

}  // namespace

std::string& SevenZipSfxModule() {
  static std::string module;
  return module;
}

std::string& SevenZipSfxConfig() {
  static std::string config;
  return config;
}

std::string TSevenZip32::BuildSevenZipCommand(const std::string& command,
                                              const std::string& archiveFileName,
                                              const TArchiverOptions& options,
                                              const std::string& dir, const FileItems& files,
                                              bool useResponseFile) {
  const bool extracting = command == "x";
  TCmdOpt opt;
  // Overwrite modes mean something only when files are written out.
  if (extracting) {
    opt.AddFlag("aou", options.m == 2);
    opt.AddFlag("aos", options.jn > 0);
    opt.AddFlag("aoa", options.c > 0);
  }
  opt.Add("-ms=off");
  opt.AddFlag("hide", options.n > 0);
  if (options.r == 0) {
    opt.Add("-r-");
  } else if (options.r > 1) {
    opt.Add("-r");
  }
  opt.AddDir("w", options.w);
  opt.AddFlag("y", options.y > 0);
  opt.AddFiles("x!", FileItems{options.jx});
  opt.AddDir("o", dir);
  opt.Add(options.UserOptions);
  opt.AddValue("", archiveFileName);
  AddFileList(opt, options, useResponseFile, files);
  const std::string word = extracting && options.x == 0 ? std::string("e") : command;
  return word + opt.Text;
}

std::span<const TCommandPlan> TSevenZip32::CommandPlans() const {
  static constexpr std::array<TCommandPlan, 3> kPlans{{
      {TBuilder::Extract, "x", TResponseFileRule::OnUnpack},
      {TBuilder::Add, "u", TResponseFileRule::OnPack},
      {TBuilder::Delete, "d", TResponseFileRule::OnRemoveItem},
  }};
  return kPlans;
}

std::string TSevenZip32::BuildCommand(const TCommandRequest& request) {
  return BuildSevenZipCommand(request.Word, request.ArchiveFileName, request.Options, request.Dir,
                              request.Files, request.UseResponseFile);
}

int TSevenZip32::MakeSfx(TWindowHandle /*window*/, const std::string& archiveFileName,
                         const TArchiverOptions& options, const std::string& dir,
                         std::string& /*commandLine*/, std::string& /*output*/) {
  const std::string sevenZipDir = SevenZipDirectory();
  std::string& module = SevenZipSfxModule();
  if (module.empty()) {
    module = std::string(SevenZipSfxModules.front());
  }
  if (options.gw <= 0) {
    throw EArchiver(rtl::LoadStr(rtl::S7z16BitSfx));
  }
  const std::string moduleFile = FindSevenZipSfxModule(sevenZipDir, module);
  if (moduleFile.empty()) {
    throw ESfxNoRequiredFile("7z", "", module);
  }
  std::vector<std::string> parts{moduleFile};
  if (const std::string& config = SevenZipSfxConfig(); !config.empty()) {
    parts.push_back(config);
  }
  parts.push_back(archiveFileName);
  WriteSfxFile(SfxOutputFileName(archiveFileName, ".exe", dir), parts, TSfxTail::None);
  return 0;
}

std::string SevenZipDirectory() {
  return platform::ReadRegistryString(platform::RegistryRoot::LocalMachine, "SOFTWARE\\7-ZIP",
                                      "Path");
}

std::string FindSevenZipSfxModule(const std::string& sevenZipDir, const std::string& module) {
  // A module named with a directory is taken where it is named.
  if (!sevenZipDir.empty() && !module.empty() && !HasDirectoryPart(module)) {
    const std::string candidate = TArchiver::JoinPath(sevenZipDir, module);
    if (platform::FileExists(candidate)) {
      return platform::ExpandFileName(candidate);
    }
  }
  return platform::SearchPath(module);
}

bool IsSevenZipArchive(const std::string& fileName) {
  return TSevenZip32::OpensArchive(fileName, true);
}

}  // namespace archive
