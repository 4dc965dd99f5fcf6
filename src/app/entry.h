// The program entry: usage text, source dispatch and the reporting step.
#pragma once

#include <string>
#include <vector>

#include "rtl/stringlist.h"

namespace app {

enum class SourceKind { Page, Directory, Archive };

inline constexpr const char* kDownloadPageUrl = "http://www.example.com/zel/download.htm";

void PrintUsage();
SourceKind SourceKindOf(const std::string& source);

// Runs the tool on its arguments (without the program name) and returns
// the exit code. A failing update is reported here; a command line that
// cannot be parsed raises rtl::EStringListError before any work.
int RunZelUpd(const rtl::TStringList& arguments);

// The runtime's last-resort report of an exception that no step handled.
void ReportUnhandled(std::string_view className, std::string_view message);

}  // namespace app
