// The user's request to stop (Ctrl+C, a termination request, the terminal
// or console going away), noted so that the run stops at its next safe
// point instead of dying half-way.
#pragma once

namespace platform {

// From now on such a request is noted instead of ending the process; a
// second one ends it at once.
void WatchInterrupts();
// Whether a request has been noted.
bool Interrupted();
// Notes a request as the system would (tests).
void RaiseInterrupt();
// Forgets a noted request (tests).
void ClearInterrupt();

}  // namespace platform
