// The virtual unit's ear: the panel's bytes taken in, paced as the line
// would deliver them, and cut into acknowledges, frames and noise.
#include "sim/virtual_unit.h"

#include <algorithm>

#include "link/frames.h"
#include "sim/line_ticks.h"

namespace kp::sim {

namespace {

std::uint8_t inv(std::uint8_t b) { return static_cast<std::uint8_t>(0xFF - b); }

bool wholeFrameAt(const Bytes& b, std::size_t i) {
  return i + kFrameSize <= b.size() && b[i] == kFrameHeader && b[i + 2] == inv(b[i + 1]) &&
         b[i + 4] == inv(b[i + 3]) && b[i + 5] == kFrameTrailer;
}

}  // namespace

void VirtualUnit::onBytesFromPanel(const Bytes& bytes) {
  if (bytes.empty()) return;
  if (!options_.paced) return takeIn(bytes);
  // On a real line the unit has a byte only once its eleven bits are over,
  // and the bytes come one after the other. The unit acts only at the end
  // of what the panel sends (a lone AA or a whole frame), so such a piece is
  // taken in at once when its last byte is through; anything else byte by
  // byte.
  std::int64_t tick = std::max(inLineFreeTick_, clock_.nowUs() * kTicksPerUs);
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t n = wholeFrameAt(bytes, i) ? kFrameSize : 1;
    tick += kTicksPerByte * static_cast<std::int64_t>(n);
    clock_.at(tickToUs(tick), [this, serial = serial_,
                               piece = Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(i),
                                             bytes.begin() + static_cast<std::ptrdiff_t>(i + n))] {
      if (alive(this, serial)) takeIn(piece);
    });
    i += n;
  }
  inLineFreeTick_ = tick;
}

void VirtualUnit::takeIn(const Bytes& bytes) {
  inbox_.insert(inbox_.end(), bytes.begin(), bytes.end());
  ++inboxGeneration_;
  parse();
}

VirtualUnit::Piece VirtualUnit::classify() const {
  const std::size_t n = inbox_.size();
  // A lone AA is the panel's acknowledge once the awaited message has
  // reached it; before that it may still be the head of a frame.
  if (n == 1) return awaitingAck_ && awaitedDelivered_ ? Piece::Ack : Piece::NeedMore;
  // No frame carries address AA, so AA AA is an acknowledge and a new head.
  if (inbox_[1] == kFrameHeader) return Piece::Ack;
  if (n > 2 && inbox_[2] != inv(inbox_[1])) return Piece::Bad;
  if (n > 4 && inbox_[4] != inv(inbox_[3])) return Piece::Bad;
  if (n > 5 && inbox_[5] != kFrameTrailer) return Piece::Bad;
  return n >= kFrameSize ? Piece::Frame : Piece::NeedMore;
}

void VirtualUnit::parse() {
  using D = TraceEvent::Direction;
  while (!inbox_.empty()) {
    auto head = std::find(inbox_.begin(), inbox_.end(), kFrameHeader);
    if (head != inbox_.begin()) {
      const Bytes noise(inbox_.begin(), head);
      counters_.garbageBytes += noise.size();
      inbox_.erase(inbox_.begin(), head);
      trace(D::PanelToUnit, noise, "noise");
      continue;
    }
    switch (classify()) {
      case Piece::NeedMore:
        armPartialTimeout();
        return;
      case Piece::Ack:
        inbox_.erase(inbox_.begin());
        trace(D::PanelToUnit, {kAckByte},
              awaitingAck_ && awaitedDelivered_ ? "ack" : "ack, nothing awaited");
        handleAck();
        break;
      case Piece::Frame: {
        const std::uint8_t a = inbox_[1], v = inbox_[3];
        inbox_.erase(inbox_.begin(), inbox_.begin() + kFrameSize);
        handleFrame(a, v);
        break;
      }
      case Piece::Bad: {
        // Up to the next header, which may start a good frame.
        const auto limit =
            inbox_.begin() + static_cast<std::ptrdiff_t>(std::min(inbox_.size(), kFrameSize));
        const auto next = std::find(inbox_.begin() + 1, limit, kFrameHeader);
        const Bytes bad(inbox_.begin(), next);
        inbox_.erase(inbox_.begin(), next);
        ++counters_.framesBad;
        trace(D::PanelToUnit, bad, "not understood");
        requestResend("frame not understood");
        break;
      }
    }
  }
}

// One check is pending at a time: a frame coming in byte by byte moves its
// deadline on instead of leaving a check behind for every byte.
void VirtualUnit::armPartialTimeout() {
  partialDueUs_ = clock_.nowUs() + options_.partialFrameTimeoutMs * 1000LL;
  partialGeneration_ = inboxGeneration_;
  if (!partialCheckPending_) schedulePartialCheck();
}

void VirtualUnit::schedulePartialCheck() {
  partialCheckPending_ = true;
  clock_.at(partialDueUs_, [this, serial = serial_] {
    if (!alive(this, serial)) return;
    partialCheckPending_ = false;
    if (clock_.nowUs() < partialDueUs_)
      schedulePartialCheck();
    else
      onPartialTimeout(partialGeneration_);
  });
}

void VirtualUnit::onPartialTimeout(std::uint64_t generation) {
  if (generation != inboxGeneration_ || inbox_.empty()) return;
  ++inboxGeneration_;
  if (inbox_.size() == 1) {  // an AA that nothing was waiting for
    inbox_.clear();
    trace(TraceEvent::Direction::PanelToUnit, {kAckByte}, "ack, nothing awaited");
    ++counters_.strayAcks;
    return;
  }
  auto next = std::find(inbox_.begin() + 1, inbox_.end(), kFrameHeader);
  const Bytes partial(inbox_.begin(), next);
  inbox_.erase(inbox_.begin(), next);
  ++counters_.framesBad;
  trace(TraceEvent::Direction::PanelToUnit, partial, "incomplete frame");
  requestResend("incomplete frame");
  parse();
}

}  // namespace kp::sim
