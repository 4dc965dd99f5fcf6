#include "archive/formats/tar32.h"

#include <array>
#include <fstream>
#include <initializer_list>
#include <system_error>
#include <utility>
#include <vector>

#include "archive/errors.h"
#include "platform/fs.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "rtl/strtable.h"

namespace archive {
namespace {

constexpr std::string_view kSfxStub = "kmtarsef.exe";
constexpr std::string_view kSfxExtension = ".EXE";

// The library's type codes, as the detection reads them.
TArchiverType TarTypeOf(int code) {
  if (code == 1) {
    return atTar;
  }
  if (code >= 2 && code <= 5) {
    return atTgz;
  }
  if (code == 6 || code == 7) {
    return atBZ2;
  }
  return atNone;
}

std::string ChangeFileExt(std::string_view fileName, std::string_view extension,
                          std::string_view delimiters) {
  const std::string dotOrDelimiter = "." + std::string(delimiters);
  std::size_t end = rtl::LastDelimiter(dotOrDelimiter, fileName);
  if (end == 0 || fileName[end - 1] != '.') {
    end = fileName.size() + 1;
  }
  return std::string(fileName.substr(0, end - 1)) + std::string(extension);
}

std::string FileNamePart(std::string_view fileName, std::string_view delimiters) {
  return std::string(fileName.substr(rtl::LastDelimiter(delimiters, fileName)));
}

// --- The self-extracting file: whole files copied one after the other. ---

// A file read from its start; closed when it goes.
class SfxPart {
 public:
  // Only a file counts: a directory would read as an empty part.
  explicit SfxPart(std::string path) : path_(std::move(path)) {
    if (platform::FileExists(path_)) {
      in_.open(path_, std::ios::binary);
    }
    if (!in_.is_open()) {
      throw rtl::EFOpenError(rtl::Format(rtl::LoadStr(rtl::SFOpenErrorBare), {path_}));
    }
  }

  const std::string& Path() const { return path_; }
  std::ifstream& Stream() { return in_; }

 private:
  std::string path_;
  std::ifstream in_;
};

void CopyPart(SfxPart& part, std::ofstream& out, const std::string& outName) {
  std::vector<char> buffer(std::size_t{64} * 1024);
  std::ifstream& in = part.Stream();
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (in.bad()) {
      throw rtl::EReadError(rtl::Format(rtl::LoadStr(rtl::SFReadErrorBare), {part.Path()}));
    }
    out.write(buffer.data(), in.gcount());
    if (!out) {
      throw rtl::EWriteError(rtl::Format(rtl::LoadStr(rtl::SFWriteErrorBare), {outName}));
    }
  }
}

// Creates `outName` (replacing any file of that name) holding the parts in
// order. Every file is closed also on failure; a failed read or write
// raises and removes the partly written output.
void WriteSfxFile(const std::string& outName, std::initializer_list<SfxPart*> parts) {
  for (const SfxPart* part : parts) {
    // Two names of one file: writing the output would empty what it is made from.
    if (platform::SameFile(outName, part->Path())) {
      throw rtl::EFCreateError(rtl::Format(rtl::LoadStr(rtl::SFCreateError),
                                           {outName, rtl::LoadStr(rtl::STarSfxOutputInUse)}));
    }
  }
  std::ofstream out(outName, std::ios::binary | std::ios::trunc);
  if (!out.is_open()) {
    throw rtl::EFCreateError(rtl::Format(rtl::LoadStr(rtl::SFCreateErrorBare), {outName}));
  }
  try {
    for (SfxPart* part : parts) {
      CopyPart(*part, out, outName);
    }
    // Buffered bytes go out on close; a failure there loses them.
    out.close();
    if (out.fail()) {
      throw rtl::EWriteError(rtl::Format(rtl::LoadStr(rtl::SFWriteErrorBare), {outName}));
    }
  } catch (const rtl::Exception&) {
    // A truncated self-extractor would look finished; take it away.
    out.close();
    platform::DeleteFile(outName);
    throw;
  }
}

}  // namespace

std::string SfxFileName(const std::string& archiveFileName, std::string_view extension,
                        const std::string& dir, std::string_view delimiters) {
  std::string named = ChangeFileExt(archiveFileName, extension, delimiters);
  if (dir.empty()) {
    return named;
  }
  return TArchiver::JoinPath(dir, FileNamePart(named, delimiters), delimiters.front());
}

std::string SfxFileName(const std::string& archiveFileName, std::string_view extension,
                        const std::string& dir) {
  return SfxFileName(archiveFileName, extension, dir,
                     std::string(1, rtl::PathDelim) + std::string(rtl::DriveDelim));
}

std::string TTar32::BuildTarCommand(const std::string& command, const std::string& archiveFileName,
                                    const TArchiverOptions& options, const std::string& dir,
                                    const FileItems& files, bool useResponseFile) const {
  TCmdOpt opt;
  opt.SeparateValue = true;
  if (options.a > 0) {
    opt.Add("-AH");
  } else if (options.a == 0) {
    opt.Add("-I");
  }
  opt.AddFlag("-display-dialog=0", !HasOwnerWindow() && options.n > 0);
  opt.AddFlag("g", options.o > 0);
  // AddSwitch puts the first minus sign in front of these long names.
  opt.AddSwitch("-check-all-path=", options.p);
  opt.AddSwitch("-use-directory=", options.x);
  const auto compression = [&](std::string_view name) {
    if (options.jm >= 1) {
      opt.AddSwitch(name, options.jm);
    } else {
      opt.AddFlag(name, true);
    }
  };
  if (dynamic_cast<const TTgz32*>(this) != nullptr) {
    compression("z");
  } else if (dynamic_cast<const TBZ232*>(this) != nullptr) {
    compression("B");
  }
  opt.Add(options.UserOptions);
  opt.AddValue("f", archiveFileName);
  opt.AddDir("o", dir);
  AddFileList(opt, options, useResponseFile, files);
  return command + opt.Text;
}

std::span<const TCommandPlan> TTar32::CommandPlans() const {
  static constexpr std::array<TCommandPlan, 3> kPlans{{
      {TBuilder::Extract, "x", TResponseFileRule::OnUnpack},
      {TBuilder::Add, "c", TResponseFileRule::OnPack},
      {TBuilder::ExtractMem, "", TResponseFileRule::Never},
  }};
  return kPlans;
}

std::string TTar32::BuildCommand(const TCommandRequest& request) {
  return BuildTarCommand(request.Word, request.ArchiveFileName, request.Options, request.Dir,
                         request.Files, request.UseResponseFile);
}

int TTar32::MakeSfx(TWindowHandle /*window*/, const std::string& archiveFileName,
                    const TArchiverOptions& /*options*/, const std::string& dir,
                    std::string& /*commandLine*/, std::string& /*output*/) {
  if (dynamic_cast<const TBZ232*>(this) != nullptr) {
    throw EArchiver(rtl::LoadStr(rtl::STarBz2NoSfx));
  }
  const std::string stub = platform::SearchPath(std::string(kSfxStub));
  if (stub.empty()) {
    throw ESfxNoRequiredFile("tar/tgz", "", std::string(kSfxStub));
  }
  const std::string outName = SfxFileName(archiveFileName, kSfxExtension, dir);
  SfxPart archive(archiveFileName);
  SfxPart stubPart(stub);
  WriteSfxFile(outName, {&stubPart, &archive});
  return 0;
}

TArchiverType GetTarArchiveType(const std::string& fileName) {
  try {
    return TarTypeOf(TTar32::LoadedBinding().GetArchiveType(fileName));
  } catch (const rtl::Exception&) {
    return atNone;
  }
}

}  // namespace archive
