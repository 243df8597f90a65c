#include "link/connection.h"

#include "link/frames.h"

namespace kp {

Connection::Connection(SharedState& state, Transmitter& tx, SerialPort& port, Dialogs& dialogs,
                       Form1& form1, Timer& watchdog, ConnectionEnv env)
    : s_(state),
      tx_(tx),
      port_(port),
      dialogs_(dialogs),
      form1_(form1),
      watchdog_(watchdog),
      env_(std::move(env)) {
  form1_.loadStep = [this] { connectLoad(); };
  form1_.Command1.onClick = [this] { connectClicked(); };
  form1_.Command2.onClick = [this] { form1_.unload(); };
  form1_.Timer1->onTick = [this] { connectTick(); };
  watchdog_.onTick = [this] { watchdogExpired(); };
}

void Connection::Lock_Forms() {
  for (Window* w : env_.forms) {
    if (!w) continue;
    w->load();
    w->setEnabled(false);
  }
}

void Connection::Unlock_Forms() {
  for (Window* w : env_.forms) {
    if (!w) continue;
    w->load();
    w->setEnabled(true);
  }
}

void Connection::link1() {
  if (env_.Set_Language) env_.Set_Language();
  form1_.show();
}

void Connection::loadDefaultPreset() {
  s_.currentPresetFile = s_.defaultPresetPath();
  if (env_.Open_Pro_Ini) env_.Open_Pro_Ini(s_.currentPresetFile);
}

void Connection::connectLoad() {
  if (s_.Is_Linked) {
    form1_.Combo1.setEnabled(false);
    form1_.Command1.setEnabled(false);
  } else {
    form1_.Combo1.setIndex(0);
    form1_.Combo1.setEnabled(true);
    form1_.Command1.setEnabled(true);
  }
  s_.Connect_Ticks = 1;
}

std::uint8_t Connection::selectedCode() const {
  return form1_.Combo1.index() >= Form1::kFirstFullModel ? cmd::ConnectLong : cmd::ConnectShort;
}

bool Connection::ensurePortOpen() {
  if (port_.isOpen()) return true;
  std::string error;
  if (port_.open(&error)) return true;
  // The operator sees why, and can fix the cable or the port and try again.
  dialogs_.message(std::string(kErrorPrefix) + error);
  form1_.Command1.setEnabled(true);
  form1_.Combo1.setEnabled(true);
  return false;
}

void Connection::connectClicked() {
  s_.Connect_Ticks = 1;
  form1_.Command1.setEnabled(false);
  if (!ensurePortOpen()) return;
  const std::uint8_t code = selectedCode();
  s_.Full_Model = code == cmd::ConnectLong;
  tx_.Send_Command(addr::System, code);
  if (env_.Is_connect_Value) env_.Is_connect_Value();
  form1_.Command1.setEnabled(false);
  form1_.Combo1.setEnabled(false);
  form1_.Timer1->start();
  if (env_.connectProgress) env_.connectProgress();
}

void Connection::connectTick() {
  ++s_.Connect_Ticks;
  if (env_.connectProgress) env_.connectProgress();
  if (s_.Dump_Mode == 0) {
    tx_.Send_Command(addr::System, selectedCode());
    if (s_.Connect_Ticks == kGiveUpTicks) failConnect(kConnectTimeoutMessage);
  } else if (s_.Connect_Ticks == kGiveUpTicks) {
    failConnect(kDumpTimeoutMessage);
  } else {
    tx_.writeRaw(dumpRequestFrame());
  }
}

void Connection::failConnect(const char* message) {
  form1_.Timer1->stop();
  dialogs_.message(message);
  form1_.Combo1.setEnabled(true);
  form1_.Command1.setEnabled(true);
  Unlock_Forms();
  if (env_.Is_unlink_Command) env_.Is_unlink_Command();
  loadDefaultPreset();
  s_.Full_Model = true;
}

void Connection::unlink() {
  if (s_.Is_Linked) {
    tx_.writeDisconnect();
    port_.close();
    std::string error;
    if (!port_.open(&error)) dialogs_.message(std::string(kErrorPrefix) + error);
  }
  if (env_.Is_unlink_Command) env_.Is_unlink_Command();
  s_.Full_Model = true;
  loadDefaultPreset();
}

void Connection::portLost(const std::string& error) {
  const bool wasActive = s_.Is_Linked || form1_.Timer1->isActive() || s_.Dump_Mode != 0;
  watchdog_.stop();
  form1_.Timer1->stop();
  port_.close();
  dialogs_.message(std::string(kErrorPrefix) + error);
  if (!wasActive) return;
  s_.Dump_Mode = 0;
  s_.Dump_Section = 0;
  s_.Full_Model = true;
  if (env_.musicModeList) env_.musicModeList->setEnabled(true);
  if (env_.micModeList) env_.micModeList->setEnabled(true);
  if (env_.Is_unlink_Command) env_.Is_unlink_Command();
  loadDefaultPreset();
  Unlock_Forms();
}

void Connection::watchdogExpired() {
  watchdog_.stop();
  if (!s_.Is_Linked) return;
  tx_.writeDisconnect();
  port_.close();
  dialogs_.message(kLinkTimeoutMessage);
  s_.Full_Model = true;
  if (env_.musicModeList) env_.musicModeList->setEnabled(true);
  if (env_.micModeList) env_.micModeList->setEnabled(true);
  if (env_.Is_unlink_Command) env_.Is_unlink_Command();
  loadDefaultPreset();
  Unlock_Forms();
}

}  // namespace kp
