#include <clocale>
#include <exception>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/entry.h"
#include "platform/interrupt.h"
#include "platform/process.h"
#include "rtl/exceptions.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // Ctrl+C and termination requests stop the run where nothing is lost.
  platform::WatchInterrupts();
  rtl::TStringList arguments;
  // Windows keeps the command line whole: it is split by the tool's own
  // rules; elsewhere the system's split is taken.
  if (const std::optional<std::string> raw = platform::RawCommandLine()) {
    for (const std::string& argument : app::SplitRawCommandLine(*raw)) {
      arguments.Add(argument);
    }
  } else {
    for (int i = 1; i < argc; ++i) {
      arguments.Add(argv[i]);
    }
  }
  try {
    return app::RunZelUpd(arguments);
  } catch (const rtl::Exception& e) {
    app::ReportUnhandled(e.ClassName(), e.Message());
  } catch (const std::exception& e) {
    app::ReportUnhandled("Exception", e.what());
  }
  return 1;
}
