#pragma once
// How long one equaliser proposal takes from a measurement as a room
// program exports it at 1/48 octave (about 480 points, 20 Hz to 20 kHz):
// the time an operator waits after opening a file or changing a limit.
// Shared by bench_eq_proposal and bench_figures; header only.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "tuning/eq_proposal.h"

namespace kp::bench {

struct EqFigures {
  bool ran = false;
  std::string why;
  std::size_t points = 0;
  double minMs = 0, medianMs = 0, maxMs = 0;
  tuning::Proposal last;
};

// A room: modes below 200 Hz, a null at 110 Hz, a broad dip in the
// presence region, a falling top and a little ripple, measured through
// the values `with`.
inline tuning::LogCurve benchRoom(const tuning::EqModel& model, const tuning::BandValues& with) {
  auto mode = [&](double hz, double centre, double db, double q) {
    tuning::EqModel m = model;
    m.q = q;
    m.dbPerStep = db;
    m.sampleRate = 1e7;  // band 18 (1 kHz) moved to the mode's centre without images
    return m.bandDb(18, 1, hz * 1000 / centre);
  };
  std::vector<tuning::CurvePoint> points;
  for (double hz : tuning::logSpaced(20, 20000, 48)) {
    double db = 78 + mode(hz, 45, 8, 6) + mode(hz, 110, -18, 5) + mode(hz, 160, 6, 4) +
                mode(hz, 2800, -4, 1.2);
    db += -3 * std::max(0.0, std::log2(hz / 6000)) + 0.6 * std::sin(hz / 37.0);
    points.push_back({hz, db + model.responseDb(with, hz)});
  }
  return tuning::LogCurve(points);
}

inline EqFigures measureEqProposal(int rounds) {
  EqFigures f;
  const tuning::EqModel model;
  const tuning::BandValues with{0, 0, 0, 2, 1, 0, -3, 0, 0, 1, 0, 0, 0, 0, -2, 0,
                                0, 0, 1, 0, 0, 0, 0,  0, 0, 0, 2, 0, 0, 0, 0};
  const tuning::LogCurve measurement = benchRoom(model, with);
  f.points = measurement.size();
  std::vector<double> ms;
  for (int i = 0; i < rounds + 3; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    const auto p = tuning::proposeBands({measurement, {}, {}, with, model}, &f.why);
    const double took =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    if (!p) return f;
    f.last = *p;
    if (i >= 3) ms.push_back(took);  // the first rounds warm the caches
  }
  std::sort(ms.begin(), ms.end());
  f.ran = true;
  f.minMs = ms.front();
  f.medianMs = ms[ms.size() / 2];
  f.maxMs = ms.back();
  return f;
}

}  // namespace kp::bench
