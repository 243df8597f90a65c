#include "forms/form1.h"

namespace kp {

Form1::Form1(EventPump& pump) : Timer1(pump.createTimer()) {
  Timer1->setInterval(kConnectTickMs);
  onUnload();
}

void Form1::onLoad() {
  if (loadStep) loadStep();
}

void Form1::onUnload() {
  Timer1->stop();  // the timer goes with the dialog
  Combo1.setItems({"KP-210 立体声", "KP-220 立体声", "KP-230 立体声", "KP-240 立体声", "KP-510 5.1",
                   "KP-520 5.1", "KP-530 5.1", "KP-540 5.1"});
  Combo1.setEnabled(true);
  Command1.setEnabled(true);
  setCaption("连接/断开");
  Command1.setCaption("连  接");
  Command2.setCaption("取  消");
  workText.setCaption("");
  workBar.setVisible(false);
  workBar.setMaximum(0);
}

}  // namespace kp
