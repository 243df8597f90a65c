// A faulty unit through the whole stack: the panel on the Qt event loop and
// serial port, a pseudo-terminal, and karaoke-unit-sim playing the fault.
// Each case checks the state the panel ends in, the messages it showed, that
// it never waited without bound, and that its quiet waits sleep.
#include <signal.h>
#include <sys/resource.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// The simulator's headers come before Qt's, whose emit macro clashes with
// a member of the virtual unit.
#include "sim/in_process.h"
#include "tests/presets/preset_fixture.h"

#include <QEventLoop>
#include <QTimer>

#include "link/frames.h"
#include "link/messages.h"
#include "panel/catalogue.h"
#include "tests/e2e/qt_rig.h"

namespace kp {
namespace {

using test::PresetData;
using test::pumpUntil;
using test::QtRig;
using test::SimProcess;

constexpr int kPort = 4;  // COM1..COM10 only
// A quiet panel sleeps in the event loop; this only catches a busy loop.
constexpr double kBusyLoopShare = 0.20;

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Lets the Qt loop run in its own blocking exec() (so the test adds no
// polling of its own) until pred() holds or timeoutMs pass. Gives the share of
// one core the process used meanwhile.
struct QuietWait {
  bool held = false;
  double cpuShare = 0;
  double seconds = 0;
};
QuietWait waitQuietly(const std::function<bool()>& pred, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  const double cpu0 = cpuSeconds();
  while (!pred() && t.elapsed() < timeoutMs) {
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
  }
  QuietWait w;
  w.held = pred();
  w.seconds = static_cast<double>(t.elapsed()) / 1000.0;
  w.cpuShare = w.seconds > 0 ? (cpuSeconds() - cpu0) / w.seconds : 0;
  return w;
}

// How many messages the unit sends up to the end of a link with this model,
// counted on the in-process unit: the fault "stop after N" is placed by it.
std::uint64_t messagesOfALink(int model) {
  test::Rig rig;
  sim::InProcessUnit unit(rig.loop, rig.port);
  Program& p = rig.make();
  p.startUp();
  p.form4.link1.click();
  p.form1.Combo1.setIndex(model);
  p.form1.Command1.click();
  EXPECT_TRUE(rig.loop.runUntil([&] { return p.state.Is_Linked; }, 60000));
  return unit->counters().messagesSent;
}

std::vector<Window*> windows(Program& p) {
  return {&p.form1, &p.form2, &p.form3, &p.form4, &p.form5, &p.form6};
}

class FaultsOverPty : public ::testing::Test {
 protected:
  FaultsOverPty() : rig(kPort) {}

  void startSim(const std::vector<std::string>& args) {
    sim.reset();
    sim = std::make_unique<SimProcess>(rig.folder.str(), kPort, args);
    ASSERT_TRUE(sim->ready());
  }
  Program& start() {
    Program& p = rig.make();
    p.startUp();
    EXPECT_TRUE(rig.serial.isOpen())
        << (rig.dialogs.messages.empty() ? "" : rig.dialogs.messages[0]);
    return p;
  }
  void connect(int model) {
    Program& p = *rig.program;
    p.form4.link1.click();
    p.form1.Combo1.setIndex(model);
    p.form1.Command1.click();
  }
  // Connects as the operator does and waits for the dump to complete.
  bool link(int model) {
    connect(model);
    Program& p = *rig.program;
    const bool ok = pumpUntil([&] { return p.state.Is_Linked; }, 30000);
    pumpUntil([&] { return !p.state.Awaiting_Reply && !p.state.Is_Busy; }, 1000);
    return ok;
  }
  void TearDown() override {
    if (rig.program) rig.program->shutDown();
  }

  QtRig rig;
  std::unique_ptr<SimProcess> sim;
};

// ------------------------------------------------------------ a noisy line

TEST_F(FaultsOverPty, ALinkedLoadThroughResendsAndDropsPutsTheWholeFileIntoTheUnit) {
  startSim({"--resend", "0.2", "--drop", "0.05", "--seed", "1"});
  const PresetData file = PresetData::sample();
  rig.folder.write("Show.dat", file.text());
  Program& p = start();
  ASSERT_TRUE(link(4));

  rig.dialogs.fileAnswers.push_back(rig.folder.file("Show.dat"));
  p.form4.open1.click();  // returns when the load is done
  EXPECT_TRUE(p.state.Is_Linked) << "the line stayed alive, so the link must too";
  EXPECT_TRUE(rig.dialogs.messages.empty()) << rig.dialogs.messages.front();

  // What the unit holds now comes back in the dump of a new link.
  p.form4.unlink.click();
  ASSERT_FALSE(p.state.Is_Linked);
  test::forgetUnitData(p.state);
  ASSERT_TRUE(link(4));
  test::expectProgramHolds(p, file);
}

// The dump in random pieces gives the panel exactly what the whole dump does.
TEST(FaultsOverPtyChunks, ADumpInRandomPiecesFillsTheSameTablesAsAWholeOne) {
  struct Seen {
    std::vector<int> music, mic, sliders;
    std::string password;
    int settings[9] = {};
    std::size_t dropped = 0;
    std::vector<std::string> messages;
  };
  auto linkOnce = [](const std::vector<std::string>& args) {
    QtRig rig(kPort);
    SimProcess sim(rig.folder.str(), kPort, args);
    Seen s;
    EXPECT_TRUE(sim.ready());
    Program& p = rig.make();
    p.startUp();
    p.form4.link1.click();
    p.form1.Combo1.setIndex(4);
    p.form1.Command1.click();
    EXPECT_TRUE(pumpUntil([&] { return p.state.Is_Linked; }, 30000));
    for (int slot = 0; slot < 8; ++slot)
      for (int row = 0; row < 38; ++row) {
        s.music.push_back(p.state.image.music(slot, row).value_or(-1));
        s.mic.push_back(p.state.image.mic(slot, row).value_or(-1));
      }
    for (const auto& param : sliderCatalogue())
      s.sliders.push_back(p.form4.cpvSlider(param.slider).value());
    s.password = p.state.Device_Password;
    const auto& ds = p.state.Device_Settings;
    const int settings[9] = {ds.MIC_MAX_VOLUME,   ds.MIC_MIN_VOLUME, ds.MUSIC_MAX_VOLUME,
                             ds.MUSIC_MIN_VOLUME, ds.MIC_MODE,       ds.MUSIC_MODE,
                             ds.KTV_MIN_VOLUME,   ds.KTV_RESET_TIME, ds.KTV_MIN_DU};
    std::copy(std::begin(settings), std::end(settings), s.settings);
    s.dropped = p.receiver.framer().droppedBytes();
    s.messages = rig.dialogs.messages;
    p.shutDown();
    return s;
  };
  const Seen whole = linkOnce({});
  for (const char* seed : {"2", "3"}) {
    SCOPED_TRACE(std::string("seed ") + seed);
    const Seen pieces = linkOnce({"--chunks", "--seed", seed});
    EXPECT_EQ(pieces.music, whole.music);
    EXPECT_EQ(pieces.mic, whole.mic);
    EXPECT_EQ(pieces.sliders, whole.sliders);
    EXPECT_EQ(pieces.password, whole.password);
    EXPECT_TRUE(std::equal(std::begin(pieces.settings), std::end(pieces.settings), whole.settings));
    EXPECT_EQ(pieces.dropped, 0u) << "no byte of a piece was taken for noise";
    EXPECT_TRUE(pieces.messages.empty());
  }
  EXPECT_FALSE(whole.password.empty());
}

// ------------------------------------------------------- a unit gone mute

// A dump that stops after its first section marker: the connect timer runs
// on between the dump's messages, so the panel gives up on its own with the
// dump time-out instead of sitting busy with the connect dialog up.
TEST_F(FaultsOverPty, AUnitThatFallsSilentMidDumpEndsInTheDumpTimeOutAndAnUnlockedPanel) {
  startSim({"--stop-after", "11"});  // the connect answer, a marker and 9 values
  Program& p = start();
  connect(4);
  ASSERT_TRUE(pumpUntil([&] { return p.state.Dump_Section >= 1; }, 10000));
  EXPECT_TRUE(p.state.Is_Busy);

  const QuietWait stalled = waitQuietly([&] { return !rig.dialogs.messages.empty(); }, 25000);
  ASSERT_TRUE(stalled.held) << "a stalled dump must end without the operator's help";
  EXPECT_LT(stalled.cpuShare, kBusyLoopShare) << "a stalled dump must not spin";
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0], kDumpTimeoutMessage);
  EXPECT_FALSE(p.state.Is_Linked);
  EXPECT_FALSE(p.state.Is_Busy) << "the panel must take changes again";
  EXPECT_FALSE(p.form1.loaded()) << "falling back unlinked closes the connect dialog";
  EXPECT_FALSE(p.form1.Timer1->isActive());
  for (Window* w : windows(p)) EXPECT_TRUE(w->enabled());
  EXPECT_TRUE(p.form4.Combo1.enabled());
  EXPECT_EQ(p.form4.Combo1.items().size(), 3u) << "unlinked lists show the user slots";
  // Nothing goes on ticking or asking after the give-up.
  const QuietWait after = waitQuietly([] { return false; }, 2500);
  EXPECT_LT(after.cpuShare, kBusyLoopShare);
  EXPECT_EQ(rig.dialogs.messages.size(), 1u);
}

TEST_F(FaultsOverPty, AUnitThatFallsSilentAfterTheLinkEndsItWithTheTimeOutMessage) {
  startSim({"--stop-after", std::to_string(messagesOfALink(4) + 2)});
  Program& p = start();
  ASSERT_TRUE(link(4));
  Slider& band = p.form4.cpvSlider(musicBandSlider(9));
  const int step = band.value() > 0 ? -1 : 1;
  for (int i = 0; i < 2; ++i) {
    band.operatorSet(band.value() + step);
    EXPECT_TRUE(pumpUntil([&] { return !p.state.Awaiting_Reply; }, 3000)) << "answered while alive";
  }
  band.operatorSet(band.value() + step);  // the unit hears it and says nothing
  EXPECT_TRUE(p.state.Awaiting_Reply);

  const QuietWait w = waitQuietly([&] { return !rig.dialogs.messages.empty(); }, 25000);
  ASSERT_TRUE(w.held) << "the watchdog must end a silent link";
  EXPECT_GT(w.seconds, 10.0) << "not before the watchdog's 15 s";
  EXPECT_LT(w.cpuShare, kBusyLoopShare);
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0], kLinkTimeoutMessage);
  EXPECT_FALSE(p.state.Is_Linked);
  EXPECT_FALSE(rig.serial.isOpen()) << "the port stays closed until the next connect";
  EXPECT_FALSE(p.form4.Timer1->isActive());
  for (Window* w2 : windows(p)) EXPECT_TRUE(w2->enabled());
  EXPECT_TRUE(p.form4.Combo1.enabled());
}

TEST_F(FaultsOverPty, AUnitThatFallsSilentDuringAModeChangeIsUnlockedByTheWatchdog) {
  startSim({"--stop-after", std::to_string(messagesOfALink(4) + 10)});
  Program& p = start();
  ASSERT_TRUE(link(4));
  p.form4.Combo1.operatorSelect(5);
  // The panel waits for the mode's parameter block with every window locked.
  EXPECT_TRUE(p.state.Is_Busy);
  for (Window* w : windows(p)) EXPECT_FALSE(w->enabled());
  EXPECT_FALSE(p.form4.Combo1.enabled());

  const QuietWait w = waitQuietly([&] { return !rig.dialogs.messages.empty(); }, 25000);
  ASSERT_TRUE(w.held) << "a block that stops must not lock the panel for good";
  EXPECT_LT(w.cpuShare, kBusyLoopShare);
  ASSERT_EQ(rig.dialogs.messages.size(), 1u);
  EXPECT_EQ(rig.dialogs.messages[0], kLinkTimeoutMessage);
  EXPECT_FALSE(p.state.Is_Linked);
  EXPECT_FALSE(p.state.Is_Busy);
  EXPECT_FALSE(rig.serial.isOpen());
  for (Window* w2 : windows(p)) EXPECT_TRUE(w2->enabled());
  EXPECT_TRUE(p.form4.Combo1.enabled());
  EXPECT_TRUE(p.form4.Combo2.enabled());
}

// ---------------------------------------------------- the port goes away

class PortGoneOverPty : public FaultsOverPty {
 protected:
  // The unit process ends while linked, by `sig`: the panel falls back
  // unlinked with the port's reason, sleeps, and links again once a new unit
  // serves the same port.
  void loseThePortBy(int sig) {
    startSim({});
    Program& p = start();
    ASSERT_TRUE(link(0));
    ::kill(sim->pid(), sig);
    ASSERT_TRUE(pumpUntil([&] { return !rig.dialogs.messages.empty(); }, 5000))
        << "the port's failure must reach the operator";
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    const std::string& text = rig.dialogs.messages[0];
    EXPECT_EQ(text.rfind(kErrorPrefix, 0), 0u) << text;
    EXPECT_NE(text.find("COM" + std::to_string(kPort)), std::string::npos) << text;
    EXPECT_GT(text.size(), std::string(kErrorPrefix).size() + 8) << "the reason follows the prefix";
    EXPECT_FALSE(p.state.Is_Linked);
    EXPECT_FALSE(rig.serial.isOpen());
    EXPECT_FALSE(p.form4.Timer1->isActive());
    for (Window* w : windows(p)) EXPECT_TRUE(w->enabled());
    EXPECT_TRUE(p.form4.Combo1.enabled());

    const QuietWait quiet = waitQuietly([] { return false; }, 3000);
    EXPECT_LT(quiet.cpuShare, kBusyLoopShare) << "a lost port must not spin";
    EXPECT_EQ(rig.dialogs.messages.size(), 1u) << "said once";

    startSim({});
    ASSERT_TRUE(link(0)) << "the same COM number links again";
    EXPECT_TRUE(rig.serial.isOpen());
    EXPECT_EQ(rig.dialogs.messages.size(), 1u);
    Slider& master = p.form4.cpvSlider(kMusicMaster);
    master.operatorSet(master.value() == 20 ? 21 : 20);
    EXPECT_TRUE(pumpUntil([&] { return !p.state.Awaiting_Reply; }, 3000)) << "and is answered";
  }
};

TEST_F(PortGoneOverPty, AKilledUnitProcessFallsBackUnlinkedAndLinksAgainOnceBack) {
  loseThePortBy(SIGKILL);
}

TEST_F(PortGoneOverPty, AClosedPseudoTerminalFallsBackUnlinkedAndLinksAgainOnceBack) {
  loseThePortBy(SIGTERM);  // the simulator closes its side and removes the link
}

}  // namespace
}  // namespace kp
