#include "presets/preset_sets.h"

#include "ini/ini.h"
#include "link/frames.h"
#include "panel/catalogue.h"
#include "presets/preset_values.h"

namespace kp {

namespace {
const std::vector<std::string> kUserSlots = {"1.RAM1", "2.RAM2", "3.RAM3"};
const std::vector<std::string> kMusicModes = {"1.RAM1", "2.RAM2", "3.RAM3", "4.FLAT",
                                              "5.ROCK", "6.POPS", "7.SOFT", "8.DANCE"};
const std::vector<std::string> kMicModes = {"1.RAM1",   "2.RAM2", "3.RAM3", "4.HALL",
                                            "5.CHORUS", "6.SOLO", "7.ROOM", "8.DELAY"};
constexpr int kUserSlotCount = 3;
constexpr int kBands = 31;
constexpr int kFirstEffectRow = 32;
constexpr int kLastEffectRow = 37;
}  // namespace

std::string musicSection(int slot) { return "Music_" + std::to_string(slot); }
std::string micSection(int slot) { return "Mic_" + std::to_string(slot); }

const std::string& PresetSets::file() {
  s_.Ini_Path = s_.currentPresetFile;
  return s_.Ini_Path;
}

std::optional<int> PresetSets::slotValue(const std::string& section, int key) const {
  return readByteFloor(Read_Ini(section, std::to_string(key), s_.Ini_Path));
}

void PresetSets::Is_connect_Value() {
  f4_.Combo1.setItems(kMusicModes);
  f4_.Combo2.setItems(kMicModes);
}

void PresetSets::Is_Unconnect_Value() {
  f4_.Combo1.setItems(kUserSlots);
  f4_.Combo2.setItems(kUserSlots);
}

// The frames of the file's slots in the order a linked load sends them,
// each handed to send; stops at the first value it cannot use. Returns how
// many it handed over.
int PresetSets::walkMusicSets(const SendStep& send, bool loading) {
  file();
  int steps = 0;
  for (int n = 0; n < kUserSlotCount; ++n) {
    for (int k = 1; k <= kBands; ++k) {
      const auto v = slotValue(musicSection(n), k);
      if (!v) return steps;
      if (loading) slotRead(true, n, k, *v);
      send(static_cast<std::uint8_t>(44 + k), static_cast<std::uint8_t>(*v));
      ++steps;
    }
    send(addr::StoreMusic, static_cast<std::uint8_t>(n));
    ++steps;
  }
  return steps;
}

int PresetSets::walkMicSets(const SendStep& send, bool loading) {
  file();
  int steps = 0;
  for (int n = 0; n < kUserSlotCount; ++n) {
    for (int k = 1; k <= kBands; ++k) {
      const auto v = slotValue(micSection(n), k);
      if (!v) return steps;
      if (loading) slotRead(false, n, k, *v);
      send(static_cast<std::uint8_t>(13 + k), static_cast<std::uint8_t>(*v));
      ++steps;
    }
    for (int row = kFirstEffectRow; row <= kLastEffectRow; ++row) {
      const SliderParam* p = sliderByImageRow(ImageTable::Mic, row);
      const auto v = slotValue(micSection(n), row);
      if (!p || !v) return steps;
      send(p->unitAddress, static_cast<std::uint8_t>(*v));
      ++steps;
    }
    send(addr::StoreMic, static_cast<std::uint8_t>(n));
    ++steps;
  }
  return steps;
}

void PresetSets::Music_Open_Ini() {
  walkMusicSets(
      [this](std::uint8_t a, std::uint8_t v) {
        tx_.Send_Command(a, v);
        tx_.waitConfirmed();
      },
      true);
}

void PresetSets::Mic_Open_Ini() {
  walkMicSets(
      [this](std::uint8_t a, std::uint8_t v) {
        tx_.Send_Command(a, v);
        tx_.waitConfirmed();
      },
      true);
}

int PresetSets::musicSetSteps() {
  return walkMusicSets([](std::uint8_t, std::uint8_t) {}, false);
}

int PresetSets::micSetSteps() {
  return walkMicSets([](std::uint8_t, std::uint8_t) {}, false);
}

void PresetSets::Music_Open_Inies() {
  file();
  for (int n = 0; n < kUserSlotCount; ++n)
    for (int k = 1; k <= kBands; ++k) {
      const auto v = slotValue(musicSection(n), k);
      if (!v) return;
      s_.image.setMusic(n, k, *v);
      slotRead(true, n, k, *v);
    }
}

void PresetSets::MIC_Open_Inies() {
  file();
  for (int n = 0; n < kUserSlotCount; ++n)
    for (int k = 1; k <= kLastEffectRow; ++k) {
      const auto v = slotValue(micSection(n), k);
      if (!v) return;
      s_.image.setMic(n, k, *v);
      slotRead(false, n, k, *v);
    }
}

bool PresetSets::Music_Save_Ini(std::string* error, IniDurability durability) {
  file();
  for (int n = 0; n < kUserSlotCount; ++n)
    for (int k = 1; k <= kBands; ++k)
      if (!Write_Ini(musicSection(n), std::to_string(k),
                     std::to_string(s_.image.music(n, k).value_or(0)), s_.Ini_Path, error,
                     durability))
        return false;
  return true;
}

bool PresetSets::Mic_Save_Ini(std::string* error, IniDurability durability) {
  file();
  for (int n = 0; n < kUserSlotCount; ++n)
    for (int k = 1; k <= kLastEffectRow; ++k)
      if (!Write_Ini(micSection(n), std::to_string(k),
                     std::to_string(s_.image.mic(n, k).value_or(0)), s_.Ini_Path, error,
                     durability))
        return false;
  return true;
}

void PresetSets::Music_Open_Inis() {
  s_.Is_Busy = true;
  const int slot = f4_.Combo1.index();
  for (int k = 1; k <= kBands; ++k)
    if (auto byte = s_.image.music(slot, k))
      f4_.cpvSlider(musicBandSlider(k)).setValue(*byte - kBandOffset);
  s_.Is_Busy = false;
}

void PresetSets::Mic_Open_Inis() {
  s_.Is_Busy = true;
  const int slot = f4_.Combo2.index();
  for (int k = 1; k <= kBands; ++k)
    if (auto byte = s_.image.mic(slot, k))
      f4_.cpvSlider(micBandSlider(k)).setValue(*byte - kBandOffset);
  for (int row = kFirstEffectRow; row <= kLastEffectRow; ++row)
    if (auto byte = s_.image.mic(slot, row))
      if (const SliderParam* p = sliderByImageRow(ImageTable::Mic, row))
        f4_.cpvSlider(p->slider).setValue(*byte);
  s_.Is_Busy = false;
}

void PresetSets::Music_Ini_Pro() {
  for (int k = 1; k <= kBands; ++k) f4_.cpvSlider(musicBandSlider(k)).setValue(0);
}

void PresetSets::Mic_Ini_Pro() {
  for (int k = 1; k <= kBands; ++k) f4_.cpvSlider(micBandSlider(k)).setValue(0);
}

}  // namespace kp
