// The owner's side of the desktop bus: a table of windows that other
// programs list and send messages to, served by Run's loop.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <exception>
#include <iterator>
#include <mutex>
#include <optional>
#include <unordered_set>
#include <vector>

#include "platform/desktop.h"
#include "platform/posix/desktop_bus.h"
#include "platform/posix/errors.h"
#include "platform/process.h"
#include "rtl/exceptions.h"
#include "rtl/sysmsg.h"

namespace platform {
namespace {

[[noreturn]] void RaiseBusError(int negativeErrno, const std::string& what) {
  const SysError error = posix::FromErrno(-negativeErrno);
  throw rtl::EOSError(error.Code, what + ": " + rtl::TrimSystemMessage(error.Text));
}

// A descriptor that Quit writes to, so that Run wakes from any thread.
class WakeEvent {
 public:
  WakeEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0) {
      RaiseBusError(-errno, "Could not wait for window messages");
    }
  }
  ~WakeEvent() { ::close(fd_); }
  WakeEvent(const WakeEvent&) = delete;
  WakeEvent& operator=(const WakeEvent&) = delete;

  int Fd() const { return fd_; }
  void Signal() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
  }
  void Clear() const {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(fd_, &count, sizeof count);
  }

 private:
  int fd_;
};

// Milliseconds from now until sd-bus's absolute monotonic deadline; -1 for
// none.
int PollTimeout(sd_bus* bus) {
  std::uint64_t deadline = 0;
  if (sd_bus_get_timeout(bus, &deadline) < 0 || deadline == UINT64_MAX) {
    return -1;
  }
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const auto nowUsec = static_cast<std::uint64_t>(now.tv_sec) * 1'000'000u +
                       static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
  if (deadline <= nowUsec) {
    return 0;
  }
  const std::uint64_t waitMs = (deadline - nowUsec + 999) / 1000;
  return waitMs > 60'000 ? 60'000 : static_cast<int>(waitMs);
}

}  // namespace

struct WindowHost::Impl {
  struct Window {
    std::uint64_t Id = 0;
    std::string ClassName;  // as on the bus
    std::string Title;      // as on the bus
    std::uint64_t Parent = 0;
    // Shared so that destroying a window while its handler runs is safe.
    std::shared_ptr<const Handler> OnMessage;
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
    wake.Signal();
  }

 private:
  static int OnListWindows(sd_bus_message* call, void* self, sd_bus_error* error);
  static int OnWindowMessage(sd_bus_message* call, void* self, sd_bus_error* error);
  int ReplyWindowList(sd_bus_message* call);
  int Dispatch(sd_bus_message* call, sd_bus_error* error);
  std::shared_ptr<const Handler> HandlerOf(std::uint64_t id);
  // The window with `id`, or windows.end(); the caller holds the mutex.
  std::vector<Window>::iterator Lookup(std::uint64_t id);
  std::optional<std::uint64_t> LocalId(const WindowHandle& window) const;
  void WaitForWork();

  static const sd_bus_vtable kVtable[];

  posix::Bus bus;
  posix::BusSlot object;
  std::string owner;  // our unique name, as handles carry it
  std::string name;   // our well-known name
  bool ownsName = false;
  WakeEvent wake;
  std::atomic<bool> quit{false};
  std::exception_ptr failure;  // from a handler; Run raises it

  std::mutex mutex;             // guards the two below
  std::vector<Window> windows;  // in creation order, so parents come first
  std::uint64_t nextId = 1;
};

const sd_bus_vtable WindowHost::Impl::kVtable[] = {
    SD_BUS_VTABLE_START(SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("ListWindows", "", "a(tsst)", &Impl::OnListWindows, 0),
    SD_BUS_METHOD("Message", "tutx", "x", &Impl::OnWindowMessage, 0),
    SD_BUS_VTABLE_END,
};

WindowHost::Impl::Impl() {
  int r = posix::OpenBus(std::nullopt, bus);
  if (r < 0) {
    RaiseBusError(r, "No desktop bus to publish windows on");
  }
  const char* unique = nullptr;
  r = sd_bus_get_unique_name(bus.Get(), &unique);
  if (r < 0) {
    RaiseBusError(r, "No desktop bus to publish windows on");
  }
  owner = unique;
  // The object first, so that a call arriving right after the name is taken
  // finds it.
  r = sd_bus_add_object_vtable(bus.Get(), object.Out(), posix::kDesktopPath,
                               posix::kDesktopInterface, kVtable, this);
  if (r < 0) {
    RaiseBusError(r, "Could not publish windows on the desktop bus");
  }
  name = posix::DesktopBusName(GetCurrentProcessId());
  r = sd_bus_request_name(bus.Get(), name.c_str(), 0);
  if (r < 0) {
    RaiseBusError(r, "Could not take the name " + name + " on the desktop bus");
  }
  ownsName = true;
}

WindowHost::Impl::~Impl() {
  // Given back and confirmed before we go, so that a host made right after
  // this one can take the same name.
  if (ownsName && sd_bus_is_open(bus.Get()) > 0) {
    sd_bus_release_name(bus.Get(), name.c_str());
  }
}

WindowHandle WindowHost::Impl::Create(const std::string& className, const std::string& title,
                                      const WindowHandle& parent, Handler handler) {
  std::uint64_t parentId = 0;
  if (!parent.IsNull()) {
    const auto local = LocalId(parent);
    if (!local) {
      return {};
    }
    parentId = *local;
  }
  if (!handler) {
    handler = [](std::uint32_t, std::uintptr_t, std::intptr_t) -> std::intptr_t { return 0; };
  }
  Window window{0, posix::ToBusText(className), posix::ToBusText(title), parentId,
                std::make_shared<const Handler>(std::move(handler))};

  const std::lock_guard lock(mutex);
  if (parentId != 0 && Lookup(parentId) == windows.end()) {
    return {};
  }
  window.Id = nextId++;
  windows.push_back(std::move(window));
  return posix::MakeWindowHandle({owner, windows.back().Id});
}

void WindowHost::Impl::Destroy(const WindowHandle& window) {
  const auto id = LocalId(window);
  if (!id) {
    return;
  }
  std::vector<Window> doomed;  // handlers die after the lock is released
  {
    const std::lock_guard lock(mutex);
    std::unordered_set<std::uint64_t> ids{*id};
    // Parents precede their children, so one pass finds every descendant.
    for (const Window& w : windows) {
      if (ids.contains(w.Parent)) {
        ids.insert(w.Id);
      }
    }
    auto kept = std::stable_partition(windows.begin(), windows.end(),
                                      [&](const Window& w) { return !ids.contains(w.Id); });
    std::move(kept, windows.end(), std::back_inserter(doomed));
    windows.erase(kept, windows.end());
  }
}

std::optional<std::uint64_t> WindowHost::Impl::LocalId(const WindowHandle& window) const {
  const auto address = posix::ParseWindowHandle(window);
  if (!address || address->Owner != owner) {
    return std::nullopt;
  }
  return address->Id;
}

std::vector<WindowHost::Impl::Window>::iterator WindowHost::Impl::Lookup(std::uint64_t id) {
  return std::find_if(windows.begin(), windows.end(), [&](const Window& w) { return w.Id == id; });
}

std::shared_ptr<const WindowHost::Handler> WindowHost::Impl::HandlerOf(std::uint64_t id) {
  const std::lock_guard lock(mutex);
  const auto it = Lookup(id);
  return it == windows.end() ? nullptr : it->OnMessage;
}

void WindowHost::Impl::Run() {
  while (!quit.exchange(false) && sd_bus_is_open(bus.Get()) > 0) {
    const int r = sd_bus_process(bus.Get(), nullptr);
    if (failure) {
      sd_bus_flush(bus.Get());
      std::rethrow_exception(std::exchange(failure, nullptr));
    }
    if (r < 0) {
      break;  // the connection is lost
    }
    if (r == 0) {
      WaitForWork();
    }
  }
  // The last replies, e.g. to the message that made us quit, go out first.
  sd_bus_flush(bus.Get());
}

void WindowHost::Impl::WaitForWork() {
  pollfd fds[2] = {};
  fds[0].fd = sd_bus_get_fd(bus.Get());
  fds[0].events = static_cast<short>(sd_bus_get_events(bus.Get()));
  fds[1].fd = wake.Fd();
  fds[1].events = POLLIN;
  if (::poll(fds, 2, PollTimeout(bus.Get())) > 0 && (fds[1].revents & POLLIN) != 0) {
    wake.Clear();
  }
}

int WindowHost::Impl::OnListWindows(sd_bus_message* call, void* self, sd_bus_error* /*error*/) {
  return static_cast<Impl*>(self)->ReplyWindowList(call);
}

int WindowHost::Impl::OnWindowMessage(sd_bus_message* call, void* self, sd_bus_error* error) {
  return static_cast<Impl*>(self)->Dispatch(call, error);
}

int WindowHost::Impl::ReplyWindowList(sd_bus_message* call) {
  posix::BusMessage reply;
  int r = sd_bus_message_new_method_return(call, reply.Out());
  if (r >= 0) {
    r = sd_bus_message_open_container(reply.Get(), 'a', "(tsst)");
  }
  {
    const std::lock_guard lock(mutex);
    for (auto it = windows.begin(); r >= 0 && it != windows.end(); ++it) {
      r = sd_bus_message_append(reply.Get(), "(tsst)", it->Id, it->ClassName.c_str(),
                                it->Title.c_str(), it->Parent);
    }
  }
  if (r >= 0) {
    r = sd_bus_message_close_container(reply.Get());
  }
  if (r >= 0) {
    r = sd_bus_send(bus.Get(), reply.Get(), nullptr);
  }
  return r;
}

int WindowHost::Impl::Dispatch(sd_bus_message* call, sd_bus_error* error) {
  std::uint64_t id = 0;
  std::uint32_t message = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
  const int r = sd_bus_message_read(call, "tutx", &id, &message, &wParam, &lParam);
  if (r < 0) {
    return r;
  }
  const auto handler = HandlerOf(id);
  if (!handler) {
    return sd_bus_error_set(error, posix::kNoSuchWindowError, "The window does not exist");
  }
  std::intptr_t result = 0;
  // Nothing may unwind through sd-bus; Run raises it once sd-bus returns.
  try {
    result = (*handler)(message, static_cast<std::uintptr_t>(wParam),
                        static_cast<std::intptr_t>(lParam));
  } catch (...) {
    failure = std::current_exception();
    return sd_bus_error_set(error, posix::kHandlerFailedError, "The window's handler failed");
  }
  return sd_bus_reply_method_return(call, "x", static_cast<std::int64_t>(result));
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
