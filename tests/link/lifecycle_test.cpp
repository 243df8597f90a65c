// Linking to the virtual unit in virtual time: the connect dialog, the dump,
// the time-outs, the watchdog, unlinking and shutting down.
#include <gtest/gtest.h>

#include <random>

#include "link/frames.h"
#include "link/messages.h"
#include "panel/catalogue.h"
#include "sim/in_process.h"
#include "tests/support/rig.h"

namespace kp {
namespace {

using test::Rig;

using test::countFrames;

class LinkTest : public ::testing::Test {
 protected:
  explicit LinkTest(sim::UnitOptions options = {}) : unit(rig.loop, rig.port, options) {
    rig.make().startUp();
  }
  Program& p() { return *rig.program; }

  // The operator opens the connect dialog, picks a model and connects.
  void connect(int model) {
    p().form4.link1.click();
    ASSERT_TRUE(p().form1.visible());
    p().form1.Combo1.setIndex(model);
    p().form1.Command1.click();
  }
  bool linked(std::int64_t withinMs = 30000) {
    return rig.loop.runUntil([&] { return p().state.Is_Linked; }, withinMs);
  }

  Rig rig;
  sim::InProcessUnit unit;
};

TEST_F(LinkTest, AShortDumpLandsInTheTablesAndSlidersAndCompletesAt83) {
  connect(0);
  ASSERT_TRUE(linked());
  const auto& st = unit->state();
  auto& s = p().state;
  EXPECT_FALSE(s.Full_Model);
  EXPECT_FALSE(s.Is_Busy);
  EXPECT_FALSE(s.Awaiting_Reply);
  EXPECT_EQ(s.Dump_Mode, 0);
  EXPECT_EQ(s.Dump_Section, 0);
  for (int slot = 0; slot < 3; ++slot)
    for (int k = 1; k <= 31; ++k) {
      EXPECT_EQ(s.image.music(slot, k), st.musicSlots[slot].bands[k - 1]) << slot << "/" << k;
      EXPECT_EQ(s.image.mic(slot, k), st.micSlots[slot].bands[k - 1]) << slot << "/" << k;
    }
  for (int slot = 0; slot < 3; ++slot)
    for (int e = 0; e < 6; ++e) EXPECT_EQ(s.image.mic(slot, 32 + e), st.micSlots[slot].effects[e]);
  EXPECT_EQ(p().form4.cpvSlider(kMusicMaster).value(), st.musicMaster);
  EXPECT_EQ(p().form4.cpvSlider(kMicMaster).value(), st.micMaster);
  for (int k = 1; k <= 31; ++k)
    EXPECT_EQ(p().form4.cpvSlider(musicBandSlider(k)).value(), st.music.bands[k - 1] - 15);
  EXPECT_EQ(s.Device_Settings.MIC_MAX_VOLUME, st.setup.micMaxVolume);
  EXPECT_EQ(s.Device_Settings.MUSIC_MIN_VOLUME, st.setup.musicMinVolume);
  EXPECT_EQ(s.Device_Password, st.passwordText());
  // The connect dialog and the hidden settings dialog are closed; the
  // watchdog guards the link; the lists show all eight modes.
  EXPECT_FALSE(p().form1.loaded());
  EXPECT_FALSE(p().form3.loaded());
  EXPECT_TRUE(p().form4.Timer1->isActive());
  EXPECT_EQ(p().form4.Combo1.items().size(), 8u);
  EXPECT_EQ(p().form4.Combo1.index(), st.musicMode);
  EXPECT_TRUE(p().form4.Combo1.enabled());
  EXPECT_TRUE(rig.dialogs.messages.empty()) << rig.dialogs.messages.front();
  // Not one value of the dump was echoed back to the unit.
  EXPECT_EQ(unit->counters().framesReceived, 2u) << "connect and dump request only";
}

TEST_F(LinkTest, TheSecondModelGroupAsksForTheLongDumpWhichEndsAt93) {
  connect(4);
  ASSERT_TRUE(linked());
  EXPECT_TRUE(p().state.Full_Model);
  EXPECT_EQ(rig.port.writes.front(), commandFrame(0, 2));
  const auto& st = unit->state();
  EXPECT_EQ(p().form4.cpvSlider(kFirstSurround).value(), st.surround[0]);
  EXPECT_EQ(p().state.Device_Settings.KTV_MIN_VOLUME, st.setup.ktvMinVolume);
  EXPECT_TRUE(p().form4.cpvSlider(kFirstSurround).enabled());
}

class ShortAnsweringUnit : public LinkTest {
 protected:
  ShortAnsweringUnit() : LinkTest(shortOnly()) {}
  static sim::UnitOptions shortOnly() {
    sim::UnitOptions o;
    o.forceFullModel = false;
    return o;
  }
};

TEST_F(ShortAnsweringUnit, AnAnswerOfOneToARequestForTwoEndsTheLinkAt83) {
  connect(5);
  ASSERT_TRUE(linked());
  EXPECT_TRUE(p().state.Full_Model) << "the panel keeps what the model list chose";
  EXPECT_FALSE(unit->awaitingAck());
}

class SilentUnit : public LinkTest {
 protected:
  SilentUnit() : LinkTest(silent()) {}
  static sim::UnitOptions silent() {
    sim::UnitOptions o;
    o.silent = true;
    return o;
  }
};

TEST_F(SilentUnit, GetsTheConnectTwentyTimesThenThePanelGivesUp) {
  const auto t0 = rig.loop.nowMs();
  connect(2);
  rig.loop.runUntil([&] { return !rig.dialogs.messages.empty(); }, 60000);
  EXPECT_EQ(countFrames(rig.port, commandFrame(0, 1)), 20);
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0], kConnectTimeoutMessage);
  EXPECT_EQ(rig.loop.nowMs() - t0, 19000);
  EXPECT_FALSE(p().state.Is_Linked);
  EXPECT_TRUE(p().state.Full_Model);
  EXPECT_FALSE(p().form1.Timer1->isActive());
  EXPECT_FALSE(p().form1.loaded()) << "falling back unlinked closes the dialog";
  rig.loop.advance(60000);
  EXPECT_EQ(countFrames(rig.port, commandFrame(0, 1)), 20) << "nothing after giving up";
}

TEST_F(SilentUnit, TheWatchdogRunningOutWhileUnlinkedDoesNothingElse) {
  p().link.Send_Command(6, 50);
  rig.loop.advance(20000);
  EXPECT_FALSE(p().form4.Timer1->isActive());
  EXPECT_TRUE(rig.port.isOpen());
  EXPECT_TRUE(rig.dialogs.messages.empty());
  EXPECT_EQ(rig.port.writes.size(), 1u);
}

class UnitWithoutDump : public LinkTest {
 protected:
  UnitWithoutDump() : LinkTest(noDump()) {}
  static sim::UnitOptions noDump() {
    sim::UnitOptions o;
    o.noDump = true;
    return o;
  }
};

TEST_F(UnitWithoutDump, TheDumpWaitGivesUpWithItsOwnMessage) {
  connect(0);
  rig.loop.runUntil([&] { return !rig.dialogs.messages.empty(); }, 60000);
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0], kDumpTimeoutMessage);
  EXPECT_EQ(p().state.Dump_Mode, 1) << "left as it was";
  // The dump request went out after the answer and on each tick but the last.
  EXPECT_EQ(countFrames(rig.port, dumpRequestFrame()), 1 + 18);
  EXPECT_FALSE(p().state.Is_Linked);
}

TEST_F(LinkTest, AUnitThatFallsSilentWhileLinkedEndsTheLinkAfter15s) {
  connect(0);
  ASSERT_TRUE(linked());
  unit->options().silent = true;
  rig.port.clearLog();
  p().form4.cpvSlider(kMusicMaster).operatorSet(10);
  const auto sent = rig.loop.nowMs();
  rig.loop.runUntil([&] { return !rig.dialogs.messages.empty(); }, 60000);
  EXPECT_EQ(rig.loop.nowMs() - sent, 15000);
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0], kLinkTimeoutMessage);
  ASSERT_EQ(rig.port.writes.size(), 2u);
  EXPECT_EQ(rig.port.writes[1], disconnectFrame());
  EXPECT_FALSE(rig.port.isOpen());
  EXPECT_TRUE(rig.port.trail.ends_with("wdc"))
      << "the frame leaves before the close: " << rig.port.trail;
  EXPECT_FALSE(p().state.Is_Linked);
  EXPECT_TRUE(p().form4.enabled());
}

// A wait the unit left unanswered must not cost the link later: once the
// unit answers again, a resend keeps the link alive as usual.
TEST_F(LinkTest, AGivenUpWaitEndsWithTheUnitsNextAnswer) {
  connect(0);
  ASSERT_TRUE(linked());
  unit->options().silent = true;
  p().form4.Command(68).click();  // a reset the unit never answers
  unit->options().silent = false;
  Slider& band = p().form4.cpvSlider(musicBandSlider(5));
  for (int v : {3, 4, 5}) {
    band.operatorSet(v);
    rig.loop.advance(200);
    ASSERT_FALSE(p().state.Awaiting_Reply);
  }
  rig.loop.advance(9000);
  // A reset answered only at its third transmission, 8 s on: the resend at
  // 4 s must give the watchdog its 15 s again.
  unit->options().silent = true;
  rig.loop.at(rig.loop.nowMs() + 5000, [&] { unit->options().silent = false; });
  p().form4.Command(68).click();
  rig.loop.advance(1000);
  EXPECT_TRUE(p().state.Is_Linked);
  EXPECT_TRUE(rig.dialogs.messages.empty()) << rig.dialogs.messages.front();
}

TEST_F(LinkTest, UnlinkWhileLinkedSaysGoodbyeAndReopensThePort) {
  connect(0);
  ASSERT_TRUE(linked());
  rig.port.clearLog();
  const int opens = rig.port.opens;
  p().form4.unlink.click();
  ASSERT_EQ(rig.port.writes.size(), 1u);
  EXPECT_EQ(rig.port.writes[0], disconnectFrame());
  EXPECT_EQ(rig.port.opens, opens + 1);
  EXPECT_TRUE(rig.port.isOpen());
  EXPECT_TRUE(rig.port.trail.ends_with("wdco")) << rig.port.trail;
  EXPECT_GT(rig.port.lastDrainMs, 0) << "a drain with a bound";
  EXPECT_FALSE(p().state.Is_Linked);
  // The default preset is loaded again, with the three user slots to pick.
  EXPECT_TRUE(p().form4.Combo1.enabled());
  EXPECT_EQ(p().form4.Combo1.items().size(), 3u);
  EXPECT_FALSE(p().form4.Command(69).enabled());
  rig.loop.advance(1000);
  EXPECT_EQ(unit->link(), sim::VirtualUnit::Link::Idle);
}

TEST_F(LinkTest, UnlinkWhileUnlinkedTouchesNeitherLineNorPort) {
  const int opens = rig.port.opens, closes = rig.port.closes;
  p().form4.unlink.click();
  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_EQ(rig.port.opens, opens);
  EXPECT_EQ(rig.port.closes, closes);
  EXPECT_FALSE(p().state.Is_Linked);
}

TEST_F(LinkTest, ShuttingDownWhileLinkedWritesTheDisconnectBeforeClosing) {
  connect(0);
  ASSERT_TRUE(linked());
  rig.port.clearLog();
  bool openAtDisconnect = false;
  rig.port.onTransmit = [&](const Bytes& b) {
    if (b == disconnectFrame()) openAtDisconnect = rig.port.isOpen();
  };
  p().shutDown();
  ASSERT_EQ(rig.port.writes.size(), 1u);
  EXPECT_TRUE(openAtDisconnect);
  EXPECT_FALSE(rig.port.isOpen());
  EXPECT_TRUE(rig.port.trail.ends_with("wdc")) << rig.port.trail;
}

TEST_F(LinkTest, AConnectThatCannotOpenThePortSaysWhyAndCanBeRetried) {
  rig.port.close();
  rig.port.openError = "cannot open COM1: Permission denied";
  connect(0);
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0],
            std::string(kErrorPrefix) + "cannot open COM1: Permission denied");
  EXPECT_TRUE(p().form1.Command1.enabled());
  EXPECT_FALSE(p().form1.Timer1->isActive());
  rig.port.openError.reset();
  p().form1.Command1.click();
  EXPECT_TRUE(linked());
}

TEST_F(LinkTest, ConnectingWithThePortOpenDoesNotReopenIt) {
  const int opens = rig.port.opens;
  connect(0);
  EXPECT_EQ(rig.port.opens, opens);
}

TEST_F(LinkTest, CancelLeavesTheExchangeRunningAndTheDumpStillLinks) {
  connect(0);
  p().form1.Command2.click();
  EXPECT_FALSE(p().form1.loaded());
  EXPECT_TRUE(linked());
}

// The same link, the unit's bytes delivered whole or in random pieces: the
// panel ends in the same state and writes back the same bytes.
TEST(LinkChunking, RandomPiecesGiveTheSameTablesAndTheSameAnswers) {
  struct Run {
    SharedState state;
    Bytes written;
    std::vector<int> sliders;
  };
  auto run = [](bool chunks, std::uint64_t seed) {
    sim::UnitOptions o;
    o.chunks = chunks;
    o.seed = seed;
    Rig rig;
    sim::InProcessUnit unit(rig.loop, rig.port, o);
    auto& p = rig.make();
    p.startUp();
    p.form4.link1.click();
    p.form1.Combo1.setIndex(4);
    p.form1.Command1.click();
    EXPECT_TRUE(rig.loop.runUntil([&] { return p.state.Is_Linked; }, 60000));
    Run r;
    r.state = p.state;
    r.written = rig.port.allWritten();
    for (const auto& param : sliderCatalogue())
      r.sliders.push_back(p.form4.cpvSlider(param.slider).value());
    EXPECT_EQ(p.receiver.framer().droppedBytes(), 0u);
    return r;
  };
  const Run whole = run(false, 1);
  for (std::uint64_t seed : {2, 3, 4}) {
    const Run pieces = run(true, seed);
    for (int slot = 0; slot < 8; ++slot)
      for (int row = 0; row < 38; ++row) {
        ASSERT_EQ(pieces.state.image.mic(slot, row), whole.state.image.mic(slot, row));
        ASSERT_EQ(pieces.state.image.music(slot, row), whole.state.image.music(slot, row));
      }
    EXPECT_EQ(pieces.sliders, whole.sliders);
    EXPECT_EQ(pieces.written, whole.written);
    EXPECT_EQ(pieces.state.Device_Password, whole.state.Device_Password);
  }
}

// A program held up so long that the silence timer and the bytes finishing
// a message fall due together: bytes already waiting finish the message;
// only a line that really stays silent loses it.
TEST(LineSilence, BytesWaitingWhenTheSilenceRunsOutStillFinishTheMessage) {
  for (bool rest : {true, false}) {
    SCOPED_TRACE(rest ? "the rest arrives" : "the line stays silent");
    Rig rig;
    Program& p = rig.make();
    p.startUp();
    rig.port.clearLog();
    // Every arrival is announced a second late, as by a busy event loop.
    auto announce = rig.port.onReadyRead;
    rig.port.onReadyRead = [&rig, announce] { rig.loop.at(rig.loop.nowMs() + 1000, announce); };
    const Bytes frame = commandFrame(0x05, 0x20);
    rig.port.receive(Bytes(frame.begin(), frame.begin() + 3));
    if (rest)
      rig.loop.at(rig.loop.nowMs() + 1100,
                  [&] { rig.port.receive(Bytes(frame.begin() + 3, frame.end())); });
    rig.loop.advance(5000);
    EXPECT_EQ(rig.port.allWritten(), rest ? Bytes{kAckByte} : Bytes{}) << "one message, one ACK";
    EXPECT_EQ(p.receiver.framer().droppedBytes(), rest ? 0u : 3u);
  }
}

}  // namespace
}  // namespace kp

namespace kp {
namespace {

TEST_F(LinkTest, APortThatVanishesWhileLinkedFallsBackUnlinkedAndLinksAgainOnceBack) {
  connect(0);
  ASSERT_TRUE(linked());
  rig.port.fail("COM1 (/dev/ttyUSB0) was disconnected");
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0],
            std::string(kErrorPrefix) + "COM1 (/dev/ttyUSB0) was disconnected");
  EXPECT_FALSE(p().state.Is_Linked);
  EXPECT_FALSE(rig.port.isOpen());
  EXPECT_FALSE(p().form4.Timer1->isActive());
  EXPECT_TRUE(p().form4.enabled());
  // Nothing keeps running against the closed port.
  const auto pending = rig.loop.pending();
  rig.loop.advance(60000);
  EXPECT_LE(rig.loop.pending(), pending);
  EXPECT_EQ(rig.port.writesWhileClosed, 0);
  // The adapter is back: connecting opens the port and links.
  connect(0);
  EXPECT_TRUE(rig.port.isOpen());
  EXPECT_TRUE(linked());
}

}  // namespace
}  // namespace kp

namespace kp {
namespace {

TEST_F(LinkTest, ALinkedLoadToAUnitThatFallsSilentEndsWithinHalfAMinute) {
  connect(4);
  ASSERT_TRUE(linked());
  const std::string file = rig.folder.file("show.dat");
  ASSERT_TRUE(p().presetFile.Save_Pro_Ini(file));
  unit->options().stopAfter = unit->counters().messagesSent + 20;
  const auto t0 = rig.loop.nowMs();
  p().state.currentPresetFile = file;
  p().Open_Pro_Ini(file);
  EXPECT_LT(rig.loop.nowMs() - t0, 30000);
  ASSERT_FALSE(rig.dialogs.messages.empty());
  EXPECT_EQ(rig.dialogs.messages[0], kLinkTimeoutMessage);
  EXPECT_FALSE(p().state.Is_Linked);
  EXPECT_FALSE(p().state.Is_Busy);
  EXPECT_TRUE(p().form4.enabled());
}

}  // namespace
}  // namespace kp
