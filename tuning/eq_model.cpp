#include "tuning/eq_model.h"

#include <cmath>
#include <numbers>

#include "ini/ini.h"
#include "tuning/decimal.h"

namespace kp::tuning {

namespace {

// A number of config.ini within lo..hi, or the default.
double configNumber(const std::string& path, const char* key, double lo, double hi,
                    double fallback) {
  const auto v = parseDecimal(Read_Ini("config", key, path));
  return v && *v >= lo && *v <= hi ? *v : fallback;
}

}  // namespace

double bandCentreHz(int k) {
  if (k < 1 || k > kBands) return 0;
  return 1000.0 * std::exp2((k - 18) / 3.0);
}

double PeakingFilter::db(double cosW, double cos2W) const {
  const double num =
      b0 * b0 + b1 * b1 + b2 * b2 + 2 * (b0 * b1 + b1 * b2) * cosW + 2 * b0 * b2 * cos2W;
  const double den =
      a0 * a0 + a1 * a1 + a2 * a2 + 2 * (a0 * a1 + a1 * a2) * cosW + 2 * a0 * a2 * cos2W;
  return 10 * std::log10(num / den);
}

EqModel EqModel::fromConfig(const std::string& configPath) {
  EqModel m;
  // The top band must stay below half the sample rate for its filter to exist.
  m.sampleRate =
      configNumber(configPath, "EQ_SAMPLE_RATE", 2.1 * bandCentreHz(kBands), 768000, m.sampleRate);
  m.q = configNumber(configPath, "EQ_Q", 0.1, 50, m.q);
  m.dbPerStep = configNumber(configPath, "EQ_DB_PER_STEP", 0.1, 3, m.dbPerStep);
  return m;
}

PeakingFilter EqModel::band(int k, double value) const {
  const double w0 = 2 * std::numbers::pi * bandCentreHz(k) / sampleRate;
  const double a = std::pow(10.0, value * dbPerStep / 40);
  const double alpha = std::sin(w0) / (2 * q);
  const double c = -2 * std::cos(w0);
  return {1 + alpha * a, c, 1 - alpha * a, 1 + alpha / a, c, 1 - alpha / a};
}

std::array<double, 2> EqModel::cosines(double hz) const {
  const double w = 2 * std::numbers::pi * hz / sampleRate;
  return {std::cos(w), std::cos(2 * w)};
}

double EqModel::bandDb(int k, double value, double hz) const {
  if (value == 0 || k < 1 || k > kBands) return 0;
  const auto [c1, c2] = cosines(hz);
  return band(k, value).db(c1, c2);
}

double EqModel::responseDb(const BandValues& values, double hz) const {
  const auto [c1, c2] = cosines(hz);
  double sum = 0;
  for (int k = 1; k <= kBands; ++k)
    if (const int v = values[static_cast<std::size_t>(k - 1)]; v != 0) sum += band(k, v).db(c1, c2);
  return sum;
}

}  // namespace kp::tuning
