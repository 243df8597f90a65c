#include "tuning/eq_proposal.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

#include "panel/catalogue.h"
#include "tuning/bounded_minimum.h"

namespace kp::tuning {

namespace {

constexpr double kLowestHz = 20, kHighestHz = 20000;
constexpr int kSolverPasses = 2;
constexpr double kLeastNullDb = 3;  // with little or no boost allowed

std::size_t at(int k) { return static_cast<std::size_t>(k - 1); }

// The correction over the bands in range, at points a 24th of an octave
// apart from the range's low end. The residual of values v is base plus
// each band's response at its value; its spread about its mean is what the
// level offset cannot take away. What is compared is the smoothed response
// after the change, so the bands' responses are smoothed as the
// measurement is: a re-measurement then sees what was predicted.
class Problem {
 public:
  Problem(const ProposalInput& in, const std::vector<double>& hz,
          const std::vector<double>& smoothed)
      : model_(in.model),
        lo_(std::max(-in.limits.maxCut, kBandMin)),
        hi_(std::min(in.limits.maxBoost, kBandMax)),
        points_(hz.size()) {
    for (int k = 1; k <= kBands; ++k)
      if (bandInRange(k, in.limits)) {
        bands_.push_back(k);
        current_.push_back(in.current[at(k)]);
      }
    // The smoothing window of point i spans fine points 2i .. 2i + 8.
    const std::size_t fine = 2 * points_ + 7;
    cosines_.reserve(fine);
    for (std::size_t g = 0; g < fine; ++g)
      cosines_.push_back(model_.cosines(
          hz.front() * std::exp2((static_cast<double>(g) - 4) / (2 * kPointsPerOctave))));
    base_.resize(points_);
    fitted_.assign(points_, 1);
    for (std::size_t i = 0; i < points_; ++i) base_[i] = smoothed[i] - in.target.at(hz[i]);
    for (int k : bands_) {
      const auto cur = response(k, in.current[at(k)]);
      for (std::size_t i = 0; i < points_; ++i) base_[i] -= cur[i];
    }
    // Where the room's own response lies deeper than the largest boost
    // below its median level, it has a null that boosting does not fill.
    // Left in, the null would pull every other band down to meet it through
    // the free level, so those points are left out of the fit. Judged
    // without the equaliser, so that measure, apply, measure again leaves
    // out the same points.
    std::vector<double> sorted = base_;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(points_ / 2),
                     sorted.end());
    const double median = sorted[points_ / 2];
    const double depth = std::max(kLeastNullDb, in.limits.maxBoost * in.model.dbPerStep);
    for (std::size_t i = 0; i < points_; ++i) fitted_[i] = base_[i] - median >= -depth;
    if (std::count(fitted_.begin(), fitted_.end(), 1) < 2) fitted_.assign(points_, 1);
    // Every value a band may end at. A cut is the inverse of the boost of
    // the same size, so each size is worked out once.
    const int sizes = std::max(-lo_, hi_);
    table_.resize(bands_.size() * values() * points_);
    for (std::size_t j = 0; j < bands_.size(); ++j) {
      for (int m = 0; m <= sizes; ++m) {
        const auto r = response(bands_[j], m);
        for (int v : {m, -m}) {
          if (v < lo_ || v > hi_) continue;
          double* e = entry(j, v);
          for (std::size_t i = 0; i < points_; ++i) e[i] = v < 0 ? -r[i] : r[i];
        }
      }
    }
  }

  int band(std::size_t j) const { return bands_[j]; }

  // The whole values of the bands in range that fit best.
  std::vector<int> solve() const;
  // N times the variance of the residual of whole values over the points
  // of the fit, or over all of them.
  double spread(const std::vector<int>& v, bool all = false) const {
    return spreadOf(residual(v), all);
  }

 private:
  std::size_t values() const { return static_cast<std::size_t>(hi_ - lo_ + 1); }
  // Band k's smoothed response at the points: the trapezoid mean over the
  // eight 48ths of an octave of each point's window.
  std::vector<double> response(int k, double value) const {
    std::vector<double> out(points_, 0.0);
    if (value == 0) return out;
    const PeakingFilter f = model_.band(k, value);
    std::vector<double> fine(cosines_.size());
    for (std::size_t g = 0; g < fine.size(); ++g) fine[g] = f.db(cosines_[g][0], cosines_[g][1]);
    for (std::size_t i = 0; i < points_; ++i) {
      const double* w = &fine[2 * i];
      out[i] = ((w[0] + w[8]) / 2 + w[1] + w[2] + w[3] + w[4] + w[5] + w[6] + w[7]) / 8;
    }
    return out;
  }
  double* entry(std::size_t j, int v) {
    return &table_[(j * values() + static_cast<std::size_t>(v - lo_)) * points_];
  }
  const double* entry(std::size_t j, int v) const {
    return &table_[(j * values() + static_cast<std::size_t>(v - lo_)) * points_];
  }
  void add(std::vector<double>& r, std::size_t j, int v, double sign) const {
    const double* e = entry(j, v);
    for (std::size_t i = 0; i < points_; ++i) r[i] += sign * e[i];
  }
  std::vector<double> residual(const std::vector<int>& v) const {
    std::vector<double> r = base_;
    for (std::size_t j = 0; j < bands_.size(); ++j) add(r, j, v[j], 1);
    return r;
  }
  double spreadOf(const std::vector<double>& r, bool all = false) const {
    double s = 0, s2 = 0, n = 0;
    for (std::size_t i = 0; i < r.size(); ++i) {
      if (!all && !fitted_[i]) continue;
      s += r[i];
      s2 += r[i] * r[i];
      ++n;
    }
    return n > 0 ? s2 - s * s / n : 0;
  }
  std::vector<double> solveContinuous() const;
  std::vector<int> refine(std::vector<int> v) const;

  const EqModel& model_;
  int lo_, hi_;
  std::size_t points_;
  std::vector<int> bands_, current_;
  std::vector<std::array<double, 2>> cosines_;
  std::vector<double> base_;
  std::vector<double> table_;  // band, value, point
  std::vector<char> fitted_;   // the point takes part in the fit
};

// Gauss-Newton: the bands' responses are not linear in their gains, so the
// least squares are solved about whole values, first the current ones held
// within the limits, then those nearest the first solution, with slopes
// from the neighbouring steps.
std::vector<double> Problem::solveContinuous() const {
  const auto n = static_cast<int>(bands_.size());
  std::vector<std::size_t> kept;
  for (std::size_t i = 0; i < points_; ++i)
    if (fitted_[i]) kept.push_back(i);
  const auto rows = static_cast<int>(kept.size());
  Eigen::VectorXd x(n);
  for (int j = 0; j < n; ++j) x(j) = std::clamp(current_[static_cast<std::size_t>(j)], lo_, hi_);
  for (int pass = 0; pass < kSolverPasses; ++pass) {
    Eigen::MatrixXd jac(rows, n);
    Eigen::VectorXd d(rows);
    for (int i = 0; i < rows; ++i) d(i) = base_[kept[static_cast<std::size_t>(i)]];
    for (int j = 0; j < n; ++j) {
      const auto jj = static_cast<std::size_t>(j);
      const int v = std::clamp(static_cast<int>(std::lround(x(j))), lo_, hi_);
      const int up = std::min(v + 1, hi_), down = std::max(v - 1, lo_);
      const double *now = entry(jj, v), *above = entry(jj, up), *below = entry(jj, down);
      for (int i = 0; i < rows; ++i) {
        const std::size_t ii = kept[static_cast<std::size_t>(i)];
        jac(i, j) = up > down ? (above[ii] - below[ii]) / (up - down) : 0;
        d(i) += now[ii] - jac(i, j) * v;
      }
    }
    // The free level offset: centred columns and residual leave it out.
    jac.rowwise() -= jac.colwise().mean();
    d.array() -= d.mean();
    Eigen::MatrixXd h = jac.transpose() * jac;
    // A trace of ridge keeps a band that the range's points hardly see solvable.
    h.diagonal().array() += 1e-9 * rows;
    x = boundedMinimum(h, jac.transpose() * d, lo_, hi_, x);
  }
  return std::vector<double>(x.data(), x.data() + n);
}

// Steps of one band, then of two neighbours together (a room mode between
// two bands wants one up as the other goes down), while any helps.
std::vector<int> Problem::refine(std::vector<int> v) const {
  std::vector<double> r = residual(v);
  double best = spreadOf(r);
  std::vector<double> trial(points_);
  const std::size_t none = bands_.size();
  auto attempt = [&](std::size_t j1, int d1, std::size_t j2, int d2) {
    std::vector<int> next = v;
    next[j1] += d1;
    if (j2 != none) next[j2] += d2;
    if (next[j1] < lo_ || next[j1] > hi_ || (j2 != none && (next[j2] < lo_ || next[j2] > hi_)))
      return false;
    trial = r;
    add(trial, j1, v[j1], -1);
    add(trial, j1, next[j1], 1);
    if (j2 != none) {
      add(trial, j2, v[j2], -1);
      add(trial, j2, next[j2], 1);
    }
    const double c = spreadOf(trial);
    if (c >= best - 1e-9) return false;
    best = c;
    r.swap(trial);
    v = std::move(next);
    return true;
  };
  for (int round = 0; round < 1000; ++round) {
    bool improved = false;
    for (std::size_t j = 0; j < bands_.size(); ++j)
      for (int d : {-1, 1}) improved = attempt(j, d, none, 0) || improved;
    if (improved) continue;
    for (std::size_t j = 0; j + 1 < bands_.size(); ++j)
      for (auto [d1, d2] : {std::pair{1, -1}, {-1, 1}, {1, 1}, {-1, -1}})
        improved = attempt(j, d1, j + 1, d2) || improved;
    if (!improved) break;
  }
  return v;
}

// Two starts: the least-squares values rounded, and the current values held
// within the limits; the better refinement wins.
std::vector<int> Problem::solve() const {
  const auto x = solveContinuous();
  std::vector<int> fromSolution(x.size()), fromCurrent(x.size());
  for (std::size_t j = 0; j < x.size(); ++j) {
    fromSolution[j] = std::clamp(static_cast<int>(std::lround(x[j])), lo_, hi_);
    fromCurrent[j] = std::clamp(current_[j], lo_, hi_);
  }
  fromSolution = refine(fromSolution);
  fromCurrent = refine(fromCurrent);
  return spread(fromSolution) <= spread(fromCurrent) ? fromSolution : fromCurrent;
}

double rms(double spread, std::size_t n) {
  return std::sqrt(std::max(0.0, spread) / static_cast<double>(n));
}

}  // namespace

double Target::at(double hz) const {
  return (curve.empty() ? 0 : curve.at(hz)) + tiltDbPerOctave * std::log2(hz / 1000);
}

bool bandInRange(int k, const Limits& limits) {
  const double f = bandCentreHz(k), twelfth = std::exp2(1.0 / 12);
  return f > 0 && f >= limits.lowHz / twelfth && f <= limits.highHz * twelfth;
}

std::string limitsProblem(const Limits& l) {
  if (!(l.lowHz >= kLowestHz && l.highHz <= kHighestHz))
    return "the correction range must lie within 20 Hz to 20 kHz";
  if (!(l.lowHz < l.highHz))
    return "the correction range must run from a low frequency to a higher one";
  if (l.maxBoost < 0 || l.maxBoost > kBandMax) return "the largest boost must be 0 to 15 dB";
  if (l.maxCut < 0 || l.maxCut > -kBandMin) return "the largest cut must be 0 to 15 dB";
  for (int k = 1; k <= kBands; ++k)
    if (bandInRange(k, l)) return "";
  return "no band lies between " + frequencyText(l.lowHz) + " and " + frequencyText(l.highHz);
}

std::string coverageProblem(const LogCurve& m, const Limits& l) {
  if (!m.empty() && m.lowHz() <= l.lowHz * (1 + 1e-9) && m.highHz() >= l.highHz * (1 - 1e-9))
    return "";
  return "the measurement covers " + frequencyText(m.lowHz()) + " to " + frequencyText(m.highHz()) +
         ", not the correction range " + frequencyText(l.lowHz) + " to " + frequencyText(l.highHz);
}

std::optional<Proposal> proposeBands(const ProposalInput& in, std::string* problem) {
  std::string why = limitsProblem(in.limits);
  if (why.empty()) why = coverageProblem(in.measurement, in.limits);
  if (!why.empty()) {
    if (problem) *problem = why;
    return std::nullopt;
  }
  // Whole 24ths of an octave from the low end, so each point's smoothing
  // window falls on the fine grid of the bands' responses.
  std::vector<double> hz = logSpaced(in.limits.lowHz, in.limits.highHz, kPointsPerOctave);
  if (hz.size() > 1 &&
      std::abs(std::log2(hz.back() / hz[hz.size() - 2]) * kPointsPerOctave - 1) > 1e-6)
    hz.pop_back();
  std::vector<double> smoothed;
  smoothed.reserve(hz.size());
  for (double f : hz) smoothed.push_back(in.measurement.smoothedAt(f, kSmoothingOctaves));
  const Problem p(in, hz, smoothed);

  Proposal out;
  out.current = out.proposed = in.current;
  for (int k = 1; k <= kBands; ++k) out.corrected[at(k)] = bandInRange(k, in.limits);
  const std::vector<int> best = p.solve();
  for (std::size_t j = 0; j < best.size(); ++j) out.proposed[at(p.band(j))] = best[j];

  double before = 0, beforeSq = 0;
  for (std::size_t i = 0; i < hz.size(); ++i) {
    const double r = smoothed[i] - in.target.at(hz[i]);
    before += r;
    beforeSq += r * r;
  }
  out.errorBeforeDb = rms(beforeSq - before * before / static_cast<double>(hz.size()), hz.size());
  out.errorAfterDb = rms(p.spread(best, true), hz.size());

  // The filters of the bands that change, for the predicted response.
  std::vector<std::pair<PeakingFilter, PeakingFilter>> changes;
  for (int k = 1; k <= kBands; ++k)
    if (out.proposed[at(k)] != out.current[at(k)])
      changes.push_back(
          {in.model.band(k, out.proposed[at(k)]), in.model.band(k, out.current[at(k)])});
  auto change = [&](double f) {
    double sum = 0;
    for (int g = -4; g <= 4; ++g) {
      const auto [c1, c2] = in.model.cosines(f * std::exp2(g / (2.0 * kPointsPerOctave)));
      double here = 0;
      for (const auto& [now, was] : changes) here += now.db(c1, c2) - was.db(c1, c2);
      sum += g == -4 || g == 4 ? here / 2 : here;
    }
    return sum / 8;
  };
  // The target is drawn where the free level offset put it.
  double offset = 0;
  for (std::size_t i = 0; i < hz.size(); ++i)
    offset += smoothed[i] + change(hz[i]) - in.target.at(hz[i]);
  offset /= static_cast<double>(hz.size());

  out.hz = logSpaced(std::max(kLowestHz, in.measurement.lowHz()),
                     std::min(kHighestHz, in.measurement.highHz()), kPointsPerOctave);
  for (double f : out.hz) {
    const double m = in.measurement.smoothedAt(f, kSmoothingOctaves);
    out.measuredDb.push_back(m);
    out.predictedDb.push_back(m + change(f));
    out.targetDb.push_back(in.target.at(f) + offset);
  }
  return out;
}

}  // namespace kp::tuning
