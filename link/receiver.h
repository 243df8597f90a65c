#pragma once
// Everything the unit sends arrives here: the connect answer, the dump of its
// user slots and current parameters, acknowledgements, parameter blocks after
// a mode change, resend requests and unsolicited notices. Each message is
// handled by the phase of the link that the flags give.
#include <cstdint>
#include <functional>
#include <memory>

#include "core/models.h"
#include "core/ports.h"
#include "core/state.h"
#include "link/framer.h"
#include "link/transmitter.h"

namespace kp {

// What the receiver reaches outside the link: windows and controls of the
// panel, and the panel's procedures.
struct ReceiverEnv {
  Timer* connectTimer = nullptr;  // the connect dialog's timer
  Window* connectDialog = nullptr;
  Window* settingsDialog = nullptr;
  ListBox* musicModeList = nullptr;
  ListBox* micModeList = nullptr;
  Slider* musicMaster = nullptr;
  Slider* micMaster = nullptr;
  std::function<void(std::uint8_t address, std::uint8_t value)> Apply_Value;
  std::function<void()> Is_link_Command;
  std::function<void()> Unlock_Forms;
  // For the operator's view of the dump: the unit answered the connect (its
  // dump is now awaited), and one message of a dump was taken.
  std::function<void()> connectAnswered;
  std::function<void()> dumpMessageTaken;
};

class Receiver {
 public:
  // A message still unfinished after this much silence is dropped. A whole
  // frame takes 2 ms on the line; the margin is for a machine so busy that
  // the pieces of one frame reach the program far apart.
  static constexpr int kSilenceMs = 300;
  static constexpr int kDumpRequestPauseMs = 5;

  Receiver(SharedState& state, Transmitter& tx, SerialPort& port, EventPump& pump, ReceiverEnv env);

  // The port's notification: reads everything waiting and handles it.
  void onReadable();
  // The silence timer ran out: drops an unfinished message, unless bytes
  // are waiting that a busy event loop has not yet announced.
  void onSilence();
  // Handles one whole message of the unit.
  void Receive_Data(const Bytes& m);
  // Unread input was dropped: so is what has been read of a message.
  void discardUnread();

  const Framer& framer() const { return framer_; }

 private:
  bool readWaiting();
  void phaseA(const Bytes& m);
  void phaseB(const Bytes& m);
  void phaseC(const Bytes& m);
  void completeLink();
  void ack();

  SharedState& s_;
  Transmitter& tx_;
  SerialPort& port_;
  EventPump& pump_;
  ReceiverEnv env_;
  Framer framer_;
  Bytes chunk_;
  std::unique_ptr<Timer> silence_;
  bool reading_ = false;
};

}  // namespace kp
