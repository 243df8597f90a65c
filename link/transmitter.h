#pragma once
// Sending frames to the unit: Send_Command arms the wait for the answer and
// the link watchdog; Wait_Reply waits with resend for batch senders.
#include <cstdint>
#include <functional>

#include "core/ports.h"
#include "core/state.h"

namespace kp {

class Transmitter {
 public:
  static constexpr int kResendAfterMs = 4000;  // resend after more than this
  static constexpr int kMaxTransmissions = 3;
  static constexpr int kWatchdogMs = 15000;

  Transmitter(SharedState& state, SerialPort& port, Clock& clock, EventPump& pump, Timer& watchdog);

  // Sends one frame unless the panel is busy being filled (then nothing at
  // all changes): drops unread input, writes the frame, keeps it for a
  // resend, marks the answer as awaited and starts the watchdog.
  void Send_Command(std::uint8_t address, std::uint8_t value);
  // Runs where unread input is dropped: the receive side drops what it has
  // read but not yet made into a message, or an answer that follows would
  // be taken as the rest of it.
  std::function<void()> onInputDiscarded;

  // Lets events run until the answer has been taken, resending the last
  // frame after more than 4000 ms; gives up right after the third
  // transmission. Sleeps in the event loop between deadlines.
  void Wait_Reply();

  // Wait_Reply for a batch whose every frame must land, such as a preset
  // load: a frame whose wait gave up is given the usual time for a late
  // answer and then sent again, for up to kBatchRounds rounds of three
  // transmissions, while the link stands. Only the same frame is sent
  // again, so a late answer can never be taken for the next frame's.
  // Returns whether the unit took the frame; a frame it did not take is
  // counted in unconfirmed().
  static constexpr int kBatchRounds = 3;
  bool waitConfirmed() {
    const bool taken = confirmLastFrame();
    if (onBatchStep) onBatchStep();
    return taken;
  }
  int unconfirmed() const { return unconfirmed_; }
  void resetUnconfirmed() { unconfirmed_ = 0; }

  // Bytes that go straight to the port (acknowledge, dump request,
  // disconnect): no reply is awaited for them.
  void writeRaw(const Bytes& bytes);
  // The disconnect frame, straight to the port and given time to leave the
  // machine: the caller closes the port next, and a frame cut off on the line
  // would leave the unit linked.
  static constexpr int kDrainMs = 500;
  void writeDisconnect();

  // To start keeps a running countdown; to restart begins a new one.
  void startWatchdog();
  void restartWatchdog();
  void stopWatchdog();

  // The operator's view of long work counts on these; neither changes what
  // is sent or when. onResent: a frame went out again (after silence, in a
  // batch round, or at the unit's request). onBatchStep: a waitConfirmed()
  // has ended.
  std::function<void()> onResent;
  std::function<void()> onBatchStep;
  void noteResent() {
    if (onResent) onResent();
  }

  // The unit said something: it is there, so a wait given up before no
  // longer stops resends from keeping the link alive.
  void unitHeard() { givenUp_ = 0; }

  // Ends every wait in progress at its next turn; used when the program is
  // closing, so a wait never outlives the window that started it.
  void abandonWaits() { abandoned_ = true; }
  bool abandoned() const { return abandoned_; }

 private:
  std::uint32_t now32() const;
  bool confirmLastFrame();

  SharedState& s_;
  SerialPort& port_;
  Clock& clock_;
  EventPump& pump_;
  Timer& watchdog_;
  bool abandoned_ = false;
  int givenUp_ = 0;      // waits that ended unanswered since the unit was last heard
  int unconfirmed_ = 0;  // batch frames waitConfirmed() gave up on
};

}  // namespace kp
