// The unit's side of the line, played by the fuzzer: arbitrary bytes in
// arbitrary pieces and at arbitrary times, reaching a whole program on
// virtual time from any phase of the link.
//
// Input: three header bytes, then records.
//   h0  starting phase (see Phase)
//   h1  bit 0 the long-dump model; bits 1..3 the port's read size; bits 4..5
//       how long a message box runs events
//   h2  phase detail: frames of the dump already taken, or the mode chosen;
//       bit 7: a linked phase starts from the unit's whole dump, not from
//       the shortest dump that links (the answer and the last parameter)
//   record: op, then (op & 15) + 1 bytes from the unit; op >> 4 says what
//       follows them (kAfter)
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "link/frames.h"
#include "panel/catalogue.h"

namespace kp::fuzz {
namespace {

enum Phase {
  IdleUnlinked,
  Connecting,  // connect sent, Awaiting_Reply set
  Dumping,     // answer and part of the dump taken
  LinkedIdle,
  LinkedAwaiting,  // a slider change awaits its answer
  LinkedBusy,      // a mode change awaits its block
  kPhases
};

constexpr std::size_t kReadSizes[8] = {0, 1, 2, 3, 5, 6, 7, 64};
constexpr int kModalMs[4] = {-1, 0, 150, 5000};  // -1: a box runs nothing
// What follows a record's bytes: a pause of that many ms (-1: none, so the
// next record's bytes join these in one read), or an operator action.
constexpr int kOperatorSlider = -2, kOperatorMode = -3;
constexpr int kAfter[16] = {
    -1,           0, 1, 5, 20, 50, 99, 100, 101, 500, 1000, 3999, 4001, 15000, kOperatorSlider,
    kOperatorMode};

struct Reader {
  const std::uint8_t* p;
  std::size_t n;
  std::uint8_t byte() {
    if (!n) return 0;
    --n;
    return *p++;
  }
  Bytes bytes(std::size_t k) {
    k = std::min(k, n);
    Bytes b(p, p + k);
    p += k;
    n -= k;
    return b;
  }
};

void checkFlags(FuzzRig& r) {
  const SharedState& s = r.p().state;
  FUZZ_CHECK(s.Dump_Mode >= 0 && s.Dump_Mode <= 2, "Dump_Mode %d", s.Dump_Mode);
  FUZZ_CHECK(s.Dump_Section >= 0 && s.Dump_Section <= 7, "Dump_Section %d", s.Dump_Section);
  // Only an unlinked panel takes a dump; linking ends it.
  FUZZ_CHECK(!s.Is_Linked || (s.Dump_Mode == 0 && s.Dump_Section == 0),
             "linked with Dump_Mode %d, Dump_Section %d", s.Dump_Mode, s.Dump_Section);
  r.loop.check();
}

void moveMaster(FuzzRig& r) {
  Slider& s = r.p().form4.cpvSlider(kMusicMaster);
  s.operatorSet(s.value() > s.min() ? s.value() - 1 : s.value() + 1);
}

void changeMode(FuzzRig& r, std::uint8_t detail) {
  ListBox& list = detail & 1 ? r.p().form4.Combo2 : r.p().form4.Combo1;
  if (list.items().empty()) return;
  int index = (detail >> 1) % static_cast<int>(list.items().size());
  if (index == list.index()) index = (index + 1) % static_cast<int>(list.items().size());
  list.operatorSelect(index);
}

void setUp(FuzzRig& r, Phase phase, bool longDump, std::uint8_t detail) {
  Program& p = r.p();
  if (phase == IdleUnlinked) return;
  r.clickConnect(longDump ? Form1::kFirstFullModel : 0);
  FUZZ_CHECK(p.state.Awaiting_Reply && !p.state.Is_Linked, "connecting did not await the answer");
  if (phase == Connecting) return;
  const Bytes& dump = dumpStream(longDump);
  if (phase == Dumping) {
    const std::size_t frames = 1 + detail % (dumpFrames(longDump) - 1);
    r.port.receive(
        Bytes(dump.begin(), dump.begin() + static_cast<std::ptrdiff_t>(frames * kFrameSize)));
    r.loop.settle();
    FUZZ_CHECK(p.state.Dump_Mode == (longDump ? 2 : 1) && !p.state.Is_Linked,
               "a dump cut after %zu frames left Dump_Mode %d", frames, p.state.Dump_Mode);
    return;
  }
  r.port.receive(detail & 0x80 ? dump : shortestDumpStream(longDump));
  r.loop.settle();
  FUZZ_CHECK(p.state.Is_Linked && !p.state.Awaiting_Reply && !p.state.Is_Busy,
             "the unit's own dump did not link the panel");
  if (phase == LinkedAwaiting) {
    moveMaster(r);
    FUZZ_CHECK(p.state.Awaiting_Reply, "a slider change awaits no answer");
  } else if (phase == LinkedBusy) {
    changeMode(r, detail);
    FUZZ_CHECK(p.state.Is_Busy && p.state.Awaiting_Reply, "a mode change left the panel idle");
  }
}

}  // namespace
}  // namespace kp::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kp;
  using namespace kp::fuzz;
  Reader in{data, size};
  const auto phase = static_cast<Phase>(in.byte() % kPhases);
  const std::uint8_t flags = in.byte();
  const std::uint8_t detail = in.byte();

  FuzzRig r;
  Program& p = r.p();
  p.startUp();
  r.port.setReadSize(kReadSizes[(flags >> 1) & 7]);
  if (const int ms = kModalMs[(flags >> 4) & 3]; ms >= 0) r.modalBoxesRunEvents(ms, 2);
  setUp(r, phase, flags & 1, detail);
  checkFlags(r);

  while (in.n > 0) {
    const std::uint8_t op = in.byte();
    r.port.receive(in.bytes((op & 15) + 1u));
    switch (const int after = kAfter[op >> 4]) {
      case -1:
        break;
      case kOperatorSlider:
        r.loop.settle();
        moveMaster(r);
        break;
      case kOperatorMode:
        r.loop.settle();
        changeMode(r, op);
        break;
      default:
        r.loop.advance(after);
    }
    checkFlags(r);
  }

  static const bool trace = std::getenv("KP_FUZZ_TRACE") != nullptr;
  if (trace)
    std::fprintf(
        stderr,
        "phase %d: linked %d busy %d awaiting %d dump %d/%d, %llu messages, %llu dropped, %zu "
        "writes\n",
        phase, p.state.Is_Linked, p.state.Is_Busy, p.state.Awaiting_Reply, p.state.Dump_Mode,
        p.state.Dump_Section, static_cast<unsigned long long>(p.receiver.framer().messages()),
        static_cast<unsigned long long>(p.receiver.framer().droppedBytes()), r.port.writeCount);

  // The unit falls silent for a minute: whatever it left behind, the panel
  // drops the unfinished message, neither keeps connecting nor stays linked
  // waiting for an answer, and is not left busy or locked.
  r.loop.advance(60000);
  checkFlags(r);
  r.checkSliders();
  FUZZ_CHECK(!p.receiver.framer().hasPartial(), "an unfinished message outlived the silence");
  FUZZ_CHECK(!p.form1.Timer1->isActive(), "still connecting after a minute of silence");
  FUZZ_CHECK(!(p.state.Is_Linked && p.state.Awaiting_Reply),
             "linked and still awaiting an answer after a minute of silence");
  // Busy keeps every command off the line: the panel must not be left so.
  FUZZ_CHECK(!p.state.Is_Busy, "still busy after a minute of silence (linked %d)",
             p.state.Is_Linked);
  FUZZ_CHECK(p.state.Is_Linked || p.form4.enabled(), "unlinked with the main window locked");
  return 0;
}
