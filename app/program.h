#pragma once
// The program: its shared state, its windows and the wiring between them,
// the serial port and the timers. The same object runs under Qt (ui/) and on
// virtual time in the tests.
#include <functional>
#include <string>

#include "core/ports.h"
#include "core/state.h"
#include "link/connection.h"
#include "link/form1.h"
#include "link/form2.h"
#include "link/receiver.h"
#include "link/transmitter.h"
#include "panel/form3.h"
#include "panel/form4.h"
#include "panel/edits.h"
#include "panel/panel.h"
#include "panel/device_settings.h"
#include "presets/form6.h"
#include "presets/preset_file.h"
#include "presets/save_to_slot.h"
#include "presets/preset_sets.h"
#include "shell/activity.h"
#include "shell/form5.h"
#include "shell/help.h"
#include "shell/language.h"
#include "shell/password.h"
#include "tuning/equalise_window.h"

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
  Activity activity;
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
  EqualiseWindow equalise;

  Platform& platform() { return p_; }

 private:
  void wireMenus();
  void wireActivity();
  void wireEdits();
  bool editTools_;
  bool shutDown_ = false;
};

}  // namespace kp
