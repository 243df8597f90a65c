#pragma once
// The life of a link: the connect dialog and its timer, the unit's silence
// while connecting, the link and unlink commands, the watchdog's expiry, and
// locking all windows around a mode change.
#include <array>
#include <functional>
#include <string>

#include "core/models.h"
#include "core/ports.h"
#include "core/state.h"
#include "forms/form1.h"
#include "link/messages.h"
#include "link/transmitter.h"

namespace kp {

struct ConnectionEnv {
  // Form1..Form6, locked and unlocked in this order.
  std::array<Window*, 6> forms{};
  ListBox* musicModeList = nullptr;
  ListBox* micModeList = nullptr;
  std::function<void()> Set_Language;
  std::function<void()> Is_unlink_Command;
  std::function<void()> Is_connect_Value;
  std::function<void(const std::string& path)> Open_Pro_Ini;
  // The connect attempt has started or its timer has ticked (before a
  // time-out is declared), for the operator's view of the wait.
  std::function<void()> connectProgress;
};

class Connection {
 public:
  static constexpr int kGiveUpTicks = 20;

  Connection(SharedState& state, Transmitter& tx, SerialPort& port, Dialogs& dialogs, Form1& form1,
             Timer& watchdog, ConnectionEnv env);

  // Disable or enable all six windows; one not open is created hidden.
  void Lock_Forms();
  void Unlock_Forms();

  void link1();   // the link menu item: shows the connect dialog
  void unlink();  // the unlink menu item
  void watchdogExpired();
  // The port failed under the program (a USB adapter pulled out): the panel
  // falls back to unlinked and says why; the connect button opens the port
  // again once it is back.
  void portLost(const std::string& error);
  // Puts the default preset file back as the current one and loads it.
  void loadDefaultPreset();

  // Connect dialog.
  void connectLoad();
  void connectClicked();
  void connectTick();

 private:
  std::uint8_t selectedCode() const;
  void failConnect(const char* message);
  bool ensurePortOpen();

  SharedState& s_;
  Transmitter& tx_;
  SerialPort& port_;
  Dialogs& dialogs_;
  Form1& form1_;
  Timer& watchdog_;
  ConnectionEnv env_;
};

}  // namespace kp
