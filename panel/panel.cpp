#include "panel/panel.h"

#include <string>
#include <utility>

namespace kp {

Panel::Panel(SharedState& state, Form4& form4, Form3& form3, Transmitter& tx, Dialogs& dialogs,
             PanelEnv env)
    : s_(state), f4_(form4), f3_(form3), tx_(tx), dialogs_(dialogs), env_(std::move(env)) {
  setUpSliders();
  wire();
}

// Each slider's range, Tag and readout, as the catalogue gives them.
void Panel::setUpSliders() {
  for (const auto& p : sliderCatalogue()) {
    Slider& s = f4_.cpvSlider(p.slider);
    s = Slider(p.min, p.max);
    s.Tag = std::to_string(p.unitAddress);
    f4_.Label(p.label).setCaption(p.readout == Readout::Signed ? "0" : "0%");
  }
}

void Panel::wire() {
  for (const auto& p : sliderCatalogue())
    f4_.cpvSlider(p.slider).onChange = [this, &p] { onSliderChanged(p); };
  f4_.Combo1.onChange = [this] { modeListChanged(f4_.Combo1); };
  f4_.Combo2.onChange = [this] { modeListChanged(f4_.Combo2); };
  for (int step = 1; step <= 15; ++step) {
    Button* b = stepButton(step);
    b->onClick = [this, b, step] { Control(*b, static_cast<std::uint8_t>(step)); };
  }
  f4_.Command(67).onClick = [this] {
    if (env_.openSaveToSlot) env_.openSaveToSlot(86);
  };
  f4_.Command(143).onClick = [this] {
    if (env_.openSaveToSlot) env_.openSaveToSlot(83);
  };
  f4_.Command(68).onClick = [this] { resetSection(true); };
  f4_.Command(144).onClick = [this] { resetSection(false); };
  f4_.All_Reset1.onClick = [this] { factoryReset(); };
}

}  // namespace kp
