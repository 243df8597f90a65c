#pragma once
// The main window's behaviour: slider handling and readouts, applying the
// unit's reports, the mode lists, the step and section buttons, and the
// linked and unlinked states.
#include <cstdint>
#include <functional>
#include <string>

#include "core/ports.h"
#include "core/state.h"
#include "forms/form3.h"
#include "forms/form4.h"
#include "link/transmitter.h"
#include "panel/catalogue.h"

namespace kp {

// Procedures of other subsystems the panel calls.
struct PanelEnv {
  std::function<void()> Lock_Forms;
  std::function<void()> Unlock_Forms;
  // Shows the selected table slot on the sliders while unlinked.
  std::function<void()> Music_Open_Inis;
  std::function<void()> Mic_Open_Inis;
  // Opens the save-to-slot dialog for the music (86) or microphone (83) set.
  std::function<void(std::uint8_t storeCode)> openSaveToSlot;
  std::function<void()> Music_Ini_Pro;
  std::function<void()> Mic_Ini_Pro;
};

class Panel {
 public:
  static constexpr std::uint32_t kRed = 255;
  static constexpr std::uint32_t kGreen = 65280;
  static constexpr int kFirstStepButton = 69;  // Command69..Command83
  static constexpr int kCentreStepButton = 76;
  static constexpr int kCentreStep = 8;

  Panel(SharedState& state, Form4& form4, Form3& form3, Transmitter& tx, Dialogs& dialogs,
        PanelEnv env);

  // Slider handling.
  void Music_Mic(Slider& slider, kp::Label& readout);
  void Volume(Slider& slider, kp::Label& readout);

  // Applies one value reported by the unit.
  void Apply_Value(std::uint8_t address, std::uint8_t value);

  // Linked and unlinked states.
  void Is_link_Command();
  void Is_unlink_Command();
  void factoryReset();
  std::string statusText(bool linked) const;

  // Step buttons: marks the button of the step in force and sends it.
  void Control(Button& button, std::uint8_t step);
  // The button that shows step 1..15; nullptr for any other step.
  Button* stepButton(int step);
  // The step the buttons mark as in force; 0 while none is marked.
  int stepInForce();

  void modeListChanged(ListBox& list);
  void resetSection(bool music);

  // The pictures of the centre step button, in the program's folder.
  std::string picture(const char* name) const;

  // Closes the connect dialog when the panel falls back to unlinked.
  std::function<void()> unloadConnectDialog;

 private:
  void setUpSliders();
  void wire();
  void onSliderChanged(const SliderParam& p);
  void reportError(std::uint8_t address, std::uint8_t value);
  void applySetting(const SettingParam& p, std::uint8_t value);

  SharedState& s_;
  Form4& f4_;
  Form3& f3_;
  Transmitter& tx_;
  Dialogs& dialogs_;
  PanelEnv env_;
};

}  // namespace kp
