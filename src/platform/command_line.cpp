#include <string>

#include "platform/process.h"

namespace platform {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The program name follows simpler rules than the arguments: no backslash
// escapes, it ends at its closing quote or at the first blank.
std::size_t ReadProgramName(std::string_view line, std::string& name) {
  std::size_t i = 0;
  if (i < line.size() && line[i] == '"') {
    ++i;
    while (i < line.size() && line[i] != '"') {
      name += line[i++];
    }
    if (i < line.size()) {
      ++i;
    }
    return i;
  }
  while (i < line.size() && !IsBlank(line[i])) {
    name += line[i++];
  }
  return i;
}

std::size_t ReadArgument(std::string_view line, std::size_t i, std::string& argument) {
  bool quoted = false;
  while (i < line.size() && (quoted || !IsBlank(line[i]))) {
    if (line[i] == '\\') {
      std::size_t slashes = 0;
      while (i < line.size() && line[i] == '\\') {
        ++slashes;
        ++i;
      }
      if (i < line.size() && line[i] == '"') {
        argument.append(slashes / 2, '\\');
        if (slashes % 2 == 1) {
          argument += '"';
          ++i;
        }
      } else {
        argument.append(slashes, '\\');
      }
      continue;
    }
    if (line[i] == '"') {
      // A doubled quote inside a quoted stretch is a literal quote.
      if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        argument += '"';
        i += 2;
        continue;
      }
      quoted = !quoted;
      ++i;
      continue;
    }
    argument += line[i++];
  }
  return i;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> arguments;
  std::string program;
  std::size_t i = ReadProgramName(commandLine, program);
  arguments.push_back(program);
  while (true) {
    while (i < commandLine.size() && IsBlank(commandLine[i])) {
      ++i;
    }
    if (i >= commandLine.size()) {
      break;
    }
    std::string argument;
    i = ReadArgument(commandLine, i, argument);
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

}  // namespace platform
