#include "families/lha.h"

#include "lzh_reader.h"

namespace archivers::lha {

Plan CommandPlan(const ParsedCommand& parsed) {
  Plan plan;
  plan.Extract = BaseExtract(Family::Lha, parsed);
  ExtractRequest& request = plan.Extract;
  const std::string& word = parsed.Word;
  if (word == "x" || word == "e") {
    plan.What = Action::Extract;
    request.WithPaths = word == "x";
  } else if (word == "l" || word == "v") {
    plan.What = Action::List;
  } else if (word == "t") {
    plan.What = Action::Test;
  } else {
    plan.What = Action::Unsupported;
  }
  if (const std::optional<int> paths = NumberSwitch(parsed, "x")) {
    request.WithPaths = *paths != 0;
  }
  const std::optional<int> overwrite = NumberSwitch(parsed, "c");
  request.Policy = overwrite && *overwrite != 0 ? Overwrite::Replace : Overwrite::NewerOnly;
  request.Excludes = MemberPatterns(parsed.AllValues("jx"));
  return plan;
}

std::unique_ptr<MemberReader> OpenReader(const std::string& hostPath) {
  return std::make_unique<LzhReader>(hostPath);
}

}  // namespace archivers::lha
