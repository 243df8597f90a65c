#pragma once
// Progress on standard error: a bar for one unit when standard error is a
// terminal, lines a rooms run reads when it started this process, and
// nothing otherwise, so that logs and pipes stay clean.
#include <cstdint>
#include <cstdio>
#include <string>

namespace kp::ctl {

// "[#########           ] dump 150 / 302", drawn again in place.
std::string barText(const std::string& label, const char* what, int done, int total, int width);

class ProgressView {
 public:
  enum class Mode { None, Bar, Lines };
  explicit ProgressView(Mode mode, std::FILE* out = stderr) : mode_(mode), out_(out) {}
  ~ProgressView() { clear(); }

  void update(const char* what, int done, int total);
  // Takes the bar off the line, before results are printed.
  void clear();

 private:
  Mode mode_;
  std::FILE* out_;
  bool drawn_ = false;
  std::string last_;
};

}  // namespace kp::ctl
