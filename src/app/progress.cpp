#include "app/progress.h"

#include "platform/console.h"
#include "rtl/console.h"
#include "rtl/strtable.h"

namespace app {
namespace {

constexpr auto kInterval = std::chrono::milliseconds(200);
// Longer addresses are cut at the front, so the line never wraps (and
// can still be rewritten) on a terminal of common width.
constexpr std::size_t kWhatWidth = 48;

}  // namespace

TProgressLine::TProgressLine(std::string what)
    : TProgressLine(std::move(what), rtl::LoadStr(rtl::SUnitBytes)) {}

TProgressLine::TProgressLine(std::string what, std::string unit)
    : shown_(platform::StandardErrorIsTerminal()), what_(std::move(what)), unit_(std::move(unit)) {
  if (what_.size() > kWhatWidth) {
    what_ = "..." + what_.substr(what_.size() - (kWhatWidth - 3));
  }
}

TProgressLine::~TProgressLine() {
  if (!shown_) {
    return;
  }
  Show();
  rtl::WriteErr("\n");
}

void TProgressLine::Update(std::uint64_t done, std::int64_t total) {
  done_ = done;
  total_ = total;
  if (!shown_) {
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (started_ && now - last_ < kInterval) {
    return;
  }
  last_ = now;
  started_ = true;
  Show();
}

std::string TProgressLine::Text(const std::string& what, std::uint64_t done, std::int64_t total,
                                const std::string& unit) {
  std::string text = what + ": " + std::to_string(done);
  if (total < 0) {
    return text + " " + unit;
  }
  text += " / " + std::to_string(total) + " " + unit;
  // A body decoded on the way may outgrow the size the server announced.
  const auto whole = static_cast<std::uint64_t>(total);
  if (done <= whole) {
    text += " (" + std::to_string(whole == 0 ? 100 : done * 100 / whole) + "%)";
  }
  return text;
}

void TProgressLine::Show() {
  std::string line = Text(what_, done_, total_, unit_);
  const std::size_t width = line.size();
  // Blanks over what is left of a longer line before.
  if (width < width_) {
    line.append(width_ - width, ' ');
  }
  width_ = width;
  rtl::WriteErr("\r" + line);
}

}  // namespace app
