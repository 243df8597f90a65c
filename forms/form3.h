#pragma once
// The device settings dialog's controls: maximum and initial volumes, effect
// modes and the singing ultra-low settings. The unit's reports set them
// while the dialog is hidden; the dialog's own behaviour is wired by the
// settings logic.
#include <string_view>

#include "core/models.h"

namespace kp {

class Form3 : public Window {
 public:
  Form3();

  Label Frame1, Frame2, Frame3;
  Label Label1, Label2, Label3, Label4, Label5, Label6, Label7, Label8, Label9;
  TextBox Text1, Text2, Text3, Text4, Text5;
  SpinButton SpinButton1;  // microphone maximum volume, Tag 9
  SpinButton SpinButton2;  // microphone initial volume, Tag 7
  SpinButton SpinButton3;  // music maximum volume, Tag 10
  SpinButton SpinButton4;  // music initial volume, Tag 8
  SpinButton SpinButton5;  // singing ultra-low volume, Tag 94
  ListBox Combo1;          // microphone effect mode, Tag 12
  ListBox Combo2;          // music effect mode, Tag 11
  ListBox Combo3;          // ultra-low sensitivity, Tag 95
  ListBox Combo4;          // ultra-low reset time, Tag 95
  Button Command1;         // confirm
  Button Command2;         // cancel

  // The control that edits a setting, by its preset-file key; nullptr when
  // the key names no control of that kind.
  SpinButton* spin(std::string_view key);
  ListBox* list(std::string_view key);

  // The window's own load step, set by the settings logic.
  std::function<void()> loadStep;

 protected:
  void onLoad() override;
  void onUnload() override;  // back to the design state
};

}  // namespace kp
