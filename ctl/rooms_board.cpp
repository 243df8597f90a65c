#include "ctl/rooms_board.h"

#include <chrono>
#include <cstdio>

#include "core/os_console.h"
#include "ctl/progress_view.h"

namespace kp::ctl {

namespace {
constexpr int kBarWidth = 24;
// Sixteen rooms at a few hundred messages a second each would keep the
// terminal busy redrawing; ten pictures a second are plenty.
constexpr std::chrono::milliseconds kRedrawEvery{100};
}  // namespace

void RoomsBoard::erase() {
  if (drawnLines_ == 0) return;
  // Up to the first bar, then clear to the end of the screen.
  os::writeText(stderr, "\x1b[" + std::to_string(drawnLines_) + "A\r\x1b[J");
  std::fflush(stderr);
  drawnLines_ = 0;
}

void RoomsBoard::draw() {
  if (!bars_) return;
  std::string text;
  for (const auto& [id, bar] : running_)
    text += barText(bar.label, bar.what.c_str(), bar.done, bar.total, kBarWidth) + "\n";
  os::writeText(stderr, text);
  std::fflush(stderr);
  drawnLines_ = static_cast<int>(running_.size());
}

void RoomsBoard::progress(int id, const std::string& label, const std::string& what, int done,
                          int total) {
  Bar& bar = running_[id];
  if (bar.label == label && bar.what == what && bar.done == done && bar.total == total) return;
  bar = {label, what, done, total};
  const auto now = std::chrono::steady_clock::now();
  if (!bars_ || now - lastDraw_ < kRedrawEvery) return;
  lastDraw_ = now;
  erase();
  draw();
}

void RoomsBoard::finished(int id, const std::vector<std::string>& lines) {
  erase();
  running_.erase(id);
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  os::writeText(stdout, text);
  std::fflush(stdout);
  draw();
}

}  // namespace kp::ctl
