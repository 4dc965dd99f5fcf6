#include "command_line.h"

#include <algorithm>
#include <fstream>

#include "engine_error.h"
#include "rtl/mbcs.h"
#include "text.h"

namespace archivers {
namespace {

// A response file is a list of names, never anything large.
constexpr std::streamsize kMaxResponseFileSize = std::streamsize{16} * 1024 * 1024;

struct Token {
  std::string Text;
  bool Quoted = false;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::vector<Token> Tokenize(std::string_view line) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) {
      ++i;
    }
    if (i >= line.size()) {
      break;
    }
    Token token;
    bool inQuotes = false;
    while (i < line.size() && (inQuotes || !IsBlank(line[i]))) {
      if (line[i] == '"') {
        inQuotes = !inQuotes;
        token.Quoted = true;
      } else {
        token.Text += line[i];
      }
      ++i;
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

bool IsSwitch(const Token& token) {
  if (token.Text.size() < 2) {
    return false;
  }
  if (token.Text.front() == '-') {
    return true;
  }
  // "/x" style, but never a path: unquoted and with no further "/".
  return !token.Quoted && token.Text.front() == '/' && token.Text.find('/', 1) == std::string::npos;
}

std::vector<std::string> ReadResponseFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw EngineError(arcapi::kErrorNotExist, "cannot read the response file " + path);
  }
  std::string text(static_cast<std::size_t>(kMaxResponseFileSize) + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.gcount() > kMaxResponseFileSize) {
    throw EngineError(arcapi::kErrorTooManyFiles, "the response file is too large: " + path);
  }
  text.resize(static_cast<std::size_t>(in.gcount()));
  return ResponseFileNames(text);
}

void AddPattern(ParsedCommand& parsed, const std::string& name) {
  if (name.size() > 1 && name.front() == '@') {
    const std::vector<std::string> names = ReadResponseFile(name.substr(1));
    parsed.Patterns.insert(parsed.Patterns.end(), names.begin(), names.end());
  } else {
    parsed.Patterns.push_back(name);
  }
}

// Gives the names their roles.
void AssignNames(ParsedCommand& parsed, const std::vector<std::string>& names,
                 const Dialect& dialect) {
  std::size_t next = 0;
  const bool archiveBySwitch =
      !dialect.ArchiveSwitch.empty() && parsed.Values.contains(dialect.ArchiveSwitch);
  if (archiveBySwitch) {
    parsed.Archive = parsed.Values.at(dialect.ArchiveSwitch);
  } else if (next < names.size()) {
    parsed.Archive = names[next++];
  }
  const bool destinationBySwitch =
      !dialect.DestinationSwitch.empty() && parsed.Values.contains(dialect.DestinationSwitch);
  if (destinationBySwitch) {
    parsed.Destination = parsed.Values.at(dialect.DestinationSwitch);
  } else if (next < names.size() && EndsWithDelimiter(names[next]) && names[next][0] != '@') {
    parsed.Destination = names[next++];
  }
  for (; next < names.size(); ++next) {
    AddPattern(parsed, names[next]);
  }
}

}  // namespace

Dialect SwitchDialect() {
  return {};
}

Dialect WordDialect() {
  Dialect dialect;
  dialect.CommandWord = true;
  return dialect;
}

bool ParsedCommand::Has(std::string_view name) const {
  return std::find(Switches.begin(), Switches.end(), name) != Switches.end();
}

std::string ParsedCommand::ValueOf(std::string_view prefix, bool& found) const {
  found = false;
  std::string value;
  for (const std::string& item : Switches) {
    if (item.rfind(prefix, 0) == 0) {
      found = true;
      value = item.substr(prefix.size());
    }
  }
  return value;
}

std::vector<std::string> ParsedCommand::AllValues(std::string_view prefix) const {
  std::vector<std::string> values;
  for (const std::string& item : Switches) {
    if (item.size() > prefix.size() && item.rfind(prefix, 0) == 0) {
      values.push_back(item.substr(prefix.size()));
    }
  }
  return values;
}

ParsedCommand ParseCommandLine(std::string_view line, const Dialect& dialect) {
  const std::vector<Token> tokens = Tokenize(line);
  ParsedCommand parsed;
  std::vector<std::string> names;
  std::size_t i = 0;
  if (dialect.CommandWord && !tokens.empty() && !tokens[0].Quoted && !IsSwitch(tokens[0])) {
    parsed.Word = LowerAscii(tokens[0].Text);
    i = 1;
  }
  for (; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (!IsSwitch(token)) {
      names.push_back(token.Text);
      continue;
    }
    std::string body = token.Text.substr(1);
    const bool takesValue = std::find(dialect.ValueSwitches.begin(), dialect.ValueSwitches.end(),
                                      body) != dialect.ValueSwitches.end();
    if (takesValue && i + 1 < tokens.size() && !IsSwitch(tokens[i + 1])) {
      parsed.Values[body] = tokens[++i].Text;
    }
    parsed.Switches.push_back(std::move(body));
  }
  AssignNames(parsed, names, dialect);
  return parsed;
}

std::vector<std::string> ResponseFileNames(std::string_view text) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && IsBlank(line.front())) {
      line.remove_prefix(1);
    }
    while (!line.empty() && IsBlank(line.back())) {
      line.remove_suffix(1);
    }
    if (line.size() >= 2 && line.front() == '"') {
      const std::size_t close = line.find('"', 1);
      line = line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    }
    if (!line.empty()) {
      names.emplace_back(line);
    }
  }
  return names;
}

bool EndsWithDelimiter(std::string_view path) {
  return rtl::HasTrailingDelimiter(path, '/') || rtl::HasTrailingDelimiter(path, '\\');
}

}  // namespace archivers
