#include "families/cab.h"

namespace archivers::cab {
namespace {

class CabinetFacts final : public MemberFacts {
 public:
  void Add(archive* /*reader*/, Member& member) override {
    member.Method = "CAB";
    // Cabinets keep DOS attributes, no Unix permissions.
    member.DosMade = true;
  }
};

}  // namespace

Plan CommandPlan(const ParsedCommand& parsed) {
  Plan plan = SwitchCommandPlan(Family::Cab, parsed);
  // libarchive writes no CAB.
  if (plan.What == Action::Extract && (parsed.Has("a") || parsed.Has("f"))) {
    plan.What = Action::Unsupported;
  }
  if (parsed.Has("o")) {
    plan.Extract.Policy = Overwrite::Replace;
  }
  return plan;
}

void EnableFormats(archive* reader) {
  archive_read_support_format_cab(reader);
}

std::unique_ptr<MemberFacts> OpenFacts(const std::string& /*hostPath*/) {
  return std::make_unique<CabinetFacts>();
}

}  // namespace archivers::cab
