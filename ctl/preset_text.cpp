#include "ctl/preset_text.h"

#include <cstdio>

#include "ctl/json_writer.h"

namespace kp::ctl {

namespace {

constexpr int kSlots = 3;
constexpr int kBands = 31;

std::string shown(const PresetKey& key, const std::optional<int>& v) {
  return v ? displayValue(key, *v) : "missing";
}

// "Music %1" without its %1: the channel's word alone.
std::string channelWord(const std::string& text) {
  std::string t = text;
  const auto at = t.find("%1");
  if (at != std::string::npos) t.erase(at, 2);
  while (!t.empty() && t.back() == ' ') t.pop_back();
  while (!t.empty() && t.front() == ' ') t.erase(t.begin());
  return t;
}

std::string padRight(const std::string& s, std::size_t width) {
  // Width in characters, not bytes: names may be Chinese.
  std::size_t chars = 0;
  for (unsigned char c : s) chars += (c & 0xC0) != 0x80;
  return chars >= width ? s + " " : s + std::string(width - chars, ' ');
}

std::string padLeft(const std::string& s, std::size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

// The index into presetKeys() of a slot section's key, or -1.
int indexOf(const std::string& section, int row) {
  const auto& keys = presetKeys();
  const std::string key = std::to_string(row);
  for (std::size_t i = 0; i < keys.size(); ++i)
    if (keys[i].section == section && keys[i].key == key) return static_cast<int>(i);
  return -1;
}

}  // namespace

std::vector<std::string> differenceLines(const std::vector<PresetDifference>& diffs,
                                         const std::string& firstLabel,
                                         const std::string& secondLabel,
                                         const ParameterTexts& texts) {
  std::vector<std::string> lines;
  const auto& keys = presetKeys();
  for (const auto& d : diffs) {
    const PresetKey& k = keys[d.key];
    lines.push_back(parameterName(k, texts) + ": " + firstLabel + " " + shown(k, d.first) + ", " +
                    secondLabel + " " + shown(k, d.second));
  }
  return lines;
}

std::string differencesJson(const std::vector<PresetDifference>& diffs,
                            const std::string& firstLabel, const std::string& secondLabel,
                            const ParameterTexts& texts) {
  std::string out = "[";
  const auto& keys = presetKeys();
  for (std::size_t i = 0; i < diffs.size(); ++i) {
    const PresetKey& k = keys[diffs[i].key];
    JsonObject o;
    o.add("name", parameterName(k, texts)).add("section", k.section).add("key", k.key);
    o.add(firstLabel, shown(k, diffs[i].first)).add(secondLabel, shown(k, diffs[i].second));
    out += (i ? "," : "") + o.str();
  }
  return out + "]";
}

std::vector<std::string> contentsTable(const PresetContents& c, const ParameterTexts& texts) {
  std::vector<std::string> lines;
  const auto& keys = presetKeys();
  auto value = [&](int i) {
    return i < 0 || !c.values[static_cast<std::size_t>(i)]
               ? std::string("-")
               : displayValue(keys[static_cast<std::size_t>(i)],
                              *c.values[static_cast<std::size_t>(i)]);
  };
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].section != "config") continue;
    lines.push_back("  " + padRight(parameterName(keys[i], texts), 32) +
                    value(static_cast<int>(i)));
  }
  const std::string music = channelWord(texts.music), mic = channelWord(texts.mic);
  std::string head1 = padRight("", 8) + padRight(music, 18) + mic;
  std::string head2 = padRight("", 8);
  for (int ch = 0; ch < 2; ++ch) {
    for (int n = 0; n < kSlots; ++n) head2 += padLeft(slotName(n), 6);
    head2 += "   ";
  }
  lines.push_back("");
  lines.push_back(head1);
  lines.push_back(head2);
  const int lastRow = kBands + 6;
  for (int row = 1; row <= lastRow; ++row) {
    const SliderParam* p = sliderByImageRow(ImageTable::Mic, row);
    std::string line = "  " + padRight(sliderItemName(*p), 6);
    for (int n = 0; n < kSlots; ++n)
      line += padLeft(row <= kBands ? value(indexOf("Music_" + std::to_string(n), row)) : "", 6);
    line += "   ";
    for (int n = 0; n < kSlots; ++n)
      line += padLeft(value(indexOf("Mic_" + std::to_string(n), row)), 6);
    if (row == kBands + 1) lines.push_back("");
    lines.push_back(line);
  }
  return lines;
}

std::string contentsJson(const PresetContents& c) {
  const auto& keys = presetKeys();
  std::string out = "{";
  std::string section;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].section != section) {
      if (!section.empty()) out += "},";
      section = keys[i].section;
      out += jsonString(section) + ":{";
    } else {
      out += ",";
    }
    out += jsonString(keys[i].key) + ":" + (c.values[i] ? std::to_string(*c.values[i]) : "null");
  }
  return out + (section.empty() ? "}" : "}}");
}

}  // namespace kp::ctl
