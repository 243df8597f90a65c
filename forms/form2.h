#pragma once
// The serial port dialog's controls: ten option buttons COM1..COM10, OK and
// cancel. Its behaviour (the stored port, OK) is the port settings' (link/).
#include <array>
#include <functional>

#include "core/models.h"

namespace kp {

class Form2 : public Window {
 public:
  static constexpr int kPorts = 10;

  Form2() { onUnload(); }

  // Option1(i) stands for port COM(i + 1).
  OptionButton& Option1(int i);
  // Selects option i alone; an index outside 0..9 selects nothing and
  // returns false.
  bool select(int i);
  // The index of the first selected option, or -1.
  int selected() const;

  Label Frame1;
  Button Command1;  // OK
  Button Command2;  // cancel

  // The window's own load step, set by the port settings.
  std::function<void()> loadStep;

 protected:
  void onLoad() override {
    if (loadStep) loadStep();
  }
  void onUnload() override;  // back to the design state

 private:
  std::array<OptionButton, kPorts> options_;
  OptionButton none_;  // answers an out-of-range index, never shown
};

}  // namespace kp
