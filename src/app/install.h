// Bringing a directory of new files into the installation: closing the
// running file manager, waiting for its executable, starting it again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/desktop.h"

namespace app {

inline constexpr std::string_view kZelWindowClass = "TZelForm";
inline constexpr std::string_view kZelExeName = "ZEL.EXE";
inline constexpr std::uint32_t kPollIntervalMs = 100;
inline constexpr int kConfirmPolls = 50;
inline constexpr int kMaxBusyFailures = 50;  // so at most 51 attempts

// Which waits the user has been told of, so that each is told once.
struct TWaitNotices {
  bool Close = false;
  bool Writable = false;
};

// The first top-level window of the file manager's class, or null.
platform::WindowHandle FindRunningZel();
// Asks the file manager to close and answers its confirmation. False when
// the confirmation has no Yes button to click. Every wait ends early with
// EInterrupted when the user asks the run to stop; `notices`, when given,
// has each wait said once on standard error.
bool CloseRunningZel(const platform::WindowHandle& window, TWaitNotices* notices = nullptr);
// True when the executable in `dest` is missing or writable.
bool PrepareDestination(const std::string& dest, TWaitNotices* notices = nullptr);
bool WaitZelWritable(const std::string& dest, TWaitNotices* notices = nullptr);
// Raises EFileCheckError when the executable in `dest` cannot be opened for
// writing for a reason other than being in use: checked before the file
// manager is closed.
void CheckZelWritable(const std::string& dest);
// Raises EInterrupted once the user has asked the run to stop.
void CheckInterrupted();
void StartZel(const std::string& dest);
void RunProgram(const std::string& commandLine);

// `dest` + delimiter + "ZEL.EXE".
std::string ZelExePath(const std::string& dest);

}  // namespace app
