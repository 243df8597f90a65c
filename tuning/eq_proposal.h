#pragma once
// The 31 band values proposed from a room's measured response. The
// measurement is smoothed to a sixth of an octave; the proposal is the set
// of whole slider values within the limits that brings the smoothed
// measurement plus the change of the equaliser (smoothed alike, so that it
// is what a second measurement will show) closest to the target, in RMS dB
// over points a 24th of an octave apart in the correction range, a free
// overall level aside. The measurement was taken with the current
// values, so the change is measured from them: measure, apply, measure
// again converges.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "tuning/eq_model.h"
#include "tuning/log_curve.h"

namespace kp::tuning {

struct Limits {
  double lowHz = 40;  // the correction range; bands outside keep their values
  double highHz = 16000;
  int maxBoost = 6;  // the largest value a band may end at: a deep dip is not filled
  int maxCut = 15;   // the deepest, as a positive number of steps
};

// What the corrected response should look like, at any level: flat, a
// tilt around 1 kHz, or a house curve (held at its end values beyond it).
struct Target {
  double tiltDbPerOctave = 0;
  LogCurve curve;
  double at(double hz) const;
};

struct ProposalInput {
  const LogCurve& measurement;
  Target target;
  Limits limits;
  BandValues current{};  // the values the measurement was taken with
  EqModel model;
};

struct Proposal {
  BandValues current{};
  BandValues proposed{};
  std::array<bool, kBands> corrected{};  // the band lies in the correction range
  double errorBeforeDb = 0;
  double errorAfterDb = 0;
  // For drawing, a 24th of an octave apart over the measurement (20 Hz to
  // 20 kHz at most): the smoothed measurement, the response the model
  // predicts after the change, and the target at the predicted level.
  std::vector<double> hz, measuredDb, predictedDb, targetDb;
};

inline constexpr double kSmoothingOctaves = 1.0 / 6;
inline constexpr int kPointsPerOctave = 24;

// What is wrong with the limits, or "" when they can be used.
std::string limitsProblem(const Limits& limits);
// Whether the measurement covers the correction range, or what it lacks.
std::string coverageProblem(const LogCurve& measurement, const Limits& limits);
// Whether band k lies in the range: its centre within a twelfth of an
// octave of it, so that "40 Hz" takes in the band the panel labels 40
// (39.4 Hz).
bool bandInRange(int k, const Limits& limits);

// The proposal, or nullopt with the problem in words.
std::optional<Proposal> proposeBands(const ProposalInput& in, std::string* problem);

}  // namespace kp::tuning
