#pragma once
// The frames the panel sends to the unit and the command codes they carry.
//
// A command frame is six bytes: AA, address A, FF - A, value V, FF - V, 55.
// Address 0 carries system commands, the code in V. The unit answers with
// AA 60 or asks for a resend with a single 55; the panel acknowledges each
// message of the unit's dumps with the single byte AA.
#include <array>
#include <cstddef>
#include <cstdint>

#include "core/bytes.h"

namespace kp {

inline constexpr std::uint8_t kFrameHeader = 0xAA;
inline constexpr std::uint8_t kFrameTrailer = 0x55;
inline constexpr std::uint8_t kAckByte = 0xAA;
inline constexpr std::uint8_t kResendRequest = 0x55;
inline constexpr std::uint8_t kReplyAddress = 0x60;  // AA 60: change taken
inline constexpr std::size_t kFrameSize = 6;

// System command codes (address 0).
namespace cmd {
inline constexpr std::uint8_t Disconnect = 0;
inline constexpr std::uint8_t ConnectShort = 1;  // first model group: short dump
inline constexpr std::uint8_t ConnectLong = 2;   // second group: long dump
inline constexpr std::uint8_t DumpRequest = 10;
inline constexpr std::uint8_t FactoryReset = 11;
inline constexpr std::uint8_t EndBatch = 12;
inline constexpr std::uint8_t ResetMusic = 13;
inline constexpr std::uint8_t ResetMic = 14;
inline constexpr std::uint8_t StartBatch = 15;
}  // namespace cmd

// Special addresses that are not parameters.
namespace addr {
inline constexpr std::uint8_t System = 0;
inline constexpr std::uint8_t PasswordDigit1 = 1;  // digits go to 1..4
inline constexpr std::uint8_t StoreMic = 83;
inline constexpr std::uint8_t StoreMusic = 86;
inline constexpr std::uint8_t Step = 87;
}  // namespace addr

Bytes Make_Frame(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3,
                 std::uint8_t b4, std::uint8_t b5);
Bytes Make_Byte_Frame(std::uint8_t b);
// The command frame for address A and value V.
Bytes commandFrame(std::uint8_t address, std::uint8_t value);
// The same frame as a fixed array, for a sender that keeps its own storage.
std::array<std::uint8_t, kFrameSize> commandBytes(std::uint8_t address, std::uint8_t value);

// The dump address that ends the unit's parameter dump: the short dump of the
// first model group, the long one of the units with the 5.1 outputs.
inline constexpr std::uint8_t kShortDumpEnd = 83;
inline constexpr std::uint8_t kLongDumpEnd = 93;

inline Bytes disconnectFrame() { return commandFrame(addr::System, cmd::Disconnect); }
inline Bytes dumpRequestFrame() { return commandFrame(addr::System, cmd::DumpRequest); }

}  // namespace kp
