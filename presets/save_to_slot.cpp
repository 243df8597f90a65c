#include "presets/save_to_slot.h"

#include "panel/catalogue.h"

namespace kp {

namespace {
constexpr int kPlacementGapTwips = 200;
}

SaveToSlot::SaveToSlot(SharedState& state, Form4& form4, Form6& form6, Transmitter& tx)
    : s_(state), f4_(form4), f6_(form6), tx_(tx) {
  f6_.loadStep = [this] { loadStep(); };
  f6_.Command1.onClick = [this] { store(); };
}

void SaveToSlot::open(std::uint8_t storeCode) {
  f6_.unload();
  Store_Code = storeCode;
  f6_.show();
}

void SaveToSlot::loadStep() {
  f6_.Combo1.setIndex(0);
  if (Set_Language) Set_Language();
  // Under the save button that opened it: its top plus its width (as the
  // window has always placed it) plus a gap.
  const Button& b = f4_.Command(Store_Code == kMusic ? 67 : 143);
  f6_.top = b.top + b.width + kPlacementGapTwips;
  f6_.left = b.left;
}

void SaveToSlot::store() {
  const int slot = f6_.Combo1.index();
  if (slot < 0 || slot > 2) return;  // no slot: nothing sent, nothing copied
  tx_.Send_Command(Store_Code, static_cast<std::uint8_t>(slot));
  if (Store_Code == kMusic)
    Music_S();
  else
    Mic_S();
  f6_.unload();
}

void SaveToSlot::Music_S() {
  const int slot = f6_.Combo1.index();
  for (int k = 1; k <= 31; ++k)
    s_.image.setMusic(slot, k, f4_.cpvSlider(musicBandSlider(k)).value() + kBandOffset);
}

void SaveToSlot::Mic_S() {
  const int slot = f6_.Combo1.index();
  for (int k = 1; k <= 31; ++k)
    s_.image.setMic(slot, k, f4_.cpvSlider(micBandSlider(k)).value() + kBandOffset);
  for (int k = 0; k < 6; ++k)
    s_.image.setMic(slot, 32 + k, f4_.cpvSlider(kFirstEffect + k).value());
}

}  // namespace kp
