// The client side of the desktop bus: finding other programs' windows and
// sending messages to them.
#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/desktop.h"
#include "platform/posix/desktop_bus.h"
#include "rtl/codepage.h"

namespace platform {
namespace posix {
namespace {

// One window among its siblings, as FindWindowEx walks them.
struct Sibling {
  WindowAddress Address;
  ListedWindow Window;
};

void AppendChildrenOf(const WindowOwner& owner, std::uint64_t parent,
                      std::vector<Sibling>& siblings) {
  for (const ListedWindow& window : owner.Windows) {
    if (window.Parent == parent) {
      siblings.push_back(Sibling{WindowAddress{owner.Owner, window.Id}, window});
    }
  }
}

std::vector<Sibling> TopLevelWindows(sd_bus* bus) {
  std::vector<Sibling> siblings;
  for (const std::string& name : ListOwnerNames(bus)) {
    // An owner that has just gone or does not answer has no windows to find.
    if (const auto owner = ListWindowsOf(bus, name)) {
      AppendChildrenOf(*owner, 0, siblings);
    }
  }
  return siblings;
}

std::vector<Sibling> ChildWindows(sd_bus* bus, const WindowAddress& parent) {
  std::vector<Sibling> siblings;
  if (const auto owner = ListWindowsOf(bus, parent.Owner)) {
    AppendChildrenOf(*owner, parent.Id, siblings);
  }
  return siblings;
}

bool Matches(const ListedWindow& window, const std::optional<std::string>& className,
             const std::optional<std::string>& title) {
  return (!className || rtl::Utf8ToAnsi(window.ClassName) == *className) &&
         (!title || rtl::Utf8ToAnsi(window.Title) == *title);
}

// The first match after `after` (null: from the start); null when `after`
// is not among the siblings.
WindowHandle FirstMatchAfter(const std::vector<Sibling>& siblings, const WindowHandle& after,
                             const std::optional<std::string>& className,
                             const std::optional<std::string>& title) {
  auto it = siblings.begin();
  if (!after.IsNull()) {
    const auto start = ParseWindowHandle(after);
    it = std::find_if(siblings.begin(), siblings.end(),
                      [&](const Sibling& s) { return s.Address == start; });
    if (it == siblings.end()) {
      return {};
    }
    ++it;
  }
  const auto match = std::find_if(
      it, siblings.end(), [&](const Sibling& s) { return Matches(s.Window, className, title); });
  return match == siblings.end() ? WindowHandle{} : MakeWindowHandle(match->Address);
}

class BusDesktop final : public Desktop {
 public:
  explicit BusDesktop(std::optional<std::string> address) : address_(std::move(address)) {}

  WindowHandle FindWindowEx(const WindowHandle& parent, const WindowHandle& after,
                            const std::optional<std::string>& className,
                            const std::optional<std::string>& title) override {
    std::optional<WindowAddress> parentAddress;
    if (!parent.IsNull()) {
      parentAddress = ParseWindowHandle(parent);
      if (!parentAddress) {
        return {};
      }
    }
    const std::lock_guard lock(mutex_);
    sd_bus* bus = Connection();
    if (bus == nullptr) {
      return {};
    }
    const std::vector<Sibling> siblings =
        parentAddress ? ChildWindows(bus, *parentAddress) : TopLevelWindows(bus);
    return FirstMatchAfter(siblings, after, className, title);
  }

  bool PostMessage(const WindowHandle& window, std::uint32_t message, std::uintptr_t wParam,
                   std::intptr_t lParam) override {
    const auto address = ParseWindowHandle(window);
    if (!address) {
      return false;
    }
    const std::lock_guard lock(mutex_);
    sd_bus* bus = Connection();
    // Without a reply nobody would tell us that the owner is gone, so ask
    // the bus, which answers even when the owner is busy.
    return bus != nullptr && HasOwner(bus, address->Owner) &&
           PostWindowMessage(bus, *address, message, wParam, lParam) >= 0;
  }

  std::intptr_t SendMessage(const WindowHandle& window, std::uint32_t message,
                            std::uintptr_t wParam, std::intptr_t lParam) override {
    const auto address = ParseWindowHandle(window);
    if (!address) {
      return 0;
    }
    const std::lock_guard lock(mutex_);
    sd_bus* bus = Connection();
    if (bus == nullptr) {
      return 0;
    }
    return static_cast<std::intptr_t>(
        SendWindowMessage(bus, *address, message, wParam, lParam).value_or(0));
  }

  int MessageBox(const WindowHandle& /*owner*/, const std::string& text, const std::string& caption,
                 std::uint32_t /*type*/) override {
    // No graphical session is assumed: the box is one line on standard error.
    const std::string line = "[" + caption + "] " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return kIdOk;
  }

 private:
  // The connection, opened on first use and again after it was lost;
  // nullptr when there is no bus.
  sd_bus* Connection() {
    if (bus_ && sd_bus_is_open(bus_.Get()) > 0) {
      return bus_.Get();
    }
    bus_.Reset();
    if (OpenBus(address_, bus_) < 0) {
      return nullptr;
    }
    return bus_.Get();
  }

  std::optional<std::string> address_;
  std::mutex mutex_;
  Bus bus_;
};

}  // namespace

std::unique_ptr<Desktop> MakeBusDesktop(std::optional<std::string> address) {
  return std::make_unique<BusDesktop>(std::move(address));
}

}  // namespace posix

template <>
Desktop& Seam<Desktop>::Default() {
  static const std::unique_ptr<Desktop> desktop = posix::MakeBusDesktop();
  return *desktop;
}

}  // namespace platform
