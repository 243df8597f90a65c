#pragma once
// Preset values and their differences as karaoke-ctl prints them: lines for
// people, JSON for scripts.
#include <string>
#include <vector>

#include "presets/preset_compare.h"

namespace kp::ctl {

// "Music RAM2 1.25k: file +3, unit 0", one per difference.
std::vector<std::string> differenceLines(const std::vector<PresetDifference>& diffs,
                                         const std::string& firstLabel,
                                         const std::string& secondLabel,
                                         const ParameterTexts& texts);
// [{"name":..,"section":..,"key":..,"<first>":..,"<second>":..}, ...]
std::string differencesJson(const std::vector<PresetDifference>& diffs,
                            const std::string& firstLabel, const std::string& secondLabel,
                            const ParameterTexts& texts);

// A preset file as a readable table: device settings, masters and outputs,
// then each user slot's equalisers and effects.
std::vector<std::string> contentsTable(const PresetContents& contents, const ParameterTexts& texts);
// {"config":{"MIC_MAX_VOLUME":90,..},"Music_0":{"1":15,..},..}, missing values as null.
std::string contentsJson(const PresetContents& contents);

}  // namespace kp::ctl
