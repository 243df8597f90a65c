// The receive framer and Receive_Data alone, without a program around them:
// the unit's bytes in arbitrary pieces and at arbitrary times, from link
// flags of the fuzzer's choosing.
//
// Input: two header bytes, then records.
//   h0  bit 0 Is_Linked, bit 1 Awaiting_Reply, bit 2 Is_Busy, bits 3..4
//       Dump_Mode, bits 5..7 Dump_Section
//   h1  bits 0..2 the port's read size
//   record: op, then (op & 15) + 1 bytes from the unit; op >> 4 picks the
//       pause that follows them (kAfterMs, -1: none)
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "link/frames.h"
#include "link/receiver.h"

namespace kp::fuzz {
namespace {

constexpr std::size_t kReadSizes[8] = {0, 1, 2, 3, 5, 6, 7, 64};
constexpr int kAfterMs[16] = {-1,  -1,  -1,   -1,   0,     1,     5, 50,
                              299, 301, 1000, 4001, 15000, 19000, 0, -1};

bool wellFormedMessage(const Bytes& m) {
  if (m.size() == 1) return m[0] == kResendRequest;
  if (m.size() == 2) return m[0] == kFrameHeader && m[1] == kReplyAddress;
  return m.size() == kFrameSize && m[0] == kFrameHeader && m[1] != kReplyAddress;
}

// A receiver wired as the program wires it, to plain models and recorders.
struct Rig {
  BoundedLoop loop;
  VirtualSerialPort port{loop};
  SharedState state;
  std::unique_ptr<Timer> watchdog = loop.createTimer();
  std::unique_ptr<Timer> connectTimer = loop.createTimer();
  Transmitter tx{state, port, loop, loop, *watchdog};
  Window connectDialog, settingsDialog;
  ListBox musicModes, micModes;
  Slider musicMaster{0, 100}, micMaster{0, 100};
  int applied = 0;
  Receiver receiver{
      state, tx, port, loop,
      ReceiverEnv{connectTimer.get(), &connectDialog, &settingsDialog, &musicModes, &micModes,
                  &musicMaster, &micMaster, [this](std::uint8_t, std::uint8_t) { ++applied; },
                  [] {}, [] {}, [] {}, [] {}}};

  Rig() {
    connectTimer->setInterval(1000);
    port.keepLog = false;
    port.onWrite = [](const Bytes& w) {
      FUZZ_CHECK(wellFormedWrite(w), "the receive side wrote a malformed message: %s",
                 toHex(w).c_str());
    };
    port.onReadyRead = [this] { receiver.onReadable(); };
    tx.onInputDiscarded = [this] { receiver.discardUnread(); };
    port.open(nullptr);
  }

  void checkFlags() const {
    FUZZ_CHECK(state.Dump_Mode >= 0 && state.Dump_Mode <= 2, "Dump_Mode %d", state.Dump_Mode);
    FUZZ_CHECK(state.Dump_Section >= 0 && state.Dump_Section <= 7, "Dump_Section %d",
               state.Dump_Section);
    FUZZ_CHECK(!state.Is_Linked || (state.Dump_Mode == 0 && state.Dump_Section == 0),
               "linked with Dump_Mode %d, Dump_Section %d", state.Dump_Mode, state.Dump_Section);
    loop.check();
  }
};

}  // namespace
}  // namespace kp::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kp;
  using namespace kp::fuzz;
  if (size < 2) return 0;
  const std::uint8_t flags = data[0], options = data[1];
  data += 2;
  size -= 2;

  // The pieces the line delivers, and the pauses between them.
  std::vector<Bytes> pieces;
  std::vector<int> pauses;
  Bytes stream;
  for (std::size_t i = 0; i < size;) {
    const std::uint8_t op = data[i++];
    const std::size_t n = std::min<std::size_t>((op & 15) + 1u, size - i);
    pieces.emplace_back(data + i, data + i + n);
    stream.insert(stream.end(), data + i, data + i + n);
    pauses.push_back(kAfterMs[op >> 4]);
    i += n;
  }

  // However the reads cut the stream, the framer makes the same well-formed
  // messages of it, and accounts for every byte.
  std::vector<Bytes> whole, cut;
  Framer a([&whole](const Bytes& m) { whole.push_back(m); });
  Framer b([&cut](const Bytes& m) { cut.push_back(m); });
  a.feed(stream);
  for (const Bytes& p : pieces) b.feed(p);
  FUZZ_CHECK(whole == cut, "%zu messages from the whole stream, %zu from its pieces", whole.size(),
             cut.size());
  std::size_t delivered = 0;
  for (const Bytes& m : whole) {
    FUZZ_CHECK(wellFormedMessage(m), "the framer made a malformed message: %s", toHex(m).c_str());
    delivered += m.size();
  }
  FUZZ_CHECK(delivered + a.droppedBytes() <= stream.size(), "the framer made up %zu bytes",
             delivered + a.droppedBytes() - stream.size());

  // Receive_Data in the phase the flags give.
  Rig r;
  SharedState& s = r.state;
  s.Is_Linked = flags & 1;
  s.Awaiting_Reply = flags & 2;
  s.Is_Busy = flags & 4;
  // A dump is under way only before the link.
  s.Dump_Mode = s.Is_Linked ? 0 : (flags >> 3) % 3;
  s.Dump_Section = s.Is_Linked ? 0 : (flags >> 5) % 8;
  s.Last_Frame = commandFrame(0x33, 0x0F);
  if (!s.Is_Linked && s.Awaiting_Reply) r.connectTimer->start();
  r.port.setReadSize(kReadSizes[options & 7]);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    r.port.receive(pieces[i]);
    if (pauses[i] >= 0) r.loop.advance(pauses[i]);
    r.checkFlags();
  }
  // A second of silence: more than the silence a partial message gets, even
  // from the end of a 5 ms pause before a dump request.
  r.loop.advance(1000);
  FUZZ_CHECK(!r.receiver.framer().hasPartial(), "an unfinished message outlived the silence");
  r.checkFlags();
  return 0;
}
