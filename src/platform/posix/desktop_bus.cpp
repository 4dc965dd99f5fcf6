#include "platform/posix/desktop_bus.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "rtl/codepage.h"

namespace platform::posix {
namespace {

constexpr const char* kBusService = "org.freedesktop.DBus";
constexpr const char* kBusPath = "/org/freedesktop/DBus";
constexpr const char* kBusInterface = "org.freedesktop.DBus";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

template <class Number>
std::optional<Number> ParseNumber(std::string_view digits) {
  Number value{};
  const char* end = digits.data() + digits.size();
  const auto [next, error] = std::from_chars(digits.data(), end, value);
  if (digits.empty() || error != std::errc{} || next != end) {
    return std::nullopt;
  }
  return value;
}

// sd-bus refuses these in strings, even where the bus itself would not.
bool IsBusCodePoint(char32_t c) {
  return c != 0 && c < 0x110000 && (c & 0xFFFFF800) != 0xD800 && !(c >= 0xFDD0 && c <= 0xFDEF) &&
         (c & 0xFFFE) != 0xFFFE;
}

// Length of the well-formed sequence at the start of `s` that encodes a
// code point sd-bus accepts; 0 when there is none.
std::size_t ValidSequenceLength(std::string_view s) {
  const auto lead = static_cast<unsigned char>(s[0]);
  std::size_t length = 0;
  char32_t c = 0;
  char32_t least = 0;  // below this the sequence would be overlong
  if (lead < 0x80) {
    return lead != 0 ? 1 : 0;
  }
  if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1Fu, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0Fu, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07u, least = 0x10000;
  } else {
    return 0;
  }
  if (s.size() < length) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto trail = static_cast<unsigned char>(s[i]);
    if ((trail & 0xC0) != 0x80) {
      return 0;
    }
    c = (c << 6) | (trail & 0x3Fu);
  }
  return c >= least && IsBusCodePoint(c) ? length : 0;
}

int NewDesktopCall(sd_bus* bus, const std::string& destination, const char* member,
                   BusMessage& call) {
  int r = sd_bus_message_new_method_call(bus, call.Out(), destination.c_str(), kDesktopPath,
                                         kDesktopInterface, member);
  if (r >= 0) {
    // A window owner is never started on demand.
    r = sd_bus_message_set_auto_start(call.Get(), 0);
  }
  return r;
}

int NewWindowMessage(sd_bus* bus, const WindowAddress& window, std::uint32_t message,
                     std::uint64_t wParam, std::int64_t lParam, BusMessage& call) {
  int r = NewDesktopCall(bus, window.Owner, "Message", call);
  if (r >= 0) {
    r = sd_bus_message_append(call.Get(), "tutx", window.Id, message, wParam, lParam);
  }
  return r;
}

std::optional<ListedWindow> ReadListedWindow(sd_bus_message* reply) {
  ListedWindow window;
  const char* className = nullptr;
  const char* title = nullptr;
  const int r =
      sd_bus_message_read(reply, "(tsst)", &window.Id, &className, &title, &window.Parent);
  if (r <= 0) {
    return std::nullopt;
  }
  window.ClassName = className;
  window.Title = title;
  return window;
}

std::optional<std::vector<ListedWindow>> ReadWindowList(sd_bus_message* reply) {
  if (sd_bus_message_enter_container(reply, 'a', "(tsst)") < 0) {
    return std::nullopt;
  }
  std::vector<ListedWindow> windows;
  while (auto window = ReadListedWindow(reply)) {
    windows.push_back(std::move(*window));
  }
  if (sd_bus_message_exit_container(reply) < 0) {
    return std::nullopt;
  }
  return windows;
}

// The pid in an owner's well-known name, or nullopt for a name that only
// shares the prefix.
std::optional<std::uint32_t> OwnerPid(std::string_view name) {
  if (!name.starts_with(kDesktopNamePrefix)) {
    return std::nullopt;
  }
  return ParseNumber<std::uint32_t>(name.substr(kDesktopNamePrefix.size()));
}

}  // namespace

int OpenBus(const std::optional<std::string>& address, Bus& bus) {
  if (!address) {
    return sd_bus_open_user(bus.Out());
  }
  Bus fresh;
  int r = sd_bus_new(fresh.Out());
  if (r >= 0) {
    r = sd_bus_set_address(fresh.Get(), address->c_str());
  }
  if (r >= 0) {
    r = sd_bus_set_bus_client(fresh.Get(), 1);
  }
  if (r >= 0) {
    r = sd_bus_start(fresh.Get());
  }
  if (r < 0) {
    return r;
  }
  bus = std::move(fresh);
  return 0;
}

std::string DesktopBusName(std::uint32_t pid) {
  return std::string(kDesktopNamePrefix) + std::to_string(pid);
}

WindowHandle MakeWindowHandle(const WindowAddress& address) {
  return WindowHandle{address.Owner + "#" + std::to_string(address.Id)};
}

std::optional<WindowAddress> ParseWindowHandle(const WindowHandle& window) {
  const std::string_view id = window.Id;
  const std::size_t hash = id.rfind('#');
  // Handles name their owner by its unique name, which starts with ':'.
  if (hash == std::string_view::npos || !id.starts_with(':')) {
    return std::nullopt;
  }
  const auto number = ParseNumber<std::uint64_t>(id.substr(hash + 1));
  if (!number || *number == 0) {
    return std::nullopt;
  }
  return WindowAddress{std::string(id.substr(0, hash)), *number};
}

std::string SanitizeBusUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    const std::size_t length = ValidSequenceLength(utf8);
    if (length == 0) {
      out += kReplacement;
      utf8.remove_prefix(1);
    } else {
      out += utf8.substr(0, length);
      utf8.remove_prefix(length);
    }
  }
  return out;
}

std::string ToBusText(std::string_view ansi) {
  return SanitizeBusUtf8(rtl::AnsiToUtf8(ansi));
}

std::vector<std::string> ListOwnerNames(sd_bus* bus) {
  BusError error;
  BusMessage reply;
  if (sd_bus_call_method(bus, kBusService, kBusPath, kBusInterface, "ListNames", error.Get(),
                         reply.Out(), "") < 0 ||
      sd_bus_message_enter_container(reply.Get(), 'a', "s") < 0) {
    return {};
  }
  std::vector<std::pair<std::uint32_t, std::string>> owners;
  const char* name = nullptr;
  while (sd_bus_message_read(reply.Get(), "s", &name) > 0) {
    if (const auto pid = OwnerPid(name)) {
      owners.emplace_back(*pid, name);
    }
  }
  std::sort(owners.begin(), owners.end());
  std::vector<std::string> names;
  names.reserve(owners.size());
  for (auto& owner : owners) {
    names.push_back(std::move(owner.second));
  }
  return names;
}

std::optional<WindowOwner> ListWindowsOf(sd_bus* bus, const std::string& owner) {
  BusMessage call;
  BusMessage reply;
  BusError error;
  if (NewDesktopCall(bus, owner, "ListWindows", call) < 0 ||
      sd_bus_call(bus, call.Get(), kListTimeoutUsec, error.Get(), reply.Out()) < 0) {
    return std::nullopt;
  }
  // The reply comes from the owner's unique name, which the handles use.
  const char* sender = sd_bus_message_get_sender(reply.Get());
  auto windows = ReadWindowList(reply.Get());
  if (sender == nullptr || !windows) {
    return std::nullopt;
  }
  return WindowOwner{sender, std::move(*windows)};
}

bool HasOwner(sd_bus* bus, const std::string& name) {
  BusError error;
  BusMessage reply;
  int has = 0;
  return sd_bus_call_method(bus, kBusService, kBusPath, kBusInterface, "NameHasOwner", error.Get(),
                            reply.Out(), "s", name.c_str()) >= 0 &&
         sd_bus_message_read(reply.Get(), "b", &has) > 0 && has != 0;
}

int PostWindowMessage(sd_bus* bus, const WindowAddress& window, std::uint32_t message,
                      std::uint64_t wParam, std::int64_t lParam) {
  BusMessage call;
  int r = NewWindowMessage(bus, window, message, wParam, lParam, call);
  if (r >= 0) {
    r = sd_bus_message_set_expect_reply(call.Get(), 0);
  }
  if (r >= 0) {
    r = sd_bus_send(bus, call.Get(), nullptr);
  }
  if (r >= 0) {
    // Out of our process before we return, so the poster may exit at once.
    r = sd_bus_flush(bus);
  }
  return r;
}

std::optional<std::int64_t> SendWindowMessage(sd_bus* bus, const WindowAddress& window,
                                              std::uint32_t message, std::uint64_t wParam,
                                              std::int64_t lParam) {
  BusMessage call;
  BusMessage reply;
  BusError error;
  std::int64_t result = 0;
  if (NewWindowMessage(bus, window, message, wParam, lParam, call) < 0 ||
      sd_bus_call(bus, call.Get(), kSendTimeoutUsec, error.Get(), reply.Out()) < 0 ||
      sd_bus_message_read(reply.Get(), "x", &result) <= 0) {
    return std::nullopt;
  }
  return result;
}

}  // namespace platform::posix
