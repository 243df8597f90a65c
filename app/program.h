#pragma once
// The program: its shared state, its windows and the wiring between them,
// the serial port and the timers. The same object runs under Qt (ui/) and on
// virtual time in the tests.
#include <functional>
#include <string>

#include "core/ports.h"
#include "core/state.h"
#include "forms/form1.h"
#include "forms/form2.h"
#include "forms/form3.h"
#include "forms/form4.h"
#include "forms/form5.h"
#include "forms/form6.h"
#include "link/connection.h"
#include "link/port_settings.h"
#include "link/receiver.h"
#include "link/transmitter.h"
#include "link/transport/chosen_port.h"
#include "panel/device_settings.h"
#include "panel/edits.h"
#include "panel/panel.h"
#include "presets/preset_file.h"
#include "presets/preset_sets.h"
#include "presets/save_to_slot.h"
#include "shell/help.h"
#include "shell/language.h"
#include "shell/password.h"
#include "shell/progress_display.h"
#include "tuning/equalise_window.h"
#include "venue/rooms_window.h"
#include "venue/venue.h"

namespace kp {

class Program {
 public:
  // Without editTools the operator's undo history and compare are left out
  // altogether: a run that must show they change nothing of what the
  // program does without them is held against one that has them.
  Program(Platform& platform, const std::string& programFolder, bool editTools = true);
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The main window opens / closes.
  void startUp();
  void shutDown();
  // The exit command: shut down, then let the toolkit end the program.
  void exit();
  std::function<void()> onExit;

  // Loads a preset file as the current one.
  void Open_Pro_Ini(const std::string& path);

  // Links the panel to a room of the venue: unlinks first if linked (asking),
  // then opens the room's port and connects as the connect dialog does. The
  // room's port is held until the panel ends or another room is chosen;
  // config.ini's COM is left as it is.
  void linkToRoom(const Room& room);
  // The panel's own port, able to hold a room's port (the shipped panel's;
  // a program without it cannot link to rooms).
  ChosenPort* chosenPort = nullptr;

 private:
  Platform& p_;

 public:
  SharedState state;
  Form4 form4;
  Form1 form1;
  Form2 form2;
  Form3 form3;
  Form5 form5;
  Form6 form6;
  ProgressDisplay progress;
  Transmitter link;
  PresetSets presetSets;
  DeviceSettingsDialog settings;
  PresetFile presetFile;
  SaveToSlot saveToSlot;
  Panel panel;
  Edits edits;
  Connection connection;
  Receiver receiver;
  Language language;
  PasswordDialog password;
  PortSettings portSettings;
  RoomsWindow roomsWindow;
  Venue venue;
  EqualiseWindow equalise;

  Platform& platform() { return p_; }

 private:
  void wireMenus();
  void wireProgress();
  void wireEdits();
  void wireRooms();
  void roomsTexts();
  std::string panelPortIdentity() const;
  std::string baseCaption_;
  int lastModel_ = Form1::kFirstFullModel;
  bool editTools_;
  bool shutDown_ = false;
};

}  // namespace kp
