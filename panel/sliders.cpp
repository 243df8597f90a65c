#include <string>

#include "panel/panel.h"

namespace kp {

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
  const auto t = slider.tagNumber();
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
  const auto t = slider.tagNumber();
  if (!t) return;
  const bool surround = *t >= 88 && *t <= 93;
  readout.setCaption(std::to_string(surround ? 2 * v : v) + "%");
  if (s_.Is_Linked && v >= 0 && v <= 255)
    tx_.Send_Command(static_cast<std::uint8_t>(*t), static_cast<std::uint8_t>(v));
}

}  // namespace kp
