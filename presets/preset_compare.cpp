#include "presets/preset_compare.h"

#include <string_view>

#include "forms/form3.h"
#include "ini/ini.h"

namespace kp {

namespace {
// "Music %1" with its %1 filled in.
std::string filled(const std::string& text, const std::string& item) {
  const auto at = text.find("%1");
  return at == std::string::npos ? text + " " + item
                                 : text.substr(0, at) + item + text.substr(at + 2);
}
}  // namespace

std::vector<PresetDifference> comparePresets(const PresetContents& first,
                                             const PresetContents& second, bool fullModel) {
  std::vector<PresetDifference> out;
  const auto& keys = presetKeys();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].fullModelOnly && !fullModel) continue;
    const std::optional<int> a = i < first.values.size() ? first.values[i] : std::nullopt;
    const std::optional<int> b = i < second.values.size() ? second.values[i] : std::nullopt;
    if (a != b) out.push_back({i, a, b});
  }
  return out;
}

ParameterTexts parameterTexts(const std::string& configPath, bool english) {
  ParameterTexts t;
  const std::string lang = english ? "e" : "c";
  auto take = [&](std::string& into, const std::string& key) {
    std::string text = Read_Ini("config", key, configPath);
    if (!text.empty()) into = std::move(text);
  };
  take(t.music, "Name_" + lang + "_1");
  take(t.mic, "Name_" + lang + "_2");
  const std::pair<std::string*, int> captions[] = {
      {&t.micMax, 28},    {&t.micInitial, 29},   {&t.micMode, 30},
      {&t.musicMax, 32},  {&t.musicInitial, 33}, {&t.musicMode, 34},
      {&t.ktvVolume, 36}, {&t.ktvReset, 37},     {&t.ktvSensitivity, 38}};
  for (const auto& [into, n] : captions) take(*into, std::to_string(n) + "_" + lang);
  return t;
}

std::string slotName(int slot) { return "RAM" + std::to_string(slot + 1); }

std::string parameterName(const PresetKey& key, const ParameterTexts& t) {
  switch (key.kind) {
    case PresetKeyKind::Setting: {
      const std::string_view k = key.key;
      if (k == "MIC_MAX_VOLUME") return t.micMax;
      if (k == "MIC_MIN_VOLUME") return t.micInitial;
      if (k == "MIC_MODE") return t.micMode;
      if (k == "MUSIC_MAX_VOLUME") return t.musicMax;
      if (k == "MUSIC_MIN_VOLUME") return t.musicInitial;
      if (k == "MUSIC_MODE") return t.musicMode;
      if (k == "KTV_MIN_VOLUME") return t.ktvVolume;
      if (k == "KTV_RESET_TIME") return t.ktvReset;
      return t.ktvSensitivity;
    }
    case PresetKeyKind::Master:
      return filled(key.music ? t.music : t.mic, "MASTER");
    case PresetKeyKind::Surround:
      return "5.1 " + key.key;
    case PresetKeyKind::Band:
    case PresetKeyKind::Effect:
      return filled(key.music ? t.music : t.mic,
                    slotName(key.slot) + " " + sliderItemName(*key.slider));
  }
  return key.key;
}

std::string displayValue(const PresetKey& key, int value) {
  if (key.kind == PresetKeyKind::Band) {
    const int v = value - kBandOffset;
    return v > 0 ? "+" + std::to_string(v) : std::to_string(v);
  }
  if (key.setting && key.setting->kind != SettingKind::Volume) {
    // The device settings dialog's own entries.
    static Form3 design;
    if (const ListBox* list = design.list(key.key))
      if (value >= 0 && value < static_cast<int>(list->items().size()))
        return list->items()[static_cast<std::size_t>(value)];
  }
  return std::to_string(value);
}

}  // namespace kp
