// Member selection by Windows wildcard rules: "*" any run of characters
// (also across "/"), "?" one character, "*.*" everything (a trailing ".*"
// after "*" may match nothing, so names without a period match too). ASCII
// letters compare without regard to case. The ZIP family also reads
// "[...]" as a set ("[!...]" negated, "a-z" ranges), which is why its
// callers write a literal "[" as "[[]".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace archivers {

struct PatternRules {
  bool Sets = false;
};

// `pattern` and `name` are UTF-8.
bool WildcardMatch(std::string_view pattern, std::string_view name, PatternRules rules);

// A pattern as given by a caller (UTF-8): "\" becomes "/", a leading "./"
// and a trailing "/" go.
std::string NormalizePattern(std::string_view pattern);

// Whether `member` (a "/"-separated UTF-8 name) is chosen by one of the
// patterns: a pattern matches the member's whole name or one of its
// directories, so "sub" chooses everything under "sub". No pattern chooses
// every member.
bool PathSelected(const std::vector<std::string>& patterns, std::string_view member,
                  PatternRules rules);

// The same, but for exclusion: no pattern excludes nothing.
bool PathExcluded(const std::vector<std::string>& patterns, std::string_view member,
                  PatternRules rules);

}  // namespace archivers
