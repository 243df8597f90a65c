#pragma once
// Preset files: one complete parameter set in INI text. Loading unlinked
// shows the values on the panel and keeps them in the device image; loading
// linked pushes them to the unit one frame at a time, each with its wait.
#include <functional>
#include <string>

#include "core/ports.h"
#include "core/state.h"
#include "forms/form3.h"
#include "forms/form4.h"
#include "link/transmitter.h"
#include "panel/device_settings.h"
#include "presets/preset_sets.h"

namespace kp {

class PresetFile {
 public:
  static constexpr const char* kFilter = "*.dat";
  static constexpr int kModePauseMs = 100;

  PresetFile(SharedState& state, Form4& form4, Form3& form3, Transmitter& tx, EventPump& pump,
             Dialogs& dialogs, PresetSets& sets, DeviceSettingsDialog& settings);

  void Open_Pro_Ini(const std::string& path);
  // Writes the current parameter set. The file is replaced as a whole only
  // once every key has been written, so a failed or interrupted save leaves
  // the old file as it was; a failure is shown with the file and the reason.
  bool Save_Pro_Ini(const std::string& path);

  // The file menu's Open and Save commands.
  void open1();
  void save1();

  // What the operator's view of long work is told; nothing here changes
  // what is sent or when. A linked load announces the waits it will make
  // (its steps), corrects that count if the end of the load needs another
  // number of them, and says when it is over with the count of frames the
  // unit did not take, before any message box.
  struct Events {
    std::function<void(const std::string& path, int steps)> linkedLoadStarted;
    std::function<void(int moreSteps)> linkedLoadReplanned;
    std::function<void(int unconfirmed)> linkedLoadEnded;
    // error is empty when the file was saved.
    std::function<void(const std::string& path, const std::string& error)> saveEnded;
    // The current preset file (the one a save writes) has another name.
    std::function<void()> currentFileChanged;
  } events;

  // What the operator's undo history and compare must hear: a load is about
  // to replace the panel's values, or has ended; a save is about to read
  // them.
  struct EditHooks {
    std::function<void()> loading, loaded, saving;
  } editHooks;

 private:
  void loadUnlinked();
  void loadLinked();
  bool writeAll(std::string* error);
  void clampMasters(bool wait);
  int linkedLoadSteps();
  int mastersOverMaximum(bool fromFile) const;
  void loadDeviceSettings();
  std::string read(const char* key) const;

  SharedState& s_;
  Form4& f4_;
  Form3& f3_;
  Transmitter& tx_;
  EventPump& pump_;
  Dialogs& dialogs_;
  PresetSets& sets_;
  DeviceSettingsDialog& settings_;
};

// What a linked load tells the operator when the unit did not take some of
// its frames.
std::string unconfirmedLoadMessage(int frames);

// Whether a regular file of that name exists (a folder does not count).
bool File_Exists(const std::string& path);

}  // namespace kp
