// A stand-in for the file manager, for tests and demonstrations: it owns the
// main window and the exit-confirmation dialog that the updater works
// through, logs what happens to it, and misbehaves on request.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/desktop.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "rtl/codepage.h"
#include "rtl/exceptions.h"
#include "rtl/mbcs.h"

namespace {

using platform::WindowHandle;
using platform::WindowHost;

constexpr std::string_view kUsage =
    "usage: zel-standin [--log=FILE] [--no-confirm] [--never-close] [--no-yes-button] "
    "[--slow-exit=MS] [FOLDER]...\n";
constexpr std::string_view kLogName = "zel-standin.log";

// The window texts, in UTF-8 here and in the ANSI code page on the windows.
constexpr std::string_view kMainClass = "TZelForm";
constexpr std::string_view kMainTitle = "ZEL";
constexpr std::string_view kDialogClass = "TZelDialog";
constexpr std::string_view kDialogTitle = " 再見確認";
constexpr std::string_view kButtonClass = "Button";
constexpr std::string_view kYesTitle = "はい(&Y)";
constexpr std::string_view kNoTitle = "いいえ(&N)";

struct Options {
  std::string LogPath;  // empty: next to the executable
  bool NoConfirm = false;
  bool NeverClose = false;
  bool NoYesButton = false;
  std::uint32_t SlowExitMs = 0;
};

std::optional<std::uint32_t> ParseMilliseconds(std::string_view digits) {
  if (digits.empty() || digits.size() > 9) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return value;
}

// One argument into `options`; false for a switch we do not know. Other
// arguments (a folder to open) are accepted and ignored.
bool ApplyArgument(std::string_view arg, Options& options) {
  if (arg.starts_with("--log=") && arg.size() > 6) {
    options.LogPath = std::string(arg.substr(6));
  } else if (arg.starts_with("--slow-exit=")) {
    const auto ms = ParseMilliseconds(arg.substr(12));
    options.SlowExitMs = ms.value_or(0);
    return ms.has_value();
  } else if (arg == "--no-confirm") {
    options.NoConfirm = true;
  } else if (arg == "--never-close") {
    options.NeverClose = true;
  } else if (arg == "--no-yes-button") {
    options.NoYesButton = true;
  } else if (arg.starts_with("-")) {
    return false;
  }
  return true;
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args) {
  Options options;
  for (const std::string& arg : args) {
    if (!ApplyArgument(arg, options)) {
      return std::nullopt;
    }
  }
  return options;
}

std::string Join(const std::vector<std::string>& args) {
  std::string joined;
  for (const std::string& arg : args) {
    joined += (joined.empty() ? "" : " ") + arg;
  }
  return joined;
}

std::string MessageName(std::uint32_t message) {
  switch (message) {
    case platform::kWmQueryEndSession:
      return "query-end-session";
    case platform::kWmClose:
      return "close";
    case platform::kBmClick:
      return "click";
    default: {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%x", message);
      return hex;
    }
  }
}

// Append-only, one event a line, each on disk before the next event.
class Log {
 public:
  explicit Log(const std::string& path) : out_(path, std::ios::app | std::ios::binary) {}
  bool IsOpen() const { return out_.is_open(); }
  void Line(const std::string& text) {
    out_ << text << '\n';
    out_.flush();
  }

 private:
  std::ofstream out_;
};

// Quits the host after a delay, unless stopped first.
class DelayedQuit {
 public:
  DelayedQuit(WindowHost& host, std::uint32_t milliseconds)
      : thread_([&host, milliseconds](const std::stop_token& stop) {
          std::mutex mutex;
          std::condition_variable_any wakeup;
          std::unique_lock lock(mutex);
          wakeup.wait_for(lock, stop, std::chrono::milliseconds(milliseconds),
                          [] { return false; });
          if (!stop.stop_requested()) {
            host.Quit();
          }
        }) {}

 private:
  std::jthread thread_;  // stopped and joined when this goes
};

class StandIn {
 public:
  StandIn(const Options& options, Log& log) : options_(options), log_(log) {}

  // Publishes the main window and serves it; the exit code.
  int Run() {
    host_.CreateWindow(std::string(kMainClass), std::string(kMainTitle), {},
                       Logged(&StandIn::OnMainWindow));
    log_.Line("ready");
    host_.Run();
    // Without a decision to end, the desktop went away under us.
    return ending_ ? 0 : 1;
  }

 private:
  using Member = std::intptr_t (StandIn::*)(std::uint32_t message);

  WindowHost::Handler Logged(Member member) {
    return [this, member](std::uint32_t message, std::uintptr_t, std::intptr_t) {
      log_.Line("message " + MessageName(message));
      return (this->*member)(message);
    };
  }

  std::intptr_t OnMainWindow(std::uint32_t message) {
    if (message == platform::kWmQueryEndSession) {
      return 1;
    }
    if (message == platform::kWmClose) {
      OnClose();
    }
    return 0;
  }

  void OnClose() {
    if (ending_ || options_.NeverClose || !dialog_.IsNull()) {
      return;
    }
    if (options_.NoConfirm) {
      End();
    } else {
      ShowDialog();
    }
  }

  std::intptr_t OnDialog(std::uint32_t message) {
    if (message == platform::kWmClose) {
      CloseDialog();
    }
    return 0;
  }

  std::intptr_t OnYes(std::uint32_t message) {
    if (message == platform::kBmClick) {
      CloseDialog();
      End();
    }
    return 0;
  }

  std::intptr_t OnNo(std::uint32_t message) {
    if (message == platform::kBmClick) {
      CloseDialog();
    }
    return 0;
  }

  void ShowDialog() {
    dialog_ = host_.CreateWindow(std::string(kDialogClass), rtl::Utf8ToAnsi(kDialogTitle), {},
                                 Logged(&StandIn::OnDialog));
    if (!options_.NoYesButton) {
      host_.CreateWindow(std::string(kButtonClass), rtl::Utf8ToAnsi(kYesTitle), dialog_,
                         Logged(&StandIn::OnYes));
    }
    host_.CreateWindow(std::string(kButtonClass), rtl::Utf8ToAnsi(kNoTitle), dialog_,
                       Logged(&StandIn::OnNo));
    log_.Line("dialog");
  }

  void CloseDialog() {
    host_.DestroyWindow(dialog_);
    dialog_ = {};
  }

  // Quit takes effect once the current message is answered, so a clicking
  // sender gets its reply before we go.
  void End() {
    if (ending_) {
      return;
    }
    ending_ = true;
    if (options_.SlowExitMs == 0) {
      host_.Quit();
    } else {
      slowExit_.emplace(host_, options_.SlowExitMs);
    }
  }

  const Options& options_;
  Log& log_;
  WindowHost host_;
  WindowHandle dialog_;
  bool ending_ = false;
  std::optional<DelayedQuit> slowExit_;  // declared after host_: goes first
};

std::string DefaultLogPath() {
  return rtl::ExtractFilePath(platform::GetModuleFileName()) + std::string(kLogName);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto options = ParseOptions(args);
  if (!options) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string logPath = options->LogPath.empty() ? DefaultLogPath() : options->LogPath;
  Log log(logPath);
  if (!log.IsOpen()) {
    std::cerr << "zel-standin: cannot open the log " << logPath << "\n";
    return 1;
  }
  log.Line("started pid=" + std::to_string(platform::GetCurrentProcessId()) +
           " args=" + Join(args));
  int code = 1;
  try {
    StandIn standIn(*options, log);
    code = standIn.Run();
  } catch (const rtl::Exception& e) {
    std::cerr << "zel-standin: " << e.Message() << "\n";
  }
  log.Line("exit");
  return code;
}
