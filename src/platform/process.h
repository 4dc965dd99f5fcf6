// Starting programs and sleeping, behind seams that tests can replace.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/seam.h"

namespace platform {

inline constexpr std::uint32_t kCreateDefaultErrorMode = 0x04000000;

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Starts the program that `commandLine` names (the first argument, by the
  // Windows rules) with the tool's environment and current directory, no
  // inherited handles, and does not wait for it.
  virtual SysError CreateProcess(const std::string& commandLine, std::uint32_t creationFlags) = 0;
};

class Sleeper {
 public:
  virtual ~Sleeper() = default;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// The backend's default instances.
template <>
ProcessLauncher& Seam<ProcessLauncher>::Default();
template <>
Sleeper& Seam<Sleeper>::Default();

using ScopedProcessLauncher = ScopedOverride<ProcessLauncher>;
using ScopedSleeper = ScopedOverride<Sleeper>;

inline SysError CreateProcess(const std::string& commandLine, std::uint32_t creationFlags) {
  return Seam<ProcessLauncher>::Current().CreateProcess(commandLine, creationFlags);
}
inline void Sleep(std::uint32_t milliseconds) {
  Seam<Sleeper>::Current().Sleep(milliseconds);
}

// The running program's process id.
std::uint32_t GetCurrentProcessId();

// The program's command line as the system keeps it whole (Windows:
// GetCommandLineA), for the program's own splitting rules; nullopt where
// the system hands over the arguments already split (Linux).
std::optional<std::string> RawCommandLine();

// Splits a command line as a Windows program's start-up code does: blanks
// separate arguments, double quotes group, 2n backslashes before a quote
// give n backslashes, 2n+1 give n and a literal quote. The program name
// (first argument) ends at its closing quote or first blank.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace platform
