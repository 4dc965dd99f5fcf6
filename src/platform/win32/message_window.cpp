// A hidden message-only window whose handle a library gets and sends its
// progress to, from inside the call its owner made.
#include <mutex>
#include <utility>

#include "platform/desktop.h"
#include "platform/win32/windows_ui.h"

namespace platform {

struct MessageWindow::Impl {
  Handler handler;
  std::mutex mutex;  // guards `pending`
  std::exception_ptr pending;
  win32::OwnedWindow window;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Registered on first use, unregistered at exit.
  static const win32::RegisteredClass& Class();
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
};

const win32::RegisteredClass& MessageWindow::Impl::Class() {
  static const win32::RegisteredClass windowClass("ZelUpd.MessageWindow", &Impl::WindowProc);
  return windowClass;
}

LRESULT CALLBACK MessageWindow::Impl::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Impl*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  // The system's own messages (creation, destruction) are no business of the
  // handler; libraries send registered messages.
  if (self == nullptr || message < WM_USER) {
    return ::DefWindowProcA(window, message, wParam, lParam);
  }
  return self->Dispatch(message, wParam, lParam);
}

LRESULT MessageWindow::Impl::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  // The sender may be a library's C code: nothing may unwind into it.
  try {
    return handler ? handler(message, wParam, lParam) : 0;
  } catch (...) {
    const std::lock_guard lock(mutex);
    if (!pending) {
      pending = std::current_exception();
    }
    return 1;
  }
}

MessageWindow::MessageWindow(Handler handler) : impl_(std::make_unique<Impl>()) {
  impl_->handler = std::move(handler);
  const std::string& className = Impl::Class().Name();
  impl_->window =
      win32::OwnedWindow(::CreateWindowExA(0, className.c_str(), "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                           nullptr, win32::ModuleInstance(), impl_.get()));
  if (impl_->window.Get() == nullptr) {
    win32::RaiseLastError("Could not make a window for progress messages");
  }
}

MessageWindow::~MessageWindow() = default;

NativeWindow MessageWindow::Native() const {
  return impl_->window.Get();
}

std::exception_ptr MessageWindow::TakeException() {
  const std::lock_guard lock(impl_->mutex);
  return std::exchange(impl_->pending, nullptr);
}

}  // namespace platform
