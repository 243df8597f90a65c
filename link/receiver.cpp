#include "link/receiver.h"

#include "link/frames.h"

namespace kp {

namespace {
constexpr std::uint8_t kMarkerFirst = 13;  // preset sections 13..18
constexpr std::uint8_t kMarkerLast = 18;
constexpr std::uint8_t kVolumeNotice = 10;

// The entry of a microphone preset byte: bands come as 19 + row, the six
// effect levels under their own dump addresses 11..16.
int micEntry(int address) {
  if (address >= 17) return address - 19;
  switch (address) {
    case 11:
      return 37;
    case 12:
      return 33;
    case 13:
      return 32;
    case 14:
      return 34;
    case 15:
      return 36;
    case 16:
      return 35;
    default:
      return 0;  // below the section's addresses: row 0, never read
  }
}
}  // namespace

Receiver::Receiver(SharedState& state, Transmitter& tx, SerialPort& port, EventPump& pump,
                   ReceiverEnv env)
    : s_(state),
      tx_(tx),
      port_(port),
      pump_(pump),
      env_(std::move(env)),
      framer_([this](const Bytes& m) { Receive_Data(m); }),
      silence_(pump.createTimer()) {
  silence_->setInterval(kSilenceMs);
  silence_->onTick = [this] { onSilence(); };
}

bool Receiver::readWaiting() {
  bool any = false;
  reading_ = true;
  // The chunk's storage is kept from read to read.
  Bytes chunk;
  chunk.swap(chunk_);
  for (port_.readInto(chunk); !chunk.empty(); port_.readInto(chunk)) {
    any = true;
    framer_.feed(chunk);
  }
  chunk_.swap(chunk);
  reading_ = false;
  return any;
}

void Receiver::onReadable() {
  // A handler that runs events (a message box, say) can bring us back here;
  // the outer loop reads those bytes in order instead.
  if (reading_) return;
  readWaiting();
  if (framer_.hasPartial())
    silence_->restart();
  else
    silence_->stop();
}

void Receiver::onSilence() {
  if (reading_) return;  // the outer read goes on and decides afterwards
  // When the program was held up, the timer and the bytes that finish the
  // message can be due together, the timer first.
  const bool more = readWaiting();
  if (more && framer_.hasPartial()) {
    silence_->restart();
    return;
  }
  silence_->stop();
  if (!more) framer_.lineSilent();
}

void Receiver::discardUnread() {
  framer_.discard();
  silence_->stop();
}

void Receiver::ack() {
  static const Bytes kAck = Make_Byte_Frame(kAckByte);
  tx_.writeRaw(kAck);
}

void Receiver::Receive_Data(const Bytes& m) {
  if (m.empty()) return;
  tx_.unitHeard();
  if (s_.Awaiting_Reply && !s_.Is_Linked)
    phaseA(m);
  else if (s_.Awaiting_Reply)
    phaseB(m);
  else
    phaseC(m);
}

void Receiver::phaseA(const Bytes& m) {
  if (m[0] == kResendRequest) {
    tx_.restartWatchdog();
    tx_.writeRaw(s_.Last_Frame);
    tx_.noteResent();
    return;
  }
  if (m.size() < kFrameSize) return;  // the acknowledgement AA 60: nothing
  const std::uint8_t a = m[1], v = m[3];

  // The connect timer is the dump's time-out too: a unit that falls silent
  // in mid-dump is asked again at each tick and given up on after the last,
  // so the panel is never left busy for good. It runs only between messages,
  // so a message box that an entry raises cannot time the dump out.
  auto dumpMessage = [this](auto&& handle) {
    Timer* timer = env_.connectTimer;
    const bool running = timer && timer->isActive();
    if (timer) timer->stop();
    // Counted before it is handled, so the count is whole when the last
    // message completes the link.
    if (env_.dumpMessageTaken) env_.dumpMessageTaken();
    handle();
    if (!timer || s_.Is_Linked) return;
    if (!running) s_.Connect_Ticks = 1;  // a dump no connect started counts afresh
    timer->start();
  };

  if (a == 0 && v >= kMarkerFirst && v <= kMarkerLast) {
    return dumpMessage([&] {
      // The dump has begun: its 19 s count from here, whatever the wait for
      // it took.
      if (v == kMarkerFirst) s_.Connect_Ticks = 1;
      s_.Dump_Section = v - 12;
      s_.Is_Busy = true;
      ack();
    });
  }
  if (s_.Dump_Section >= 1 && s_.Dump_Section <= 3) {
    return dumpMessage([&] {
      // An entry beyond the table is not stored; the byte is still taken.
      s_.image.setMusic(s_.Dump_Section - 1, a >= 50 ? a - 50 : 0, v);
      ack();
    });
  }
  if (s_.Dump_Section >= 4 && s_.Dump_Section <= 6) {
    return dumpMessage([&] {
      const int slot = s_.Dump_Section - 4;
      if (s_.Dump_Section == 6 && a == 16) s_.Dump_Section = 7;
      s_.image.setMic(slot, micEntry(a), v);
      ack();
    });
  }
  if (s_.Dump_Mode == 1 || s_.Dump_Mode == 2) {
    return dumpMessage([&] {
      if (env_.Apply_Value) env_.Apply_Value(a, v);
      const int end = s_.Dump_Mode == 1 ? kShortDumpEnd : kLongDumpEnd;
      if (a == end) completeLink();
      ack();
    });
  }
  if (v == 1 || v == 2) {
    s_.Dump_Mode = v;
    s_.Is_Busy = true;
    ack();
    pump_.sleepMs(kDumpRequestPauseMs);
    s_.Last_Frame = dumpRequestFrame();
    tx_.writeRaw(s_.Last_Frame);
    if (env_.connectTimer) {
      env_.connectTimer->stop();
      s_.Connect_Ticks = 1;
      env_.connectTimer->start();
    }
    if (env_.connectAnswered) env_.connectAnswered();
    return;
  }
  ack();
}

void Receiver::completeLink() {
  if (env_.connectTimer) env_.connectTimer->stop();
  s_.Is_Busy = false;
  s_.Is_Linked = true;
  s_.Dump_Mode = 0;
  s_.Awaiting_Reply = false;
  if (env_.Is_link_Command) env_.Is_link_Command();
  if (env_.connectDialog) env_.connectDialog->unload();
  if (env_.settingsDialog) env_.settingsDialog->unload();
  s_.Dump_Section = 0;
  tx_.restartWatchdog();
}

void Receiver::phaseB(const Bytes& m) {
  if (m[0] == kResendRequest) {
    tx_.restartWatchdog();
    tx_.writeRaw(s_.Last_Frame);
    tx_.noteResent();
    return;
  }
  if (m[1] == kReplyAddress) {
    if (!s_.Is_Busy) s_.Awaiting_Reply = false;
    tx_.restartWatchdog();
    return;
  }
  if (!s_.Is_Busy || m.size() < kFrameSize) return;
  const std::uint8_t a = m[1], v = m[3];
  const bool musicBlock = a >= 51 && a <= 81;
  const bool micBlock = (a >= 11 && a <= 16) || (a >= 20 && a <= 50);
  if (!musicBlock && !micBlock) return;  // not part of a block: no ACK
  if (env_.Apply_Value) env_.Apply_Value(a, v);
  if (a == 81 || a == 16) {
    if (env_.Unlock_Forms) env_.Unlock_Forms();
    s_.Awaiting_Reply = false;
    s_.Is_Busy = false;
    if (a == 81) {
      s_.Dump_Mode = 0;
      if (env_.musicModeList) env_.musicModeList->setEnabled(true);
    } else if (env_.micModeList) {
      env_.micModeList->setEnabled(true);
    }
  }
  ack();
}

void Receiver::phaseC(const Bytes& m) {
  if (m.size() < kFrameSize) {
    // A late acknowledgement still shows the unit is there; a stray resend
    // request with nothing awaited asks for nothing.
    if (m[0] == kFrameHeader) tx_.restartWatchdog();
    return;
  }
  if (m[1] == kReplyAddress) {
    tx_.restartWatchdog();
    return;
  }
  if (m[3] == kVolumeNotice) {
    s_.Is_Busy = true;
    if (env_.musicMaster) env_.musicMaster->setValue(s_.Device_Settings.MUSIC_MIN_VOLUME);
    if (env_.micMaster) env_.micMaster->setValue(s_.Device_Settings.MIC_MIN_VOLUME);
    s_.Is_Busy = false;
  }
  ack();
  tx_.restartWatchdog();
}

}  // namespace kp
