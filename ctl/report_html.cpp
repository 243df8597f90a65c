#include "ctl/report_html.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/fresh_file.h"
#include "core/os_files.h"
#include "core/state.h"
#include "core/utf8_path.h"
#include "ctl/html_text.h"
#include "ctl/report_chart.h"
#include "presets/preset_compare.h"

namespace kp::ctl {

namespace {

constexpr int kSlots = 3;
constexpr int kBands = 31;
constexpr const char* kMusicColour = "#1f5fa8";
constexpr const char* kMicColour = "#b5462a";

const char* kStyle = R"(
@page { size: A4; margin: 12mm; }
* { box-sizing: border-box; }
body { font-family: "Noto Sans", "WenQuanYi Micro Hei", "Microsoft YaHei", Arial, sans-serif;
       font-size: 10pt; color: #1a1a1a; margin: 0 auto; max-width: 186mm; padding: 8mm 0; }
h1 { font-size: 17pt; margin: 0 0 3mm; }
h2 { font-size: 12pt; margin: 5mm 0 2mm; border-bottom: 1px solid #888; padding-bottom: 1mm; }
table { border-collapse: collapse; margin: 1mm 0 2mm; }
th, td { border: 1px solid #b8b8b8; padding: 1.2mm 2mm; text-align: left; vertical-align: top; }
th { background: #eef1f5; font-weight: 600; }
td.num, th.num { text-align: right; }
.facts th { width: 32mm; }
.grid2 { display: flex; gap: 4mm; }
.grid2 > * { flex: 1 1 0; }
svg.eq { width: 100%; height: auto; border: 1px solid #ccc; }
svg.eq text { font-size: 8px; fill: #444; }
svg.eq text.title { font-size: 10px; fill: #1a1a1a; font-weight: 600; }
svg.eq line.grid { stroke: #dddddd; stroke-width: 0.6; }
svg.eq line.axis { stroke: #888888; stroke-width: 0.8; }
table.bands { width: 100%; table-layout: fixed; font-size: 6.5pt; }
table.bands th, table.bands td { padding: 0.6mm 0; text-align: center; }
table.bands th.row { width: 16mm; text-align: left; padding-left: 1mm; }
.slot { break-inside: avoid; page-break-inside: avoid; }
.muted { color: #777; }
.sign { margin-top: 8mm; display: flex; gap: 10mm; }
.sign div { flex: 1; border-top: 1px solid #444; padding-top: 1mm; }
@media print { body { padding: 0; } }
)";

std::string cell(const std::string& text, const char* cls = nullptr) {
  return std::string("<td") + (cls ? std::string(" class=\"") + cls + "\"" : "") + ">" +
         htmlEscape(text) + "</td>";
}

std::string header(const std::string& text, const char* cls = nullptr) {
  return std::string("<th") + (cls ? std::string(" class=\"") + cls + "\"" : "") + ">" +
         htmlEscape(text) + "</th>";
}

std::string fill(const std::string& text, const std::string& item) {
  const auto at = text.find("%1");
  return at == std::string::npos ? text + " " + item
                                 : text.substr(0, at) + item + text.substr(at + 2);
}

std::string today() {
  const std::time_t now = std::time(nullptr);
  char buf[32] = "";
  if (const std::tm* t = std::localtime(&now)) std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", t);
  return buf;
}

class Sheet {
 public:
  Sheet(const PresetContents& c, const ReportInfo& info, const ReportTexts& t)
      : c_(c), info_(info), t_(t) {}

  std::string html() {
    std::string title = t_[ReportTexts::kTitle] + (info_.room.empty() ? "" : " – " + info_.room);
    out_ = "<!DOCTYPE html>\n<html lang=\"" + std::string(info_.english ? "en" : "zh-CN") +
           "\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + htmlEscape(title) +
           "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<h1>" + htmlEscape(title) +
           "</h1>\n";
    facts();
    settings();
    levels();
    out_ += "<p class=\"muted\">" + htmlEscape(t_[ReportTexts::kCurves]) + "</p>\n";
    for (int n = 0; n < kSlots; ++n) slot(n);
    out_ += "<div class=\"sign\"><div>" + htmlEscape(t_[ReportTexts::kCheckedBy]) + "</div><div>" +
            htmlEscape(t_[ReportTexts::kDate]) + "</div></div>\n</body>\n</html>\n";
    return out_;
  }

 private:
  // Contents not read from a file hold no values at all: every one missing.
  std::optional<int> at(std::size_t i) const {
    return i < c_.values.size() ? c_.values[i] : std::nullopt;
  }
  // The value of a key as the sheet shows it.
  std::string shown(std::size_t i) const {
    const PresetKey& k = presetKeys()[i];
    if (k.fullModelOnly && !info_.fullModel) return t_[ReportTexts::kNotReported];
    const auto v = at(i);
    return v ? displayValue(k, *v) : t_[ReportTexts::kMissing];
  }

  void facts() {
    out_ += "<table class=\"facts\">\n";
    auto row = [&](ReportTexts::Text name, const std::string& value) {
      out_ += "<tr>" + header(t_[name]) + cell(value) + "</tr>\n";
    };
    if (!info_.room.empty()) row(ReportTexts::kRoom, info_.room);
    row(ReportTexts::kDate, info_.date);
    if (!info_.port.empty()) {
      row(ReportTexts::kPort, info_.port);
      row(ReportTexts::kUnit,
          t_[info_.dumpForm == "long" ? ReportTexts::kLongDump : ReportTexts::kShortDump]);
      row(ReportTexts::kSource, fill(t_[ReportTexts::kFromUnit], info_.port));
    } else {
      row(ReportTexts::kSource, fill(t_[ReportTexts::kFromFile], info_.file));
    }
    out_ += "</table>\n";
  }

  void settings() {
    out_ += "<h2>" + htmlEscape(t_[ReportTexts::kSettings]) + "</h2>\n<table>\n<tr>" +
            header(t_[ReportTexts::kSetting]) + header(t_[ReportTexts::kValue], "num") + "</tr>\n";
    const auto& keys = presetKeys();
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (keys[i].kind == PresetKeyKind::Setting)
        out_ += "<tr>" + cell(parameterName(keys[i], t_.names)) + cell(shown(i), "num") + "</tr>\n";
    out_ += "</table>\n";
  }

  void levels() {
    out_ += "<h2>" + htmlEscape(t_[ReportTexts::kLevels]) + "</h2>\n<table>\n<tr>";
    std::string values;
    const auto& keys = presetKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (keys[i].kind != PresetKeyKind::Master && keys[i].kind != PresetKeyKind::Surround)
        continue;
      out_ += header(parameterName(keys[i], t_.names), "num");
      values += cell(shown(i), "num");
    }
    out_ += "</tr>\n<tr>" + values + "</tr>\n</table>\n";
  }

  std::optional<int> bandValue(bool music, int slot, int row) const {
    const auto& keys = presetKeys();
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (keys[i].music == music && keys[i].slot == slot && keys[i].row == row)
        return at(i) ? std::optional<int>(*at(i) - kBandOffset) : std::nullopt;
    return std::nullopt;
  }

  void slot(int n) {
    out_ += "<section class=\"slot\">\n<h2>" +
            htmlEscape(fill(t_[ReportTexts::kSlot], slotName(n))) +
            "</h2>\n<div class=\"grid2\">\n";
    std::array<std::optional<int>, kChartBands> music{}, mic{};
    for (int k = 1; k <= kBands; ++k) {
      music[static_cast<std::size_t>(k - 1)] = bandValue(true, n, k);
      mic[static_cast<std::size_t>(k - 1)] = bandValue(false, n, k);
    }
    out_ += equaliserSvg(music, t_.musicEq + " " + slotName(n), kMusicColour, info_.eqModel) + "\n";
    out_ +=
        equaliserSvg(mic, t_.micEq + " " + slotName(n), kMicColour, info_.eqModel) + "\n</div>\n";
    bandsTable(music, mic);
    effects(n);
    out_ += "</section>\n";
  }

  void bandsTable(const std::array<std::optional<int>, kChartBands>& music,
                  const std::array<std::optional<int>, kChartBands>& mic) {
    out_ += "<table class=\"bands\">\n<tr><th class=\"row\">Hz</th>";
    for (int k = 1; k <= kBands; ++k) out_ += header(bandFrequency(k));
    out_ += "</tr>\n";
    auto row = [&](const std::string& name, const std::array<std::optional<int>, kChartBands>& v) {
      out_ += "<tr><th class=\"row\">" + htmlEscape(name) + "</th>";
      for (const auto& b : v) out_ += cell(b ? (*b > 0 ? "+" : "") + std::to_string(*b) : "–");
      out_ += "</tr>\n";
    };
    row(fill(t_.names.music, ""), music);
    row(fill(t_.names.mic, ""), mic);
    out_ += "</table>\n";
  }

  void effects(int n) {
    out_ += "<table>\n<tr><th>" + htmlEscape(t_.effects) + "</th>";
    std::string values = "<tr><th>" + htmlEscape(slotName(n)) + "</th>";
    const auto& keys = presetKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (keys[i].kind != PresetKeyKind::Effect || keys[i].slot != n) continue;
      out_ += header(sliderItemName(*keys[i].slider), "num");
      values += cell(shown(i), "num");
    }
    out_ += "</tr>\n" + values + "</tr>\n</table>\n";
  }

  const PresetContents& c_;
  const ReportInfo& info_;
  const ReportTexts& t_;
  std::string out_;
};

}  // namespace

std::string reportHtml(const PresetContents& contents, const ReportInfo& info,
                       const ReportTexts& texts) {
  return Sheet(contents, info, texts).html();
}

Status writeReport(const std::string& path, const PresetContents& contents, ReportInfo info,
                   const std::string& programFolder, std::string* error) {
  if (info.date.empty()) info.date = today();
  const std::string config = joinPath(programFolder, "config.ini");
  const ReportTexts texts = reportTexts(config, info.english);
  info.eqModel = tuning::EqModel::fromConfig(config);
  const std::string html = reportHtml(contents, info, texts);
  namespace fs = std::filesystem;
  const fs::path target = pathFromUtf8(path);
  // A file of its own (another room's process may be writing beside it),
  // which then takes the sheet's place.
  std::string why;
  const auto fresh = claimFreshFile(target, &why);
  bool ok = fresh.has_value();
  if (ok) {
    std::ofstream out(*fresh, std::ios::binary | std::ios::trunc);
    ok = out && out.write(html.data(), static_cast<std::streamsize>(html.size())) && out.flush();
    if (!ok) why = std::generic_category().message(errno);
  }
  if (ok) ok = os::replaceFile(*fresh, target, true, why);
  if (!ok) {
    std::error_code ec;
    if (fresh) fs::remove(*fresh, ec);
    *error = "cannot write " + path + ": " + why;
    return Status::FileFailed;
  }
  return Status::Done;
}

}  // namespace kp::ctl
