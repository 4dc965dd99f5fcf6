// The update tool's command line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "rtl/stringlist.h"

namespace app {

struct TCommandLine {
  std::string NewZelPath;
  std::string DestZelPath;
  std::string DownPathName;
  bool DeleteSource = false;
};

// Fills the command line from the arguments (at least one). `ownDirectory`
// is the tool's own directory with its trailing delimiter, the destination
// when none is given. Raises rtl::EStringListError when "/DOWNPATH" has no
// value or an option in first place leaves no destination to read.
TCommandLine ParseCommandLine(const rtl::TStringList& arguments, const std::string& ownDirectory);

// The arguments of a raw Windows command line, after the program name:
// blanks and control characters separate, quotes group and are dropped, a
// pair of quotes at the start of an argument is skipped.
std::vector<std::string> SplitRawCommandLine(std::string_view commandLine);

}  // namespace app
