// Proposals from synthetic measurements made under the equaliser's own
// model: known band values are undone, a room mode is shared by the bands
// around it, a deep null is not filled beyond the boost limit, and a
// measurement taken with values in the slot is corrected from them.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "tuning/eq_proposal.h"

namespace kp::tuning {
namespace {

const EqModel kModel;

// A measurement at 1/48 octave, 20 Hz to 20 kHz: the room's own response
// plus the equaliser's at the values it was measured with.
LogCurve measured(const std::function<double(double)>& room, const BandValues& with = {}) {
  std::vector<CurvePoint> points;
  for (double hz : logSpaced(20, 20000, 48))
    points.push_back({hz, 75 + room(hz) + kModel.responseDb(with, hz)});
  return LogCurve(points);
}

// A narrow resonance or null of the room, in the cookbook's own form.
double roomMode(double hz, double centreHz, double db, double q) {
  EqModel m = kModel;
  m.q = q;
  m.dbPerStep = db;
  m.sampleRate = 1e7;  // far above any frequency scaled here: no images
  // Band 18 sits at 1 kHz: move it to the mode's centre.
  return m.bandDb(18, 1, hz * 1000 / centreHz);
}

Proposal propose(const LogCurve& m, const BandValues& current = {}, Limits limits = {},
                 Target target = {}) {
  std::string problem;
  const auto p = proposeBands({m, target, limits, current, kModel}, &problem);
  EXPECT_TRUE(p) << problem;
  return p.value_or(Proposal{});
}

int& band(BandValues& v, int k) { return v[static_cast<std::size_t>(k - 1)]; }
int band(const BandValues& v, int k) { return v[static_cast<std::size_t>(k - 1)]; }

double centredRms(const std::vector<double>& r) {
  double s = 0, s2 = 0;
  for (double x : r) s += x, s2 += x * x;
  const auto n = static_cast<double>(r.size());
  return std::sqrt((s2 - s * s / n) / n);
}

TEST(EqProposal, KnownBandValuesAreUndoneWithinOneStepOverlapIncluded) {
  BandValues known{};
  const int shape[] = {3,  5, 12, 12, -4, 0, 6, 6, 6,  -6, 2, 9,  -2, 4,
                       15, 0, -5, 7,  1,  3, 8, 8, -3, 0,  5, 10, 4};
  for (int k = 4; k <= 30; ++k) band(known, k) = shape[k - 4];
  const Proposal p = propose(measured([](double) { return 0.0; }, known));
  for (int k = 1; k <= kBands; ++k) {
    SCOPED_TRACE(k);
    EXPECT_NEAR(band(p.proposed, k), k < 4 || k > 30 ? 0 : -band(known, k),
                k < 4 || k > 30 ? 0 : 1);
  }
  EXPECT_GT(p.errorBeforeDb, 3);
  EXPECT_LT(p.errorAfterDb, 0.4);

  // Each band set on its own from the level at its centre overshoots
  // where neighbours add up.
  BandValues alone{};
  for (int k = 4; k <= 30; ++k)
    band(alone, k) = std::clamp(
        static_cast<int>(std::lround(-kModel.responseDb(known, bandCentreHz(k)))), -15, 6);
  std::vector<double> r;
  for (double hz : logSpaced(40, 16000, 24))
    r.push_back(kModel.responseDb(known, hz) + kModel.responseDb(alone, hz));
  EXPECT_GT(centredRms(r), 2 * p.errorAfterDb + 0.5);
}

TEST(EqProposal, ANarrowModeBetweenTwoBandsIsCutByBoth) {
  const Proposal p = propose(measured([](double hz) { return roomMode(hz, 1120, 10, 8); }));
  EXPECT_LT(p.proposed[17], -1) << "1 kHz";
  EXPECT_LT(p.proposed[18], -1) << "1.25 kHz";
  EXPECT_LT(p.errorAfterDb, 0.6 * p.errorBeforeDb);
}

TEST(EqProposal, ADeepNullIsNotFilledBeyondTheBoostLimit) {
  const LogCurve m = measured([](double hz) { return roomMode(hz, 100, -25, 3); });
  const Proposal p = propose(m);
  EXPECT_LE(*std::max_element(p.proposed.begin(), p.proposed.end()), 6);
  // Nor is the rest pulled down to meet it through the free level.
  for (int k = 14; k <= 30; ++k) EXPECT_NEAR(band(p.proposed, k), 0, 1) << k;
  Limits noBoost;
  noBoost.maxBoost = 0;
  noBoost.maxCut = 3;
  const Proposal q = propose(m, {}, noBoost);
  EXPECT_LE(*std::max_element(q.proposed.begin(), q.proposed.end()), 0);
  EXPECT_GE(*std::min_element(q.proposed.begin(), q.proposed.end()), -3);
  EXPECT_LE(q.errorAfterDb, q.errorBeforeDb);
}

TEST(EqProposal, AMeasurementTakenWithValuesIsCorrectedFromThemAndTheLoopConverges) {
  auto room = [](double hz) {
    return roomMode(hz, 63, 9, 4) + roomMode(hz, 2500, -6, 1.5) -
           4 * std::log2(hz / 20000) * (hz > 8000);
  };
  BandValues with{};
  band(with, 1) = 5;  // outside the range: kept
  band(with, 10) = -7;
  band(with, 20) = 4;
  const Proposal first = propose(measured(room, with), with);
  EXPECT_EQ(first.proposed[0], 5);
  // Measured again with the proposal in the slot: the prediction held, and
  // the next proposal leaves the values where they are.
  const Proposal second = propose(measured(room, first.proposed), first.proposed);
  EXPECT_NEAR(second.errorBeforeDb, first.errorAfterDb, 0.1);
  int moved = 0;
  for (std::size_t i = 0; i < kBands; ++i)
    moved += std::abs(second.proposed[i] - first.proposed[i]);
  EXPECT_LE(moved, 2);
  // The same room measured flat gets the same values.
  const Proposal flat = propose(measured(room), {});
  for (std::size_t i = 1; i < kBands; ++i) EXPECT_NEAR(flat.proposed[i], first.proposed[i], 1) << i;
}

TEST(EqProposal, ATiltOrAHouseCurveIsFollowed) {
  const LogCurve flatRoom = measured([](double) { return 0.0; });
  Target tilt;
  tilt.tiltDbPerOctave = -1;
  const Proposal t = propose(flatRoom, {}, {}, tilt);
  EXPECT_GE(t.proposed[5] - t.proposed[27], 4) << "63 Hz well above 10 kHz";
  EXPECT_LT(t.errorAfterDb, 0.5);

  BandValues house{};
  band(house, 6) = 4;
  band(house, 7) = 4;
  band(house, 26) = -3;
  std::vector<CurvePoint> curve;
  for (double hz : logSpaced(20, 20000, 12))
    curve.push_back({hz, kModel.responseDb(house, hz) - 90});
  Target file;
  file.curve = LogCurve(curve);
  const Proposal h = propose(flatRoom, {}, {}, file);
  for (int k = 4; k <= 30; ++k)
    EXPECT_NEAR(h.proposed[static_cast<std::size_t>(k - 1)], band(house, k), 1) << k;
}

TEST(EqProposal, LimitsAndCoverageAreCheckedFirst) {
  std::vector<CurvePoint> narrow;
  for (double hz : logSpaced(50, 20000, 48)) narrow.push_back({hz, 0});
  std::string problem;
  EXPECT_FALSE(proposeBands({LogCurve(narrow), {}, {}, {}, kModel}, &problem));
  EXPECT_EQ(problem,
            "the measurement covers 50 Hz to 20 kHz, not the correction range 40 Hz to 16 kHz");
  Limits backwards;
  backwards.lowHz = 2000;
  backwards.highHz = 1000;
  EXPECT_NE(limitsProblem(backwards), "");
  Limits between;
  between.lowHz = 1060;
  between.highHz = 1100;
  EXPECT_EQ(limitsProblem(between), "no band lies between 1.06 kHz and 1.1 kHz");
}

}  // namespace
}  // namespace kp::tuning
