#pragma once
// The words of a commissioning sheet in one language: the keys
// Report_c_1..Report_c_19 (Chinese) and Report_e_1.. (English) of
// config.ini, with the captions the panel already has for the equalisers
// and outputs. A text config.ini lacks (an older file) is the built-in one.
#include <array>
#include <string>

#include "presets/preset_compare.h"

namespace kp::ctl {

struct ReportTexts {
  enum Text {
    kTitle = 1,    // "Commissioning sheet"
    kRoom,         // "Room"
    kDate,         // "Date"
    kPort,         // "Port"
    kUnit,         // "Unit"
    kSource,       // "Taken from"
    kLongDump,     // "long dump: 5.1 outputs and ultra-low settings"
    kShortDump,    // "short dump: no 5.1 outputs"
    kFromUnit,     // "the unit on %1"
    kFromFile,     // "the preset file %1"
    kSettings,     // "Device settings"
    kLevels,       // "Masters and 5.1 outputs"
    kSlot,         // "User slot %1"
    kNotReported,  // "not reported by this unit"
    kSetting,      // "Setting"
    kValue,        // "Value"
    kCheckedBy,    // "Checked by"
    kMissing,      // "missing"
    kCurves,       // "The curves: each equaliser's modelled response; ..."
  };
  static constexpr int kCount = kCurves;

  const std::string& operator[](Text t) const { return texts[static_cast<std::size_t>(t - 1)]; }

  std::array<std::string, kCount> texts;
  // The panel's own captions: "Music Equaliser", "Microphone Equaliser",
  // "5.1 Output Levels", "Effects".
  std::string musicEq, micEq, surround, effects;
  ParameterTexts names;
  bool english = true;
};

ReportTexts reportTexts(const std::string& configPath, bool english);

}  // namespace kp::ctl
