#include "families/seven_zip.h"

namespace archivers::seven_zip {
namespace {

class MethodFacts final : public MemberFacts {
 public:
  void Add(archive* /*reader*/, Member& member) override { member.Method = "7z"; }
};

Overwrite Policy(const ParsedCommand& parsed) {
  Overwrite policy = parsed.Has("y") ? Overwrite::Replace : Overwrite::Skip;
  // The last overwrite switch counts.
  for (const std::string& item : parsed.Switches) {
    if (item == "aoa") {
      policy = Overwrite::Replace;
    } else if (item == "aos") {
      policy = Overwrite::Skip;
    } else if (item == "aou") {
      policy = Overwrite::Rename;
    }
  }
  return policy;
}

PackRequest Packing(const ParsedCommand& parsed, PackMode mode, const std::string& directory) {
  PackRequest pack;
  pack.Format = PackFormat::SevenZip;
  pack.Mode = mode;
  pack.Archive = parsed.Archive;
  pack.BaseDirectory = directory;
  pack.Names = parsed.Patterns;
  if (!parsed.Destination.empty() && directory.empty()) {
    pack.BaseDirectory = parsed.Destination;
  }
  pack.WildcardRecurse = parsed.Has("r");
  pack.Excludes = MemberPatterns(parsed.AllValues("x!"));
  bool found = false;
  const std::string level = parsed.ValueOf("mx", found);
  const std::string digits = level.rfind('=', 0) == 0 ? level.substr(1) : level;
  if (found && digits.size() == 1 && digits[0] >= '0' && digits[0] <= '9') {
    pack.Level = digits[0] - '0';
  }
  if (mode == PackMode::Delete) {
    pack.Names = MemberPatterns(parsed.Patterns);
  }
  return pack;
}

}  // namespace

Plan CommandPlan(const ParsedCommand& parsed) {
  Plan plan;
  plan.Extract = BaseExtract(Family::SevenZip, parsed);
  bool found = false;
  const std::string directory = parsed.ValueOf("o", found);
  if (found) {
    plan.Extract.Destination = directory;
  }
  plan.Extract.Policy = Policy(parsed);
  plan.Extract.Excludes = MemberPatterns(parsed.AllValues("x!"));
  for (std::string& include : MemberPatterns(parsed.AllValues("i!"))) {
    plan.Extract.Patterns.push_back(std::move(include));
  }
  const std::string& word = parsed.Word;
  if (word == "x" || word == "e") {
    plan.Extract.WithPaths = word == "x";
  } else if (word == "l") {
    plan.What = Action::List;
  } else if (word == "t") {
    plan.What = Action::Test;
  } else if (word == "u" || word == "a" || word == "d") {
    plan.What = Action::Pack;
    const PackMode mode = word == "u"   ? PackMode::Update
                          : word == "a" ? PackMode::Add
                                        : PackMode::Delete;
    plan.Pack = Packing(parsed, mode, directory);
  } else {
    plan.What = Action::Unsupported;
  }
  return plan;
}

void EnableFormats(archive* reader) {
  archive_read_support_format_7zip(reader);
}

std::unique_ptr<MemberFacts> OpenFacts(const std::string& /*hostPath*/) {
  return std::make_unique<MethodFacts>();
}

}  // namespace archivers::seven_zip
