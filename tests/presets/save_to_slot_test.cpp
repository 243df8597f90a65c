// The save-to-slot dialog while linked: the store command the unit gets, the
// table slot the panel updates, and the preset file the next save writes.
#include "ini/ini.h"
#include "tests/presets/preset_fixture.h"

namespace kp {
namespace {

class SaveToSlotDialog : public test::PresetTest {
 protected:
  SaveToSlotDialog() { link(4); }

  // The operator drags a slider; the unit's answer comes back before the next.
  void drag(int n, int value) {
    f4().cpvSlider(n).operatorSet(value);
    rig.loop.runUntil([&] { return !state().Awaiting_Reply; }, 1000);
  }

  void store(int saveButton, int slotEntry) {
    f4().Command(saveButton).click();
    ASSERT_TRUE(p().form6.visible());
    p().form6.Combo1.operatorSelect(slotEntry);
    rig.port.clearLog();
    p().form6.Command1.click();
    rig.loop.runUntil([&] { return !state().Awaiting_Reply; }, 1000);
  }

  std::vector<int> micTable() {
    std::vector<int> v;
    for (int n = 0; n < 8; ++n)
      for (int k = 0; k < 38; ++k) v.push_back(state().image.mic(n, k).value_or(-1));
    return v;
  }
  std::vector<int> musicTable() {
    std::vector<int> v;
    for (int n = 0; n < 8; ++n)
      for (int k = 0; k < 32; ++k) v.push_back(state().image.music(n, k).value_or(-1));
    return v;
  }
};

TEST_F(SaveToSlotDialog, MusicRam2StoresInTheUnitAndSlot1AndTheNextSaveWritesIt) {
  int want[32] = {};
  for (int k = 1; k <= 31; ++k) {
    want[k] = (k * 3) % 31 - 15;
    drag(musicBandSlider(k), want[k]);
  }
  const auto micBefore = micTable();
  store(67, 1);

  EXPECT_EQ(frames(), (std::vector<Bytes>{commandFrame(86, 1)})) << test::describe(frames());
  for (int k = 1; k <= 31; ++k) {
    EXPECT_EQ(state().image.music(1, k), want[k] + 15) << k;
    EXPECT_EQ(unit->state().musicSlots[1].bands[k - 1], want[k] + 15) << k;
  }
  EXPECT_EQ(micTable(), micBefore) << "the microphone table is untouched";
  EXPECT_FALSE(p().form6.loaded());

  saveCommand(file("slot.dat"));
  for (int k = 1; k <= 31; ++k)
    EXPECT_EQ(Read_Ini("Music_1", std::to_string(k), file("slot.dat")),
              std::to_string(want[k] + 15));
  EXPECT_EQ(frames().size(), 1u) << "saving sends nothing";
}

TEST_F(SaveToSlotDialog, MicRam3StoresBandsAndEffectsInSlot2) {
  int band[32] = {};
  for (int k = 1; k <= 31; ++k) {
    band[k] = 15 - (k * 7) % 31;
    drag(micBandSlider(k), band[k]);
  }
  const int effects[6] = {5, 17, 29, 41, 53, 97};
  for (int e = 0; e < 6; ++e) drag(kFirstEffect + e, effects[e]);
  const auto musicBefore = musicTable();
  store(143, 2);

  EXPECT_EQ(frames(), (std::vector<Bytes>{commandFrame(83, 2)})) << test::describe(frames());
  for (int k = 1; k <= 31; ++k) {
    EXPECT_EQ(state().image.mic(2, k), band[k] + 15) << k;
    EXPECT_EQ(unit->state().micSlots[2].bands[k - 1], band[k] + 15) << k;
  }
  for (int e = 0; e < 6; ++e) {
    EXPECT_EQ(state().image.mic(2, 32 + e), effects[e]) << e;
    EXPECT_EQ(unit->state().micSlots[2].effects[e], effects[e]) << e;
  }
  EXPECT_EQ(musicTable(), musicBefore);

  saveCommand(file("slot.dat"));
  for (int k = 1; k <= 31; ++k)
    EXPECT_EQ(Read_Ini("Mic_2", std::to_string(k), file("slot.dat")), std::to_string(band[k] + 15));
  for (int e = 0; e < 6; ++e)
    EXPECT_EQ(Read_Ini("Mic_2", std::to_string(32 + e), file("slot.dat")),
              std::to_string(effects[e]));
}

}  // namespace
}  // namespace kp
