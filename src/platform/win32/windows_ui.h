// What the desktop's sources share: window handles as text, and RAII for
// window classes and windows.
#pragma once

#include <string>

#include "platform/desktop.h"
#include "platform/win32/handles.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {

// A handle's Id is the HWND's value in decimal; anything else is no window.
HWND ToHwnd(const WindowHandle& window);
WindowHandle FromHwnd(HWND window);

// Raises rtl::EOSError with the calling thread's last error and its text.
[[noreturn]] void RaiseLastError(const std::string& what);

// A window class of this module, unregistered when this goes.
class RegisteredClass {
 public:
  RegisteredClass(std::string name, WNDPROC procedure);
  ~RegisteredClass();
  RegisteredClass(const RegisteredClass&) = delete;
  RegisteredClass& operator=(const RegisteredClass&) = delete;

  const std::string& Name() const { return name_; }

 private:
  std::string name_;
};

// A window, destroyed when its owner goes (on the thread that made it, as
// the system requires).
struct WindowTraits {
  using Type = HWND;
  static Type Empty() { return nullptr; }
  static void Close(Type window) { ::DestroyWindow(window); }
};
using OwnedWindow = UniqueHandle<WindowTraits>;

// This module's instance, as window classes are registered for it.
HINSTANCE ModuleInstance();

}  // namespace platform::win32
