#pragma once
// An equaliser curve as inline SVG: the 31 bands at their centre
// frequencies on a logarithmic axis from 20 Hz to 20 kHz, the values
// -15..+15 up the side. Drawn in vectors, so it prints sharp.
//
// With every band known, the curve is the equaliser's response under the
// model tuning by measurement predicts with (the bands overlap, so it is
// not the line through the values), and a dot marks each band's value.
#include <array>
#include <optional>
#include <string>

#include "tuning/eq_model.h"

namespace kp::ctl {

inline constexpr int kChartBands = 31;

// The centre frequency of band k = 1..31 in hertz, read from the scale the
// panel shows under the band ("1.25k" is 1250).
double bandHz(int k);

// bands[k - 1] is band k's value (-15..+15); a missing one leaves a gap.
std::string equaliserSvg(const std::array<std::optional<int>, kChartBands>& bands,
                         const std::string& title, const std::string& colour,
                         const tuning::EqModel& model = {});

}  // namespace kp::ctl
