// Hosts and clients of the desktop bus on a real, private bus, and the
// stand-in file manager as a process on it.
#include "platform/desktop.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "platform/posix/desktop_bus.h"
#include "rtl/codepage.h"
#include "rtl/exceptions.h"
#include "support/temp_dir.h"

extern char** environ;  // NOLINT: handed to the programs we start

namespace {

using namespace std::chrono_literals;
using platform::WindowHandle;
using platform::WindowHost;
using testing_support::ReadFile;
using testing_support::TempDir;
constexpr std::nullopt_t any = std::nullopt;  // a criterion that matches every window

constexpr auto kPatience = 10s;  // for anything that should take milliseconds

template <class Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = kPatience) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// A child process, killed if it is still running when this goes.
class Child {
 public:
  explicit Child(const std::vector<std::string>& args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args) {
      argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() {
    if (!Reap()) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t Pid() const { return pid_; }
  bool Running() { return !Reap(); }
  // The exit status; nullopt while it runs or when a signal ended it.
  std::optional<int> WaitForExit() {
    WaitUntil([&] { return Reap(); });
    return status_ && WIFEXITED(*status_) ? std::optional(WEXITSTATUS(*status_)) : std::nullopt;
  }

 private:
  // True once it has ended; also when it never started, so that nothing
  // is ever done to pid -1.
  bool Reap() {
    int status = 0;
    if (pid_ <= 0) {
      return true;
    }
    if (!status_ && ::waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = status;
    }
    return status_.has_value();
  }

  pid_t pid_ = -1;
  std::optional<int> status_;
};

// The daemon binds its socket before it listens on it, so the file alone
// does not mean a client will get through.
bool AcceptsConnections(const std::string& socketPath) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.size() >= sizeof address.sun_path) {
    return false;
  }
  socketPath.copy(address.sun_path, socketPath.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return false;
  }
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): the socket API
  const bool connected =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return connected;
}

// A private dbus-daemon for as long as this lives.
class BusDaemon {
 public:
  BusDaemon()
      : address_("unix:path=" + socketDir_.Path("bus")),
        daemon_({"dbus-daemon", "--session", "--nofork", "--address=" + address_}) {
    EXPECT_TRUE(WaitUntil([&] { return AcceptsConnections(socketDir_.Path("bus")); }));
  }

  const std::string& Address() const { return address_; }
  void Stop() {
    ::kill(daemon_.Pid(), SIGTERM);
    daemon_.WaitForExit();
  }

 private:
  TempDir socketDir_;
  std::string address_;
  Child daemon_;
};

// Every test process has a bus of its own, so that test processes running
// side by side never see each other's windows. It goes at exit.
const std::string& TestBus() {
  static const BusDaemon daemon;
  return daemon.Address();
}

void UseBus(const std::string& address) {
  ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
}

// A host whose Run loop serves on a thread of its own.
class RunningHost {
 public:
  RunningHost() : thread_([this] { host_.Run(); }) {}
  ~RunningHost() {
    host_.Quit();
    thread_.join();
  }
  RunningHost(const RunningHost&) = delete;
  RunningHost& operator=(const RunningHost&) = delete;

  WindowHost& operator*() { return host_; }
  WindowHost* operator->() { return &host_; }
  std::thread::id ThreadId() const { return thread_.get_id(); }

 private:
  WindowHost host_;
  std::thread thread_;
};

WindowHost::Handler Returns(std::intptr_t result) {
  return [result](std::uint32_t, std::uintptr_t, std::intptr_t) { return result; };
}

class DesktopTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseBus(TestBus()); }
  // The default desktop keeps the bus it first met; only hosts and started
  // programs see the change.
  void TearDown() override { UseBus(TestBus()); }

  static WindowHandle Find(const WindowHandle& parent, const WindowHandle& after,
                           const std::optional<std::string>& className,
                           const std::optional<std::string>& title) {
    return platform::CurrentDesktop().FindWindowEx(parent, after, className, title);
  }
  static WindowHandle FindTop(const std::optional<std::string>& className,
                              const std::optional<std::string>& title) {
    return Find({}, {}, className, title);
  }
  static std::intptr_t Send(const WindowHandle& window, std::uint32_t message,
                            std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
    return platform::CurrentDesktop().SendMessage(window, message, wParam, lParam);
  }
  static bool Post(const WindowHandle& window, std::uint32_t message) {
    return platform::CurrentDesktop().PostMessage(window, message, 0, 0);
  }
};

TEST_F(DesktopTest, FindsTopLevelWindowsByExactClassAndTitleInCreationOrder) {
  RunningHost host;
  const WindowHandle a = host->CreateWindow("TZelForm", "ZEL", {}, Returns(0));
  const WindowHandle b = host->CreateWindow("TOther", "ZEL", {}, Returns(0));
  const WindowHandle c = host->CreateWindow("TZelForm", "Other", {}, Returns(0));

  EXPECT_EQ(FindTop("TZelForm", any), a);
  EXPECT_EQ(FindTop(any, "Other"), c);
  EXPECT_EQ(FindTop("TOther", "ZEL"), b);
  EXPECT_TRUE(FindTop("TZelForm", "zel").IsNull());
  EXPECT_TRUE(FindTop("TZelFor", any).IsNull());

  EXPECT_EQ(Find({}, a, "TZelForm", any), c);
  EXPECT_TRUE(Find({}, c, "TZelForm", any).IsNull());
  std::vector<WindowHandle> all;
  for (WindowHandle w = FindTop(any, any); !w.IsNull() && all.size() < 10;
       w = Find({}, w, any, any)) {
    all.push_back(w);
  }
  EXPECT_EQ(all, (std::vector{a, b, c}));
}

TEST_F(DesktopTest, ChildSearchSeesOnlyDirectChildrenOfTheParent) {
  RunningHost host;
  const WindowHandle dialog = host->CreateWindow("TZelDialog", "Sure?", {}, Returns(0));
  const WindowHandle yes = host->CreateWindow("Button", "Yes", dialog, Returns(0));
  const WindowHandle no = host->CreateWindow("Button", "No", dialog, Returns(0));
  const WindowHandle grandchild = host->CreateWindow("Static", "inner", yes, Returns(0));

  EXPECT_EQ(Find(dialog, {}, "Button", any), yes);
  EXPECT_EQ(Find(dialog, yes, "Button", any), no);
  EXPECT_TRUE(Find(dialog, no, any, any).IsNull());
  EXPECT_TRUE(Find(dialog, {}, any, "inner").IsNull());
  EXPECT_EQ(Find(yes, {}, any, "inner"), grandchild);
  EXPECT_TRUE(FindTop("Button", any).IsNull());
  // A window that is not a sibling cannot be continued after.
  EXPECT_TRUE(Find({}, yes, any, any).IsNull());
  EXPECT_TRUE(
      host->CreateWindow("Button", "orphan", WindowHandle{"nonsense"}, Returns(0)).IsNull());
}

TEST_F(DesktopTest, SendMessageRunsTheHandlerOnTheHostThreadAndReturnsItsResult) {
  RunningHost host;
  std::thread::id handledOn;
  std::uint32_t seenMessage = 0;
  std::uintptr_t seenWParam = 0;
  const WindowHandle w = host->CreateWindow(
      "T", "t", {}, [&](std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
        handledOn = std::this_thread::get_id();
        seenMessage = message;
        seenWParam = wParam;
        return lParam - 1;
      });

  const std::uintptr_t bigWParam = UINTPTR_MAX - 1;
  EXPECT_EQ(Send(w, 0x400, bigWParam, -41), -42);
  EXPECT_EQ(seenMessage, 0x400u);
  EXPECT_EQ(seenWParam, bigWParam);
  EXPECT_EQ(handledOn, host.ThreadId());
}

TEST_F(DesktopTest, PostMessageReturnsBeforeTheHandlerRunsAndIsDelivered) {
  RunningHost host;
  std::promise<void> release;
  std::promise<std::uint32_t> handled;
  const WindowHandle w = host->CreateWindow(
      "T", "t", {}, [&, gate = release.get_future().share()](std::uint32_t message, auto, auto) {
        gate.wait_for(kPatience);
        handled.set_value(message);
        return std::intptr_t{0};
      });
  auto result = handled.get_future();

  ASSERT_TRUE(Post(w, platform::kWmClose));
  EXPECT_EQ(result.wait_for(100ms), std::future_status::timeout);
  release.set_value();
  ASSERT_EQ(result.wait_for(kPatience), std::future_status::ready);
  EXPECT_EQ(result.get(), platform::kWmClose);
}

TEST_F(DesktopTest, GoneWindowsAndOwnersAnswerNothingAndAtOnce) {
  WindowHandle stale;
  {
    RunningHost gone;
    int calls = 0;
    const auto counting = [&](auto, auto, auto) -> std::intptr_t { return ++calls; };
    const WindowHandle dialog = gone->CreateWindow("TZelDialog", "d", {}, counting);
    const WindowHandle button = gone->CreateWindow("Button", "b", dialog, counting);
    stale = gone->CreateWindow("TZelForm", "ZEL", {}, Returns(5));
    gone->DestroyWindow(dialog);  // and its button with it
    EXPECT_EQ(Send(dialog, platform::kBmClick), 0);
    EXPECT_EQ(Send(button, platform::kBmClick), 0);
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(FindTop("TZelDialog", any).IsNull());
    EXPECT_TRUE(Find(dialog, {}, any, any).IsNull());
    EXPECT_EQ(Send(stale, 0x400), 5);
  }
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Send(stale, 0x400), 0);
  EXPECT_FALSE(Post(stale, platform::kWmClose));
  EXPECT_TRUE(FindTop(any, any).IsNull());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(Send(WindowHandle{"not a handle"}, 0x400), 0);
  EXPECT_FALSE(Post(WindowHandle{}, 0x400));

  // A new host of this process takes the same bus name and window ids.
  RunningHost successor;
  EXPECT_EQ(Send(successor->CreateWindow("TZelForm", "ZEL", {}, Returns(6)), 0x400), 6);
  EXPECT_EQ(Send(stale, 0x400), 0);
}

TEST_F(DesktopTest, WithoutABusThereAreNoWindowsAndNoHost) {
  RunningHost host;
  const WindowHandle w = host->CreateWindow("TZelForm", "ZEL", {}, Returns(1));
  const std::string bogus = "unix:path=/nonexistent/zel-test/bus";
  const auto nowhere = platform::posix::MakeBusDesktop(bogus);
  EXPECT_TRUE(nowhere->FindWindowEx({}, {}, any, any).IsNull());
  EXPECT_FALSE(nowhere->PostMessage(w, platform::kWmClose, 0, 0));
  EXPECT_EQ(nowhere->SendMessage(w, 0x400, 0, 0), 0);
  EXPECT_EQ(platform::posix::MakeBusDesktop(TestBus())->FindWindowEx({}, {}, "TZelForm", "ZEL"), w);

  UseBus(bogus);
  try {
    WindowHost orphan;
    ADD_FAILURE() << "a host without a bus";
  } catch (const rtl::EOSError& e) {
    EXPECT_NE(e.ErrorCode(), 0u);
    EXPECT_NE(e.Message().find("desktop bus"), std::string::npos) << e.Message();
  }
}

TEST_F(DesktopTest, QuitEndsRunOnlyAfterTheReply) {
  WindowHost host;
  host.Quit();
  host.Run();  // returns at once: Quit came first
  const WindowHandle w = host.CreateWindow("T", "t", {}, [&](auto, auto, auto) {
    host.Quit();
    return std::intptr_t{42};
  });
  auto reply = std::async(std::launch::async, [&] { return Send(w, 0x400); });
  host.Run();
  ASSERT_EQ(reply.wait_for(kPatience), std::future_status::ready);
  EXPECT_EQ(reply.get(), 42);
}

TEST_F(DesktopTest, RunEndsWhenAHandlerThrowsOrTheBusGoesAway) {
  {
    WindowHost host;
    const WindowHandle w = host.CreateWindow("T", "t", {}, [](auto, auto, auto) -> std::intptr_t {
      throw rtl::Exception("handler broke");
    });
    ASSERT_TRUE(Post(w, platform::kWmClose));
    EXPECT_THROW(host.Run(), rtl::Exception);
  }
  BusDaemon bus;
  UseBus(bus.Address());
  WindowHost host;
  auto running = std::async(std::launch::async, [&] { host.Run(); });
  bus.Stop();
  EXPECT_EQ(running.wait_for(kPatience), std::future_status::ready);
}

TEST_F(DesktopTest, TitlesTravelAsUtf8WhateverTheAnsiCodePage) {
  const std::string utf8 = " 再見確認";
  RunningHost host;
  WindowHandle w;
  std::string shiftJis;
  {
    const rtl::ScopedAnsiCodePage cp932(rtl::CP_SHIFT_JIS);
    shiftJis = rtl::Utf8ToAnsi(utf8);
    ASSERT_NE(shiftJis, utf8);
    w = host->CreateWindow("TZelDialog", shiftJis, {}, Returns(0));
    EXPECT_EQ(FindTop(any, shiftJis), w);
  }
  const rtl::ScopedAnsiCodePage utf8Cp(rtl::CP_UTF8_);
  EXPECT_EQ(FindTop(any, utf8), w);
  EXPECT_TRUE(FindTop(any, shiftJis).IsNull());
}

TEST_F(DesktopTest, TextTheBusWouldRefuseIsReplacedNotLost) {
  const std::string fffd = "\xEF\xBF\xBD";
  const struct {
    std::string in, out;
  } cases[] = {
      {"日本\xF0\x9F\x98\x80", "日本\xF0\x9F\x98\x80"},
      {"\xC0\xAF", fffd + fffd},                    // overlong
      {"x\xEF\xBF\xBE", "x" + fffd + fffd + fffd},  // a noncharacter
      {"\xE3\x81", fffd + fffd},                    // cut short
      {std::string("a\0b", 3), "a" + fffd + "b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::posix::SanitizeBusUtf8(c.in), c.out) << c.in;
  }

  const rtl::ScopedAnsiCodePage utf8Cp(rtl::CP_UTF8_);
  RunningHost host;
  const WindowHandle odd = host->CreateWindow("T", "bad\xFF", {}, Returns(0));
  const WindowHandle fine = host->CreateWindow("T", "fine", {}, Returns(0));
  EXPECT_EQ(FindTop("T", "bad" + fffd), odd);
  EXPECT_EQ(FindTop("T", "fine"), fine);
}

// ---- The stand-in file manager as a process ----

class StandInTest : public DesktopTest {
 protected:
  std::unique_ptr<Child> Start(std::vector<std::string> args) {
    args.insert(args.begin(), {ZEL_STANDIN_PATH, "--log=" + LogPath()});
    return std::make_unique<Child>(args);
  }
  // Starts it with `args`, closes its main window and waits for the dialog.
  WindowHandle StartAndClose(std::unique_ptr<Child>& standIn, std::vector<std::string> args) {
    standIn = Start(std::move(args));
    EXPECT_TRUE(WaitForLog("ready"));
    EXPECT_TRUE(Post(FindTop("TZelForm", "ZEL"), platform::kWmClose));
    WindowHandle dialog;
    WaitUntil(
        [&] { return !(dialog = FindTop("TZelDialog", rtl::Utf8ToAnsi(" 再見確認"))).IsNull(); });
    return dialog;
  }
  std::string LogPath() const { return dir_.Path("standin.log"); }
  std::vector<std::string> Log() const { return LinesOf(ReadFile(LogPath())); }
  bool WaitForLog(const std::string& line) const {
    return WaitUntil([&] { return std::ranges::count(Log(), line) > 0; });
  }
  static std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      lines.push_back(line);
    }
    return lines;
  }

  TempDir dir_;
  const std::string yes_ = rtl::Utf8ToAnsi("はい(&Y)");
  const std::string no_ = rtl::Utf8ToAnsi("いいえ(&N)");
};

TEST_F(StandInTest, EndsThroughTheConfirmationDialogAndLogsIt) {
  std::unique_ptr<Child> standIn;
  const WindowHandle dialog = StartAndClose(standIn, {});
  ASSERT_FALSE(dialog.IsNull());
  const WindowHandle yes = Find(dialog, {}, "Button", yes_);
  ASSERT_FALSE(yes.IsNull());
  EXPECT_EQ(Send(yes, platform::kBmClick), 0);
  EXPECT_EQ(Send(yes, platform::kBmClick), 0);  // while it ends: harmless

  EXPECT_EQ(standIn->WaitForExit(), 0);
  EXPECT_EQ(Log(), (std::vector<std::string>{
                       "started pid=" + std::to_string(standIn->Pid()) + " args=--log=" + LogPath(),
                       "ready", "message close", "dialog", "message click", "exit"}));
}

TEST_F(StandInTest, NoClosesTheDialogAndItKeepsRunning) {
  std::unique_ptr<Child> standIn;
  const WindowHandle dialog = StartAndClose(standIn, {"--no-yes-button"});
  ASSERT_FALSE(dialog.IsNull());
  EXPECT_TRUE(Find(dialog, {}, "Button", yes_).IsNull());
  EXPECT_EQ(Send(Find(dialog, {}, "Button", no_), platform::kBmClick), 0);
  EXPECT_TRUE(FindTop("TZelDialog", any).IsNull());

  const WindowHandle main = FindTop("TZelForm", "ZEL");
  EXPECT_EQ(Send(main, platform::kWmQueryEndSession), 1);
  EXPECT_EQ(Send(main, 0x1234), 0);
  EXPECT_EQ(Log().back(), "message 0x1234");
  EXPECT_TRUE(standIn->Running());
}

TEST_F(StandInTest, NoConfirmEndsOnCloseAndNeverCloseIgnoresIt) {
  const auto quick = Start({"--no-confirm"});
  ASSERT_TRUE(WaitForLog("ready"));
  EXPECT_TRUE(Post(FindTop("TZelForm", "ZEL"), platform::kWmClose));
  EXPECT_EQ(quick->WaitForExit(), 0);
  EXPECT_EQ(std::ranges::count(Log(), "dialog"), 0);
  EXPECT_EQ(Log().back(), "exit");

  std::filesystem::remove(LogPath());
  const auto stubborn = Start({"--never-close"});
  ASSERT_TRUE(WaitForLog("ready"));
  const WindowHandle main = FindTop("TZelForm", "ZEL");
  EXPECT_TRUE(Post(main, platform::kWmClose));
  // Answered after the close: messages from one sender keep their order.
  EXPECT_EQ(Send(main, platform::kWmQueryEndSession), 1);
  EXPECT_TRUE(FindTop("TZelDialog", any).IsNull());
  EXPECT_TRUE(stubborn->Running());
}

TEST_F(StandInTest, SlowExitKeepsRunningAndAnsweringForAWhile) {
  std::unique_ptr<Child> standIn;
  const WindowHandle dialog = StartAndClose(standIn, {"--slow-exit=1500"});
  const auto clicked = std::chrono::steady_clock::now();
  EXPECT_EQ(Send(Find(dialog, {}, "Button", yes_), platform::kBmClick), 0);
  EXPECT_EQ(Send(FindTop("TZelForm", "ZEL"), platform::kWmQueryEndSession), 1);
  EXPECT_TRUE(Post(FindTop("TZelForm", "ZEL"), platform::kWmClose));  // no second dialog
  EXPECT_EQ(standIn->WaitForExit(), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - clicked, 1400ms);
  EXPECT_EQ(std::ranges::count(Log(), "dialog"), 1);
}

TEST_F(StandInTest, RefusesUnknownSwitchesAndLogsNextToItselfByDefault) {
  EXPECT_EQ(Start({"--frobnicate"})->WaitForExit(), 2);
  EXPECT_FALSE(testing_support::Exists(LogPath()));

  const std::string copy = dir_.Path("ZEL.EXE");
  std::filesystem::copy_file(ZEL_STANDIN_PATH, copy);
  const Child standIn({copy, "--no-confirm"});
  EXPECT_TRUE(WaitUntil([&] {
    return LinesOf(ReadFile(dir_.Path("zel-standin.log"))) ==
           std::vector<std::string>{
               "started pid=" + std::to_string(standIn.Pid()) + " args=--no-confirm", "ready"};
  }));
}

TEST_F(StandInTest, EndsWhenTheBusGoesAway) {
  BusDaemon bus;
  UseBus(bus.Address());
  const auto standIn = Start({"--never-close"});
  ASSERT_TRUE(WaitForLog("ready"));
  bus.Stop();
  EXPECT_EQ(standIn->WaitForExit(), 1);
  EXPECT_EQ(Log().back(), "exit");
}

TEST_F(StandInTest, SearchesContinueAcrossOwners) {
  const auto standIn = Start({});
  ASSERT_TRUE(WaitForLog("ready"));
  RunningHost host;
  const WindowHandle ours = host->CreateWindow("TZelForm", "ZEL", {}, Returns(0));
  const WindowHandle first = FindTop("TZelForm", "ZEL");
  const WindowHandle second = Find({}, first, "TZelForm", "ZEL");
  EXPECT_TRUE(first == ours || second == ours);
  EXPECT_FALSE(second.IsNull());
  EXPECT_NE(first, second);
  EXPECT_TRUE(Find({}, second, "TZelForm", "ZEL").IsNull());
}

}  // namespace
