// Slider changes by situation: what reaches the unit, the readouts and the
// device image.
#include <array>

#include "tests/panel/panel_fixture.h"

namespace kp::test {
namespace {

enum class Kind { MusicBand, MicBand, Master, Surround, Effect };

struct Expected {
  int slider;
  int unitAddress;
  int label;
  Kind kind;
  int row;  // device-image row; 0 when the slider is not kept there
};

// The window's pairing of sliders, unit addresses and readouts, written out
// independently of the catalogue the program uses.
std::vector<Expected> expectedSliders() {
  const std::array<int, 31> musicLabels = {7,  8,  10, 9,  12, 11, 14, 13, 16, 15, 18,
                                           17, 20, 19, 22, 21, 38, 37, 35, 36, 33, 34,
                                           31, 32, 29, 30, 27, 28, 25, 26, 23};
  const std::array<int, 31> micLabels = {54, 53, 51, 52, 49, 50, 47, 48, 45, 46, 43,
                                         44, 41, 42, 39, 40, 69, 68, 66, 67, 64, 65,
                                         62, 63, 60, 61, 58, 59, 56, 57, 55};
  std::vector<Expected> out;
  for (int k = 1; k <= 31; ++k)
    out.push_back({k, 44 + k, musicLabels[static_cast<std::size_t>(k - 1)], Kind::MusicBand, k});
  out.push_back({32, 6, 24, Kind::Master, 0});
  for (int k = 1; k <= 31; ++k)
    out.push_back({33 + k, 13 + k, micLabels[static_cast<std::size_t>(k - 1)], Kind::MicBand, k});
  out.push_back({65, 5, 70, Kind::Master, 0});
  const std::array<std::array<int, 2>, 6> surround = {
      {{88, 71}, {89, 72}, {90, 74}, {91, 73}, {92, 76}, {93, 75}}};
  for (int i = 0; i < 6; ++i)
    out.push_back({67 + i, surround[static_cast<std::size_t>(i)][0],
                   surround[static_cast<std::size_t>(i)][1], Kind::Surround, 0});
  const std::array<std::array<int, 3>, 6> effects = {
      {{78, 77, 32}, {77, 78, 33}, {79, 80, 34}, {81, 79, 35}, {80, 82, 36}, {76, 81, 37}}};
  for (int i = 0; i < 6; ++i) {
    const auto& e = effects[static_cast<std::size_t>(i)];
    out.push_back({73 + i, e[0], e[1], Kind::Effect, e[2]});
  }
  return out;
}

std::vector<int> wholeImage(const SharedState& s) {
  std::vector<int> out;
  for (int slot = 0; slot < DeviceImage::kSlots; ++slot) {
    for (int row = 0; row < DeviceImage::kMusicRows; ++row)
      out.push_back(*s.image.music(slot, row));
    for (int row = 0; row < DeviceImage::kMicRows; ++row) out.push_back(*s.image.mic(slot, row));
  }
  return out;
}

// ---------------------------------------------------------------------------

class LinkedIdleSliders : public PanelTest {
 protected:
  LinkedIdleSliders() {
    selectModesOffline(1, 2);  // "2.RAM2" and "3.RAM3"
    link();
    rig.port.clearLog();
  }
};

TEST_F(LinkedIdleSliders, EverySliderSendsUnderItsAddressAndShowsItsOwnReadout) {
  const auto all = expectedSliders();
  ASSERT_EQ(all.size(), 76u);
  for (const auto& e : all) {
    SCOPED_TRACE("cpvSlider" + std::to_string(e.slider));
    rig.port.clearLog();
    int value = 0;
    std::string readout;
    int byte = 0;
    switch (e.kind) {
      case Kind::MusicBand:
      case Kind::MicBand:
        value = 7, byte = 22, readout = "7";
        break;
      case Kind::Master:
      case Kind::Effect:
        value = 40, byte = 40, readout = "40%";
        break;
      case Kind::Surround:
        value = 20, byte = 20, readout = "40%";
        break;
    }
    f4().cpvSlider(e.slider).operatorSet(value);
    EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(static_cast<std::uint8_t>(e.unitAddress),
                                                        static_cast<std::uint8_t>(byte))});
    EXPECT_EQ(f4().Label(e.label).caption(), readout);
    if (e.kind == Kind::MusicBand) {
      EXPECT_EQ(state().image.music(1, e.row), byte);
    }
    if (e.kind == Kind::MicBand || e.kind == Kind::Effect) {
      EXPECT_EQ(state().image.mic(2, e.row), byte);
    }
  }
}

TEST_F(LinkedIdleSliders, MusicBandAtMinusThreeInRam2) {
  f4().cpvSlider(1).operatorSet(-3);
  EXPECT_EQ(f4().Label(7).caption(), "-3");
  EXPECT_EQ(state().image.music(1, 1), 12);
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(45, 12)});
}

TEST_F(LinkedIdleSliders, MicrophoneBandBackToFlat) {
  f4().cpvSlider(64).operatorSet(4);
  f4().cpvSlider(64).operatorSet(0);
  EXPECT_EQ(f4().Label(55).caption(), "0");
  EXPECT_EQ(state().image.mic(2, 31), 15);
  EXPECT_EQ(frames(), (std::vector<Bytes>{commandFrame(44, 19), commandFrame(44, 15)}));
}

TEST_F(LinkedIdleSliders, SurroundAtFiftyReadsOneHundredPercent) {
  f4().cpvSlider(67).operatorSet(50);
  EXPECT_EQ(f4().Label(71).caption(), "100%");
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(88, 50)});
}

TEST_F(LinkedIdleSliders, EffectMasterAtFortyIsKeptInTheMicrophoneSlot) {
  f4().cpvSlider(78).operatorSet(40);
  EXPECT_EQ(f4().Label(81).caption(), "40%");
  EXPECT_EQ(state().image.mic(2, 37), 40);
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(76, 40)});
}

TEST_F(LinkedIdleSliders, MasterLevelLeavesTheImageAlone) {
  const auto before = wholeImage(state());
  f4().cpvSlider(32).operatorSet(100);
  EXPECT_EQ(f4().Label(24).caption(), "100%");
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(6, 100)});
  EXPECT_EQ(wholeImage(state()), before);
}

TEST_F(LinkedIdleSliders, ADragSendsOneFramePerChangeInOrder) {
  for (int v : {1, 2, 3, 2}) f4().cpvSlider(40).operatorSet(v);
  EXPECT_EQ(frames(), (std::vector<Bytes>{commandFrame(20, 16), commandFrame(20, 17),
                                          commandFrame(20, 18), commandFrame(20, 17)}));
  EXPECT_EQ(f4().Label(47).caption(), "2");
  EXPECT_TRUE(state().Awaiting_Reply);
}

TEST_F(LinkedIdleSliders, ValuesSetByCodeAreSentToo) {
  f4().cpvSlider(65).setValue(55);
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(5, 55)});
  EXPECT_EQ(f4().Label(70).caption(), "55%");
}

TEST_F(LinkedIdleSliders, TheBandsWriteOnlyTheSlotOfTheirOwnList) {
  f4().cpvSlider(10).operatorSet(5);
  f4().cpvSlider(43).operatorSet(-5);
  EXPECT_EQ(state().image.music(1, 10), 20);
  EXPECT_EQ(state().image.music(2, 10), 0);
  EXPECT_EQ(state().image.mic(2, 10), 10);
  EXPECT_EQ(state().image.mic(1, 10), 0);
}

// ---------------------------------------------------------------------------

class UnlinkedSliders : public PanelTest {
 protected:
  UnlinkedSliders() {
    selectModesOffline(0, 1);
    rig.port.clearLog();
  }
};

TEST_F(UnlinkedSliders, OnlyReadoutAndImageChange) {
  f4().cpvSlider(5).operatorSet(-9);
  f4().cpvSlider(36).operatorSet(11);
  f4().cpvSlider(75).operatorSet(60);
  f4().cpvSlider(70).operatorSet(30);
  f4().cpvSlider(32).operatorSet(70);

  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_FALSE(state().Awaiting_Reply);
  EXPECT_EQ(f4().Label(12).caption(), "-9");
  EXPECT_EQ(state().image.music(0, 5), 6);
  EXPECT_EQ(f4().Label(51).caption(), "11");
  EXPECT_EQ(state().image.mic(1, 3), 26);
  EXPECT_EQ(f4().Label(80).caption(), "60%");
  EXPECT_EQ(state().image.mic(1, 34), 60);
  EXPECT_EQ(f4().Label(73).caption(), "60%");
  EXPECT_EQ(f4().Label(24).caption(), "70%");
}

// ---------------------------------------------------------------------------

class BusySliders : public PanelTest {
 protected:
  BusySliders() {
    selectModesOffline(2, 0);
    link();
    rig.port.clearLog();
    state().Is_Busy = true;
  }
};

TEST_F(BusySliders, NothingIsSentButReadoutAndImageFollow) {
  f4().cpvSlider(31).operatorSet(15);
  f4().cpvSlider(34).operatorSet(-14);
  f4().cpvSlider(76).operatorSet(99);
  f4().cpvSlider(72).operatorSet(1);

  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_FALSE(state().Awaiting_Reply);
  EXPECT_EQ(f4().Label(23).caption(), "15");
  EXPECT_EQ(state().image.music(2, 31), 30);
  EXPECT_EQ(f4().Label(54).caption(), "-14");
  EXPECT_EQ(state().image.mic(0, 1), 1);
  EXPECT_EQ(f4().Label(79).caption(), "99%");
  EXPECT_EQ(state().image.mic(0, 35), 99);
  EXPECT_EQ(f4().Label(75).caption(), "2%");
}

// ---------------------------------------------------------------------------

class SlidersWithNoModeSelected : public PanelTest {
 protected:
  SlidersWithNoModeSelected() {
    p->presetSets.Is_connect_Value();  // refilled lists have no selection
    link();
    rig.port.clearLog();
  }
};

TEST_F(SlidersWithNoModeSelected, ReadoutAndFrameStillHappenButNoSlotIsWritten) {
  ASSERT_EQ(f4().Combo1.index(), -1);
  ASSERT_EQ(f4().Combo2.index(), -1);
  const auto before = wholeImage(state());

  f4().cpvSlider(1).operatorSet(4);
  f4().cpvSlider(64).operatorSet(-2);
  f4().cpvSlider(73).operatorSet(33);

  EXPECT_EQ(f4().Label(7).caption(), "4");
  EXPECT_EQ(f4().Label(55).caption(), "-2");
  EXPECT_EQ(f4().Label(77).caption(), "33%");
  EXPECT_EQ(frames(),
            (std::vector<Bytes>{commandFrame(45, 19), commandFrame(44, 13), commandFrame(78, 33)}));
  EXPECT_EQ(wholeImage(state()), before);
}

}  // namespace
}  // namespace kp::test
