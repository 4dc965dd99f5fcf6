// A copy of a real program, running for a test, so that its file is busy:
// the Linux side.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace testing_support {

// The program whose copies a RunningProgram runs.
inline std::string SleepingProgram() {
  return "/bin/sleep";
}

class RunningProgram {
 public:
  // `path` is a copy of SleepingProgram(); it sleeps for 30 seconds unless stopped.
  explicit RunningProgram(const std::string& path) {
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execl(path.c_str(), path.c_str(), "30", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // Wait until exec has replaced the child's image.
    for (int i = 0; i < 200; ++i) {
      std::error_code ignored;
      if (std::filesystem::read_symlink("/proc/" + std::to_string(pid_) + "/exe", ignored) ==
          path) {
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~RunningProgram() { Stop(); }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  void Stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_ = -1;
};

}  // namespace testing_support
