// Windows that only this process reaches. The native handle is the address
// of a record with a fixed C layout that carries its own dispatch function,
// so that a library holding a separate copy of this code still reaches the
// program's window: nothing is looked up in process-wide tables.
#include <cctype>
#include <mutex>
#include <utility>

#include "platform/desktop.h"

namespace platform {
namespace {

constexpr std::uint64_t kLiveWindow = 0x5A454C4D53475749;  // "ZELMSGWI"
constexpr std::uint64_t kDeadWindow = 0;

// The layout every copy of this code agrees on.
struct NativeWindowRecord {
  std::uint64_t Magic;
  std::intptr_t (*Dispatch)(NativeWindowRecord* self, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam) noexcept;
};

constexpr std::uint32_t kFirstRegisteredMessage = 0xC000;
constexpr std::uint32_t kRegisteredMessageCount = 0x4000;

}  // namespace

std::uint32_t RegisterWindowMessage(std::string_view name) {
  // FNV-1a over the upper-cased name: stable across modules and runs.
  std::uint32_t hash = 2166136261U;
  for (const char c : name) {
    hash ^= static_cast<std::uint8_t>(std::toupper(static_cast<unsigned char>(c)));
    hash *= 16777619U;
  }
  return kFirstRegisteredMessage + hash % kRegisteredMessageCount;
}

std::intptr_t SendMessage(NativeWindow window, std::uint32_t message, std::uintptr_t wParam,
                          std::intptr_t lParam) {
  auto* record = static_cast<NativeWindowRecord*>(window);
  if (record == nullptr || record->Magic != kLiveWindow || record->Dispatch == nullptr) {
    return 0;
  }
  return record->Dispatch(record, message, wParam, lParam);
}

struct MessageWindow::Impl : NativeWindowRecord {
  Handler handler;
  std::mutex mutex;  // guards `pending`
  std::exception_ptr pending;

  static std::intptr_t DispatchTo(NativeWindowRecord* self, std::uint32_t message,
                                  std::uintptr_t wParam, std::intptr_t lParam) noexcept {
    auto* impl = static_cast<Impl*>(self);
    try {
      return impl->handler ? impl->handler(message, wParam, lParam) : 0;
    } catch (...) {
      const std::lock_guard lock(impl->mutex);
      if (!impl->pending) {
        impl->pending = std::current_exception();
      }
      return 1;
    }
  }
};

MessageWindow::MessageWindow(Handler handler) : impl_(std::make_unique<Impl>()) {
  impl_->Magic = kLiveWindow;
  impl_->Dispatch = &Impl::DispatchTo;
  impl_->handler = std::move(handler);
}

MessageWindow::~MessageWindow() {
  impl_->Magic = kDeadWindow;
}

NativeWindow MessageWindow::Native() const {
  return static_cast<NativeWindowRecord*>(impl_.get());
}

std::exception_ptr MessageWindow::TakeException() {
  const std::lock_guard lock(impl_->mutex);
  return std::exchange(impl_->pending, nullptr);
}

}  // namespace platform
