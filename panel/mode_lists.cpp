#include "link/frames.h"
#include "panel/panel.h"

namespace kp {

std::string Panel::picture(const char* name) const { return joinPath(s_.programFolder, name); }

Button* Panel::stepButton(int step) {
  if (step < 1 || step > 15) return nullptr;
  return &f4_.Command(kFirstStepButton + step - 1);
}

int Panel::stepInForce() {
  for (int s = 1; s <= 15; ++s) {
    const std::uint32_t mark = s == kCentreStep ? kGreen : kRed;
    if (stepButton(s)->backColor() == mark) return s;
  }
  return 0;
}

void Panel::Control(Button& button, std::uint8_t step) {
  // The centre button too: left green, it would still look in force after
  // another step has been taken.
  for (int s = 1; s <= 15; ++s) stepButton(s)->setBackColor(Button::kButtonFace);
  Button& centre = f4_.Command(kCentreStepButton);
  centre.setPicture(picture("1.JPG"));
  if (step == kCentreStep) {
    button.setBackColor(kGreen);
    button.setPicture(picture("2.JPG"));
  } else {
    button.setBackColor(kRed);
  }
  tx_.Send_Command(addr::Step, step);
}

void Panel::modeListChanged(ListBox& list) {
  const bool music = &list == &f4_.Combo1;
  const int index = list.index();
  if (index < 0) return;  // a selection cleared by code shows no mode
  if (s_.Is_Linked || s_.Is_Busy) {
    if (const auto address = list.tagNumber())
      tx_.Send_Command(static_cast<std::uint8_t>(*address), static_cast<std::uint8_t>(index));
    if (env_.Lock_Forms) env_.Lock_Forms();
    s_.Is_Busy = true;
    list.setEnabled(false);
    return;
  }
  s_.Ini_Path = s_.currentPresetFile;
  if (music && env_.Music_Open_Inis) env_.Music_Open_Inis();
  if (!music && env_.Mic_Open_Inis) env_.Mic_Open_Inis();
}

void Panel::resetSection(bool music) {
  s_.Is_Busy = true;
  if (music && env_.Music_Ini_Pro) env_.Music_Ini_Pro();
  if (!music && env_.Mic_Ini_Pro) env_.Mic_Ini_Pro();
  // A band already at 0 raises no change, yet its row of the current slot
  // must read flat as well; nothing is sent while busy.
  for (int k = 1; k <= 31; ++k)
    if (const SliderParam* p = sliderParam(music ? musicBandSlider(k) : micBandSlider(k)))
      onSliderChanged(*p);
  s_.Is_Busy = false;
  if (s_.Is_Linked) {
    tx_.Send_Command(addr::System, music ? cmd::ResetMusic : cmd::ResetMic);
    tx_.Wait_Reply();
  }
}

}  // namespace kp
