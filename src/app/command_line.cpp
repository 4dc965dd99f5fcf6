#include "app/command_line.h"

namespace app {
namespace {

bool IsSeparator(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

// One argument from `i` on; empty only when the line is used up.
std::string NextParam(std::string_view line, std::size_t& i) {
  while (true) {
    while (i < line.size() && IsSeparator(line[i])) {
      ++i;
    }
    if (i + 1 < line.size() && line[i] == '"' && line[i + 1] == '"') {
      i += 2;
    } else {
      break;
    }
  }
  std::string param;
  while (i < line.size() && !IsSeparator(line[i])) {
    if (line[i] == '"') {
      ++i;
      while (i < line.size() && line[i] != '"') {
        param += line[i++];
      }
      if (i < line.size()) {
        ++i;
      }
    } else {
      param += line[i++];
    }
  }
  return param;
}

}  // namespace

TCommandLine ParseCommandLine(const rtl::TStringList& arguments, const std::string& ownDirectory) {
  TCommandLine result;
  int limit = arguments.Count();
  const int deleteIndex = arguments.IndexOf("/DELETE");
  result.DeleteSource = deleteIndex >= 0;
  if (deleteIndex >= 0 && deleteIndex < limit) {
    limit = deleteIndex;
  }
  const int downPathIndex = arguments.IndexOf("/DOWNPATH");
  if (downPathIndex >= 0) {
    result.DownPathName = arguments.Get(downPathIndex + 1);
    if (downPathIndex < limit) {
      limit = downPathIndex;
    }
  }
  result.NewZelPath = arguments.Get(0);
  result.DestZelPath = limit == 1 ? ownDirectory : arguments.Get(1);
  return result;
}

std::vector<std::string> SplitRawCommandLine(std::string_view commandLine) {
  std::size_t i = 0;
  NextParam(commandLine, i);  // the program name
  std::vector<std::string> arguments;
  for (std::string param = NextParam(commandLine, i); !param.empty();
       param = NextParam(commandLine, i)) {
    arguments.push_back(std::move(param));
  }
  return arguments;
}

}  // namespace app
