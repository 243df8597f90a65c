#pragma once
// What the virtual unit remembers: its eight mode slots per channel, the
// working curves and levels in force, the device settings and the password.
// Values are kept as they travel on the line (bands as slider value + 15).
#include <array>
#include <cstdint>
#include <string>

namespace kp::sim {

inline constexpr int kBands = 31;
inline constexpr int kSlots = 8;
inline constexpr int kUserSlots = 3;  // slots 0..2: RAM1..RAM3
inline constexpr std::uint8_t kFlatBand = 15;
inline constexpr std::uint8_t kMaxBand = 30;

// Microphone effect levels, in the order of the panel's image rows 32..37.
enum class Effect : int { Rep, Del, Echo, RevVol, RevDel, Master };
inline constexpr int kEffects = 6;

// The 5.1 outputs, in the order of their addresses.
enum class Surround : int { L, R, SL, SR, C, Sub };
inline constexpr int kSurrounds = 6;

struct MusicCurve {
  std::array<std::uint8_t, kBands> bands{};
  bool operator==(const MusicCurve&) const = default;
};

struct MicCurve {
  std::array<std::uint8_t, kBands> bands{};
  std::array<std::uint8_t, kEffects> effects{};
  std::uint8_t& effect(Effect e) { return effects[static_cast<int>(e)]; }
  std::uint8_t effect(Effect e) const { return effects[static_cast<int>(e)]; }
  bool operator==(const MicCurve&) const = default;
};

struct DeviceSetup {
  std::uint8_t micMinVolume = 30;  // volumes the masters return to
  std::uint8_t musicMinVolume = 30;
  std::uint8_t micMaxVolume = 90;
  std::uint8_t musicMaxVolume = 90;
  std::uint8_t musicEffectMode = 3;  // mode slot 0..7
  std::uint8_t micEffectMode = 3;
  std::uint8_t ktvResetTime = 2;     // as reported: 1, 2 or 4
  std::uint8_t ktvSensitivity = 16;  // as reported: 8, 16 or 32
  std::uint8_t ktvMinVolume = 10;    // 0..50
  bool operator==(const DeviceSetup&) const = default;
};

struct UnitState {
  std::array<MusicCurve, kSlots> musicSlots{};
  std::array<MicCurve, kSlots> micSlots{};
  int musicMode = 3;
  int micMode = 3;
  // The curves in force; a mode change loads them from a slot, a store
  // command copies them into a user slot.
  MusicCurve music{};
  MicCurve mic{};
  std::uint8_t musicMaster = 60;
  std::uint8_t micMaster = 60;
  std::array<std::uint8_t, kSurrounds> surround{};
  DeviceSetup setup{};
  std::uint8_t step = 8;  // 1..15, 8 is the key as recorded
  std::array<std::uint8_t, 4> password{};

  std::uint8_t& surroundLevel(Surround s) { return surround[static_cast<int>(s)]; }
  std::string passwordText() const;

  // The state the unit leaves the factory with (and returns to on reset).
  static UnitState factory();
  bool operator==(const UnitState&) const = default;
};

// Names of the fixed modes, slot 3..7 (for logs and tests).
const char* musicModeName(int slot);
const char* micModeName(int slot);

}  // namespace kp::sim
