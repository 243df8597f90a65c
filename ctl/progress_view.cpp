#include "ctl/progress_view.h"

#include <algorithm>
#include <cstdlib>

#include "core/os_console.h"
#include "venue/engine_lines.h"

namespace kp::ctl {

namespace {
constexpr int kBarWidth = 30;
}

std::string barText(const std::string& label, const char* what, int done, int total, int width) {
  const int filled = total > 0 ? std::clamp(done * width / total, 0, width) : 0;
  std::string s = label.empty() ? "" : label + "  ";
  s += "[" + std::string(static_cast<std::size_t>(filled), '#') +
       std::string(static_cast<std::size_t>(width - filled), ' ') + "] ";
  s += std::string(what) + " " + std::to_string(done) + " / " + std::to_string(total);
  return s;
}

void ProgressView::update(const char* what, int done, int total) {
  if (mode_ == Mode::None) return;
  std::string text;
  if (mode_ == Mode::Lines)
    text = progressLine(what, done, total) + "\n";
  else
    text = "\r" + barText("", what, done, total, kBarWidth) + "\x1b[K";
  // A dump redraws at every message; the terminal needs only the changes.
  if (text == last_) return;
  last_ = text;
  os::writeText(out_, text);
  std::fflush(out_);
  drawn_ = mode_ == Mode::Bar;
}

void ProgressView::clear() {
  if (!drawn_) return;
  os::writeText(out_, "\r\x1b[K");
  std::fflush(out_);
  drawn_ = false;
  last_.clear();
}

}  // namespace kp::ctl
