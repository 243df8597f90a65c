#pragma once
// The connect dialog: the unit model list, connect and cancel, and the
// connect timer that repeats the connect command once a second.
#include <memory>

#include "core/models.h"
#include "core/ports.h"

namespace kp {

class Form1 : public Window {
 public:
  static constexpr int kConnectTickMs = 1000;
  // Entries 0..3 ask for the short dump, 4..7 are units with 5.1 outputs and
  // the ultra-low settings, which send the long one.
  static constexpr int kFirstFullModel = 4;

  explicit Form1(EventPump& pump);

  ListBox Combo1;   // unit models
  Button Command1;  // connect
  Button Command2;  // cancel
  std::unique_ptr<Timer> Timer1;
  // How far the connect attempt has come: the wait for the unit's answer,
  // then its dump.
  kp::Label workText;
  ProgressBar workBar;

  // The dialog's load step, set by the link lifecycle.
  std::function<void()> loadStep;

 protected:
  void onLoad() override;
  void onUnload() override;
};

}  // namespace kp
