#include "panel/catalogue.h"

#include "link/frames.h"

namespace kp {

namespace {

// Readout labels of the music and microphone bands 1..31, as the window pairs
// them.
constexpr std::array<int, 31> kMusicBandLabels = {7,  8,  10, 9,  12, 11, 14, 13, 16, 15, 18,
                                                  17, 20, 19, 22, 21, 38, 37, 35, 36, 33, 34,
                                                  31, 32, 29, 30, 27, 28, 25, 26, 23};
constexpr std::array<int, 31> kMicBandLabels = {54, 53, 51, 52, 49, 50, 47, 48, 45, 46, 43,
                                                44, 41, 42, 39, 40, 69, 68, 66, 67, 64, 65,
                                                62, 63, 60, 61, 58, 59, 56, 57, 55};

struct Level {
  std::uint8_t unit, dump;
  int row, label;
  const char* name;
};
constexpr std::array<Level, 6> kSurround = {{{88, 87, 0, 71, "L"},
                                             {89, 88, 0, 72, "R"},
                                             {90, 89, 0, 74, "SL"},
                                             {91, 90, 0, 73, "SR"},
                                             {92, 91, 0, 76, "C"},
                                             {93, 92, 0, 75, "SUB"}}};
constexpr std::array<const char*, 31> kBandFrequencies = {
    "20",    "25",  "31.5", "40",   "50",  "63",  "80",    "100",   "125",  "160", "200",
    "250",   "315", "400",  "500",  "630", "800", "1k",    "1.25k", "1.6k", "2k",  "2.5k",
    "3.15k", "4k",  "5k",   "6.3k", "8k",  "10k", "12.5k", "16k",   "20k"};

// Dump addresses that are neither a slider nor a device setting: the four
// password digits, the two mode selections and the key step.
constexpr std::array<int, 7> kOtherDumpAddresses = {1, 2, 3, 4, 17, 18, 19};
constexpr int kUserSlots = 3;

constexpr std::array<Level, 6> kEffects = {{{78, 13, 32, 77, "REP"},
                                            {77, 12, 33, 78, "DEL"},
                                            {79, 14, 34, 80, "ECHO"},
                                            {81, 16, 35, 79, "REV VOL"},
                                            {80, 15, 36, 82, "REV DEL"},
                                            {76, 11, 37, 81, "MASTER"}}};

std::array<SliderParam, kSliderCount> build() {
  std::array<SliderParam, kSliderCount> c{};
  std::size_t i = 0;
  for (int k = 1; k <= 31; ++k)
    c[i++] = {musicBandSlider(k),
              static_cast<std::uint8_t>(44 + k),
              static_cast<std::uint8_t>(50 + k),
              kBandMin,
              kBandMax,
              Encoding::Band,
              ImageTable::Music,
              k,
              kMusicBandLabels[k - 1],
              Readout::Signed,
              nullptr};
  c[i++] = {kMusicMaster,  6, 6, 0, 100, Encoding::Level, ImageTable::None, 0, 24, Readout::Percent,
            "Music_Master"};
  for (int k = 1; k <= 31; ++k)
    c[i++] = {micBandSlider(k),
              static_cast<std::uint8_t>(13 + k),
              static_cast<std::uint8_t>(19 + k),
              kBandMin,
              kBandMax,
              Encoding::Band,
              ImageTable::Mic,
              k,
              kMicBandLabels[k - 1],
              Readout::Signed,
              nullptr};
  c[i++] = {kMicMaster,       5,           5, 0, 100, Encoding::Level, ImageTable::None, 0, 70,
            Readout::Percent, "Mic_Master"};
  for (std::size_t k = 0; k < kSurround.size(); ++k) {
    const auto& l = kSurround[k];
    c[i++] = {kFirstSurround + static_cast<int>(k),
              l.unit,
              l.dump,
              0,
              50,
              Encoding::Level,
              ImageTable::None,
              0,
              l.label,
              Readout::DoubledPercent,
              l.name};
  }
  for (std::size_t k = 0; k < kEffects.size(); ++k) {
    const auto& l = kEffects[k];
    c[i++] = {kFirstEffect + static_cast<int>(k),
              l.unit,
              l.dump,
              0,
              100,
              Encoding::Level,
              ImageTable::Mic,
              l.row,
              l.label,
              Readout::Percent,
              l.name};
  }
  return c;
}

}  // namespace

const std::array<SliderParam, kSliderCount>& sliderCatalogue() {
  static const auto catalogue = build();
  return catalogue;
}

const SliderParam* sliderParam(int sliderNumber) {
  for (const auto& p : sliderCatalogue())
    if (p.slider == sliderNumber) return &p;
  return nullptr;
}

const SliderParam* sliderByDumpAddress(int dumpAddress) {
  for (const auto& p : sliderCatalogue())
    if (p.dumpAddress == dumpAddress) return &p;
  return nullptr;
}

const SliderParam* sliderByUnitAddress(int unitAddress) {
  for (const auto& p : sliderCatalogue())
    if (p.unitAddress == unitAddress) return &p;
  return nullptr;
}

const SliderParam* sliderByImageRow(ImageTable table, int row) {
  if (table == ImageTable::None) return nullptr;
  for (const auto& p : sliderCatalogue())
    if (p.table == table && p.row == row) return &p;
  return nullptr;
}

const char* bandFrequency(int k) {
  return k >= 1 && k <= 31 ? kBandFrequencies[static_cast<std::size_t>(k - 1)] : "";
}

std::string sliderItemName(const SliderParam& p) {
  if (p.encoding == Encoding::Band) return bandFrequency(p.row);
  if (p.slider == kMusicMaster || p.slider == kMicMaster) return "MASTER";
  return p.name ? p.name : "";
}

int dumpMessageCount(int dumpMode) {
  if (dumpMode != 1 && dumpMode != 2) return 0;
  const int last = dumpMode == 1 ? kShortDumpEnd : kLongDumpEnd;
  int musicEntries = 0, micEntries = 0, parameters = 0;
  for (const auto& p : sliderCatalogue()) {
    musicEntries += p.table == ImageTable::Music;
    micEntries += p.table == ImageTable::Mic;
    parameters += p.dumpAddress <= last;
  }
  for (const auto& p : settingsCatalogue()) parameters += p.dumpAddress <= last;
  for (int a : kOtherDumpAddresses) parameters += a <= last;
  return kUserSlots * (1 + musicEntries) + kUserSlots * (1 + micEntries) + parameters;
}

const std::array<SettingParam, 9>& settingsCatalogue() {
  using DS = DeviceSettings;
  static const std::array<SettingParam, 9> settings = {{
      {"MIC_MAX_VOLUME", 9, 9, SettingKind::Volume, 1, 100, {}, &DS::MIC_MAX_VOLUME},
      {"MIC_MIN_VOLUME", 7, 7, SettingKind::Volume, 1, 100, {}, &DS::MIC_MIN_VOLUME},
      {"MUSIC_MAX_VOLUME", 10, 10, SettingKind::Volume, 1, 100, {}, &DS::MUSIC_MAX_VOLUME},
      {"MUSIC_MIN_VOLUME", 8, 8, SettingKind::Volume, 1, 100, {}, &DS::MUSIC_MIN_VOLUME},
      {"MIC_MODE", 12, 83, SettingKind::Mode, 0, 7, {}, &DS::MIC_MODE},
      {"MUSIC_MODE", 11, 82, SettingKind::Mode, 0, 7, {}, &DS::MUSIC_MODE},
      {"KTV_MIN_VOLUME", 94, 93, SettingKind::Volume, 0, 50, {}, &DS::KTV_MIN_VOLUME},
      // The two ultra-low lists share address 95, one bit each.
      {"KTV_RESET_TIME", 95, 84, SettingKind::CodedList, 0, 2, {1, 2, 4}, &DS::KTV_RESET_TIME},
      {"KTV_MIN_DU", 95, 86, SettingKind::CodedList, 0, 2, {8, 16, 32}, &DS::KTV_MIN_DU},
  }};
  return settings;
}

const SettingParam* settingByKey(std::string_view key) {
  for (const auto& p : settingsCatalogue())
    if (key == p.key) return &p;
  return nullptr;
}

const SettingParam* settingByDumpAddress(int dumpAddress) {
  for (const auto& p : settingsCatalogue())
    if (p.dumpAddress == dumpAddress) return &p;
  return nullptr;
}

int entryOfCode(const SettingParam& p, int code) {
  for (std::size_t i = 0; i < p.codes.size(); ++i)
    if (p.codes[i] == code) return static_cast<int>(i);
  return -1;
}

std::optional<std::uint8_t> encodeValue(const SliderParam& p, int value) {
  const int byte = p.encoding == Encoding::Band ? value + kBandOffset : value;
  if (byte < 0 || byte > 255) return std::nullopt;
  return static_cast<std::uint8_t>(byte);
}

int decodeValue(const SliderParam& p, std::uint8_t byte) {
  return p.encoding == Encoding::Band ? static_cast<int>(byte) - kBandOffset
                                      : static_cast<int>(byte);
}

}  // namespace kp
