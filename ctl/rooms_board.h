#pragma once
// A rooms run on a terminal: a bar per room at work at the foot of the
// screen on standard error, each finished room's lines printed above it on
// standard output. Without a terminal the lines are printed and no bar.
#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace kp::ctl {

class RoomsBoard {
 public:
  explicit RoomsBoard(bool bars) : bars_(bars) {}
  ~RoomsBoard() { erase(); }

  void progress(int id, const std::string& label, const std::string& what, int done, int total);
  // The room is over: its bar goes, its lines stay.
  void finished(int id, const std::vector<std::string>& lines);

 private:
  void erase();
  void draw();

  struct Bar {
    std::string label, what;
    int done = 0, total = 0;
  };
  bool bars_;
  std::map<int, Bar> running_;
  int drawnLines_ = 0;
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace kp::ctl
