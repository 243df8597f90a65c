#pragma once
// The device settings dialog's behaviour: every change is kept in
// Device_Settings and, while linked, sent to the unit at once; a maximum
// volume never stays below the initial volume of its channel.
#include <functional>

#include "core/state.h"
#include "forms/form3.h"
#include "forms/form4.h"
#include "link/transmitter.h"
#include "panel/catalogue.h"

namespace kp {

class DeviceSettingsDialog {
 public:
  DeviceSettingsDialog(SharedState& state, Form3& form3, Form4& form4, Transmitter& tx);

  // The menu item: a fresh dialog every time.
  void open();

  void Command_info(SpinButton& spin, TextBox& text);
  void Command_info_1(SpinButton& spin, TextBox& text);
  void Com3_Click();
  void Com4_Click();

  // Sets a setting through its control, as the operator would have: the
  // control's handling runs (and sends, linked) even where the control
  // shows the value already. A dialog not open is created hidden first,
  // without sending: its load step only shows the settings the panel holds.
  void setThroughControl(const SettingParam& p, int value);

  std::function<void()> Set_Language;

 private:
  void loadStep();
  void modeClicked(ListBox& list, std::uint8_t& field);
  void send(const Control& control, int value);

  SharedState& s_;
  Form3& f3_;
  Form4& f4_;
  Transmitter& tx_;
};

}  // namespace kp
