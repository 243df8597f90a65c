#pragma once
// Moving the user slots of the music and microphone channels between the
// device image, the sliders and the mode lists.
#include "core/state.h"
#include "panel/form4.h"

namespace kp {

class PresetSets {
 public:
  PresetSets(SharedState& state, Form4& form4) : s_(state), f4_(form4) {}

  // Both mode lists: all eight modes (linked) or the three user slots.
  void Is_connect_Value();
  void Is_Unconnect_Value();

  // The selected slot of the device image shown on the sliders; nothing is
  // sent while they move.
  void Music_Open_Inis();
  void Mic_Open_Inis();

  // The section's 31 equaliser sliders to flat.
  void Music_Ini_Pro();
  void Mic_Ini_Pro();

 private:
  SharedState& s_;
  Form4& f4_;
};

}  // namespace kp
