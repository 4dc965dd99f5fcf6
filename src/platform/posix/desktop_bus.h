// The desktop bus: how windows are published and reached on POSIX systems.
//
// A program that owns windows (WindowHost) connects to the session bus, takes
// the name "org.zelupd.Desktop1.P<pid>" and exports the object
// "/org/zelupd/Desktop1" with the interface "org.zelupd.Desktop1":
//
//   ListWindows() -> a(tsst)
//       every window in creation order: (id, class, title, parent id), where
//       parent id 0 marks a top-level window.
//   Message(t id, u message, t wParam, x lParam) -> x
//       runs the window's handler on the owner's Run thread and returns its
//       result. An unknown id is answered with the error NoSuchWindow.
//
// Strings on the bus are UTF-8; the tool's are in the ANSI code page, so each
// side converts. Window ids count up from 1 and are never reused, and a
// handle names its owner by the unique connection name (":1.42#3"), which a
// bus never hands out twice; so a stale handle reaches nothing, even when
// the owner's pid has been reused.
//
// A client lists the bus names with the prefix, asks each owner for its
// windows and matches locally. Owners are taken in pid order so that a
// search continued after a window sees the same sequence. A posted message
// is sent without expecting a reply and flushed at once, so it arrives even
// when the poster exits right after. With no session bus there are no
// windows.
//
// sd-bus connections are not thread-safe: the client keeps one connection
// behind a mutex, and a host keeps its own, used only by the Run thread.
#pragma once

#include <systemd/sd-bus.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/desktop.h"

namespace platform::posix {

inline constexpr std::string_view kDesktopNamePrefix = "org.zelupd.Desktop1.P";
inline constexpr const char* kDesktopPath = "/org/zelupd/Desktop1";
inline constexpr const char* kDesktopInterface = "org.zelupd.Desktop1";
inline constexpr const char* kNoSuchWindowError = "org.zelupd.Desktop1.Error.NoSuchWindow";
inline constexpr const char* kHandlerFailedError = "org.zelupd.Desktop1.Error.HandlerFailed";

// How long a client waits for an owner's window list. The owner answers
// between two messages, so only a stuck owner takes this long.
inline constexpr std::uint64_t kListTimeoutUsec = 5'000'000;
// How long SendMessage waits for a handler: sd-bus's own default.
inline constexpr std::uint64_t kSendTimeoutUsec = 25'000'000;

// Owns one reference to an sd-bus object.
template <class T, T* (*Release)(T*)>
class BusRef {
 public:
  BusRef() = default;
  explicit BusRef(T* object) : object_(object) {}
  ~BusRef() { Reset(); }
  BusRef(BusRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  BusRef& operator=(BusRef&& other) noexcept {
    if (this != &other) {
      Reset();
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  BusRef(const BusRef&) = delete;
  BusRef& operator=(const BusRef&) = delete;

  T* Get() const { return object_; }
  // For the sd-bus calls that hand out a new reference through a pointer.
  T** Out() {
    Reset();
    return &object_;
  }
  explicit operator bool() const { return object_ != nullptr; }
  void Reset() {
    if (object_ != nullptr) {
      Release(std::exchange(object_, nullptr));
    }
  }

 private:
  T* object_ = nullptr;
};

// Closing a connection first writes out what is still queued.
using Bus = BusRef<sd_bus, sd_bus_flush_close_unref>;
using BusMessage = BusRef<sd_bus_message, sd_bus_message_unref>;
using BusSlot = BusRef<sd_bus_slot, sd_bus_slot_unref>;

// An error reply's name and text, freed when it goes.
class BusError {
 public:
  BusError() = default;
  ~BusError() { sd_bus_error_free(&error_); }
  BusError(const BusError&) = delete;
  BusError& operator=(const BusError&) = delete;

  sd_bus_error* Get() { return &error_; }
  bool Is(const char* name) const { return sd_bus_error_has_name(&error_, name) != 0; }

 private:
  sd_bus_error error_{};  // SD_BUS_ERROR_NULL, which is a C compound literal
};

// Connects to the bus at `address` (a D-Bus address), or to the session bus
// when it is nullopt. Returns 0 or a negative errno value.
int OpenBus(const std::optional<std::string>& address, Bus& bus);

// The well-known name of the window owner with process id `pid`.
std::string DesktopBusName(std::uint32_t pid);

// Where a window lives: its owner's unique connection name and its id there.
struct WindowAddress {
  std::string Owner;
  std::uint64_t Id = 0;

  bool operator==(const WindowAddress&) const = default;
};

WindowHandle MakeWindowHandle(const WindowAddress& address);
// nullopt for the null handle and for anything this backend did not make.
std::optional<WindowAddress> ParseWindowHandle(const WindowHandle& window);

// ANSI text as it may go on the bus: UTF-8 that sd-bus accepts. What it
// would refuse (malformed sequences, NUL, surrogates, noncharacters) becomes
// U+FFFD, so one odd title cannot make an owner's whole list unsendable.
std::string ToBusText(std::string_view ansi);
// `utf8` with every sequence sd-bus would refuse replaced by U+FFFD.
std::string SanitizeBusUtf8(std::string_view utf8);

// One window as its owner lists it; the strings are as on the bus (UTF-8).
struct ListedWindow {
  std::uint64_t Id = 0;
  std::string ClassName;
  std::string Title;
  std::uint64_t Parent = 0;  // 0: top-level
};

struct WindowOwner {
  std::string Owner;  // unique connection name
  std::vector<ListedWindow> Windows;
};

// The well-known names of all window owners now on the bus, in pid order.
std::vector<std::string> ListOwnerNames(sd_bus* bus);
// The windows of `owner` (a well-known or unique name); nullopt when it
// does not answer.
std::optional<WindowOwner> ListWindowsOf(sd_bus* bus, const std::string& owner);
// Whether some connection holds `name` now; asks the bus, not the holder.
bool HasOwner(sd_bus* bus, const std::string& name);

// Queues Message for `window` without expecting a reply and writes it out.
// Returns 0 or a negative errno value.
int PostWindowMessage(sd_bus* bus, const WindowAddress& window, std::uint32_t message,
                      std::uint64_t wParam, std::int64_t lParam);
// Calls Message and waits for the handler's result; nullopt when the window
// or its owner is gone, or the owner does not answer in time.
std::optional<std::int64_t> SendWindowMessage(sd_bus* bus, const WindowAddress& window,
                                              std::uint32_t message, std::uint64_t wParam,
                                              std::int64_t lParam);

// A desktop on the bus at `address` (nullopt: the session bus), connected
// on first use; the default desktop is one of these. Tests make their own to
// reach a bus other than the one the process started with.
std::unique_ptr<Desktop> MakeBusDesktop(std::optional<std::string> address = std::nullopt);

}  // namespace platform::posix
