#include "families/rar.h"

namespace archivers::rar {
namespace {

class VersionFacts final : public MemberFacts {
 public:
  void Add(archive* reader, Member& member) override {
    member.Method = archive_format(reader) == ARCHIVE_FORMAT_RAR_V5 ? "RAR5" : "RAR";
  }
};

}  // namespace

Plan CommandPlan(const ParsedCommand& parsed) {
  Plan plan = SwitchCommandPlan(Family::Rar, parsed);
  ExtractRequest& request = plan.Extract;
  request.WithPaths = request.WithPaths && !parsed.Has("e");
  if (parsed.Has("u")) {
    request.Policy = Overwrite::NewerOnly;
  } else if (parsed.Has("y")) {
    request.Policy = Overwrite::Replace;
  }
  return plan;
}

void EnableFormats(archive* reader) {
  archive_read_support_format_rar(reader);
  archive_read_support_format_rar5(reader);
}

std::unique_ptr<MemberFacts> OpenFacts(const std::string& /*hostPath*/) {
  return std::make_unique<VersionFacts>();
}

}  // namespace archivers::rar
