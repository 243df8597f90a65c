// The virtual unit's voice: its messages onto the line, paced one by one
// against the panel's acknowledges, and delivered late or in pieces when the
// faults say so.
#include "sim/virtual_unit.h"

#include <algorithm>
#include <array>

#include "link/frames.h"
#include "sim/line_ticks.h"

namespace kp::sim {

void VirtualUnit::answer() {
  ++counters_.answers;
  sendNow(
      {options_.longAnswer ? commandFrame(kReplyAddress, 0) : Bytes{kFrameHeader, kReplyAddress},
       "answer"});
}

void VirtualUnit::requestResend(const std::string& why) {
  ++counters_.resendRequests;
  sendNow({{kResendRequest}, "resend request (" + why + ")"});
}

void VirtualUnit::sendNow(Outgoing out) { putOut(out, false); }

void VirtualUnit::queuePaced(const std::vector<Message>& messages, bool endsDump) {
  for (std::size_t i = 0; i < messages.size(); ++i) {
    const auto& m = messages[i];
    queue_.push_back(
        {commandFrame(m.address, m.value), m.note, endsDump && i + 1 == messages.size()});
  }
  if (!awaitingAck_) sendNextPaced();
}

void VirtualUnit::abandonPaced() {
  // The panel asks for something new only once it has given up on the old.
  queue_.clear();
  awaitingAck_ = false;
}

void VirtualUnit::sendNextPaced() {
  if (queue_.empty()) return;
  Outgoing out = std::move(queue_.front());
  queue_.pop_front();
  putOut(out, true);
}

void VirtualUnit::putOut(const Outgoing& out, bool paced) {
  if (options_.silent) return;
  if (options_.stopAfter && counters_.messagesSent >= *options_.stopAfter) {
    ++counters_.messagesWithheld;
    trace(TraceEvent::Direction::UnitToPanel, out.bytes, out.note + " [withheld]");
    return;
  }
  ++counters_.messagesSent;
  counters_.bytesSent += out.bytes.size();
  if (out.endsDump) link_ = Link::Linked;

  // Cut into pieces where the chunk fault says so; at least one cut. The
  // unit's messages are six bytes at most.
  std::array<std::size_t, kFrameSize + 1> ends{};  // end offset of each piece
  std::size_t pieces = 0;
  const std::size_t n = out.bytes.size();
  if (options_.chunks && n > 1 && n <= kFrameSize) {
    for (std::size_t i = 1; i < n; ++i)
      if (rng_() & 1) ends[pieces++] = i;
    if (pieces == 0) ends[pieces++] = 1 + rng_() % (n - 1);
  }
  ends[pieces++] = n;

  const std::int64_t start = clock_.nowUs() + options_.latencyMs * 1000LL;
  std::int64_t startTick = 0;
  if (options_.paced) {
    startTick = std::max(lineFreeTick_, start * kTicksPerUs);
    lineFreeTick_ = startTick + kTicksPerByte * static_cast<std::int64_t>(n);
  }

  std::uint64_t gen = 0;
  if (paced) {
    awaitingAck_ = true;
    awaitedDelivered_ = false;
    gen = ++sendGeneration_;
  }

  std::size_t from = 0;
  for (std::size_t p = 0; p < pieces; ++p) {
    std::int64_t when =
        options_.paced ? tickToUs(startTick + kTicksPerByte * static_cast<std::int64_t>(ends[p]))
                       : start + static_cast<std::int64_t>(p) * options_.chunkGapUs;
    when = std::max(when, lastDeliveryUs_);  // the line keeps its order
    lastDeliveryUs_ = when;
    Delivery d;
    d.size = ends[p] - from;
    std::copy(out.bytes.begin() + static_cast<std::ptrdiff_t>(from),
              out.bytes.begin() + static_cast<std::ptrdiff_t>(ends[p]), d.bytes.begin());
    from = ends[p];
    d.last = p + 1 == pieces;
    d.paced = paced;
    d.generation = gen;
    if (d.last && onTrace) {
      d.text = pieces > 1 ? out.note + " (in " + std::to_string(pieces) + " pieces)" : out.note;
      d.whole = out.bytes;
    }
    // Deliveries fall due in the order they are made: the line keeps its
    // order, and the event need only say whose turn it is.
    deliveries_.push_back(std::move(d));
    clock_.at(when, [this, serial = serial_] {
      if (alive(this, serial)) deliverNext();
    });
  }
}

void VirtualUnit::deliverNext() {
  if (deliveries_.empty()) return;
  const Delivery d = std::move(deliveries_.front());
  deliveries_.pop_front();
  if (d.last) {
    // Before the bytes go out: the panel may acknowledge at once.
    if (d.paced && d.generation == sendGeneration_) awaitedDelivered_ = true;
    trace(TraceEvent::Direction::UnitToPanel, d.whole, d.text);
  }
  if (!onOutput) return;
  Bytes piece;  // the storage of the last piece, kept for the next
  piece.swap(pieceBuffer_);
  piece.assign(d.bytes.begin(), d.bytes.begin() + static_cast<std::ptrdiff_t>(d.size));
  onOutput(piece);
  pieceBuffer_.swap(piece);
}

}  // namespace kp::sim
