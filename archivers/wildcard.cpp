#include "wildcard.h"

#include "text.h"

namespace archivers {
namespace {

char32_t Fold(char32_t c) {
  return (c >= U'A' && c <= U'Z') ? c - U'A' + U'a' : c;
}

// The end of the set that starts at `open` ("["), or npos when it is not
// closed (then "[" is an ordinary character).
std::size_t SetEnd(const std::u32string& pattern, std::size_t open) {
  std::size_t i = open + 1;
  if (i < pattern.size() && pattern[i] == U'!') {
    ++i;
  }
  // A "]" right after the opening belongs to the set.
  if (i < pattern.size() && pattern[i] == U']') {
    ++i;
  }
  while (i < pattern.size() && pattern[i] != U']') {
    ++i;
  }
  return i < pattern.size() ? i : std::u32string::npos;
}

bool InSet(const std::u32string& pattern, std::size_t open, std::size_t close, char32_t c) {
  std::size_t i = open + 1;
  bool negated = false;
  if (pattern[i] == U'!') {
    negated = true;
    ++i;
  }
  bool found = false;
  const char32_t folded = Fold(c);
  while (i < close) {
    const char32_t first = Fold(pattern[i]);
    if (i + 2 < close && pattern[i + 1] == U'-') {
      const char32_t last = Fold(pattern[i + 2]);
      found = found || (folded >= first && folded <= last);
      i += 3;
    } else {
      found = found || folded == first;
      ++i;
    }
  }
  return found != negated;
}

// Matches one pattern item at `p` against `c`; `next` receives the index
// after the item.
bool ItemMatches(const std::u32string& pattern, std::size_t p, char32_t c, PatternRules rules,
                 std::size_t& next) {
  if (rules.Sets && pattern[p] == U'[') {
    const std::size_t close = SetEnd(pattern, p);
    if (close != std::u32string::npos) {
      next = close + 1;
      return InSet(pattern, p, close, c);
    }
  }
  next = p + 1;
  return pattern[p] == U'?' || Fold(pattern[p]) == Fold(c);
}

// The usual greedy match with one backtracking point: linear in practice,
// never recursive.
bool Match(const std::u32string& pattern, const std::u32string& name, PatternRules rules) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starP = std::u32string::npos;
  std::size_t starN = 0;
  while (n < name.size()) {
    std::size_t next = 0;
    if (p < pattern.size() && pattern[p] == U'*') {
      starP = ++p;
      starN = n;
      continue;
    }
    if (p < pattern.size() && ItemMatches(pattern, p, name[n], rules, next)) {
      p = next;
      ++n;
      continue;
    }
    if (starP == std::u32string::npos) {
      return false;
    }
    p = starP;
    n = ++starN;
  }
  while (p < pattern.size() && pattern[p] == U'*') {
    ++p;
  }
  return p == pattern.size();
}

bool AnyLevelMatches(const std::vector<std::string>& patterns, std::string_view member,
                     PatternRules rules) {
  const std::vector<std::string> components = SplitPath(member);
  for (const std::string& pattern : patterns) {
    // The member itself, then each of its directories.
    for (std::size_t count = components.size(); count > 0; --count) {
      if (WildcardMatch(pattern, JoinPath(components, count), rules)) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name, PatternRules rules) {
  std::u32string decoded = DecodeUtf8(pattern);
  // "*.*" and "x*.*" also match names without a period.
  if (decoded.size() >= 3 && decoded.compare(decoded.size() - 3, 3, U"*.*") == 0) {
    decoded.resize(decoded.size() - 2);
  }
  return Match(decoded, DecodeUtf8(name), rules);
}

std::string NormalizePattern(std::string_view pattern) {
  std::string normalized(pattern);
  for (char& c : normalized) {
    if (c == '\\') {
      c = '/';
    }
  }
  while (normalized.rfind("./", 0) == 0) {
    normalized.erase(0, 2);
  }
  while (normalized.size() > 1 && normalized.back() == '/') {
    normalized.pop_back();
  }
  return normalized;
}

bool PathSelected(const std::vector<std::string>& patterns, std::string_view member,
                  PatternRules rules) {
  return patterns.empty() || AnyLevelMatches(patterns, member, rules);
}

bool PathExcluded(const std::vector<std::string>& patterns, std::string_view member,
                  PatternRules rules) {
  return !patterns.empty() && AnyLevelMatches(patterns, member, rules);
}

}  // namespace archivers
