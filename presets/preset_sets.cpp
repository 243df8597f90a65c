#include "presets/preset_sets.h"

#include "panel/catalogue.h"

namespace kp {

namespace {
const std::vector<std::string> kUserSlots = {"1.RAM1", "2.RAM2", "3.RAM3"};
const std::vector<std::string> kMusicModes = {"1.RAM1", "2.RAM2", "3.RAM3", "4.FLAT",
                                              "5.ROCK", "6.POPS", "7.SOFT", "8.DANCE"};
const std::vector<std::string> kMicModes = {"1.RAM1", "2.RAM2", "3.RAM3", "4.HALL",
                                            "5.CHORUS", "6.SOLO", "7.ROOM", "8.DELAY"};
}  // namespace

void PresetSets::Is_connect_Value() {
  f4_.Combo1.setItems(kMusicModes);
  f4_.Combo2.setItems(kMicModes);
}

void PresetSets::Is_Unconnect_Value() {
  f4_.Combo1.setItems(kUserSlots);
  f4_.Combo2.setItems(kUserSlots);
}

void PresetSets::Music_Open_Inis() {
  s_.Is_Busy = true;
  const int slot = f4_.Combo1.index();
  for (int k = 1; k <= 31; ++k)
    if (auto byte = s_.image.music(slot, k))
      f4_.cpvSlider(musicBandSlider(k)).setValue(*byte - kBandOffset);
  s_.Is_Busy = false;
}

void PresetSets::Mic_Open_Inis() {
  s_.Is_Busy = true;
  const int slot = f4_.Combo2.index();
  for (int k = 1; k <= 31; ++k)
    if (auto byte = s_.image.mic(slot, k))
      f4_.cpvSlider(micBandSlider(k)).setValue(*byte - kBandOffset);
  for (int k = 0; k < 6; ++k)
    if (auto byte = s_.image.mic(slot, 32 + k)) f4_.cpvSlider(kFirstEffect + k).setValue(*byte);
  s_.Is_Busy = false;
}

void PresetSets::Music_Ini_Pro() {
  for (int k = 1; k <= 31; ++k) f4_.cpvSlider(musicBandSlider(k)).setValue(0);
}

void PresetSets::Mic_Ini_Pro() {
  for (int k = 1; k <= 31; ++k) f4_.cpvSlider(micBandSlider(k)).setValue(0);
}

}  // namespace kp
