// Loading a preset file of arbitrary bytes, unlinked and linked, on a
// program on virtual time.
//
// Input: flags, then the file's bytes.
//   bit 0  linked first
//   bit 1  linked to the virtual unit (else to a unit that answers every
//          frame with AA 60 and says nothing else)
//   bit 2  the long-dump model
//   bit 3  linked by the unit's whole dump (else by the shortest that links)
//   bits 4..5  how long a message box runs events
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "link/frames.h"
#include "panel/catalogue.h"
#include "sim/in_process.h"

namespace {
constexpr int kModalMs[4] = {-1, 0, 150, 5000};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kp;
  using namespace kp::fuzz;
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  const std::string file(reinterpret_cast<const char*>(data + 1), size - 1);
  const bool linked = flags & 1, virtualUnit = flags & 2, longDump = flags & 4,
             wholeDump = flags & 8;

  FuzzRig r;
  Program& p = r.p();
  std::unique_ptr<sim::InProcessUnit> unit;
  p.startUp();
  if (const int ms = kModalMs[(flags >> 4) & 3]; ms >= 0) r.modalBoxesRunEvents(ms, 2);
  if (linked) {
    if (virtualUnit) {
      sim::UnitOptions o;
      o.shortestDump = !wholeDump;
      unit = std::make_unique<sim::InProcessUnit>(r.loop, r.port, o);
      if (!wholeDump) {
        // The masters the shortest dump does not bring agree from the start.
        auto st = unit->unit().state();
        st.musicMaster = static_cast<std::uint8_t>(p.form4.cpvSlider(kMusicMaster).value());
        st.micMaster = static_cast<std::uint8_t>(p.form4.cpvSlider(kMicMaster).value());
        unit->unit().setState(st);
      }
    }
    r.clickConnect(longDump ? Form1::kFirstFullModel : 0);
    if (!virtualUnit)
      r.port.receive(wholeDump ? dumpStream(longDump) : shortestDumpStream(longDump));
    r.loop.runUntil([&] { return p.state.Is_Linked; }, 60000);
    FUZZ_CHECK(p.state.Is_Linked, "the panel did not link");
    if (!virtualUnit) {
      r.port.onTransmit = [&r](const Bytes& b) {
        if (b.size() == kFrameSize)
          r.loop.post([&r] { r.port.receive({kFrameHeader, kReplyAddress}); });
      };
    }
  }
  const std::size_t writesBefore = r.port.writeCount;

  const Scratch& scratch = Scratch::get();
  // In memory only: any file the load wrote, this one included, would show.
  scratch.hold("p.dat", file);
  const std::string path = scratch.file("p.dat");
  p.Open_Pro_Ini(path);
  r.loop.check();
  r.checkSliders();

  FUZZ_CHECK(scratch.strayFiles().empty(), "loading wrote %s", scratch.strayFiles().c_str());
  const auto& ds = p.state.Device_Settings;
  const Slider& music = p.form4.cpvSlider(kMusicMaster);
  const Slider& mic = p.form4.cpvSlider(kMicMaster);
  FUZZ_CHECK(music.value() <= std::max<int>(ds.MUSIC_MAX_VOLUME, music.min()),
             "music master %d above its maximum %d", music.value(), ds.MUSIC_MAX_VOLUME);
  FUZZ_CHECK(mic.value() <= std::max<int>(ds.MIC_MAX_VOLUME, mic.min()),
             "mic master %d above its maximum %d", mic.value(), ds.MIC_MAX_VOLUME);

  if (!linked) {
    FUZZ_CHECK(r.port.writeCount == writesBefore, "an unlinked load wrote to the line");
    FUZZ_CHECK(!p.state.Is_Busy && !p.state.Awaiting_Reply, "an unlinked load left the panel busy");
    return 0;
  }
  if (virtualUnit) {
    // A unit that answers everything leaves the panel linked and idle, and
    // showing what the unit holds.
    r.loop.runUntil([&] { return !p.state.Is_Busy && !p.state.Awaiting_Reply; }, 60000);
    FUZZ_CHECK(p.state.Is_Linked && !p.state.Is_Busy && !p.state.Awaiting_Reply,
               "a load against an answering unit left the panel linked %d busy %d awaiting %d",
               p.state.Is_Linked, p.state.Is_Busy, p.state.Awaiting_Reply);
    FUZZ_CHECK(p.form4.enabled(), "a load against an answering unit left the window locked");
    FUZZ_CHECK(music.value() == unit->unit().state().musicMaster &&
                   mic.value() == unit->unit().state().micMaster,
               "the panel shows masters %d/%d, the unit holds %d/%d", music.value(), mic.value(),
               unit->unit().state().musicMaster, unit->unit().state().micMaster);
  }
  // Whatever the file held, the link ends or goes on on its own.
  r.loop.advance(60000);
  r.loop.check();
  return 0;
}
