#pragma once
// The catalogue of the unit's parameters that the main window's sliders
// edit: one row each, with the address the panel sends under (the slider's
// Tag), the address the unit reports it under, the design range, the wire
// encoding, the device-image row and the readout label. Everything else reads
// its numbers from here.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/state.h"

namespace kp {

enum class Encoding {
  Band,   // equaliser band: byte = slider value + 15
  Level,  // level: byte = slider value
};

enum class ImageTable { None, Music, Mic };

enum class Readout {
  Signed,         // "-3"
  Percent,        // "40%"
  DoubledPercent  // 5.1 outputs run 0..50 and read 0%..100%
};

struct SliderParam {
  int slider;  // number of cpvSliderN
  std::uint8_t unitAddress;
  std::uint8_t dumpAddress;
  int min, max;  // design range
  Encoding encoding;
  ImageTable table;
  int row;    // device-image row, 0 when not kept there
  int label;  // number of the readout LabelN
  Readout readout;
  const char* name;  // preset key or caption, when it has one
};

// 62 equaliser bands and 14 levels (two masters, six outputs, six effects).
inline constexpr int kSliderCount = 76;
inline constexpr int kBandMin = -15;
inline constexpr int kBandMax = 15;
inline constexpr int kBandOffset = 15;

// All 76 sliders, in the order music bands, music master, microphone bands,
// microphone master, 5.1 outputs, effects.
const std::array<SliderParam, kSliderCount>& sliderCatalogue();

// Lookups; nullopt for a number, address or row that no slider has.
const SliderParam* sliderParam(int sliderNumber);
const SliderParam* sliderByDumpAddress(int dumpAddress);
const SliderParam* sliderByUnitAddress(int unitAddress);
const SliderParam* sliderByImageRow(ImageTable table, int row);

// Slider numbers of the families, for readable loops.
inline constexpr int musicBandSlider(int k) { return k; }     // k = 1..31
inline constexpr int micBandSlider(int k) { return 33 + k; }  // k = 1..31
inline constexpr int kMusicMaster = 32;
inline constexpr int kMicMaster = 65;
inline constexpr int kFirstSurround = 67;  // L, R, SL, SR, C, SUB: 67..72
inline constexpr int kFirstEffect = 73;    // REP .. MASTER: 73..78

// Centre frequency of equaliser band k = 1..31 as the scale under it reads
// ("1.25k"); "" for any other k.
const char* bandFrequency(int k);

// What a slider is called on the panel: its band's frequency, "MASTER" for
// the two channel masters, or its own caption ("REV VOL", "SUB").
std::string sliderItemName(const SliderParam& p);

// The unit's dump after a connect or a factory reset: a marker and the
// entries of each user slot, music RAM1..RAM3 then microphone RAM1..RAM3,
// followed by one message per parameter up to the dump's last address (83
// for the short dump, 93 for the long one). Counted from the catalogue;
// 0 for any other dump mode.
int dumpMessageCount(int dumpMode);

// The device settings: the settings dialog's controls, named by their
// preset-file key, which is also their field of Device_Settings.
enum class SettingKind {
  Volume,     // spin button; the value as it is
  Mode,       // effect mode list; the entry index
  CodedList,  // ultra-low list; one code per entry, on the wire both ways
};

struct SettingParam {
  const char* key;
  std::uint8_t unitAddress;  // the control's Tag
  std::uint8_t dumpAddress;
  SettingKind kind;
  int min, max;                       // spin range, or first and last entry
  std::array<std::uint8_t, 3> codes;  // CodedList: the code of each entry
  std::uint8_t DeviceSettings::*field;
};

// In the order of Device_Settings.
const std::array<SettingParam, 9>& settingsCatalogue();
const SettingParam* settingByKey(std::string_view key);
const SettingParam* settingByDumpAddress(int dumpAddress);
// The entry of a coded list that a code stands for, or -1.
int entryOfCode(const SettingParam& p, int code);

// Wire byte for a slider value and back; nullopt when it does not fit a byte.
std::optional<std::uint8_t> encodeValue(const SliderParam& p, int value);
int decodeValue(const SliderParam& p, std::uint8_t byte);

}  // namespace kp
