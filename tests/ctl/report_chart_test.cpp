// The commissioning sheet's equaliser charts: the curve is the modelled
// response (a band's peak where the band is, its neighbours' overlap), and
// the sheet replaces its file in one step.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "ctl/report_chart.h"
#include "ctl/report_html.h"
#include "tests/support/rig.h"

namespace kp::ctl {
namespace {

using Bands = std::array<std::optional<int>, kChartBands>;

// The points of the chart's polylines of the given class ("" for none).
std::vector<std::vector<std::pair<double, double>>> polylines(const std::string& svg,
                                                              const std::string& cls) {
  std::vector<std::vector<std::pair<double, double>>> out;
  const std::string head = cls.empty() ? "<polyline fill" : "<polyline class=\"" + cls + "\"";
  for (auto at = svg.find(head); at != std::string::npos; at = svg.find(head, at + 1)) {
    const auto from = svg.find("points=\"", at) + 8;
    std::istringstream in(svg.substr(from, svg.find('"', from) - from));
    std::vector<std::pair<double, double>> line;
    double x = 0, y = 0;
    char comma = 0;
    while (in >> x >> comma >> y) line.emplace_back(x, y);
    out.push_back(line);
  }
  return out;
}

// The centre of the dot whose tooltip begins with title ("1k Hz: +6").
std::pair<double, double> dot(const std::string& svg, const std::string& title) {
  const auto at = svg.rfind("<circle cx=\"", svg.find("<title>" + title));
  const double cx = std::stod(svg.substr(at + 12));
  return {cx, std::stod(svg.substr(svg.find("cy=\"", at) + 4))};
}

TEST(ReportChart, TheCurveIsTheModelledResponseWithItsPeakAtTheBand) {
  Bands bands;
  bands.fill(0);
  bands[17] = 6;  // 1 kHz
  const std::string svg = equaliserSvg(bands, "music", "#000");
  const auto curves = polylines(svg, "model");
  ASSERT_EQ(curves.size(), 1u);
  ASSERT_GT(curves[0].size(), 200u);
  EXPECT_TRUE(polylines(svg, "").empty()) << "no line through the values besides";
  // The highest point (the smallest y) is the band's dot; 100 Hz is flat.
  auto top = curves[0].front();
  for (const auto& p : curves[0])
    if (p.second < top.second) top = p;
  const auto peak = dot(svg, "1k Hz: +6");
  EXPECT_NEAR(top.first, peak.first, 2.0);
  EXPECT_NEAR(top.second, peak.second, 0.3);
  const auto flat = dot(svg, "100 Hz: 0");
  for (const auto& p : curves[0])
    if (std::abs(p.first - flat.first) < 0.5) EXPECT_NEAR(p.second, flat.second, 0.2);

  // Neighbours overlap: every band at +6 stands well above +6 in between.
  Bands six;
  six.fill(6);
  double highest = flat.second;
  const auto overlap = polylines(equaliserSvg(six, "", "#000"), "model");
  for (const auto& p : overlap.at(0)) highest = std::min(highest, p.second);
  EXPECT_LT(highest, peak.second - 5);
}

TEST(ReportChart, AMissingBandLeavesTheLineThroughTheValuesBroken) {
  Bands bands;
  bands.fill(2);
  bands[10].reset();
  const std::string svg = equaliserSvg(bands, "music", "#000");
  EXPECT_TRUE(polylines(svg, "model").empty());
  const auto lines = polylines(svg, "");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size() + lines[1].size(), 30u);
}

TEST(ReportFile, TheSheetReplacesItsFileWholeAndLeavesNothingBeside) {
  test::TempDir folder;
  folder.write("room.html", "old");
  const PresetContents contents = presetContentsOfText("[Music_0]\r\n18=21\r\n");
  std::string error;
  EXPECT_EQ(writeReport(folder.file("room.html"), contents, ReportInfo{}, folder.str(), &error),
            Status::Done)
      << error;
  EXPECT_NE(folder.read("room.html").find("1k Hz: +6"), std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
  EXPECT_EQ(
      writeReport(folder.file("none/room.html"), contents, ReportInfo{}, folder.str(), &error),
      Status::FileFailed);
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
  EXPECT_NE(reportHtml(PresetContents{}, ReportInfo{}, ReportTexts{}).find("</html>"),
            std::string::npos)
      << "contents without values are all missing";
}

}  // namespace
}  // namespace kp::ctl
