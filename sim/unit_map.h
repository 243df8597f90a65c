#pragma once
// The unit's two numberings: the unit address a new value arrives under, and
// the dump address the unit reports it with. They differ for most parameters.
#include <cstdint>
#include <optional>
#include <string>

#include "sim/unit_state.h"

namespace kp::sim {

// Addresses the panel sends to (besides address 0, the system commands).
namespace unitaddr {
inline constexpr std::uint8_t PasswordDigit1 = 1;  // 1..4
inline constexpr std::uint8_t MicMaster = 5;
inline constexpr std::uint8_t MusicMaster = 6;
inline constexpr std::uint8_t MicMinVolume = 7;
inline constexpr std::uint8_t MusicMinVolume = 8;
inline constexpr std::uint8_t MicMaxVolume = 9;
inline constexpr std::uint8_t MusicMaxVolume = 10;
inline constexpr std::uint8_t MusicEffectMode = 11;
inline constexpr std::uint8_t MicEffectMode = 12;
inline constexpr std::uint8_t MicBand1 = 14;    // 14..44
inline constexpr std::uint8_t MusicBand1 = 45;  // 45..75
inline constexpr std::uint8_t MicMode = 82;
inline constexpr std::uint8_t StoreMic = 83;
inline constexpr std::uint8_t MusicMode = 84;
inline constexpr std::uint8_t StoreMusic = 86;
inline constexpr std::uint8_t Step = 87;
inline constexpr std::uint8_t Surround1 = 88;  // 88..93: L R SL SR C SUB
inline constexpr std::uint8_t KtvMinVolume = 94;
inline constexpr std::uint8_t KtvBits = 95;  // reset time 1/2/4, sensitivity 8/16/32
}  // namespace unitaddr

// Addresses the unit reports under.
namespace dumpaddr {
inline constexpr std::uint8_t PasswordDigit1 = 1;  // 1..4
inline constexpr std::uint8_t MicMaster = 5;
inline constexpr std::uint8_t MusicMaster = 6;
inline constexpr std::uint8_t MicMinVolume = 7;
inline constexpr std::uint8_t MusicMinVolume = 8;
inline constexpr std::uint8_t MicMaxVolume = 9;
inline constexpr std::uint8_t MusicMaxVolume = 10;
inline constexpr std::uint8_t Effect1 = 11;  // 11..16, see effectOfDumpAddress
inline constexpr std::uint8_t EffectLast = 16;
inline constexpr std::uint8_t MicMode = 17;
inline constexpr std::uint8_t MusicMode = 18;
inline constexpr std::uint8_t Step = 19;
inline constexpr std::uint8_t MicBand1 = 20;    // 20..50
inline constexpr std::uint8_t MusicBand1 = 51;  // 51..81
inline constexpr std::uint8_t MusicBandLast = 81;
inline constexpr std::uint8_t MusicEffectMode = 82;
inline constexpr std::uint8_t MicEffectMode = 83;  // last of the short dump
inline constexpr std::uint8_t KtvResetTime = 84;
inline constexpr std::uint8_t KtvSensitivity = 86;
inline constexpr std::uint8_t Surround1 = 87;     // 87..92
inline constexpr std::uint8_t KtvMinVolume = 93;  // last of the long dump
}  // namespace dumpaddr

// Value of a section marker (address 0): 13..15 music RAM1..3, 16..18 mic.
inline constexpr std::uint8_t kFirstSectionMarker = 13;
// System code 10 doubles as the unsolicited volume notice's value.
inline constexpr std::uint8_t kVolumeNoticeValue = 10;

std::optional<Effect> effectOfUnitAddress(std::uint8_t address);
std::optional<Effect> effectOfDumpAddress(std::uint8_t address);
std::uint8_t dumpAddressOf(Effect e);
const char* effectName(Effect e);
const char* surroundName(Surround s);

// Readable meaning of a frame, for the log: "address 51 = 15: music band 7".
std::string describeUnitAddress(std::uint8_t address, std::uint8_t value);
std::string describeSystemCode(std::uint8_t code);
// "dump 51 = 15: music band 1".
std::string describeDumpAddress(std::uint8_t address, std::uint8_t value);

}  // namespace kp::sim
