// The progress of a download on the terminal: one line on standard error,
// rewritten in place a few times a second. Standard output keeps the
// tool's messages alone, and nothing is shown when standard error is not
// a terminal (a log file, a pipe).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace app {

class TProgressLine {
 public:
  // `what` names what is under way; `unit` names what is counted (bytes
  // when not given).
  explicit TProgressLine(std::string what);
  TProgressLine(std::string what, std::string unit);
  // Ends the line, showing where the transfer stopped.
  ~TProgressLine();
  TProgressLine(const TProgressLine&) = delete;
  TProgressLine& operator=(const TProgressLine&) = delete;

  // `total` is -1 when the size is not known.
  void Update(std::uint64_t done, std::int64_t total);

  // The text of the line for a state of the transfer.
  static std::string Text(const std::string& what, std::uint64_t done, std::int64_t total,
                          const std::string& unit);

 private:
  void Show();

  bool shown_;
  std::string what_;
  std::string unit_;
  std::uint64_t done_ = 0;
  std::int64_t total_ = -1;
  std::chrono::steady_clock::time_point last_{};
  bool started_ = false;
  std::size_t width_ = 0;
};

}  // namespace app
