#include "platform/com.h"

#include <objbase.h>

#include "platform/win32/windows_api.h"

namespace platform {
namespace {

// How many of this thread's initialisations succeeded: only those are
// undone, so a failed one (another apartment model) is never unbalanced.
thread_local int t_initialised = 0;

}  // namespace

void ComInitialize() {
  if (SUCCEEDED(::CoInitialize(nullptr))) {
    ++t_initialised;
  }
}

void ComUninitialize() {
  if (t_initialised > 0) {
    --t_initialised;
    ::CoUninitialize();
  }
}

}  // namespace platform
