#include <string>

#include "panel/panel.h"

namespace kp {

namespace {
std::optional<int> tagNumber(const std::string& tag) {
  if (tag.empty()) return std::nullopt;
  int v = 0;
  for (char c : tag) {
    if (c < '0' || c > '9' || v > 1000) return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}
}  // namespace

Panel::Panel(SharedState& state, Form4& form4, Form3& form3, Transmitter& tx,
             Dialogs& dialogs, PanelEnv env)
    : s_(state), f4_(form4), f3_(form3), tx_(tx), dialogs_(dialogs), env_(std::move(env)) {
  wire();
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

void Panel::onSliderChanged(const SliderParam& p) {
  Slider& slider = f4_.cpvSlider(p.slider);
  kp::Label& readout = f4_.Label(p.label);
  if (p.encoding == Encoding::Band) {
    Music_Mic(slider, readout);
    return;
  }
  Volume(slider, readout);
  if (p.table == ImageTable::Mic) {
    // The effect levels are kept in the current microphone slot too. With no
    // mode selected there is no slot to write, so the image is left alone.
    s_.image.setMic(f4_.Combo2.index(), p.row, slider.value());
  }
}

void Panel::Music_Mic(Slider& slider, kp::Label& readout) {
  const int v = slider.value();
  const auto t = tagNumber(slider.Tag);
  if (!t) return;
  const int byte = v + kBandOffset;
  if (*t > 44)
    s_.image.setMusic(f4_.Combo1.index(), *t - 44, byte);
  else
    s_.image.setMic(f4_.Combo2.index(), *t - 13, byte);
  readout.setCaption(std::to_string(v));
  if (s_.Is_Linked && byte >= 0 && byte <= 255)
    tx_.Send_Command(static_cast<std::uint8_t>(*t), static_cast<std::uint8_t>(byte));
}

void Panel::Volume(Slider& slider, kp::Label& readout) {
  const int v = slider.value();
  const auto t = tagNumber(slider.Tag);
  if (!t) return;
  const bool surround = *t >= 88 && *t <= 93;
  readout.setCaption(std::to_string(surround ? 2 * v : v) + "%");
  if (s_.Is_Linked && v >= 0 && v <= 255)
    tx_.Send_Command(static_cast<std::uint8_t>(*t), static_cast<std::uint8_t>(v));
}

}  // namespace kp
