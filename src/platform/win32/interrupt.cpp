#include "platform/interrupt.h"

#include <atomic>

#include "platform/win32/windows_api.h"

namespace platform {
namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI NoteInterrupt(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      // The second request goes on to the system's handler, which ends
      // the process at once.
      return g_interrupted.exchange(true) ? FALSE : TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // The system ends the process as soon as this returns: holding on
      // lets the run reach its next safe point and end itself, within the
      // few seconds the system grants.
      g_interrupted.store(true);
      ::Sleep(INFINITE);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void WatchInterrupts() {
  ::SetConsoleCtrlHandler(&NoteInterrupt, TRUE);
}

bool Interrupted() {
  return g_interrupted.load();
}

void RaiseInterrupt() {
  g_interrupted.store(true);
}

void ClearInterrupt() {
  g_interrupted.store(false);
}

}  // namespace platform
