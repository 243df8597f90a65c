#pragma once
// The client side of RFC 2217 (Telnet COM Port Control), as a state machine
// that knows nothing of sockets: the network port feeds it what the server
// sends and the time, and sends what it returns.
//
// Opening: the client offers the COM-PORT option (WILL) and binary
// transmission both ways (WILL and DO BINARY); once the server has agreed to
// all three it sets the baud rate, the data size, the parity, the stop bits
// and no flow control, one at a time and in that order, and checks each
// answer. A refusal, or a server that has not finished all this by the
// deadline, fails the opening with a reason that names what went wrong.
// Linked, data goes out with 0xFF doubled and comes in with IAC IAC taken
// back to one 0xFF and every other Telnet command taken out.
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/bytes.h"
#include "core/ports.h"

namespace kp {

namespace telnet {
inline constexpr std::uint8_t SE = 240, NOP = 241, SB = 250, WILL = 251, WONT = 252, DO = 253,
                              DONT = 254, IAC = 255;
inline constexpr std::uint8_t BINARY = 0, ECHO = 1, SGA = 3, COM_PORT = 44;
}  // namespace telnet

namespace rfc2217 {
// Commands of the client; the server answers each with the code + 100.
inline constexpr std::uint8_t SET_BAUDRATE = 1, SET_DATASIZE = 2, SET_PARITY = 3, SET_STOPSIZE = 4,
                              SET_CONTROL = 5, PURGE_DATA = 12;
inline constexpr std::uint8_t kServerOffset = 100;
inline constexpr std::uint8_t PARITY_NONE = 1, PARITY_ODD = 2, PARITY_EVEN = 3;
inline constexpr std::uint8_t CONTROL_NO_FLOW = 1;
inline constexpr std::uint8_t PURGE_RECEIVE = 1;  // the server's buffer of bytes from the line
}  // namespace rfc2217

class Rfc2217Client {
 public:
  enum class State { Idle, Negotiating, Linked, Failed };

  // What one step gives: bytes for the server, and the line's data.
  struct Step {
    Bytes toServer;
    Bytes data;
  };

  explicit Rfc2217Client(int timeoutMs = 3000) : timeoutMs_(timeoutMs) {}

  // Begins the opening at nowMs with these line settings; returns the offers.
  Bytes start(const LineSettings& settings, std::int64_t nowMs);
  // Takes bytes from the server (any split, commands across calls included).
  // Data that comes before the line is set up is no one's and is dropped.
  Step receive(const std::uint8_t* bytes, std::size_t n, std::int64_t nowMs);
  Step receive(const Bytes& bytes, std::int64_t nowMs) {
    return receive(bytes.data(), bytes.size(), nowMs);
  }
  // Time passes: an opening not finished by its deadline fails.
  void tick(std::int64_t nowMs);
  // The server closed the connection: an opening fails, with what the server
  // said last when that was text (ser2net explains a device it cannot open).
  void closedByServer();

  State state() const { return state_; }
  // Why the opening failed, e.g. "the server did not take even parity (it
  // answered: none)".
  const std::string& failure() const { return failure_; }
  // When the opening gives up; meaningful while negotiating.
  std::int64_t deadlineMs() const { return deadlineMs_; }

  // The line's data as it goes on the wire: 0xFF doubled. Appends to out.
  static void encodeData(const std::uint8_t* bytes, std::size_t n, Bytes& out);
  // Asks the server to drop what it received from the line and has not sent
  // yet (the counterpart of discarding unread input). Empty unless linked.
  Bytes purgeRequest() const;
  // Asks the server for its baud rate: its answer comes once it has taken
  // everything sent before, which is what closing waits for. Empty unless
  // linked.
  Bytes syncRequest();
  bool syncPending() const { return syncPending_; }

 private:
  enum class Parse { Data, Iac, Option, Sub, SubIac };
  enum Setting { Baud, DataSize, Parity, StopSize, Control, kSettings };

  void onOption(std::uint8_t verb, std::uint8_t option, Bytes& out);
  void onSubnegotiation(Bytes& out);
  void sendSetting(Bytes& out);
  void checkOptionsAgreed(Bytes& out);
  void failWith(std::string why);
  std::string settingName(int setting, std::uint32_t value) const;
  std::uint32_t settingValue(int setting) const;

  int timeoutMs_;
  State state_ = State::Idle;
  std::string failure_;
  std::int64_t deadlineMs_ = 0;
  LineSettings settings_{};

  // Options: what the server agreed to.
  bool comPortAgreed_ = false;    // DO COM-PORT
  bool binaryOutAgreed_ = false;  // DO BINARY: we may send binary
  bool binaryInAgreed_ = false;   // WILL BINARY: it will send binary
  bool comPortWill_ = false;      // it offered COM-PORT itself; accepted once
  bool sgaWill_ = false, sgaDo_ = false;
  std::bitset<256> declinedWill_, declinedDo_;
  bool syncPending_ = false;
  int setting_ = -1;  // the setting whose answer is awaited; -1 before the first

  Parse parse_ = Parse::Data;
  std::uint8_t verb_ = 0;
  Bytes sub_;
  std::string lastText_;  // printable bytes the server sent while opening
};

}  // namespace kp
