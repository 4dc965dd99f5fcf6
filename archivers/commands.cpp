#include "commands.h"

#include <algorithm>

#include "command_line.h"
#include "engine_error.h"
#include "pack.h"

namespace archivers {
namespace {

enum class Action { Extract, List, Test, Pack, Unsupported };

struct Plan {
  Action What = Action::Extract;
  ExtractRequest Extract;
  PackRequest Pack;
};

Dialect DialectOf(Family family) {
  Dialect dialect;
  switch (family) {
    case Family::Lha:
    case Family::SevenZip:
      dialect.CommandWord = true;
      break;
    case Family::Tar:
      dialect.CommandWord = true;
      dialect.ValueSwitches = {"f", "o"};
      dialect.ArchiveSwitch = "f";
      dialect.DestinationSwitch = "o";
      break;
    case Family::Zip:
    case Family::Cab:
    case Family::Rar:
      break;
  }
  return dialect;
}

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

// Switch of a number: "-x0" gives 0; nullopt when absent or not a number.
std::optional<int> NumberSwitch(const ParsedCommand& parsed, std::string_view name) {
  bool found = false;
  const std::string value = parsed.ValueOf(name, found);
  if (!found || value.empty() ||
      !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  return std::stoi(value.substr(0, 6));
}

Plan LhaPlan(const ParsedCommand& parsed) {
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

// ZIP, CAB and RAR put the command among the switches.
Plan SwitchCommandPlan(Family family, const ParsedCommand& parsed) {
  Plan plan;
  plan.Extract = BaseExtract(family, parsed);
  ExtractRequest& request = plan.Extract;
  if (parsed.Has("l") || parsed.Has("v")) {
    plan.What = Action::List;
  } else if (parsed.Has("t")) {
    plan.What = Action::Test;
  } else if (family == Family::Cab && (parsed.Has("a") || parsed.Has("f"))) {
    plan.What = Action::Unsupported;
  }
  request.WithPaths = !parsed.Has("j") && !(family == Family::Rar && parsed.Has("e"));
  request.Policy = Overwrite::Skip;
  if (family == Family::Rar) {
    if (parsed.Has("u")) {
      request.Policy = Overwrite::NewerOnly;
    } else if (parsed.Has("y")) {
      request.Policy = Overwrite::Replace;
    }
  } else if (parsed.Has("o")) {
    request.Policy = Overwrite::Replace;
  } else if (parsed.Has("n")) {
    request.Policy = Overwrite::Skip;
  }
  return plan;
}

std::optional<int> TarLevel(const ParsedCommand& parsed, std::string_view name) {
  for (const std::string& item : parsed.Switches) {
    if (item.rfind(name, 0) != 0) {
      continue;
    }
    const std::string rest = item.substr(name.size());
    if (rest.empty()) {
      return -1;
    }
    if (rest.size() == 1 && rest[0] >= '0' && rest[0] <= '9') {
      return rest[0] - '0';
    }
  }
  return std::nullopt;
}

void TarFilterFromSwitches(const ParsedCommand& parsed, PackRequest& pack) {
  pack.Filter = TarFilterFor(parsed.Archive);
  const std::pair<std::string_view, TarFilter> switches[] = {{"z", TarFilter::Gzip},
                                                             {"B", TarFilter::Bzip2},
                                                             {"j", TarFilter::Bzip2},
                                                             {"Z", TarFilter::Compress},
                                                             {"J", TarFilter::Xz}};
  for (const auto& [name, filter] : switches) {
    if (const std::optional<int> level = TarLevel(parsed, name)) {
      pack.Filter = filter;
      pack.Level = *level;
    }
  }
}

Plan TarPlan(const ParsedCommand& parsed) {
  Plan plan;
  plan.Extract = BaseExtract(Family::Tar, parsed);
  plan.Extract.Policy = Overwrite::Replace;
  bool found = false;
  const std::string useDirectory = parsed.ValueOf("-use-directory=", found);
  plan.Extract.WithPaths = !found || useDirectory != "0";
  const std::string& word = parsed.Word;
  if (word == "x" || word == "e") {
    plan.What = Action::Extract;
    plan.Extract.WithPaths = plan.Extract.WithPaths && word == "x";
  } else if (word == "t" || word == "l") {
    plan.What = Action::List;
  } else if (word == "c") {
    plan.What = Action::Pack;
    PackRequest& pack = plan.Pack;
    pack.Format = PackFormat::Tar;
    pack.Mode = PackMode::Create;
    pack.Archive = parsed.Archive;
    pack.BaseDirectory = parsed.Destination;
    pack.Names = parsed.Patterns;
    TarFilterFromSwitches(parsed, pack);
  } else {
    plan.What = Action::Unsupported;
  }
  return plan;
}

Overwrite SevenZipPolicy(const ParsedCommand& parsed) {
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

PackRequest SevenZipPack(const ParsedCommand& parsed, PackMode mode, const std::string& directory) {
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

Plan SevenZipPlan(const ParsedCommand& parsed) {
  Plan plan;
  plan.Extract = BaseExtract(Family::SevenZip, parsed);
  bool found = false;
  const std::string directory = parsed.ValueOf("o", found);
  if (found) {
    plan.Extract.Destination = directory;
  }
  plan.Extract.Policy = SevenZipPolicy(parsed);
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
    plan.Pack = SevenZipPack(parsed, mode, directory);
  } else {
    plan.What = Action::Unsupported;
  }
  return plan;
}

Plan PlanOf(Family family, const ParsedCommand& parsed) {
  switch (family) {
    case Family::Lha:
      return LhaPlan(parsed);
    case Family::Tar:
      return TarPlan(parsed);
    case Family::SevenZip:
      return SevenZipPlan(parsed);
    case Family::Zip:
    case Family::Cab:
    case Family::Rar:
      break;
  }
  return SwitchCommandPlan(family, parsed);
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
  output.Line("command not supported");
  return arcapi::kErrorNotSupported;
}

void RequireArchive(const std::string& archive) {
  if (archive.empty()) {
    throw EngineError(arcapi::kErrorArchiveFileOpen, "no archive file named");
  }
}

}  // namespace

int RunCommand(Family family, std::string_view line, OutputText& output) {
  const ParsedCommand parsed = ParseCommandLine(line, DialectOf(family));
  const Plan plan = PlanOf(family, parsed);
  if (plan.What != Action::Unsupported) {
    RequireArchive(parsed.Archive);
  }
  return RunPlan(family, plan, output);
}

int RunZipPackCommand(std::string_view line, OutputText& output) {
  const ParsedCommand parsed = ParseCommandLine(line, DialectOf(Family::Zip));
  if (parsed.Has("A")) {
    output.Line("adjusting a self-extracting archive is not supported");
    return arcapi::kErrorNotSupported;
  }
  RequireArchive(parsed.Archive);
  PackRequest pack;
  pack.Format = PackFormat::Zip;
  pack.Mode = parsed.Has("d")   ? PackMode::Delete
              : parsed.Has("f") ? PackMode::Freshen
              : parsed.Has("u") ? PackMode::Update
                                : PackMode::Add;
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
  return Pack(pack, output);
}

int RunExtractMem(Family family, std::string_view line, const MemoryTarget& target) {
  const ParsedCommand parsed = ParseCommandLine(line, DialectOf(family));
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
