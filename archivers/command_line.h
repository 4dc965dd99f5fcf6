// The command lines the framework builds: an optional command word, then
// switches (beginning with "-", or "/" for a bare word with no further
// "/"), names and "@file" response files, in any order. Items are separated
// by blanks; double quotes group (and are removed), so a quoted item that
// begins with "-" is still a switch ("-w/work/" quoted). The first name is
// the archive, a name right after it that ends in a path delimiter is the
// destination, the rest are patterns.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace archivers {

struct Dialect {
  // The first unquoted item that is not a switch is the command word.
  bool CommandWord = false;
  // Switches whose value is the next item ("-f" "archive").
  std::vector<std::string> ValueSwitches;
  // The switch whose value, when given, is the archive; the names are then
  // all destination and patterns.
  std::string ArchiveSwitch;
  // The switch whose value is the destination directory.
  std::string DestinationSwitch;
};

// The two plain dialects: switches and names only, or a command word first.
Dialect SwitchDialect();
Dialect WordDialect();

struct ParsedCommand {
  std::string Word;                   // lower case; empty when there is none
  std::vector<std::string> Switches;  // without the leading "-" or "/"
  std::map<std::string, std::string> Values;
  std::string Archive;                // host code page, as given
  std::string Destination;            // host code page, with its delimiter
  std::vector<std::string> Patterns;  // host code page, response files read

  bool Has(std::string_view name) const;
  // The text after `prefix` of the last switch that begins with it; empty
  // when none (`found` tells).
  std::string ValueOf(std::string_view prefix, bool& found) const;
  // Every switch text after `prefix`, in order.
  std::vector<std::string> AllValues(std::string_view prefix) const;
};

// Splits the line into items; raises EngineError (not exist) when a
// response file cannot be read.
ParsedCommand ParseCommandLine(std::string_view line, const Dialect& dialect);

// The names of a response file's text: one a line, quoted or not, blank
// lines skipped, CRLF or LF.
std::vector<std::string> ResponseFileNames(std::string_view text);

// Whether a host path ends in a path delimiter ("/" or "\").
bool EndsWithDelimiter(std::string_view path);

}  // namespace archivers
