#include "ctl/report_chart.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "ctl/html_text.h"
#include "panel/catalogue.h"

namespace kp::ctl {

namespace {

// The drawing area inside a 360 x 190 view box.
constexpr double kWidth = 360, kHeight = 190;
constexpr double kLeft = 34, kRight = 10, kTop = 22, kBottom = 26;
constexpr double kLowHz = 20, kHighHz = 20000;
constexpr int kRange = 15;

double x(double hz) {
  const double span = std::log10(kHighHz) - std::log10(kLowHz);
  return kLeft + (std::log10(hz) - std::log10(kLowHz)) / span * (kWidth - kLeft - kRight);
}

double y(double value) {
  return kTop + (kRange - value) / (2.0 * kRange) * (kHeight - kTop - kBottom);
}

std::string num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  return buf;
}

std::string line(double x1, double y1, double x2, double y2, const char* cls) {
  return "<line class=\"" + std::string(cls) + "\" x1=\"" + num(x1) + "\" y1=\"" + num(y1) +
         "\" x2=\"" + num(x2) + "\" y2=\"" + num(y2) + "\"/>";
}

std::string text(double tx, double ty, const std::string& s, const char* anchor) {
  return "<text x=\"" + num(tx) + "\" y=\"" + num(ty) + "\" text-anchor=\"" + anchor + "\">" + s +
         "</text>";
}

}  // namespace

double bandHz(int k) {
  const std::string label = bandFrequency(k);
  if (label.empty()) return 0;
  const bool kilo = label.back() == 'k';
  return std::atof(label.c_str()) * (kilo ? 1000.0 : 1.0);
}

std::string equaliserSvg(const std::array<std::optional<int>, kChartBands>& bands,
                         const std::string& title, const std::string& colour,
                         const tuning::EqModel& model) {
  std::string s = "<svg class=\"eq\" viewBox=\"0 0 " + num(kWidth) + " " + num(kHeight) +
                  "\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" aria-label=\"" +
                  htmlEscape(title) + "\">";
  s += "<text class=\"title\" x=\"" + num(kLeft) + "\" y=\"14\">" + htmlEscape(title) + "</text>";
  for (int v = -kRange; v <= kRange; v += 5) {
    s += line(kLeft, y(v), kWidth - kRight, y(v), v == 0 ? "axis" : "grid");
    s += text(kLeft - 4, y(v) + 3, v > 0 ? "+" + std::to_string(v) : std::to_string(v), "end");
  }
  const struct {
    double hz;
    const char* label;
  } ticks[] = {{20, "20"},   {50, "50"},   {100, "100"}, {200, "200"},   {500, "500"},
               {1000, "1k"}, {2000, "2k"}, {5000, "5k"}, {10000, "10k"}, {20000, "20k"}};
  for (const auto& t : ticks) {
    s += line(x(t.hz), kTop, x(t.hz), kHeight - kBottom, "grid");
    s += text(x(t.hz), kHeight - kBottom + 12, t.label, "middle");
  }
  s += text(kWidth - kRight, kHeight - 2, "Hz", "end");
  // The modelled response, 24 points an octave, inside a viewport of the
  // plot area so that what goes past +-15 is cut at its edge.
  tuning::BandValues values{};
  bool whole = true;
  for (int k = 1; k <= kChartBands; ++k) {
    const auto& v = bands[static_cast<std::size_t>(k - 1)];
    whole = whole && v.has_value();
    if (v) values[static_cast<std::size_t>(k - 1)] = *v;
  }
  if (whole) {
    const std::string area = num(kLeft) + " " + num(kTop) + " " + num(kWidth - kLeft - kRight) +
                             " " + num(kHeight - kTop - kBottom);
    std::string curve;
    const int steps = static_cast<int>(std::lround(std::log2(kHighHz / kLowHz) * 24));
    for (int i = 0; i <= steps; ++i) {
      const double hz = kLowHz * std::pow(kHighHz / kLowHz, static_cast<double>(i) / steps);
      curve += (i ? " " : "") + num(x(hz)) + "," + num(y(model.responseDb(values, hz)));
    }
    s += "<svg x=\"" + num(kLeft) + "\" y=\"" + num(kTop) + "\" width=\"" +
         num(kWidth - kLeft - kRight) + "\" height=\"" + num(kHeight - kTop - kBottom) +
         "\" viewBox=\"" + area + "\"><polyline class=\"model\" fill=\"none\" stroke=\"" + colour +
         "\" stroke-width=\"1.6\" points=\"" + curve + "\"/></svg>";
  }
  // Otherwise the line through the values, broken where a band is missing;
  // a dot on each band.
  std::string points, dots;
  auto flush = [&] {
    if (!points.empty() && !whole)
      s += "<polyline fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"1.6\" points=\"" +
           points + "\"/>";
    points.clear();
  };
  for (int k = 1; k <= kChartBands; ++k) {
    const auto& v = bands[static_cast<std::size_t>(k - 1)];
    if (!v) {
      flush();
      continue;
    }
    const std::string at = num(x(bandHz(k))) + "," + num(y(*v));
    points += (points.empty() ? "" : " ") + at;
    dots += "<circle cx=\"" + num(x(bandHz(k))) + "\" cy=\"" + num(y(*v)) + "\" r=\"1.8\" fill=\"" +
            colour + "\"><title>" + bandFrequency(k) + " Hz: " + (*v > 0 ? "+" : "") +
            std::to_string(*v) + "</title></circle>";
  }
  flush();
  return s + dots + "</svg>";
}

}  // namespace kp::ctl
