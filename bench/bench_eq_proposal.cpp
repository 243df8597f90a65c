// How long one equaliser proposal takes from a measurement as a room
// program exports it at 1/48 octave (about 480 points, 20 Hz to 20 kHz):
// the time an operator waits after opening a file or changing a limit.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "tuning/eq_proposal.h"

using namespace kp::tuning;

namespace {

// A room: modes below 200 Hz, a null at 110 Hz, a broad dip in the
// presence region, a falling top and a little ripple.
LogCurve room(const EqModel& model, const BandValues& with) {
  auto mode = [&](double hz, double centre, double db, double q) {
    EqModel m = model;
    m.q = q;
    m.dbPerStep = db;
    m.sampleRate = 1e7;  // band 18 (1 kHz) moved to the mode's centre without images
    return m.bandDb(18, 1, hz * 1000 / centre);
  };
  std::vector<CurvePoint> points;
  for (double hz : logSpaced(20, 20000, 48)) {
    double db = 78 + mode(hz, 45, 8, 6) + mode(hz, 110, -18, 5) + mode(hz, 160, 6, 4) + mode(hz, 2800, -4, 1.2);
    db += -3 * std::max(0.0, std::log2(hz / 6000)) + 0.6 * std::sin(hz / 37.0);
    points.push_back({hz, db + model.responseDb(with, hz)});
  }
  return LogCurve(points);
}

}  // namespace

int main() {
  const EqModel model;
  const BandValues with{0, 0, 0, 2, 1, 0, -3, 0, 0, 1, 0, 0, 0, 0, -2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0};
  const LogCurve measurement = room(model, with);
  const int rounds = 50;
  std::vector<double> ms;
  Proposal last;
  for (int i = 0; i < rounds + 3; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    std::string problem;
    const auto p = proposeBands({measurement, {}, {}, with, model}, &problem);
    const double took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    if (!p) {
      std::printf("no proposal: %s\n", problem.c_str());
      return 0;
    }
    last = *p;
    if (i >= 3) ms.push_back(took);  // the first rounds warm the caches
  }
  std::sort(ms.begin(), ms.end());
  std::printf("one proposal from a 1/48-octave measurement (%zu points), 40 Hz to 16 kHz, %d rounds\n",
              measurement.size(), rounds);
  std::printf("  min %.2f ms   median %.2f ms   max %.2f ms   (aim: under 20 ms)\n", ms.front(),
              ms[ms.size() / 2], ms.back());
  std::printf("  error %.2f dB before, %.2f dB after; values:", last.errorBeforeDb, last.errorAfterDb);
  for (int v : last.proposed) std::printf(" %d", v);
  std::printf("\n");
  return 0;
}
