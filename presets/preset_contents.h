#pragma once
// What a preset file holds, key by key, as numbers: for checking a file
// before it is sent anywhere, and for comparing a unit or a file with a
// file. The keys and their ranges come from the catalogue; the values are
// read with the loader's own INI access.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "panel/catalogue.h"

namespace kp {

enum class PresetKeyKind {
  Setting,   // one of the nine device settings
  Master,    // Music_Master, Mic_Master
  Surround,  // the 5.1 output levels L .. SUB
  Band,      // an equaliser band of a user slot, stored as value + 15
  Effect,    // a microphone effect level of a user slot
};

struct PresetKey {
  std::string section;  // "config", "Music_0".."Music_2", "Mic_0".."Mic_2"
  std::string key;      // "MIC_MAX_VOLUME", "Music_Master", "L", "1".."37"
  PresetKeyKind kind;
  bool music;  // the music channel (masters, bands); false for the microphone
  int slot;    // user slot 0..2 (RAM1..RAM3), -1 for the config section
  int row;     // device-image row of a band or effect, 0 otherwise
  const SliderParam* slider = nullptr;    // masters, outputs, bands, effects
  const SettingParam* setting = nullptr;  // device settings
  int min, max;                           // what the file may hold
  bool fullModelOnly;  // 5.1 outputs and ultra-low settings: long-dump units only
};

// Every key of a preset file that stands for a parameter of the unit, in the
// order a save writes them (the two mode selections, always 0, are not
// among them).
const std::vector<PresetKey>& presetKeys();

// A file's values, one per presetKeys() entry, as the file holds them (bands
// as value + 15). A value that is missing or unusable is nullopt and its
// problem is kept beside it.
struct PresetContents {
  std::vector<std::optional<int>> values;
  std::vector<std::string> problems;  // "" where the value is fine
  // MUSIC_CHANGE_MODE and MIC_CHANGE_MODE, which a linked load selects last.
  std::string modeProblem;

  // Lines such as "[Music_1] 17: missing", for the keys the use needs:
  // all of them for a long-dump unit, all but the 5.1 and ultra-low ones
  // for a short-dump one. Without missingToo only values that are there
  // but cannot be used.
  std::vector<std::string> problemLines(bool fullModel, bool missingToo = true) const;
  std::optional<int> value(const std::string& section, const std::string& key) const;
};

// Reads the whole file once. False, with the reason in *error, when it
// cannot be read at all (missing, a folder, unreadable) or holds no preset
// key whatever; problems of single keys are left in the contents.
bool readPresetContents(const std::string& path, PresetContents* out, std::string* error);
// The same from a file's bytes.
PresetContents presetContentsOfText(const std::string& fileBytes);

}  // namespace kp
