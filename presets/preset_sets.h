#pragma once
// Moving the user slots RAM1..RAM3 of the music and microphone channels
// between the preset file, the device image, the sliders and the unit.
#include <cstdint>
#include <functional>

#include "core/state.h"
#include "forms/form4.h"
#include "ini/ini.h"
#include "link/transmitter.h"

namespace kp {

class PresetSets {
 public:
  PresetSets(SharedState& state, Form4& form4, Transmitter& tx) : s_(state), f4_(form4), tx_(tx) {}

  // Both mode lists: all eight modes (linked) or the three user slots.
  void Is_connect_Value();
  void Is_Unconnect_Value();

  // The file's slots sent to the unit and stored in its RAM1..RAM3. Each
  // stops at the first value it cannot use; what was sent stays sent.
  void Music_Open_Ini();
  void Mic_Open_Ini();
  // How many frames, each with its wait, those two will send for the
  // current preset file; nothing is sent.
  int musicSetSteps();
  int micSetSteps();
  // The file's slots into the device image; nothing is sent.
  void Music_Open_Inies();
  void MIC_Open_Inies();
  // The device image's slots into the file.
  bool Music_Save_Ini(std::string* error = nullptr,
                      IniDurability durability = IniDurability::Synced);
  bool Mic_Save_Ini(std::string* error = nullptr, IniDurability durability = IniDurability::Synced);

  // The selected slot of the device image shown on the sliders; nothing is
  // sent while they move.
  void Music_Open_Inis();
  void Mic_Open_Inis();

  // The section's 31 equaliser sliders to flat.
  void Music_Ini_Pro();
  void Mic_Ini_Pro();

  // Each entry a load takes from the file's slots, linked or not, as it is
  // taken (slot 0..2, row as in the device image, the byte).
  std::function<void(bool music, int slot, int row, int byte)> onSlotRead;

 private:
  using SendStep = std::function<void(std::uint8_t address, std::uint8_t value)>;
  int walkMusicSets(const SendStep& send, bool loading);
  int walkMicSets(const SendStep& send, bool loading);
  void slotRead(bool music, int slot, int row, int byte) {
    if (onSlotRead) onSlotRead(music, slot, row, byte);
  }
  std::optional<int> slotValue(const std::string& section, int key) const;
  const std::string& file();

  SharedState& s_;
  Form4& f4_;
  Transmitter& tx_;
};

// "Music_0".."Music_2", "Mic_0".."Mic_2".
std::string musicSection(int slot);
std::string micSection(int slot);

}  // namespace kp
