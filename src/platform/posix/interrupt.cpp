#include "platform/interrupt.h"

#include <array>
#include <atomic>
#include <csignal>

namespace platform {
namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void NoteInterrupt(int /*signal*/) {
  g_interrupted.store(true);
}

}  // namespace

void WatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = &NoteInterrupt;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls go on; the next safe point looks at the note.
  // The handler goes after the first request, so a second one ends the
  // process.
  action.sa_flags = static_cast<int>(static_cast<unsigned>(SA_RESTART) | SA_RESETHAND);
  for (const int signal : std::array{SIGINT, SIGTERM, SIGHUP}) {
    sigaction(signal, &action, nullptr);
  }
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
