#pragma once
// A response as levels over frequency, read between its points on a
// logarithmic frequency axis: what ears and room-measurement programs
// work in. Smoothing is the mean level over a window a fraction of an
// octave wide, taken exactly over the straight lines between the points,
// so a dense export and a sparse one of the same response smooth alike.
#include <string>
#include <vector>

namespace kp::tuning {

struct CurvePoint {
  double hz;
  double db;
};

class LogCurve {
 public:
  LogCurve() = default;
  // Points with frequencies above 0 and increasing; the caller checks them
  // (the measurement reader does).
  explicit LogCurve(const std::vector<CurvePoint>& points);

  bool empty() const { return x_.empty(); }
  std::size_t size() const { return x_.size(); }
  double lowHz() const;
  double highHz() const;

  // The level at hz; beyond the ends, the level of the nearer end.
  double at(double hz) const;
  // The mean level between two frequencies, within the curve's range.
  double mean(double loHz, double hiHz) const;
  // The mean over a window `octaves` wide centred (on the log axis) at hz.
  double smoothedAt(double hz, double octaves) const;

 private:
  double integralTo(double x) const;
  std::vector<double> x_;    // log2 of the frequency
  std::vector<double> y_;    // dB
  std::vector<double> sum_;  // integral of the level over x up to each point
};

// A frequency as people write it: "40 Hz", "1.25 kHz", "16 kHz".
std::string frequencyText(double hz);

// Frequencies from lo, perOctave to an octave, up to hi; hi itself last.
std::vector<double> logSpaced(double loHz, double hiHz, int perOctave);

}  // namespace kp::tuning
