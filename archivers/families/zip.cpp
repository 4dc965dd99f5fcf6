#include "families/zip.h"

#include <optional>

#include "engine_error.h"
#include "platform/fs.h"
#include "probe.h"

namespace archivers::zip {
namespace {

// The method, sizes, CRC and DOS attributes libarchive keeps to itself.
class DirectoryFacts final : public MemberFacts {
 public:
  explicit DirectoryFacts(const std::string& hostPath) { probe_.Open(hostPath); }

  void Add(archive* /*reader*/, Member& member) override {
    if (!directory_ && probe_.IsOpen()) {
      directory_ = ZipDirectory::Read(probe_);
    }
    // A damaged local header would put a member under a name the archive
    // does not hold.
    if (directory_ && !directory_->Consistent()) {
      throw EngineError(arcapi::kErrorHeaderBroken,
                        "a local header differs from the central directory");
    }
    if (const auto facts = directory_ ? directory_->Take(member.Name) : std::nullopt) {
      member.Method = facts->Method;
      member.CompressedSize = facts->Compressed;
      member.Crc = facts->Crc;
      if (facts->Attributes) {
        member.Attributes = *facts->Attributes | (member.IsDirectory() ? kAttributeDirectory : 0);
        member.DosMade = true;
      }
    }
  }

 private:
  platform::InputFile probe_;
  std::optional<ZipDirectory> directory_;
};

PackMode PackModeOf(const ParsedCommand& parsed) {
  return parsed.Has("d")   ? PackMode::Delete
         : parsed.Has("f") ? PackMode::Freshen
         : parsed.Has("u") ? PackMode::Update
                           : PackMode::Add;
}

}  // namespace

Plan CommandPlan(const ParsedCommand& parsed) {
  Plan plan = SwitchCommandPlan(Family::Zip, parsed);
  // "-n" asks for the default.
  if (parsed.Has("o")) {
    plan.Extract.Policy = Overwrite::Replace;
  }
  return plan;
}

Plan PackPlan(const ParsedCommand& parsed) {
  Plan plan;
  if (parsed.Has("A")) {
    plan.What = Action::Unsupported;
    plan.Refusal = "adjusting a self-extracting archive is not supported";
    return plan;
  }
  plan.What = Action::Pack;
  PackRequest& pack = plan.Pack;
  pack.Format = PackFormat::Zip;
  pack.Mode = PackModeOf(parsed);
  pack.Archive = parsed.Archive;
  pack.BaseDirectory = parsed.Destination;
  pack.Names = pack.Mode == PackMode::Delete ? MemberPatterns(parsed.Patterns) : parsed.Patterns;
  pack.Rules.Sets = true;
  pack.Recurse = parsed.Has("r");
  pack.WildcardRecurse = pack.Recurse;
  pack.JunkPaths = parsed.Has("j");
  pack.DirectoryEntries = !parsed.Has("D");
  for (char digit = '0'; digit <= '9'; ++digit) {
    if (parsed.Has(std::string(1, digit))) {
      pack.Level = digit - '0';
    }
  }
  return plan;
}

void EnableFormats(archive* reader) {
  // The seekable reader trusts the central directory and finds it behind a
  // self-extracting stub.
  archive_read_support_format_zip_seekable(reader);
}

std::unique_ptr<MemberFacts> OpenFacts(const std::string& hostPath) {
  return std::make_unique<DirectoryFacts>(hostPath);
}

}  // namespace archivers::zip
