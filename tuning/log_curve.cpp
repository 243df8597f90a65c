#include "tuning/log_curve.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kp::tuning {

LogCurve::LogCurve(const std::vector<CurvePoint>& points) {
  x_.reserve(points.size());
  y_.reserve(points.size());
  sum_.reserve(points.size());
  for (const CurvePoint& p : points) {
    const double x = std::log2(p.hz);
    sum_.push_back(x_.empty() ? 0 : sum_.back() + (x - x_.back()) * (p.db + y_.back()) / 2);
    x_.push_back(x);
    y_.push_back(p.db);
  }
}

double LogCurve::lowHz() const { return empty() ? 0 : std::exp2(x_.front()); }

double LogCurve::highHz() const { return empty() ? 0 : std::exp2(x_.back()); }

double LogCurve::at(double hz) const {
  if (empty()) return 0;
  const double x = std::log2(hz);
  if (x <= x_.front()) return y_.front();
  if (x >= x_.back()) return y_.back();
  const auto i = static_cast<std::size_t>(std::upper_bound(x_.begin(), x_.end(), x) - x_.begin());
  const double t = (x - x_[i - 1]) / (x_[i] - x_[i - 1]);
  return y_[i - 1] + t * (y_[i] - y_[i - 1]);
}

double LogCurve::integralTo(double x) const {
  if (x <= x_.front()) return 0;
  if (x >= x_.back()) return sum_.back();
  const auto i = static_cast<std::size_t>(std::upper_bound(x_.begin(), x_.end(), x) - x_.begin());
  const double t = (x - x_[i - 1]) / (x_[i] - x_[i - 1]);
  const double yAt = y_[i - 1] + t * (y_[i] - y_[i - 1]);
  return sum_[i - 1] + (x - x_[i - 1]) * (y_[i - 1] + yAt) / 2;
}

double LogCurve::mean(double loHz, double hiHz) const {
  if (empty()) return 0;
  const double a = std::clamp(std::log2(loHz), x_.front(), x_.back());
  const double b = std::clamp(std::log2(hiHz), x_.front(), x_.back());
  if (b - a < 1e-9) return at(std::exp2(a));
  return (integralTo(b) - integralTo(a)) / (b - a);
}

double LogCurve::smoothedAt(double hz, double octaves) const {
  const double half = std::exp2(octaves / 2);
  return mean(hz / half, hz * half);
}

std::string frequencyText(double hz) {
  char buf[40];
  if (hz >= 1000)
    std::snprintf(buf, sizeof buf, "%.3g kHz", hz / 1000);
  else
    std::snprintf(buf, sizeof buf, "%.3g Hz", hz);
  return buf;
}

std::vector<double> logSpaced(double loHz, double hiHz, int perOctave) {
  std::vector<double> out;
  if (loHz <= 0 || hiHz < loHz || perOctave <= 0) return out;
  const double octaves = std::log2(hiHz / loHz);
  const auto steps = static_cast<int>(std::floor(octaves * perOctave + 1e-9));
  out.reserve(static_cast<std::size_t>(steps) + 2);
  for (int i = 0; i <= steps; ++i)
    out.push_back(loHz * std::exp2(static_cast<double>(i) / perOctave));
  if (out.back() < hiHz * (1 - 1e-9)) out.push_back(hiHz);
  return out;
}

}  // namespace kp::tuning
