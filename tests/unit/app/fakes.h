// Scripted stand-ins for the desktop, the clock and process start, so the
// installation's polls run on a fake clock.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/process.h"

namespace testing_support {

struct FakeWindow {
  std::string Id;
  std::string Class;
  std::string Title;
  std::string Parent;  // "" for top-level
};

struct DeliveredMessage {
  std::string Window;
  std::uint32_t Message;
  std::uintptr_t WParam;
  std::intptr_t LParam;
  bool Posted;
};

class FakeDesktop : public platform::Desktop {
 public:
  std::vector<FakeWindow> Windows;
  std::vector<DeliveredMessage> Messages;
  std::vector<std::pair<std::string, std::string>> Boxes;  // caption, text
  // Called for each delivered message, so a test can make windows react.
  std::function<void(const DeliveredMessage&)> OnMessage;

  platform::WindowHandle FindWindowEx(const platform::WindowHandle& parent,
                                      const platform::WindowHandle& after,
                                      const std::optional<std::string>& className,
                                      const std::optional<std::string>& title) override {
    bool started = after.IsNull();
    for (const FakeWindow& w : Windows) {
      if (!started) {
        started = w.Id == after.Id;
        continue;
      }
      if (w.Parent == parent.Id && (!className || *className == w.Class) &&
          (!title || *title == w.Title)) {
        return platform::WindowHandle{w.Id};
      }
    }
    return {};
  }
  bool PostMessage(const platform::WindowHandle& window, std::uint32_t message,
                   std::uintptr_t wParam, std::intptr_t lParam) override {
    Deliver({window.Id, message, wParam, lParam, true});
    return true;
  }
  std::intptr_t SendMessage(const platform::WindowHandle& window, std::uint32_t message,
                            std::uintptr_t wParam, std::intptr_t lParam) override {
    Deliver({window.Id, message, wParam, lParam, false});
    return 1;
  }
  int MessageBox(const platform::WindowHandle&, const std::string& text, const std::string& caption,
                 std::uint32_t) override {
    Boxes.emplace_back(caption, text);
    return platform::kIdOk;
  }

  void Remove(const std::string& id) {
    std::erase_if(Windows, [&](const FakeWindow& w) { return w.Id == id || w.Parent == id; });
  }

 private:
  void Deliver(const DeliveredMessage& m) {
    Messages.push_back(m);
    if (OnMessage) {
      OnMessage(m);
    }
  }
};

class FakeSleeper : public platform::Sleeper {
 public:
  std::uint32_t TotalMs = 0;
  int Calls = 0;
  // Called after each sleep with the number of sleeps so far.
  std::function<void(int)> AfterSleep;

  void Sleep(std::uint32_t ms) override {
    TotalMs += ms;
    ++Calls;
    if (AfterSleep) {
      AfterSleep(Calls);
    }
  }
};

class FakeLauncher : public platform::ProcessLauncher {
 public:
  std::vector<std::string> CommandLines;
  std::vector<std::uint32_t> Flags;
  platform::SysError Result;
  std::function<void()> OnStart;

  platform::SysError CreateProcess(const std::string& commandLine,
                                   std::uint32_t creationFlags) override {
    CommandLines.push_back(commandLine);
    Flags.push_back(creationFlags);
    if (OnStart) {
      OnStart();
    }
    return Result;
  }
};

// All three fakes in place for one test.
struct FakeSystem {
  FakeDesktop Desktop;
  FakeSleeper Sleeper;
  FakeLauncher Launcher;
  platform::ScopedDesktop DesktopGuard{Desktop};
  platform::ScopedSleeper SleeperGuard{Sleeper};
  platform::ScopedProcessLauncher LauncherGuard{Launcher};
};

}  // namespace testing_support
