#include "sim/unit_state_text.h"

#include <map>
#include <random>
#include <sstream>
#include <vector>

namespace kp::sim {

namespace {

template <class It>
std::string join(It begin, It end) {
  std::string s;
  for (It i = begin; i != end; ++i)
    s += (i == begin ? "" : " ") + std::to_string(static_cast<int>(*i));
  return s;
}

template <class C>
std::string join(const C& c) {
  return join(c.begin(), c.end());
}

DeviceSetup setupOf(const std::vector<int>& v) {
  DeviceSetup d;
  std::uint8_t* fields[] = {&d.micMinVolume,   &d.musicMinVolume,  &d.micMaxVolume,
                            &d.musicMaxVolume, &d.musicEffectMode, &d.micEffectMode,
                            &d.ktvResetTime,   &d.ktvSensitivity,  &d.ktvMinVolume};
  for (std::size_t i = 0; i < 9; ++i) *fields[i] = static_cast<std::uint8_t>(v[i]);
  return d;
}

}  // namespace

std::string stateText(const UnitState& s) {
  std::string t;
  auto line = [&](const std::string& name, const std::string& values) {
    t += name + "=" + values + "\n";
  };
  for (int n = 0; n < kSlots; ++n) {
    line("music_slot_" + std::to_string(n), join(s.musicSlots[n].bands));
    line("mic_slot_" + std::to_string(n), join(s.micSlots[n].bands));
    line("mic_effects_" + std::to_string(n), join(s.micSlots[n].effects));
  }
  line("music", join(s.music.bands));
  line("mic", join(s.mic.bands));
  line("mic_effects", join(s.mic.effects));
  line("modes", std::to_string(s.musicMode) + " " + std::to_string(s.micMode));
  line("masters", std::to_string(s.musicMaster) + " " + std::to_string(s.micMaster));
  line("surround", join(s.surround));
  const DeviceSetup& d = s.setup;
  const std::uint8_t setup[] = {d.micMinVolume,   d.musicMinVolume,  d.micMaxVolume,
                                d.musicMaxVolume, d.musicEffectMode, d.micEffectMode,
                                d.ktvResetTime,   d.ktvSensitivity,  d.ktvMinVolume};
  line("setup", join(std::begin(setup), std::end(setup)));
  line("step", std::to_string(s.step));
  line("password", join(s.password));
  return t;
}

std::optional<UnitState> parseStateText(const std::string& text) {
  std::map<std::string, std::vector<int>> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::istringstream values(line.substr(eq + 1));
    std::vector<int> v;
    for (int x; values >> x;) v.push_back(x);
    lines[line.substr(0, eq)] = v;
  }
  bool ok = true;
  auto take = [&](const std::string& name, std::size_t count, int lo, int hi) {
    const auto it = lines.find(name);
    if (it == lines.end() || it->second.size() != count) {
      ok = false;
      return std::vector<int>(count, lo);
    }
    for (int x : it->second) ok = ok && x >= lo && x <= hi;
    return it->second;
  };
  auto into = [](auto& array, const std::vector<int>& v) {
    for (std::size_t i = 0; i < array.size() && i < v.size(); ++i)
      array[i] = static_cast<std::uint8_t>(v[i]);
  };
  UnitState s;
  for (int n = 0; n < kSlots; ++n) {
    into(s.musicSlots[n].bands, take("music_slot_" + std::to_string(n), kBands, 0, kMaxBand));
    into(s.micSlots[n].bands, take("mic_slot_" + std::to_string(n), kBands, 0, kMaxBand));
    into(s.micSlots[n].effects, take("mic_effects_" + std::to_string(n), kEffects, 0, 100));
  }
  into(s.music.bands, take("music", kBands, 0, kMaxBand));
  into(s.mic.bands, take("mic", kBands, 0, kMaxBand));
  into(s.mic.effects, take("mic_effects", kEffects, 0, 100));
  const auto modes = take("modes", 2, 0, kSlots - 1);
  s.musicMode = modes[0];
  s.micMode = modes[1];
  const auto masters = take("masters", 2, 0, 100);
  s.musicMaster = static_cast<std::uint8_t>(masters[0]);
  s.micMaster = static_cast<std::uint8_t>(masters[1]);
  into(s.surround, take("surround", kSurrounds, 0, 50));
  s.setup = setupOf(take("setup", 9, 0, 100));
  s.step = static_cast<std::uint8_t>(take("step", 1, 1, 15)[0]);
  into(s.password, take("password", 4, 0, 9));
  if (!ok) return std::nullopt;
  return s;
}

UnitState randomState(std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto byte = [&](int lo, int hi) { return static_cast<std::uint8_t>(pick(lo, hi)); };
  UnitState s = UnitState::factory();
  for (int n = 0; n < kSlots; ++n) {
    for (auto& b : s.musicSlots[n].bands) b = byte(0, kMaxBand);
    for (auto& b : s.micSlots[n].bands) b = byte(0, kMaxBand);
    for (auto& e : s.micSlots[n].effects) e = byte(0, 100);
  }
  s.musicMode = pick(0, kSlots - 1);
  s.micMode = pick(0, kSlots - 1);
  s.music = s.musicSlots[s.musicMode];
  s.mic = s.micSlots[s.micMode];
  DeviceSetup& d = s.setup;
  d.micMinVolume = byte(1, 100);
  d.micMaxVolume = byte(d.micMinVolume, 100);
  d.musicMinVolume = byte(1, 100);
  d.musicMaxVolume = byte(d.musicMinVolume, 100);
  d.musicEffectMode = byte(0, kSlots - 1);
  d.micEffectMode = byte(0, kSlots - 1);
  d.ktvResetTime = static_cast<std::uint8_t>(1 << pick(0, 2));
  d.ktvSensitivity = static_cast<std::uint8_t>(8 << pick(0, 2));
  d.ktvMinVolume = byte(0, 50);
  s.musicMaster = byte(0, d.musicMaxVolume);
  s.micMaster = byte(0, d.micMaxVolume);
  for (auto& v : s.surround) v = byte(0, 50);
  s.step = byte(1, 15);
  for (auto& p : s.password) p = byte(0, 9);
  return s;
}

}  // namespace kp::sim
