#include "platform/process.h"

#include "platform/win32/errors.h"
#include "platform/win32/handles.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

class Win32ProcessLauncher final : public ProcessLauncher {
 public:
  SysError CreateProcess(const std::string& commandLine, std::uint32_t creationFlags) override {
    const std::vector<std::string> arguments = SplitCommandLine(commandLine);
    if (arguments.empty() || arguments[0].empty()) {
      return win32::FromCode(ERROR_FILE_NOT_FOUND);
    }
    // CreateProcessA may write into the command line it is given.
    std::string line = commandLine;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, creationFlags, nullptr,
                         nullptr, &startup, &started) == FALSE) {
      return win32::LastError();
    }
    // The program runs on by itself; nothing here waits for it.
    const win32::KernelHandle process(started.hProcess);
    const win32::KernelHandle thread(started.hThread);
    return {};
  }
};

class Win32Sleeper final : public Sleeper {
 public:
  void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }
};

}  // namespace

std::uint32_t GetCurrentProcessId() {
  return ::GetCurrentProcessId();
}

template <>
ProcessLauncher& Seam<ProcessLauncher>::Default() {
  static Win32ProcessLauncher launcher;
  return launcher;
}

template <>
Sleeper& Seam<Sleeper>::Default() {
  static Win32Sleeper sleeper;
  return sleeper;
}

std::optional<std::string> RawCommandLine() {
  return std::string(::GetCommandLineA());
}

}  // namespace platform
