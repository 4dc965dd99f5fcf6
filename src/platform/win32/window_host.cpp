// Windows that other programs find and send messages to: real windows of the
// host's thread, served by Run's message loop.
//
// A window's handler gets the messages that programs send one another
// (WM_CLOSE, WM_QUERYENDSESSION, BM_CLICK and every message from WM_USER on);
// the system's own messages (creation, painting, activation) take their
// default course, so a window looks and behaves as a window does.
#include <atomic>
#include <exception>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/desktop.h"
#include "platform/win32/windows_ui.h"
#include "rtl/exceptions.h"

namespace platform {
namespace {

using win32::FromHwnd;
using win32::OwnedWindow;
using win32::RegisteredClass;
using win32::ToHwnd;

constexpr const char* kSlotProperty = "ZelUpd.WindowSlot";
constexpr const char* kControlClass = "ZelUpd.WindowHost";

// Requests to the host's thread, sent to its control window.
constexpr UINT kCreateRequest = WM_APP + 1;
constexpr UINT kDestroyRequest = WM_APP + 2;
constexpr UINT kWake = WM_APP + 3;

// Where a new window goes: children in a row inside their parent.
constexpr int kChildWidth = 100;
constexpr int kChildHeight = 28;
constexpr int kChildGap = 10;
constexpr int kTopWidth = 360;
constexpr int kTopHeight = 140;

bool IsForHandler(UINT message) {
  return message == WM_CLOSE || message == WM_QUERYENDSESSION || message == BM_CLICK ||
         message >= WM_USER;
}

}  // namespace

struct WindowHost::Impl {
  // What the window procedure knows of a window, kept as a window property.
  struct Slot {
    Impl* Host = nullptr;
    HWND Parent = nullptr;
    // Shared so that a handler may destroy its own window.
    std::shared_ptr<const Handler> OnMessage;
    // A system class's own procedure, which keeps what the handler does not take.
    WNDPROC Original = nullptr;
    int Children = 0;
  };

  struct CreateArgs {
    const std::string* ClassName;
    const std::string* Title;
    HWND Parent;
    Handler* OnMessage;
  };

  Impl();
  ~Impl();
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  WindowHandle Create(const std::string& className, const std::string& title,
                      const WindowHandle& parent, Handler handler);
  void Destroy(const WindowHandle& window);
  void Run();
  void Quit() {
    quit.store(true);
    ::PostMessageA(control.Get(), kWake, 0, 0);
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  bool OnHostThread() const { return ::GetCurrentThreadId() == threadId; }
  HWND CreateHere(const CreateArgs& args);
  HWND CreateOfClass(const std::string& className, const std::string& title, Slot& slot);
  void DestroyHere(HWND window);
  LRESULT Handle(std::shared_ptr<const Handler> handler, UINT message, WPARAM wParam,
                 LPARAM lParam);
  LRESULT Forget(HWND window, Slot* slot, UINT message, WPARAM wParam, LPARAM lParam);
  // The procedure of an existing class named so, or null when there is none.
  static WNDPROC ClassProcedure(const std::string& className);

  DWORD threadId;
  std::vector<std::unique_ptr<RegisteredClass>> classes;  // ours, unregistered last
  OwnedWindow control;
  std::unordered_map<HWND, std::unique_ptr<Slot>> windows;  // the host thread's alone
  std::atomic<bool> quit{false};
  std::exception_ptr failure;  // from a handler; Run raises it
};

WindowHost::Impl::Impl() : threadId(::GetCurrentThreadId()) {
  if (ClassProcedure(kControlClass) == nullptr) {
    classes.push_back(std::make_unique<RegisteredClass>(kControlClass, &Impl::ControlProc));
  }
  control = OwnedWindow(::CreateWindowExA(0, kControlClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                          nullptr, win32::ModuleInstance(), nullptr));
  if (control.Get() == nullptr) {
    win32::RaiseLastError("Could not make the windows' host");
  }
  ::SetWindowLongPtrA(control.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

WindowHost::Impl::~Impl() {
  std::vector<HWND> topLevel;
  for (const auto& [window, slot] : windows) {
    if (slot->Parent == nullptr) {
      topLevel.push_back(window);
    }
  }
  // Children go with their parents.
  for (HWND window : topLevel) {
    ::DestroyWindow(window);
  }
  control.Reset();
  // Windows of our classes that some other code left would keep them registered.
  classes.clear();
}

WNDPROC WindowHost::Impl::ClassProcedure(const std::string& className) {
  WNDCLASSEXA info{};
  info.cbSize = sizeof info;
  if (::GetClassInfoExA(win32::ModuleInstance(), className.c_str(), &info) == 0) {
    return nullptr;
  }
  return info.lpfnWndProc;
}

WindowHandle WindowHost::Impl::Create(const std::string& className, const std::string& title,
                                      const WindowHandle& parent, Handler handler) {
  const HWND parentWindow = ToHwnd(parent);
  if (parentWindow == nullptr && !parent.IsNull()) {
    return {};
  }
  if (!handler) {
    handler = [](std::uint32_t, std::uintptr_t, std::intptr_t) -> std::intptr_t { return 0; };
  }
  const CreateArgs args{&className, &title, parentWindow, &handler};
  if (OnHostThread()) {
    return FromHwnd(CreateHere(args));
  }
  // Windows belong to the thread that makes them: the host's thread makes them all.
  return FromHwnd(reinterpret_cast<HWND>(
      ::SendMessageA(control.Get(), kCreateRequest, 0, reinterpret_cast<LPARAM>(&args))));
}

HWND WindowHost::Impl::CreateHere(const CreateArgs& args) {
  Slot* parentSlot = nullptr;
  if (args.Parent != nullptr) {
    const auto it = windows.find(args.Parent);
    if (it == windows.end()) {
      return nullptr;
    }
    parentSlot = it->second.get();
  }
  auto slot = std::make_unique<Slot>();
  slot->Host = this;
  slot->Parent = args.Parent;
  slot->OnMessage = std::make_shared<const Handler>(std::move(*args.OnMessage));
  const HWND window = CreateOfClass(*args.ClassName, *args.Title, *slot);
  if (window == nullptr) {
    return nullptr;
  }
  if (parentSlot != nullptr) {
    ++parentSlot->Children;
  }
  windows.emplace(window, std::move(slot));
  return window;
}

HWND WindowHost::Impl::CreateOfClass(const std::string& className, const std::string& title,
                                     Slot& slot) {
  const WNDPROC existing = ClassProcedure(className);
  if (existing == nullptr) {
    classes.push_back(std::make_unique<RegisteredClass>(className, &Impl::WindowProc));
  }
  const bool child = slot.Parent != nullptr;
  const DWORD style = child ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW | WS_VISIBLE;
  const int x = child ? kChildGap + windows.at(slot.Parent)->Children * (kChildWidth + kChildGap)
                      : CW_USEDEFAULT;
  const int y = child ? kChildGap : CW_USEDEFAULT;
  const HWND window = ::CreateWindowExA(
      0, className.c_str(), title.c_str(), style, x, y, child ? kChildWidth : kTopWidth,
      child ? kChildHeight : kTopHeight, slot.Parent, nullptr, win32::ModuleInstance(), &slot);
  if (window == nullptr || existing == nullptr || existing == &Impl::WindowProc) {
    return window;
  }
  // A class of the system (a button, say): its procedure keeps the window working.
  ::SetPropA(window, kSlotProperty, &slot);
  slot.Original = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Impl::WindowProc)));
  return window;
}

void WindowHost::Impl::Destroy(const WindowHandle& window) {
  const HWND target = ToHwnd(window);
  if (target == nullptr) {
    return;
  }
  if (OnHostThread()) {
    DestroyHere(target);
  } else {
    ::SendMessageA(control.Get(), kDestroyRequest, 0, reinterpret_cast<LPARAM>(target));
  }
}

void WindowHost::Impl::DestroyHere(HWND window) {
  // Only ours: a handle of another program's window is no business of this host.
  if (windows.contains(window)) {
    ::DestroyWindow(window);
  }
}

void WindowHost::Impl::Run() {
  rtl::Assert(OnHostThread(), "WindowHost::Run on the thread that made the host");
  while (!quit.exchange(false)) {
    MSG message{};
    if (::GetMessageA(&message, nullptr, 0, 0) <= 0) {
      break;  // WM_QUIT: the session is ending
    }
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
    if (failure) {
      std::rethrow_exception(std::exchange(failure, nullptr));
    }
  }
}

// `handler` is a copy: the slot that holds it may go while it runs.
// NOLINTNEXTLINE(performance-unnecessary-value-param): the copy keeps it alive
LRESULT WindowHost::Impl::Handle(std::shared_ptr<const Handler> handler, UINT message,
                                 WPARAM wParam, LPARAM lParam) {
  // Nothing may unwind through the system's dispatch; Run raises it.
  try {
    return (*handler)(message, wParam, lParam);
  } catch (...) {
    failure = std::current_exception();
    ::PostMessageA(control.Get(), kWake, 0, 0);  // a sent message does not end GetMessage
    return 0;
  }
}

LRESULT WindowHost::Impl::Forget(HWND window, Slot* slot, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
  const WNDPROC original = slot->Original;
  ::RemovePropA(window, kSlotProperty);
  windows.erase(window);  // the slot with it
  return original != nullptr ? ::CallWindowProcA(original, window, message, wParam, lParam)
                             : ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK WindowHost::Impl::WindowProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    ::SetPropA(window, kSlotProperty, create->lpCreateParams);
  }
  auto* slot = static_cast<Slot*>(::GetPropA(window, kSlotProperty));
  if (slot == nullptr) {
    return ::DefWindowProcA(window, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) {
    return slot->Host->Forget(window, slot, message, wParam, lParam);
  }
  if (IsForHandler(message)) {
    // The slot may be gone when the handler returns: nothing of it is used after.
    return slot->Host->Handle(slot->OnMessage, message, wParam, lParam);
  }
  return slot->Original != nullptr
             ? ::CallWindowProcA(slot->Original, window, message, wParam, lParam)
             : ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK WindowHost::Impl::ControlProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  auto* host = reinterpret_cast<Impl*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (host == nullptr) {
    return ::DefWindowProcA(window, message, wParam, lParam);
  }
  switch (message) {
    case kCreateRequest:
      return reinterpret_cast<LRESULT>(
          host->CreateHere(*reinterpret_cast<const CreateArgs*>(lParam)));
    case kDestroyRequest:
      host->DestroyHere(reinterpret_cast<HWND>(lParam));
      return 0;
    case kWake:
      return 0;
    default:
      return ::DefWindowProcA(window, message, wParam, lParam);
  }
}

WindowHost::WindowHost() : impl_(std::make_unique<Impl>()) {}
WindowHost::~WindowHost() = default;

WindowHandle WindowHost::CreateWindow(const std::string& className, const std::string& title,
                                      const WindowHandle& parent, Handler handler) {
  return impl_->Create(className, title, parent, std::move(handler));
}

void WindowHost::DestroyWindow(const WindowHandle& window) {
  impl_->Destroy(window);
}
void WindowHost::Run() {
  impl_->Run();
}
void WindowHost::Quit() {
  impl_->Quit();
}

}  // namespace platform
