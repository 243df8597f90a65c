#include <string>

#include "panel/panel.h"

namespace kp {

namespace {
// The list entry the unit's code for an ultra-low setting stands for.
int listIndexOfCode(std::uint8_t value, std::uint8_t first) {
  if (value == first) return 0;
  if (value == first * 2) return 1;
  if (value == first * 4) return 2;
  return -1;
}
}  // namespace

void Panel::reportError(std::uint8_t address, std::uint8_t value) {
  dialogs_.message("出错" + std::to_string(address) + "    " + std::to_string(value));
}

// One case per dump address. A value that a control cannot take ends the
// call with the error message; nothing else of it is done.
void Panel::Apply_Value(std::uint8_t address, std::uint8_t value) {
  auto& ds = s_.Device_Settings;
  auto spin = [&](SpinButton& s, std::uint8_t& field) {
    f3_.load();
    if (!s.setValue(value)) return reportError(address, value);
    field = value;
  };
  auto slider = [&](const SliderParam& p, int v) {
    Slider& s = f4_.cpvSlider(p.slider);
    // A value the slider already shows raises no change, but the report must
    // still reach the readout and the image slot of the current mode.
    if (s.value() == v) return onSliderChanged(p);
    if (!s.setValue(v)) reportError(address, value);
  };

  switch (address) {
    case 1:
      s_.Device_Password = std::to_string(value);
      return;
    case 2:
    case 3:
    case 4:
      s_.Device_Password += std::to_string(value);
      return;
    case 7: return spin(f3_.SpinButton2, ds.MIC_MIN_VOLUME);
    case 8: return spin(f3_.SpinButton4, ds.MUSIC_MIN_VOLUME);
    case 9: return spin(f3_.SpinButton1, ds.MIC_MAX_VOLUME);
    case 10: return spin(f3_.SpinButton3, ds.MUSIC_MAX_VOLUME);
    case 17:
    case 18: {
      ListBox& list = address == 17 ? f4_.Combo2 : f4_.Combo1;
      if (!list.setIndex(value)) return reportError(address, value);
      if (env_.Unlock_Forms) env_.Unlock_Forms();
      return;
    }
    case 19: {
      if (Button* b = stepButton(value)) Control(*b, value);
      return;
    }
    case 82:
    case 83: {
      f3_.load();
      ListBox& list = address == 82 ? f3_.Combo2 : f3_.Combo1;
      if (!list.setIndex(value)) return reportError(address, value);
      (address == 82 ? ds.MUSIC_MODE : ds.MIC_MODE) = value;
      return;
    }
    case 84:
    case 86: {
      f3_.load();
      ListBox& list = address == 84 ? f3_.Combo4 : f3_.Combo3;
      const int index = listIndexOfCode(value, address == 84 ? 1 : 8);
      if (index >= 0) list.setIndex(index);
      // A list with no selection has no index to keep.
      if (list.index() < 0) return reportError(address, value);
      (address == 84 ? ds.KTV_RESET_TIME : ds.KTV_MIN_DU) =
          static_cast<std::uint8_t>(list.index());
      return;
    }
    case 93: return spin(f3_.SpinButton5, ds.KTV_MIN_VOLUME);
    default: break;
  }
  // The sliders, by their dump address (masters, effects, bands, 5.1).
  if (const SliderParam* p = sliderByDumpAddress(address))
    slider(*p, decodeValue(*p, value));
}

}  // namespace kp
