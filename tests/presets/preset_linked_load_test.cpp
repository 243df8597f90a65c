// Loading a preset file while linked, against the in-process unit: the
// frames that leave the panel, one by one and each after the previous
// answer, and what the unit holds afterwards.
#include "tests/presets/preset_fixture.h"

namespace kp {
namespace {

using test::PresetData;

Bytes F(int a, int v) {
  return commandFrame(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(v));
}

// The unit addresses of the effect keys "32".."37", in key order.
constexpr int kEffectAddress[6] = {78, 77, 79, 81, 80, 76};

void addMusicSlot(std::vector<Bytes>& out, const PresetData& d, int n, int lastBand, bool store) {
  for (int k = 1; k <= lastBand; ++k) out.push_back(F(44 + k, d.music[n][k]));
  if (store) out.push_back(F(86, n));
}

void addMicSlots(std::vector<Bytes>& out, const PresetData& d) {
  for (int n = 0; n < 3; ++n) {
    for (int k = 1; k <= 31; ++k) out.push_back(F(13 + k, d.mic[n][k]));
    for (int e = 0; e < 6; ++e) out.push_back(F(kEffectAddress[e], d.mic[n][32 + e]));
    out.push_back(F(83, n));
  }
}

// The unit answers each frame a few milliseconds after it, so a frame sent
// without waiting for the previous answer shows in the write times.
constexpr int kAnswerLatencyMs = 3;

sim::UnitOptions slowAnswers() {
  sim::UnitOptions o;
  o.latencyMs = kAnswerLatencyMs;
  return o;
}

class LinkedLoad : public test::PresetTest {
 protected:
  LinkedLoad() : PresetTest(slowAnswers()) {}

  void expectEachFrameAfterTheLastAnswer() {
    std::int64_t last = -1;
    std::size_t n = 0;
    for (std::size_t i = 0; i < rig.port.writes.size(); ++i) {
      if (rig.port.writes[i].size() != kFrameSize) continue;
      const std::int64_t t = rig.port.writeTimes[i];
      if (last >= 0 && t - last < kAnswerLatencyMs) {
        ADD_FAILURE() << "frame " << n << " " << test::describe({rig.port.writes[i]}) << "went out "
                      << t - last << " ms after the one before";
        return;
      }
      last = t;
      ++n;
    }
  }

  // Frames up to and including the music master, microphone master, as
  // every linked load starts: the dialog's six settings come from a freshly
  // created dialog, so each differs from its initial state and is sent.
  std::vector<Bytes> head(const PresetData& d) {
    return {F(0, 15),
            F(9, d.num("MIC_MAX_VOLUME")),
            F(7, d.num("MIC_MIN_VOLUME")),
            F(12, d.num("MIC_MODE")),
            F(10, d.num("MUSIC_MAX_VOLUME")),
            F(8, d.num("MUSIC_MIN_VOLUME")),
            F(11, d.num("MUSIC_MODE")),
            F(6, d.num("Music_Master")),
            F(5, d.num("Mic_Master"))};
  }

  void expectFrames(const std::vector<Bytes>& want) {
    const auto got = frames();
    EXPECT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i)
      if (got[i] != want[i]) {
        ADD_FAILURE() << "first difference at frame " << i << "\n got: "
                      << test::describe({got.begin() + static_cast<std::ptrdiff_t>(i),
                                         got.begin() + static_cast<std::ptrdiff_t>(
                                                           std::min(got.size(), i + 6))})
                      << "\nwant: "
                      << test::describe({want.begin() + static_cast<std::ptrdiff_t>(i),
                                         want.begin() + static_cast<std::ptrdiff_t>(
                                                            std::min(want.size(), i + 6))});
        break;
      }
  }

  void expectUnitMicSlots(const PresetData& d) {
    const auto& st = unit->state();
    for (int n = 0; n < 3; ++n) {
      for (int k = 1; k <= 31; ++k)
        EXPECT_EQ(st.micSlots[n].bands[k - 1], d.mic[n][k]) << n << "/" << k;
      for (int e = 0; e < 6; ++e)
        EXPECT_EQ(st.micSlots[n].effects[e], d.mic[n][32 + e]) << n << "/" << e;
    }
  }

  // Index of the first write of frame f in the port's log.
  std::size_t writeIndex(const Bytes& f) {
    for (std::size_t i = 0; i < rig.port.writes.size(); ++i)
      if (rig.port.writes[i] == f) return i;
    return rig.port.writes.size();
  }
};

TEST_F(LinkedLoad, AFullModelGetsEveryValueInOrderAndStoresTheSlots) {
  link(4);
  PresetData d = PresetData::sample();
  // Masters above their maxima, so the closing clamps are sent as well.
  d.set("Music_Master", 99).set("Mic_Master", 95);
  writePreset("full.dat", d);

  openCommand(file("full.dat"));

  std::vector<Bytes> want = head(d);
  want.push_back(F(94, 20));  // ultra-low volume
  want.push_back(F(95, 32));  // sensitivity "3.LOW"
  want.push_back(F(95, 1));   // reset time "7.5s"
  want.push_back(F(0, 12));
  for (int i = 0; i < 6; ++i) want.push_back(F(88 + i, 11 + i));
  for (int n = 0; n < 3; ++n) addMusicSlot(want, d, n, 31, true);
  addMicSlots(want, d);
  want.push_back(F(84, 0));  // music mode RAM1
  want.push_back(F(82, 0));  // microphone mode RAM1
  want.push_back(F(5, 80));  // clamped to MIC_MAX_VOLUME
  want.push_back(F(6, 85));  // clamped to MUSIC_MAX_VOLUME
  expectFrames(want);
  EXPECT_EQ(want.size(), 233u);

  const auto& st = unit->state();
  for (int n = 0; n < 3; ++n)
    for (int k = 1; k <= 31; ++k)
      EXPECT_EQ(st.musicSlots[n].bands[k - 1], d.music[n][k]) << n << "/" << k;
  expectUnitMicSlots(d);
  EXPECT_EQ(st.setup.micMaxVolume, 80);
  EXPECT_EQ(st.setup.micMinVolume, 35);
  EXPECT_EQ(st.setup.micEffectMode, 2);
  EXPECT_EQ(st.setup.musicMaxVolume, 85);
  EXPECT_EQ(st.setup.musicMinVolume, 45);
  EXPECT_EQ(st.setup.musicEffectMode, 5);
  EXPECT_EQ(st.setup.ktvMinVolume, 20);
  EXPECT_EQ(st.setup.ktvSensitivity, 32);
  EXPECT_EQ(st.setup.ktvResetTime, 1);
  EXPECT_EQ(st.micMaster, 80);
  EXPECT_EQ(st.musicMaster, 85);
  EXPECT_EQ(st.surround, (std::array<std::uint8_t, 6>{11, 12, 13, 14, 15, 16}));
  EXPECT_EQ(st.musicMode, 0);
  EXPECT_EQ(st.micMode, 0);
  EXPECT_EQ(unit->counters().resendRequests, 0u);
  EXPECT_EQ(unit->counters().valuesRejected, 0u);

  // Every frame went out only after the answer to the one before.
  expectEachFrameAfterTheLastAnswer();
  EXPECT_FALSE(state().Awaiting_Reply);
  EXPECT_FALSE(state().Is_Busy);
  // The unit needs the pause between the two mode changes.
  const auto music = writeIndex(F(84, 0)), mic = writeIndex(F(82, 0));
  ASSERT_LT(mic, rig.port.writes.size());
  EXPECT_GE(rig.port.writeTimes[mic] - rig.port.writeTimes[music], 100);

  // The panel: the unit's parameter blocks show RAM1, the settings are the
  // file's, the masters are clamped and limited.
  EXPECT_EQ(f4().Combo1.items().size(), 8u);
  EXPECT_EQ(f4().Combo1.index(), 0);
  EXPECT_EQ(f4().Combo2.index(), 0);
  for (int k = 1; k <= 31; ++k) EXPECT_EQ(slider(musicBandSlider(k)), d.music[0][k] - 15) << k;
  for (int e = 0; e < 6; ++e) EXPECT_EQ(slider(kFirstEffect + e), d.mic[0][32 + e]) << e;
  EXPECT_EQ(slider(kMicMaster), 80);
  EXPECT_EQ(f4().cpvSlider(kMicMaster).upperLimit(), 80);
  EXPECT_EQ(slider(kMusicMaster), 85);
  EXPECT_EQ(f4().cpvSlider(kMusicMaster).upperLimit(), 85);
  EXPECT_EQ(state().Device_Settings.KTV_MIN_DU, 2);
  EXPECT_EQ(state().Device_Settings.MUSIC_MODE, 5);
  EXPECT_FALSE(p().form3.loaded());
  EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST_F(LinkedLoad, AMissingBandEndsTheMusicSetsAndTheMicrophoneSetsGoOn) {
  link(4);
  const PresetData d = PresetData::sample();
  writePreset("gap.dat", d, "Music_1/17");
  const auto slotsBefore = unit->state().musicSlots;

  openCommand(file("gap.dat"));

  std::vector<Bytes> want = head(d);
  for (Bytes f : {F(94, 20), F(95, 32), F(95, 1), F(0, 12)}) want.push_back(f);
  for (int i = 0; i < 6; ++i) want.push_back(F(88 + i, 11 + i));
  addMusicSlot(want, d, 0, 31, true);
  addMusicSlot(want, d, 1, 16, false);  // no store for RAM2, nothing of RAM3
  addMicSlots(want, d);
  want.push_back(F(84, 0));
  want.push_back(F(82, 0));
  expectFrames(want);
  expectEachFrameAfterTheLastAnswer();

  const auto& st = unit->state();
  for (int k = 1; k <= 31; ++k) EXPECT_EQ(st.musicSlots[0].bands[k - 1], d.music[0][k]);
  EXPECT_EQ(st.musicSlots[1], slotsBefore[1]);
  EXPECT_EQ(st.musicSlots[2], slotsBefore[2]);
  expectUnitMicSlots(d);
}

TEST_F(LinkedLoad, AUnitWithoutFiveOneOutputsGetsNoOutputOrUltraLowValues) {
  link(0);
  const PresetData d = PresetData::sample();
  writePreset("a.dat", d);
  openCommand(file("a.dat"));

  std::vector<Bytes> want = head(d);
  want.push_back(F(0, 12));
  for (int n = 0; n < 3; ++n) addMusicSlot(want, d, n, 31, true);
  addMicSlots(want, d);
  want.push_back(F(84, 0));
  want.push_back(F(82, 0));
  expectFrames(want);
  expectEachFrameAfterTheLastAnswer();
  expectUnitMicSlots(d);
  EXPECT_EQ(unit->counters().valuesRejected, 0u);
}

TEST_F(LinkedLoad, AnUltraLowValueEqualToTheCurrentOrUnreadableIsSentAgain) {
  sim::UnitState s = sim::UnitState::factory();
  s.setup.ktvMinVolume = 27;
  s.setup.ktvSensitivity = 16;  // "2.MID"
  s.setup.ktvResetTime = 4;     // "2.5s"
  unit->setState(s);
  link(4);
  // The settings dialog open: its controls hold the unit's values.
  f4().Pro_set1.click();
  rig.loop.runUntil([&] { return !state().Awaiting_Reply; }, 1000);
  ASSERT_EQ(p().form3.SpinButton5.value(), 27);
  rig.port.clearLog();

  PresetData d = PresetData::sample();
  d.set("KTV_MIN_VOLUME", 27).erase("KTV_MIN_DU").set("KTV_RESET_TIME", 2);
  writePreset("same.dat", d);
  openCommand(file("same.dat"));

  const auto got = frames();
  ASSERT_GT(got.size(), 13u);
  EXPECT_EQ(got[0], F(0, 15));
  EXPECT_EQ(got[9], F(94, 27));
  EXPECT_EQ(got[10], F(95, 16));
  EXPECT_EQ(got[11], F(95, 4));
  EXPECT_EQ(got[12], F(0, 12));
  EXPECT_FALSE(p().form3.loaded()) << "the load closes the dialog";
}

TEST_F(LinkedLoad, AFileThatIsNotAPresetSendsOnlyTheFrameworkAndDoesNotHang) {
  link(4);
  rig.folder.write("junk.dat", std::string("\x00\x01\xFF[\r\n=\n", 8) + std::string(3000, '\xEE'));
  const auto t0 = rig.loop.nowMs();
  openCommand(file("junk.dat"));
  // Nothing can be read: the batch frame around the settings, and the
  // ultra-low volume of the fresh dialog counted as unchanged.
  EXPECT_EQ(frames(), (std::vector<Bytes>{F(0, 15), F(94, 1), F(0, 12)}))
      << test::describe(frames());
  EXPECT_LT(rig.loop.nowMs() - t0, 1000);
  EXPECT_TRUE(rig.dialogs.messages.empty());
  EXPECT_TRUE(state().Is_Linked);
}

}  // namespace
}  // namespace kp
