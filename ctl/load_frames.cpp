#include "ctl/load_frames.h"

#include <algorithm>

#include "link/frames.h"
#include "panel/catalogue.h"

namespace kp::ctl {

namespace {
constexpr int kLastSlot = 2;
constexpr std::uint8_t kMusicModeAddress = 84;
constexpr std::uint8_t kMicModeAddress = 82;
constexpr std::uint8_t kUltraLowAddress = 95;  // reset time and sensitivity share it

const PresetKey* keyOf(const SliderParam* slider, int slot) {
  for (const PresetKey& k : presetKeys())
    if (k.slider == slider && (k.slot < 0 || k.slot == slot)) return &k;
  return nullptr;
}

const PresetKey* keyOf(const SettingParam* setting) {
  for (const PresetKey& k : presetKeys())
    if (k.setting == setting) return &k;
  return nullptr;
}
}  // namespace

void LoadFrames::reset() {
  musicStores_ = micStores_ = 0;
  unconfirmedSeen_ = 0;
  unconfirmed_.clear();
  lastFrame_.clear();
  lastName_.clear();
}

std::string LoadFrames::name(std::uint8_t a, std::uint8_t v) const {
  const std::string value = std::to_string(v);
  if (a == addr::System) {
    if (v == cmd::StartBatch) return "start of the load";
    if (v == cmd::EndBatch) return "end of the device settings";
    return "command " + value;
  }
  if (a == addr::StoreMusic || a == addr::StoreMic) {
    std::string text = a == addr::StoreMusic ? texts_.music : texts_.mic;
    const std::string what = "store into " + slotName(v);
    const auto at = text.find("%1");
    return at == std::string::npos ? text + " " + what : text.replace(at, 2, what);
  }
  if (a == kMusicModeAddress) return "music mode = " + value;
  if (a == kMicModeAddress) return "microphone mode = " + value;
  if (a == addr::Step) return "key step = " + value;
  if (const SliderParam* p = sliderByUnitAddress(a)) {
    const int slot = std::min(kLastSlot, p->table == ImageTable::Music ? musicStores_ : micStores_);
    // Bands travel as the file holds them, value + 15.
    if (const PresetKey* k = keyOf(p, slot))
      return parameterName(*k, texts_) + " = " + displayValue(*k, v);
  }
  for (const SettingParam& s : settingsCatalogue()) {
    if (s.unitAddress != a) continue;
    int entry = v;
    if (a == kUltraLowAddress) {
      entry = entryOfCode(s, v);
      if (entry < 0) continue;  // the other list's code
    }
    if (const PresetKey* k = keyOf(&s))
      return parameterName(*k, texts_) + " = " + displayValue(*k, entry);
  }
  return "address " + std::to_string(a) + " = " + value;
}

std::string LoadFrames::describe(const Bytes& frame) {
  if (frame.size() != kFrameSize) return "?";
  const std::uint8_t a = frame[1], v = frame[3];
  std::string text = name(a, v);
  if (a == addr::StoreMusic) ++musicStores_;
  if (a == addr::StoreMic) ++micStores_;
  return text;
}

bool LoadFrames::written(const Bytes& bytes) {
  if (bytes.size() != kFrameSize || bytes[0] != kFrameHeader || bytes == lastFrame_) return false;
  // The link's own frames (a disconnect when the link falls, a connect) are
  // no part of the load.
  if (bytes[1] == addr::System && bytes[3] != cmd::StartBatch && bytes[3] != cmd::EndBatch)
    return false;
  lastFrame_ = bytes;
  lastName_ = describe(bytes);
  return true;
}

void LoadFrames::stepEnded(int unconfirmedNow) {
  if (unconfirmedNow > unconfirmedSeen_) unconfirmed_.push_back(lastName_);
  unconfirmedSeen_ = unconfirmedNow;
}

}  // namespace kp::ctl
