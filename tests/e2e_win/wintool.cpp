// What the end-to-end tests under Wine do to windows and programs that a
// script cannot: dismiss message boxes and report their text, and stay
// running as a program of an installation. Written on the platform layer.
//
//   wintool watch CAPTION   dismisses every message box titled CAPTION as it
//                           appears and prints "box HEX" (its text in the ANSI
//                           code page, hex-encoded) for each, until killed
//   wintool sleep MS        runs for MS milliseconds, its executable in use
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "platform/desktop.h"

namespace {

using platform::WindowHandle;
using namespace std::chrono_literals;

constexpr std::uint32_t kWmGetText = 0x000D;
constexpr std::uint32_t kWmCommand = 0x0111;
constexpr const char* kDialogClass = "#32770";

// The text of a window of any process: the system carries WM_GETTEXT across.
std::string TextOf(const WindowHandle& window) {
  char buffer[4096] = {};
  platform::CurrentDesktop().SendMessage(window, kWmGetText, sizeof buffer,
                                         reinterpret_cast<std::intptr_t>(buffer));
  return buffer;
}

// A message box's text is its one static control with text (the other holds the icon).
std::string BoxText(const WindowHandle& box) {
  platform::Desktop& desktop = platform::CurrentDesktop();
  std::string text;
  for (WindowHandle s = desktop.FindWindowEx(box, {}, std::string("Static"), std::nullopt);
       !s.IsNull(); s = desktop.FindWindowEx(box, s, std::string("Static"), std::nullopt)) {
    text += TextOf(s);
  }
  return text;
}

std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
  }
  return hex;
}

[[noreturn]] void Watch(const std::string& caption) {
  platform::Desktop& desktop = platform::CurrentDesktop();
  std::set<std::string> answered;  // boxes told and dismissed, until they are gone
  while (true) {
    std::set<std::string> present;
    for (WindowHandle box = desktop.FindWindowEx({}, {}, std::string(kDialogClass), caption);
         !box.IsNull(); box = desktop.FindWindowEx({}, box, std::string(kDialogClass), caption)) {
      present.insert(box.Id);
      if (!answered.contains(box.Id)) {
        const std::string line = "box " + Hex(BoxText(box)) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
        // What the OK button sends its dialog.
        desktop.PostMessage(box, kWmCommand, platform::kIdOk, 0);
      }
    }
    answered = std::move(present);
    std::this_thread::sleep_for(20ms);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc == 3 ? argv[1] : "";
  if (command == "watch") {
    Watch(argv[2]);
  }
  if (command == "sleep") {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(argv[2])));
    return 0;
  }
  std::fputs("usage: wintool watch CAPTION | wintool sleep MS\n", stderr);
  return 2;
}
