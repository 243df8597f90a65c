#pragma once
// Comparing a unit (as a save of it writes it) or a file with a file,
// parameter by parameter, and naming each parameter as the panel does:
// "Music RAM2 1.25k", "Microphone RAM1 REV VOL", "Mic maximum volume".
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "presets/preset_contents.h"

namespace kp {

struct PresetDifference {
  std::size_t key;                   // into presetKeys()
  std::optional<int> first, second;  // nullopt: the side lacks the value
};

// The keys whose values differ, in file order. A value only one side has
// counts; one neither has does not. Without the long dump (fullModel false)
// the 5.1 outputs and the ultra-low settings are left out: the unit does not
// report them.
std::vector<PresetDifference> comparePresets(const PresetContents& first,
                                             const PresetContents& second, bool fullModel);

// The words parameter names are made of, in one language, from config.ini
// (Name_x_1 "Music %1", Name_x_2 "Microphone %1", the device settings'
// captions 28..38); English where config.ini lacks a text.
struct ParameterTexts {
  std::string music = "Music %1";
  std::string mic = "Microphone %1";
  std::string micMax = "Mic maximum volume", micInitial = "Mic initial volume",
              micMode = "Mic effect mode", musicMax = "Music maximum volume",
              musicInitial = "Music initial volume", musicMode = "Music effect mode",
              ktvVolume = "Singing ultra-low volume", ktvReset = "Ultra-low reset time",
              ktvSensitivity = "Singing ultra-low sensitivity";
};
ParameterTexts parameterTexts(const std::string& configPath, bool english);

std::string parameterName(const PresetKey& key, const ParameterTexts& texts);
// A value as the panel shows it: a band signed ("+3", "0", "-2"), a list's
// entry ("5.0s", "4.HALL"), a level as the number.
std::string displayValue(const PresetKey& key, int value);
// The name of a user slot, "RAM1".."RAM3".
std::string slotName(int slot);

}  // namespace kp
