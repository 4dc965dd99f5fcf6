// Windows of other programs, messages to them, and the message box.
//
// On Windows these are real windows. Elsewhere a program that owns windows
// (the stand-in file manager) publishes them on the desktop bus; see
// WindowHost. With no desktop there are no windows to find.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/seam.h"

namespace platform {

inline constexpr std::uint32_t kWmClose = 0x0010;
inline constexpr std::uint32_t kWmQueryEndSession = 0x0011;
inline constexpr std::uint32_t kBmClick = 0x00F5;
inline constexpr std::uint32_t kMbOk = 0x00000000;
inline constexpr int kIdOk = 1;

// An opaque window reference; the backend gives `Id` its meaning. Empty is
// "no window".
struct WindowHandle {
  std::string Id;

  bool IsNull() const { return Id.empty(); }
  bool operator==(const WindowHandle&) const = default;
};

class Desktop {
 public:
  virtual ~Desktop() = default;

  // The first window after `after` (null: from the first) among the direct
  // children of `parent` (null: the top-level windows) whose class and title
  // equal the given ones; a criterion that is nullopt matches every window.
  virtual WindowHandle FindWindowEx(const WindowHandle& parent, const WindowHandle& after,
                                    const std::optional<std::string>& className,
                                    const std::optional<std::string>& title) = 0;
  // Queues a message and returns without waiting; false when it could not be queued.
  virtual bool PostMessage(const WindowHandle& window, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam) = 0;
  // Delivers a message and waits until the window has handled it; 0 when it
  // could not be delivered.
  virtual std::intptr_t SendMessage(const WindowHandle& window, std::uint32_t message,
                                    std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // Shows `text` under `caption` and waits until it is dismissed.
  virtual int MessageBox(const WindowHandle& owner, const std::string& text,
                         const std::string& caption, std::uint32_t type) = 0;
};

// The backend's default instances.
template <>
Desktop& Seam<Desktop>::Default();

using ScopedDesktop = ScopedOverride<Desktop>;
inline Desktop& CurrentDesktop() {
  return Seam<Desktop>::Current();
}

// The owner's side: windows that other programs find with Desktop and send
// messages to. One host per process; messages are handled on the thread
// that calls Run, so a handler that sends (rather than posts) to a window of
// its own host waits for itself until the send times out.
class WindowHost {
 public:
  using Handler = std::function<std::intptr_t(std::uint32_t message, std::uintptr_t wParam,
                                              std::intptr_t lParam)>;

  // Raises rtl::EOSError when there is no desktop to publish on.
  WindowHost();
  ~WindowHost();
  WindowHost(const WindowHost&) = delete;
  WindowHost& operator=(const WindowHost&) = delete;

  // A new window; `parent` null makes it top-level. The null handle when
  // `parent` is not a live window of this host. Destroying a window destroys
  // its children. Both may be called from handlers and from other threads.
  WindowHandle CreateWindow(const std::string& className, const std::string& title,
                            const WindowHandle& parent, Handler handler);
  void DestroyWindow(const WindowHandle& window);
  // Dispatches messages until Quit is called or the desktop goes away.
  void Run();
  // Makes Run return once the message in hand is answered; when Run is not
  // running, the next Run returns at once. Safe from any thread.
  void Quit();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// ---- Windows of this process for messages sent within it ----
//
// Library interfaces of the system take a window as a pointer-sized native
// handle and report progress by sending it messages; the sender runs on the
// window's own thread, inside the call that the window's owner made.

// A native window handle (HWND on Windows); null is "no window".
using NativeWindow = void*;

// The message number for `name`: the same for the same name (ignoring ASCII
// letter case) in every module and process, in 0xC000-0xFFFF.
std::uint32_t RegisterWindowMessage(std::string_view name);

// Delivers a message to a window given in native form, as a library gets it
// from its caller, and returns the window's answer; 0 when it is no window.
std::intptr_t SendMessage(NativeWindow window, std::uint32_t message, std::uintptr_t wParam,
                          std::intptr_t lParam);

// A hidden window that only receives messages sent to its native handle.
// An exception of the handler does not cross the sender (which may be a
// library's C code): the send answers 1, which the interfaces read as
// "abort", and the exception waits in TakeException.
class MessageWindow {
 public:
  using Handler = std::function<std::intptr_t(std::uint32_t message, std::uintptr_t wParam,
                                              std::intptr_t lParam)>;

  explicit MessageWindow(Handler handler);
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  NativeWindow Native() const;
  // The first exception a handler raised since the last call, or null.
  std::exception_ptr TakeException();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
