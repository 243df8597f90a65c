#pragma once
// The commissioning sheet: one self-contained HTML file (styles inline, the
// curves as inline SVG, nothing fetched) that prints on A4.
#include <string>

#include "ctl/ctl_status.h"
#include "ctl/report_texts.h"
#include "presets/preset_contents.h"
#include "tuning/eq_model.h"

namespace kp::ctl {

struct ReportInfo {
  std::string room;      // may be empty
  std::string port;      // the unit's port; empty for a report of a file
  std::string file;      // the preset file a report of a file shows
  std::string dumpForm;  // "long" or "short" for a unit
  bool fullModel = true;
  bool english = true;
  std::string date;  // "2024-05-01 14:03"; writeReport fills it when empty
  // What the equalisers' curves are drawn with; writeReport takes
  // config.ini's.
  tuning::EqModel eqModel;
};

std::string reportHtml(const PresetContents& contents, const ReportInfo& info,
                       const ReportTexts& texts);

// Writes the sheet to path in one step (a fresh file that then replaces it).
Status writeReport(const std::string& path, const PresetContents& contents, ReportInfo info,
                   const std::string& programFolder, std::string* error);

}  // namespace kp::ctl
