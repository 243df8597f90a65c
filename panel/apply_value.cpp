#include <string>

#include "panel/panel.h"

namespace kp {

void Panel::reportError(std::uint8_t address, std::uint8_t value) {
  dialogs_.message("出错" + std::to_string(address) + "    " + std::to_string(value));
}

// A device setting reported by the unit goes into its dialog control (whose
// handler runs) and into Device_Settings.
void Panel::applySetting(const SettingParam& p, std::uint8_t value) {
  f3_.load();
  std::uint8_t& field = s_.Device_Settings.*p.field;
  switch (p.kind) {
    case SettingKind::Volume:
      if (!f3_.spin(p.key)->setValue(value)) return reportError(p.dumpAddress, value);
      field = value;
      return;
    case SettingKind::Mode:
      if (!f3_.list(p.key)->setIndex(value)) return reportError(p.dumpAddress, value);
      field = value;
      return;
    case SettingKind::CodedList: {
      ListBox& list = *f3_.list(p.key);
      // An unknown code leaves the list as it is; its entry is kept all the same.
      if (const int entry = entryOfCode(p, value); entry >= 0) list.setIndex(entry);
      if (list.index() < 0) return reportError(p.dumpAddress, value);
      field = static_cast<std::uint8_t>(list.index());
      return;
    }
  }
}

// One case per dump address. A value that a control cannot take ends the
// call with the error message; nothing else of it is done.
void Panel::Apply_Value(std::uint8_t address, std::uint8_t value) {
  if (const SettingParam* p = settingByDumpAddress(address)) return applySetting(*p, value);
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
    default:
      break;
  }
  // The sliders, by their dump address (masters, effects, bands, 5.1).
  if (const SliderParam* p = sliderByDumpAddress(address)) slider(*p, decodeValue(*p, value));
}

}  // namespace kp
