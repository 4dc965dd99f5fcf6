// The tests' sleeping program on Windows: sleeper MS STOPFILE runs for MS
// milliseconds, or until the file STOPFILE exists, so that its executable
// file is in use meanwhile.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

int main(int argc, char** argv) {
  if (argc < 3) {
    return 2;
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::atoi(argv[1]));
  while (std::chrono::steady_clock::now() < end) {
    std::error_code ignored;
    if (std::filesystem::exists(argv[2], ignored)) {
      return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}
