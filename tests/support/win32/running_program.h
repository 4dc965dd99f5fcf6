// A copy of a real program, running for a test, so that its file is busy:
// the Windows side. The program is the tests' sleeper; it ends when its
// stop file appears.
#pragma once

#include <process.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace testing_support {

// The program whose copies a RunningProgram runs.
inline std::string SleepingProgram() {
  return std::filesystem::path(ZEL_TEST_SLEEPER).make_preferred().string();
}

class RunningProgram {
 public:
  // `path` is a copy of SleepingProgram(); it runs for 30 seconds unless stopped.
  explicit RunningProgram(const std::string& path) : stopFile_(path + ".stop") {
    // The C runtime hands the arguments over as they are: quotes keep blanks.
    const std::string program = "\"" + path + "\"";
    const std::string stop = "\"" + stopFile_ + "\"";
    // Once the process exists its image is mapped: the file is in use.
    process_ = ::_spawnl(_P_NOWAIT, path.c_str(), program.c_str(), "30000", stop.c_str(), nullptr);
  }
  ~RunningProgram() { Stop(); }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  void Stop() {
    if (process_ != -1) {
      std::ofstream(stopFile_) << "stop";
      // Waits for the end and closes the process handle.
      ::_cwait(nullptr, std::exchange(process_, -1), 0);
      std::error_code ignored;
      std::filesystem::remove(stopFile_, ignored);
    }
  }

 private:
  std::string stopFile_;
  std::intptr_t process_ = -1;
};

}  // namespace testing_support
