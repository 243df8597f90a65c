#pragma once
// A room's measured response as room-measurement programs export it as
// text: comment lines starting with "*", perhaps a header line of column
// names, then one row per frequency, increasing: frequency in Hz, level in
// dB, optionally phase in degrees, separated by blanks, tabs, commas or
// semicolons. A row with semicolons between its columns reads commas as
// decimal commas ("20,0; 63,5; 0,0"), as a European export writes it; so
// does a row of blank-separated columns with no decimal point in it.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "tuning/log_curve.h"

namespace kp::tuning {

// Fewer points than this are no measurement worth correcting from; a
// target curve may have as few as two.
inline constexpr std::size_t kMinMeasurementPoints = 20;
inline constexpr std::size_t kMinTargetPoints = 2;
// No export is this large; a bigger file is something else.
inline constexpr std::size_t kMaxResponseBytes = 64u << 20;

struct ResponseText {
  std::vector<CurvePoint> points;
  int line = 0;         // the line the problem is on; 0 for the file as a whole
  std::string problem;  // empty when the text was read
  bool ok() const { return problem.empty(); }
  // "line 12: ..." or the problem alone.
  std::string describe() const;
};

ResponseText parseResponseText(std::string_view text, std::size_t minPoints);
// The same from a file (path in UTF-8); a file that cannot be read says why.
ResponseText readResponseFile(const std::string& path, std::size_t minPoints);

}  // namespace kp::tuning
