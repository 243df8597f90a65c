#include "link/transmitter.h"

#include "link/frames.h"

namespace kp {

Transmitter::Transmitter(SharedState& state, SerialPort& port, Clock& clock, EventPump& pump,
                         Timer& watchdog)
    : s_(state), port_(port), clock_(clock), pump_(pump), watchdog_(watchdog) {
  watchdog_.setInterval(kWatchdogMs);
}

std::uint32_t Transmitter::now32() const { return static_cast<std::uint32_t>(clock_.nowMs()); }

void Transmitter::Send_Command(std::uint8_t address, std::uint8_t value) {
  if (s_.Is_Busy) return;
  port_.discardInput();
  if (onInputDiscarded) onInputDiscarded();
  const auto frame = commandBytes(address, value);
  s_.Last_Frame.assign(frame.begin(), frame.end());  // no allocation once it has held a frame
  port_.write(s_.Last_Frame);
  s_.Awaiting_Reply = true;
  startWatchdog();
  s_.Send_Stamp = now32();
  s_.Send_Count = 1;
}

void Transmitter::Wait_Reply() {
  while ((s_.Is_Busy || s_.Awaiting_Reply) && !abandoned_) {
    // Nothing can answer through a closed port (the link has ended or the
    // adapter is gone): a batch must not sit out eight seconds a frame, and
    // the next link starts afresh.
    if (!port_.isOpen()) {
      givenUp_ = 0;
      return;
    }
    // The stamp is a 32-bit tick like the platform's; unsigned arithmetic
    // keeps the difference right across its wrap.
    const std::uint32_t elapsed = now32() - s_.Send_Stamp;
    const std::int64_t untilResend = elapsed > static_cast<std::uint32_t>(kResendAfterMs)
                                         ? 0
                                         : static_cast<std::int64_t>(kResendAfterMs + 1 - elapsed);
    pump_.runOnce(clock_.nowMs() + untilResend);

    if (now32() - s_.Send_Stamp > static_cast<std::uint32_t>(kResendAfterMs)) {
      ++s_.Send_Count;
      s_.Send_Stamp = now32();
      port_.write(s_.Last_Frame);
      noteResent();
      // At or past the limit, not only exactly at it: a count that a nested
      // exchange left above the limit must end the wait too, or it would
      // resend forever and keep the watchdog from ever running out.
      if (s_.Send_Count >= kMaxTransmissions) {
        ++givenUp_;
        return;
      }
      // Once a wait has gone unanswered, resends no longer keep the link
      // alive: otherwise a batch to a unit that fell silent would hold the
      // link open for minutes, as every frame's resend restarted the watchdog.
      if (givenUp_ == 0) restartWatchdog();
    }
  }
  givenUp_ = 0;
}

bool Transmitter::confirmLastFrame() {
  // The frame this wait is for. The operator may move a control while the
  // batch waits, which replaces Last_Frame; it is this frame that is sent
  // again. A step that sent nothing finds a frame given up on before: that
  // one has had its rounds and is not counted twice.
  const Bytes frame = s_.Last_Frame;
  const bool fresh = s_.Send_Count < kMaxTransmissions;
  Wait_Reply();
  if (!fresh) return !s_.Awaiting_Reply && !s_.Is_Busy;
  for (int round = 1; round < kBatchRounds; ++round) {
    if (!s_.Awaiting_Reply || s_.Is_Busy) break;
    // The last transmission of the round may still be answered.
    const std::uint32_t lastSent = s_.Send_Stamp;
    while (s_.Awaiting_Reply && !abandoned_ && port_.isOpen() && s_.Is_Linked &&
           now32() - lastSent <= static_cast<std::uint32_t>(kResendAfterMs))
      pump_.runOnce(clock_.nowMs() + kResendAfterMs + 1 - (now32() - lastSent));
    if (!s_.Awaiting_Reply) break;
    // Nothing more to try: the link has ended, the program is closing, or
    // a parameter block holds the panel busy (then nothing could be sent).
    if (abandoned_ || !port_.isOpen() || !s_.Is_Linked || s_.Is_Busy) break;
    if (frame.size() != kFrameSize) break;
    Send_Command(frame[1], frame[3]);
    noteResent();
    Wait_Reply();
  }
  const bool taken = !s_.Awaiting_Reply && !s_.Is_Busy;
  if (!taken) ++unconfirmed_;
  return taken;
}

void Transmitter::writeRaw(const Bytes& bytes) { port_.write(bytes); }

void Transmitter::writeDisconnect() {
  port_.write(disconnectFrame());
  port_.drain(kDrainMs);
}

void Transmitter::startWatchdog() {
  if (!watchdog_.isActive()) watchdog_.start();
}

void Transmitter::restartWatchdog() { watchdog_.restart(); }

void Transmitter::stopWatchdog() { watchdog_.stop(); }

}  // namespace kp
