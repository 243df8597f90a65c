#include "ini/ini.h"
#include "link/frames.h"
#include "panel/panel.h"

namespace kp {

std::string Panel::statusText(bool linked) const {
  const std::string lang = s_.Is_English ? "e" : "c";
  auto piece = [&](int n) {
    return Read_Ini("config", "Connect_" + lang + "_" + std::to_string(n), s_.Ini_Path);
  };
  const std::string first = piece(1);
  // A room chosen in the Rooms window heads the status, above its text.
  return s_.roomName + "\n" + first + "\n\n" + piece(linked ? 2 : 3);
}

void Panel::Is_link_Command() {
  s_.Ini_Path = s_.configPath();
  s_.Is_Linked = true;
  f4_.Command(67).setEnabled(true);
  f4_.Command(143).setEnabled(true);
  f4_.Combo1.setEnabled(true);
  f4_.Combo2.setEnabled(true);
  for (int step = 1; step <= 15; ++step) stepButton(step)->setEnabled(true);
  f4_.Label(4).setEnabled(true);
  for (int n = kFirstSurround; n < kFirstSurround + 6; ++n)
    f4_.cpvSlider(n).setEnabled(s_.Full_Model);
  f4_.Label(6).setEnabled(s_.Full_Model);
  f4_.Label(3).setCaption(statusText(true));
}

void Panel::Is_unlink_Command() {
  s_.Ini_Path = s_.configPath();
  f4_.Combo1.setEnabled(false);
  f4_.Combo2.setEnabled(false);
  for (int step = 1; step <= 15; ++step) stepButton(step)->setEnabled(false);
  f4_.Command(67).setEnabled(false);
  f4_.Command(143).setEnabled(false);
  f4_.Label(4).setEnabled(false);
  for (int n = kFirstSurround; n < kFirstSurround + 6; ++n) f4_.cpvSlider(n).setEnabled(true);
  f3_.load();
  f3_.SpinButton5.setEnabled(true);
  f3_.Combo3.setEnabled(true);
  f3_.Combo4.setEnabled(true);
  f4_.Label(6).setEnabled(true);
  f4_.Label(3).setCaption(statusText(false));
  s_.Is_Linked = false;
  s_.Is_Busy = false;
  if (unloadConnectDialog) unloadConnectDialog();
}

void Panel::factoryReset() {
  if (!s_.Is_Linked) return;
  Is_unlink_Command();
  s_.Is_Linked = false;
  s_.Dump_Mode = s_.Full_Model ? 2 : 1;
  tx_.Send_Command(addr::System, cmd::FactoryReset);
}

}  // namespace kp
