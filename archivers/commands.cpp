#include "commands.h"

#include <algorithm>

#include "engine_error.h"

namespace archivers {
namespace {

ParsedCommand ParseFamilyLine(Family family, std::string_view line) {
  return ParseCommandLine(line, TraitsOf(family).LineDialect());
}

int RunPlan(Family family, const Plan& plan, OutputText& output) {
  switch (plan.What) {
    case Action::Extract:
      return ExtractToDisk(family, plan.Extract, output);
    case Action::List:
      return ListMembers(family, plan.Extract, output);
    case Action::Test:
      return TestMembers(family, plan.Extract, output);
    case Action::Pack:
      return Pack(plan.Pack, output);
    case Action::Unsupported:
      break;
  }
  output.Line(plan.Refusal);
  return arcapi::kErrorNotSupported;
}

void RequireArchive(const std::string& archive) {
  if (archive.empty()) {
    throw EngineError(arcapi::kErrorArchiveFileOpen, "no archive file named");
  }
}

int RunPlanOf(Family family, Plan (*planOf)(const ParsedCommand&), std::string_view line,
              OutputText& output) {
  const ParsedCommand parsed = ParseFamilyLine(family, line);
  const Plan plan = planOf(parsed);
  if (plan.What != Action::Unsupported) {
    RequireArchive(parsed.Archive);
  }
  return RunPlan(family, plan, output);
}

}  // namespace

std::vector<std::string> MemberPatterns(const std::vector<std::string>& hostPatterns) {
  std::vector<std::string> patterns;
  for (const std::string& pattern : hostPatterns) {
    std::string normalized = NormalizePattern(FromHost(pattern));
    if (!normalized.empty()) {
      patterns.push_back(std::move(normalized));
    }
  }
  return patterns;
}

ExtractRequest BaseExtract(Family family, const ParsedCommand& parsed) {
  ExtractRequest request;
  request.Archive = parsed.Archive;
  request.Destination = parsed.Destination;
  request.Patterns = MemberPatterns(parsed.Patterns);
  request.Rules.Sets = TraitsOf(family).PatternSets;
  return request;
}

std::optional<int> NumberSwitch(const ParsedCommand& parsed, std::string_view name) {
  bool found = false;
  const std::string value = parsed.ValueOf(name, found);
  if (!found || value.empty() ||
      !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  return std::stoi(value.substr(0, 6));
}

Plan SwitchCommandPlan(Family family, const ParsedCommand& parsed) {
  Plan plan;
  plan.Extract = BaseExtract(family, parsed);
  if (parsed.Has("l") || parsed.Has("v")) {
    plan.What = Action::List;
  } else if (parsed.Has("t")) {
    plan.What = Action::Test;
  }
  plan.Extract.WithPaths = !parsed.Has("j");
  plan.Extract.Policy = Overwrite::Skip;
  return plan;
}

int RunCommand(Family family, std::string_view line, OutputText& output) {
  return RunPlanOf(family, TraitsOf(family).CommandPlan, line, output);
}

int RunPackCommand(Family family, std::string_view line, OutputText& output) {
  const auto packPlan = TraitsOf(family).PackPlan;
  if (packPlan == nullptr) {
    return arcapi::kErrorNotSupported;
  }
  return RunPlanOf(family, packPlan, line, output);
}

int RunExtractMem(Family family, std::string_view line, const MemoryTarget& target) {
  const ParsedCommand parsed = ParseFamilyLine(family, line);
  RequireArchive(parsed.Archive);
  const std::vector<std::string> patterns = MemberPatterns(parsed.Patterns);
  if (patterns.empty()) {
    throw EngineError(arcapi::kErrorNotExist, "no member named");
  }
  PatternRules rules;
  rules.Sets = TraitsOf(family).PatternSets;
  return ExtractToMemory(family, parsed.Archive, patterns.front(), rules, target);
}

}  // namespace archivers
