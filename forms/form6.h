#pragma once
// The save-to-slot dialog's controls: the user slot list and the store button.
#include <functional>

#include "core/models.h"

namespace kp {

class Form6 : public Window {
 public:
  Form6() { onUnload(); }

  ListBox Combo1;   // RAM1..RAM3
  Button Command1;  // store

  std::function<void()> loadStep;

 protected:
  void onLoad() override {
    if (loadStep) loadStep();
  }
  void onUnload() override {
    Combo1.setItems({"RAM1", "RAM2", "RAM3"});
    Command1.setCaption("保  存");
  }
};

}  // namespace kp
