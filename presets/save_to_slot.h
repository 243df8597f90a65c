#pragma once
// The save-to-slot dialog: stores the current music equaliser, or the
// current microphone equaliser and effects, into user slot RAM1..RAM3 of the
// unit and of the device image.
#include <cstdint>
#include <functional>

#include "core/state.h"
#include "forms/form4.h"
#include "forms/form6.h"
#include "link/transmitter.h"

namespace kp {

class SaveToSlot {
 public:
  static constexpr std::uint8_t kMusic = 86;  // also the store command codes
  static constexpr std::uint8_t kMic = 83;

  SaveToSlot(SharedState& state, Form4& form4, Form6& form6, Transmitter& tx);

  // The section's save button: a fresh dialog for that section.
  void open(std::uint8_t storeCode);
  void Music_S();
  void Mic_S();

  std::uint8_t Store_Code = 0;
  std::function<void()> Set_Language;

 private:
  void loadStep();
  void store();

  SharedState& s_;
  Form4& f4_;
  Form6& f6_;
  Transmitter& tx_;
};

}  // namespace kp
