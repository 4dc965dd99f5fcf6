// Other programs' windows, messages to them and the message box: the
// system's own calls, with handles carried as text.
#include <charconv>
#include <cstdint>
#include <utility>

#include "platform/desktop.h"
#include "platform/win32/errors.h"
#include "platform/win32/windows_ui.h"
#include "rtl/exceptions.h"
#include "rtl/sysmsg.h"

namespace platform {
namespace win32 {

HWND ToHwnd(const WindowHandle& window) {
  const std::string& id = window.Id;
  std::uintptr_t value = 0;
  const auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), value);
  if (id.empty() || error != std::errc{} || end != id.data() + id.size()) {
    return nullptr;
  }
  // NOLINTNEXTLINE(performance-no-int-to-ptr): a handle is a number to the system
  return reinterpret_cast<HWND>(value);
}

WindowHandle FromHwnd(HWND window) {
  if (window == nullptr) {
    return {};
  }
  return WindowHandle{std::to_string(reinterpret_cast<std::uintptr_t>(window))};
}

void RaiseLastError(const std::string& what) {
  const SysError error = LastError();
  throw rtl::EOSError(error.Code, what + ": " + rtl::TrimSystemMessage(error.Text));
}

HINSTANCE ModuleInstance() {
  HMODULE module = nullptr;
  // The module that holds this code, which may be a library rather than the program.
  ::GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<const char*>(&ModuleInstance), &module);
  return module;
}

RegisteredClass::RegisteredClass(std::string name, WNDPROC procedure) : name_(std::move(name)) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = ModuleInstance();
  windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<const char*>(IDC_ARROW));
  windowClass.hbrBackground =
      reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = name_.c_str();
  if (::RegisterClassExA(&windowClass) == 0) {
    RaiseLastError("Could not register the window class " + name_);
  }
}

RegisteredClass::~RegisteredClass() {
  ::UnregisterClassA(name_.c_str(), ModuleInstance());
}

namespace {

// A window that does not answer within this time is given up, as a hung
// program would otherwise hold the tool for good.
constexpr UINT kSendTimeoutMs = 25'000;

// Criteria as the system takes them: null matches every window.
const char* Criterion(const std::optional<std::string>& text) {
  return text ? text->c_str() : nullptr;
}

class Win32Desktop final : public Desktop {
 public:
  WindowHandle FindWindowEx(const WindowHandle& parent, const WindowHandle& after,
                            const std::optional<std::string>& className,
                            const std::optional<std::string>& title) override {
    const HWND parentWindow = ToHwnd(parent);
    const HWND afterWindow = ToHwnd(after);
    if ((parentWindow == nullptr && !parent.IsNull()) ||
        (afterWindow == nullptr && !after.IsNull())) {
      return {};
    }
    return FromHwnd(
        ::FindWindowExA(parentWindow, afterWindow, Criterion(className), Criterion(title)));
  }

  bool PostMessage(const WindowHandle& window, std::uint32_t message, std::uintptr_t wParam,
                   std::intptr_t lParam) override {
    // A null window would post to this thread's own queue.
    const HWND target = ToHwnd(window);
    return target != nullptr && ::PostMessageA(target, message, wParam, lParam) != FALSE;
  }

  std::intptr_t SendMessage(const WindowHandle& window, std::uint32_t message,
                            std::uintptr_t wParam, std::intptr_t lParam) override {
    const HWND target = ToHwnd(window);
    DWORD_PTR result = 0;
    if (target == nullptr ||
        ::SendMessageTimeoutA(target, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                              kSendTimeoutMs, &result) == 0) {
      return 0;
    }
    return static_cast<std::intptr_t>(result);
  }

  int MessageBox(const WindowHandle& owner, const std::string& text, const std::string& caption,
                 std::uint32_t type) override {
    return ::MessageBoxA(ToHwnd(owner), text.c_str(), caption.c_str(), type);
  }
};

}  // namespace
}  // namespace win32

template <>
Desktop& Seam<Desktop>::Default() {
  static win32::Win32Desktop desktop;
  return desktop;
}

std::uint32_t RegisterWindowMessage(std::string_view name) {
  return ::RegisterWindowMessageA(std::string(name).c_str());
}

std::intptr_t SendMessage(NativeWindow window, std::uint32_t message, std::uintptr_t wParam,
                          std::intptr_t lParam) {
  if (window == nullptr) {
    return 0;
  }
  return ::SendMessageA(static_cast<HWND>(window), message, wParam, lParam);
}

}  // namespace platform
