#include <clocale>
#include <exception>

#include "app/entry.h"
#include "platform/interrupt.h"
#include "rtl/exceptions.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // Ctrl+C and termination requests stop the run where nothing is lost.
  platform::WatchInterrupts();
  rtl::TStringList arguments;
  for (int i = 1; i < argc; ++i) {
    arguments.Add(argv[i]);
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
