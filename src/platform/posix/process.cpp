#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/posix/errors.h"
#include "platform/process.h"

extern char** environ;  // NOLINT: the process's environment, handed on unchanged

namespace platform {
namespace {

// posix_spawn's file actions, destroyed when they go.
class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t* Get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_{};
};

class PosixProcessLauncher final : public ProcessLauncher {
 public:
  SysError CreateProcess(const std::string& commandLine, std::uint32_t /*creationFlags*/) override {
    std::vector<std::string> arguments = SplitCommandLine(commandLine);
    if (arguments.empty() || arguments[0].empty()) {
      return posix::FromErrno(ENOENT);
    }
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (std::string& argument : arguments) {
      argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    // No handles are inherited: the child gets none of our descriptors, and
    // its standard streams go to /dev/null as a windowed program's would.
    SpawnActions actions;
    for (int fd = 0; fd <= 2; ++fd) {
      posix_spawn_file_actions_addopen(actions.Get(), fd, "/dev/null",
                                       fd == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    posix_spawn_file_actions_addclosefrom_np(actions.Get(), 3);

    pid_t pid = 0;
    const bool hasPath = arguments[0].find('/') != std::string::npos;
    const int rc = hasPath
                       ? posix_spawn(&pid, argv[0], actions.Get(), nullptr, argv.data(), environ)
                       : posix_spawnp(&pid, argv[0], actions.Get(), nullptr, argv.data(), environ);
    if (rc != 0) {
      return posix::FromErrno(rc);
    }
    return {};
  }
};

class PosixSleeper final : public Sleeper {
 public:
  void Sleep(std::uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

}  // namespace

std::uint32_t GetCurrentProcessId() {
  return static_cast<std::uint32_t>(::getpid());
}

template <>
ProcessLauncher& Seam<ProcessLauncher>::Default() {
  static PosixProcessLauncher launcher;
  return launcher;
}

template <>
Sleeper& Seam<Sleeper>::Default() {
  static PosixSleeper sleeper;
  return sleeper;
}

std::optional<std::string> RawCommandLine() {
  return std::nullopt;
}

}  // namespace platform
