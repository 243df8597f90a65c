#pragma once
// The program-wide state: flags, the link's transmission state, the device
// image and the values kept from the unit's reports. One instance lives for
// the whole run, owned by the program (app/), and every subsystem works on it.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/bytes.h"

namespace kp {

// The panel's copy of the unit's eight mode slots per channel, in wire
// encoding (equaliser bands as slider value + 15, effect levels as they are).
// Slots 0..2 are the user slots RAM1..RAM3. Every access is checked.
class DeviceImage {
 public:
  static constexpr int kSlots = 8;
  static constexpr int kMusicRows = 32;  // rows 0..31
  static constexpr int kMicRows = 38;    // rows 0..37

  std::optional<std::uint8_t> music(int slot, int row) const;
  std::optional<std::uint8_t> mic(int slot, int row) const;
  // False, and nothing stored, for a slot or row outside the table.
  bool setMusic(int slot, int row, int value);
  bool setMic(int slot, int row, int value);

 private:
  std::array<std::array<std::uint8_t, kMusicRows>, kSlots> music_{};
  std::array<std::array<std::uint8_t, kMicRows>, kSlots> mic_{};
};

// The nine device settings, named after their preset-file keys.
struct DeviceSettings {
  std::uint8_t MIC_MAX_VOLUME = 0;
  std::uint8_t MIC_MIN_VOLUME = 0;
  std::uint8_t MUSIC_MAX_VOLUME = 0;
  std::uint8_t MUSIC_MIN_VOLUME = 0;
  std::uint8_t MIC_MODE = 0;
  std::uint8_t MUSIC_MODE = 0;
  std::uint8_t KTV_MIN_VOLUME = 0;
  std::uint8_t KTV_RESET_TIME = 0;  // list index 0..2
  std::uint8_t KTV_MIN_DU = 0;      // list index 0..2
};

struct SharedState {
  // Flags shared by the subsystems.
  bool Is_Linked = false;
  bool Is_Busy = false;
  bool Full_Model = true;
  std::int16_t Is_English = 0;  // 0 Chinese, -1 English
  int Dump_Mode = 0;            // 0 none, 1 short dump (ends at 83), 2 long (93)
  int Dump_Section = 0;         // 0 none, 1..6 preset section, 7 sections done
  std::uint8_t Connect_Ticks = 0;

  // Transmission state of the link.
  Bytes Last_Frame;
  std::int16_t Send_Count = 0;
  std::uint32_t Send_Stamp = 0;
  bool Awaiting_Reply = false;

  DeviceImage image;
  DeviceSettings Device_Settings;
  std::string Device_Password;

  // Paths (UTF-8). The program's folder is the folder of its executable.
  std::string programFolder;
  std::string Ini_Path;
  std::string currentPresetFile;
  // The room of the venue the panel is linked to through the Rooms window;
  // empty for the port of the port dialog. Lasts until the panel ends.
  std::string roomName;

  std::string configPath() const;         // program folder + config.ini
  std::string defaultPresetPath() const;  // program folder + Pro.dat
};

// Joins a folder and a file name with the platform's separator.
std::string joinPath(const std::string& folder, const std::string& name);

}  // namespace kp
