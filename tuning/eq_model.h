#pragma once
// The model of the unit's graphic equaliser that tuning by measurement
// predicts with. This is the one place it is stated:
//
//   Each of the 31 bands is a peaking filter of the Audio EQ Cookbook at the
//   band's exact one-third-octave centre, 1000 * 2^((k - 18) / 3) Hz for
//   band k = 1..31 (band 1 at 19.7 Hz, band 18 at 1 kHz, band 31 at
//   20.2 kHz), at a sample rate of 48 kHz, with Q = 4.32 (one third of an
//   octave), and a gain in dB of the band's slider value times one (one
//   step, one dB). The equaliser's response in dB is the sum of the bands'.
//
// The numbers come from config.ini (EQ_SAMPLE_RATE, EQ_Q, EQ_DB_PER_STEP in
// [config]) so that an installer who knows the unit better can change them.
#include <array>
#include <string>

namespace kp::tuning {

inline constexpr int kBands = 31;
using BandValues = std::array<int, kBands>;  // slider values, band 1 (20 Hz) first

// The exact centre of band k = 1..31 in Hz; 0 for any other k.
double bandCentreHz(int k);

// One band as a biquad, for evaluating its magnitude response.
struct PeakingFilter {
  double b0, b1, b2, a0, a1, a2;
  // The response in dB at the angular frequency whose cosines of w and 2w
  // are given (taking them precomputed saves two cosines per point).
  double db(double cosW, double cos2W) const;
};

struct EqModel {
  double sampleRate = 48000;
  double q = 4.32;
  double dbPerStep = 1;

  // The numbers of config.ini; a key that is missing or holds no usable
  // number keeps its default.
  static EqModel fromConfig(const std::string& configPath);

  // Band k set to a slider value (fractional values are allowed: the
  // proposal's solver works between the steps).
  PeakingFilter band(int k, double value) const;
  // Band k's response in dB at hz.
  double bandDb(int k, double value, double hz) const;
  // The whole equaliser's response in dB at hz.
  double responseDb(const BandValues& values, double hz) const;
  // cos(w) and cos(2w) of hz at this model's sample rate.
  std::array<double, 2> cosines(double hz) const;
};

}  // namespace kp::tuning
