#include "presets/preset_contents.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "core/utf8_path.h"
#include "ini/ini.h"
#include "link/frames.h"
#include "presets/preset_sets.h"

namespace kp {

namespace {

constexpr int kUserSlots = 3;
constexpr const char* kMissing = "missing";
constexpr int kBands = 31;
constexpr int kModeEntries = 8;  // a linked load selects among all eight modes
// A preset file is a few kilobytes; anything this large is something else.
constexpr std::streamoff kMaxFileBytes = 1 << 20;

std::vector<PresetKey> build() {
  std::vector<PresetKey> keys;
  const auto setting = [&](const char* name) {
    const SettingParam* p = settingByKey(name);
    const bool full = p->dumpAddress > kShortDumpEnd;
    keys.push_back(
        {"config", name, PresetKeyKind::Setting, false, -1, 0, nullptr, p, p->min, p->max, full});
  };
  const auto slider = [&](int number, PresetKeyKind kind, bool music) {
    const SliderParam* p = sliderParam(number);
    keys.push_back({"config", p->name, kind, music, -1, 0, p, nullptr, p->min, p->max,
                    kind == PresetKeyKind::Surround});
  };
  // The order of a save: six settings, the masters, the outputs, the three
  // ultra-low settings, then the slots.
  for (const char* k : {"MIC_MAX_VOLUME", "MIC_MIN_VOLUME", "MIC_MODE", "MUSIC_MAX_VOLUME",
                        "MUSIC_MIN_VOLUME", "MUSIC_MODE"})
    setting(k);
  slider(kMusicMaster, PresetKeyKind::Master, true);
  slider(kMicMaster, PresetKeyKind::Master, false);
  for (int i = 0; i < 6; ++i) slider(kFirstSurround + i, PresetKeyKind::Surround, false);
  for (const char* k : {"KTV_MIN_VOLUME", "KTV_MIN_DU", "KTV_RESET_TIME"}) setting(k);
  for (int music = 1; music >= 0; --music) {
    const ImageTable table = music ? ImageTable::Music : ImageTable::Mic;
    const int rows = music ? kBands : kBands + 6;
    for (int n = 0; n < kUserSlots; ++n) {
      for (int row = 1; row <= rows; ++row) {
        const SliderParam* p = sliderByImageRow(table, row);
        const bool band = p->encoding == Encoding::Band;
        const int min = band ? p->min + kBandOffset : p->min;
        const int max = band ? p->max + kBandOffset : p->max;
        keys.push_back({music ? musicSection(n) : micSection(n), std::to_string(row),
                        band ? PresetKeyKind::Band : PresetKeyKind::Effect, music != 0, n, row, p,
                        nullptr, min, max, false});
      }
    }
  }
  return keys;
}

// The file's text as a whole number within min..max; otherwise why not.
std::optional<int> wholeNumber(const std::string& text, int min, int max, std::string* problem) {
  if (text.empty()) {
    *problem = kMissing;
    return std::nullopt;
  }
  long long v = 0;
  bool digits = text.size() <= 9;
  for (char c : text) {
    if (c < '0' || c > '9') digits = false;
    v = v * 10 + (c - '0');
  }
  if (!digits || v < min || v > max) {
    *problem = "\"" + text + "\" is not a whole number " + std::to_string(min) + ".." +
               std::to_string(max);
    return std::nullopt;
  }
  return static_cast<int>(v);
}

}  // namespace

const std::vector<PresetKey>& presetKeys() {
  static const std::vector<PresetKey> keys = build();
  return keys;
}

PresetContents presetContentsOfText(const std::string& bytes) {
  PresetContents c;
  const auto& keys = presetKeys();
  c.values.resize(keys.size());
  c.problems.resize(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const std::string text = Read_Ini_Text(bytes, keys[i].section, keys[i].key);
    c.values[i] = wholeNumber(text, keys[i].min, keys[i].max, &c.problems[i]);
  }
  for (const char* k : {"MUSIC_CHANGE_MODE", "MIC_CHANGE_MODE"}) {
    const std::string text = Read_Ini_Text(bytes, "config", k);
    std::string problem;
    // Missing is fine: the load then leaves the mode lists alone.
    if (!text.empty() && !wholeNumber(text, 0, kModeEntries - 1, &problem) && c.modeProblem.empty())
      c.modeProblem = std::string("[config] ") + k + ": " + problem;
  }
  return c;
}

bool readPresetContents(const std::string& path, PresetContents* out, std::string* error) {
  const std::filesystem::path p = pathFromUtf8(path);
  std::error_code ec;
  if (std::filesystem::is_directory(p, ec)) {
    *error = "is a folder, not a preset file";
    return false;
  }
  if (!std::filesystem::exists(p, ec)) {
    *error = "no such file";
    return false;
  }
  std::ifstream in(p, std::ios::binary);
  if (!in) {
    *error = std::generic_category().message(errno);
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size > kMaxFileBytes) {
    *error = "is too large for a preset file";
    return false;
  }
  in.seekg(0, std::ios::beg);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    *error = std::generic_category().message(errno);
    return false;
  }
  *out = presetContentsOfText(bytes);
  for (const auto& v : out->values)
    if (v) return true;
  *error = "holds none of a preset file's settings";
  return false;
}

std::vector<std::string> PresetContents::problemLines(bool fullModel, bool missingToo) const {
  std::vector<std::string> lines;
  const auto& keys = presetKeys();
  for (std::size_t i = 0; i < keys.size() && i < problems.size(); ++i) {
    if (problems[i].empty() || (keys[i].fullModelOnly && !fullModel)) continue;
    if (!missingToo && problems[i] == kMissing) continue;
    lines.push_back("[" + keys[i].section + "] " + keys[i].key + ": " + problems[i]);
  }
  if (!modeProblem.empty()) lines.push_back(modeProblem);
  return lines;
}

std::optional<int> PresetContents::value(const std::string& section, const std::string& key) const {
  const auto& keys = presetKeys();
  for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i)
    if (keys[i].section == section && keys[i].key == key) return values[i];
  return std::nullopt;
}

}  // namespace kp
