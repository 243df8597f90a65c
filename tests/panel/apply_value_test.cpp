// The unit's reports, one (dump address, value) at a time, as they land on
// the panel: sliders, readouts, the settings dialog, Device_Settings, the
// password text, the mode lists and the step buttons.
#include <array>
#include <tuple>

#include "tests/panel/panel_fixture.h"

namespace kp::test {
namespace {

// Everything a report can touch, to show that a report changed nothing.
struct PanelPicture {
  std::vector<int> sliders;
  std::vector<std::string> readouts;
  std::array<std::uint8_t, 9> settings{};
  std::string password;
  std::vector<int> lists;
  std::vector<int> spins;
  std::vector<std::uint32_t> stepColours;
  std::vector<std::string> stepPictures;
  std::vector<int> image;
  bool operator==(const PanelPicture&) const = default;
};

PanelPicture pictureOf(Program& p) {
  PanelPicture pic;
  for (int n = 1; n <= Form4::kMaxSlider; ++n)
    if (p.form4.hasSlider(n)) pic.sliders.push_back(p.form4.cpvSlider(n).value());
  for (int n = 1; n <= Form4::kMaxLabel; ++n) pic.readouts.push_back(p.form4.Label(n).caption());
  const auto& d = p.state.Device_Settings;
  pic.settings = {d.MIC_MAX_VOLUME,   d.MIC_MIN_VOLUME, d.MUSIC_MAX_VOLUME,
                  d.MUSIC_MIN_VOLUME, d.MIC_MODE,       d.MUSIC_MODE,
                  d.KTV_MIN_VOLUME,   d.KTV_RESET_TIME, d.KTV_MIN_DU};
  pic.password = p.state.Device_Password;
  pic.lists = {p.form4.Combo1.index(), p.form4.Combo2.index(), p.form3.Combo1.index(),
               p.form3.Combo2.index(), p.form3.Combo3.index(), p.form3.Combo4.index()};
  pic.spins = {p.form3.SpinButton1.value(), p.form3.SpinButton2.value(),
               p.form3.SpinButton3.value(), p.form3.SpinButton4.value(),
               p.form3.SpinButton5.value()};
  for (int n = 69; n <= 83; ++n) {
    pic.stepColours.push_back(p.form4.Command(n).backColor());
    pic.stepPictures.push_back(p.form4.Command(n).picture());
  }
  for (int slot = 0; slot < DeviceImage::kSlots; ++slot) {
    for (int row = 0; row < DeviceImage::kMusicRows; ++row)
      pic.image.push_back(*p.state.image.music(slot, row));
    for (int row = 0; row < DeviceImage::kMicRows; ++row)
      pic.image.push_back(*p.state.image.mic(slot, row));
  }
  return pic;
}

std::string errorText(int address, int value) {
  return "出错" + std::to_string(address) + "    " + std::to_string(value);
}

// ---------------------------------------------------------------------------

class PasswordReports : public PanelTest {};

TEST_F(PasswordReports, FourDigitsJoinInAddressOrder) {
  p->panel.Apply_Value(1, 4);
  p->panel.Apply_Value(2, 0);
  p->panel.Apply_Value(3, 9);
  p->panel.Apply_Value(4, 1);
  EXPECT_EQ(state().Device_Password, "4091");
  EXPECT_TRUE(messages().empty());
}

TEST_F(PasswordReports, AddressOneStartsTheTextAfresh) {
  for (std::uint8_t a = 1; a <= 4; ++a) p->panel.Apply_Value(a, a);
  ASSERT_EQ(state().Device_Password, "1234");
  p->panel.Apply_Value(1, 7);
  EXPECT_EQ(state().Device_Password, "7");
  p->panel.Apply_Value(2, 8);
  EXPECT_EQ(state().Device_Password, "78");
}

TEST_F(PasswordReports, ATwoDigitNumberAppendsTwoCharacters) {
  p->panel.Apply_Value(1, 1);
  p->panel.Apply_Value(2, 23);
  p->panel.Apply_Value(3, 4);
  p->panel.Apply_Value(4, 255);
  EXPECT_EQ(state().Device_Password, "1234255");
}

// ---------------------------------------------------------------------------

class SliderReports : public PanelTest {};

TEST_F(SliderReports, MastersTakeTheValueAsItIs) {
  p->panel.Apply_Value(5, 37);
  p->panel.Apply_Value(6, 100);
  EXPECT_EQ(f4().cpvSlider(65).value(), 37);
  EXPECT_EQ(f4().Label(70).caption(), "37%");
  EXPECT_EQ(f4().cpvSlider(32).value(), 100);
  EXPECT_EQ(f4().Label(24).caption(), "100%");
  EXPECT_TRUE(messages().empty());
}

TEST_F(SliderReports, EffectsFollowTheirOwnAddressOrder) {
  selectModesOffline(-1, 2);
  // Dump address -> slider, readout label, microphone image row.
  const std::array<std::tuple<int, int, int, int>, 6> effects = {{{11, 78, 81, 37},
                                                                  {12, 74, 78, 33},
                                                                  {13, 73, 77, 32},
                                                                  {14, 75, 80, 34},
                                                                  {15, 77, 82, 36},
                                                                  {16, 76, 79, 35}}};
  int value = 10;
  for (const auto& [address, slider, label, row] : effects) {
    SCOPED_TRACE("dump address " + std::to_string(address));
    p->panel.Apply_Value(static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(value));
    EXPECT_EQ(f4().cpvSlider(slider).value(), value);
    EXPECT_EQ(f4().Label(label).caption(), std::to_string(value) + "%");
    EXPECT_EQ(state().image.mic(2, row), value);
    value += 11;
  }
  EXPECT_TRUE(messages().empty());
}

TEST_F(SliderReports, MicrophoneBandsTwentyToFiftyGoToSliders34To64) {
  for (int address = 20; address <= 50; ++address) {
    p->panel.Apply_Value(static_cast<std::uint8_t>(address), 20);
    EXPECT_EQ(f4().cpvSlider(address + 14).value(), 5) << "dump address " << address;
  }
  EXPECT_TRUE(messages().empty());
}

TEST_F(SliderReports, MusicBandsFiftyOneToEightyOneGoToSliders1To31) {
  for (int address = 51; address <= 81; ++address) {
    p->panel.Apply_Value(static_cast<std::uint8_t>(address), 8);
    EXPECT_EQ(f4().cpvSlider(address - 50).value(), -7) << "dump address " << address;
  }
  EXPECT_TRUE(messages().empty());
}

TEST_F(SliderReports, BandByteFifteenIsFlatAndZeroIsTheBottom) {
  p->panel.Apply_Value(51, 3);
  p->panel.Apply_Value(51, 15);
  EXPECT_EQ(f4().cpvSlider(1).value(), 0);
  EXPECT_EQ(f4().Label(7).caption(), "0");
  p->panel.Apply_Value(51, 0);
  EXPECT_EQ(f4().cpvSlider(1).value(), -15);
  EXPECT_EQ(f4().Label(7).caption(), "-15");
  p->panel.Apply_Value(50, 30);
  EXPECT_EQ(f4().cpvSlider(64).value(), 15);
  EXPECT_EQ(f4().Label(55).caption(), "15");
}

TEST_F(SliderReports, SurroundOutputsGoToSliders67To72WithDoubledReadout) {
  const std::array<int, 6> labels = {71, 72, 74, 73, 76, 75};
  for (int k = 0; k < 6; ++k) {
    p->panel.Apply_Value(static_cast<std::uint8_t>(87 + k), static_cast<std::uint8_t>(20 + k));
    EXPECT_EQ(f4().cpvSlider(67 + k).value(), 20 + k);
    EXPECT_EQ(f4().Label(labels[static_cast<std::size_t>(k)]).caption(),
              std::to_string(2 * (20 + k)) + "%");
  }
  p->panel.Apply_Value(87, 50);
  EXPECT_EQ(f4().Label(71).caption(), "100%");
  EXPECT_TRUE(messages().empty());
}

TEST_F(SliderReports, AValueOutsideTheSliderRangeShowsTheErrorAndKeepsTheSlider) {
  p->panel.Apply_Value(6, 40);
  p->panel.Apply_Value(87, 25);
  p->panel.Apply_Value(51, 20);
  const auto before = pictureOf(*p);

  p->panel.Apply_Value(6, 101);
  p->panel.Apply_Value(87, 51);
  p->panel.Apply_Value(51, 200);
  p->panel.Apply_Value(11, 255);

  EXPECT_EQ(messages(), (std::vector<std::string>{errorText(6, 101), errorText(87, 51),
                                                  errorText(51, 200), errorText(11, 255)}));
  EXPECT_EQ(pictureOf(*p), before);
}

TEST_F(SliderReports, ValuesFromTheUnitAreNotSentBackWhileBusy) {
  link();
  state().Is_Busy = true;  // the unit is answering a mode change
  p->panel.Apply_Value(51, 20);
  p->panel.Apply_Value(6, 50);
  p->panel.Apply_Value(87, 10);
  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_EQ(f4().cpvSlider(1).value(), 5);
}

// ---------------------------------------------------------------------------

class SettingsReports : public PanelTest {};

TEST_F(SettingsReports, SpinReportsSetTheHiddenDialogAndTheSettings) {
  f3().unload();
  p->panel.Apply_Value(7, 30);
  p->panel.Apply_Value(8, 40);
  p->panel.Apply_Value(9, 90);
  p->panel.Apply_Value(10, 80);
  p->panel.Apply_Value(93, 25);

  EXPECT_TRUE(f3().loaded());
  EXPECT_FALSE(f3().visible());
  EXPECT_EQ(f3().SpinButton2.value(), 30);
  EXPECT_EQ(f3().SpinButton4.value(), 40);
  EXPECT_EQ(f3().SpinButton1.value(), 90);
  EXPECT_EQ(f3().SpinButton3.value(), 80);
  EXPECT_EQ(f3().SpinButton5.value(), 25);
  const auto& d = state().Device_Settings;
  EXPECT_EQ(d.MIC_MIN_VOLUME, 30);
  EXPECT_EQ(d.MUSIC_MIN_VOLUME, 40);
  EXPECT_EQ(d.MIC_MAX_VOLUME, 90);
  EXPECT_EQ(d.MUSIC_MAX_VOLUME, 80);
  EXPECT_EQ(d.KTV_MIN_VOLUME, 25);
  EXPECT_TRUE(messages().empty());
}

TEST_F(SettingsReports, OutOfRangeSpinValueLeavesControlAndSettingUnchanged) {
  p->panel.Apply_Value(9, 60);
  p->panel.Apply_Value(93, 20);
  p->panel.Apply_Value(7, 5);

  p->panel.Apply_Value(9, 0);
  p->panel.Apply_Value(93, 51);
  p->panel.Apply_Value(7, 101);

  EXPECT_EQ(messages(),
            (std::vector<std::string>{errorText(9, 0), errorText(93, 51), errorText(7, 101)}));
  EXPECT_EQ(f3().SpinButton1.value(), 60);
  EXPECT_EQ(state().Device_Settings.MIC_MAX_VOLUME, 60);
  EXPECT_EQ(f3().SpinButton5.value(), 20);
  EXPECT_EQ(state().Device_Settings.KTV_MIN_VOLUME, 20);
  EXPECT_EQ(f3().SpinButton2.value(), 5);
  EXPECT_EQ(state().Device_Settings.MIC_MIN_VOLUME, 5);
}

TEST_F(SettingsReports, SpinRangeEndsAreAccepted) {
  p->panel.Apply_Value(7, 1);
  p->panel.Apply_Value(9, 1);
  p->panel.Apply_Value(8, 100);
  p->panel.Apply_Value(10, 100);
  p->panel.Apply_Value(93, 50);
  p->panel.Apply_Value(93, 0);
  EXPECT_TRUE(messages().empty());
  const auto& d = state().Device_Settings;
  EXPECT_EQ(d.MIC_MIN_VOLUME, 1);
  EXPECT_EQ(d.MIC_MAX_VOLUME, 1);
  EXPECT_EQ(d.MUSIC_MIN_VOLUME, 100);
  EXPECT_EQ(d.MUSIC_MAX_VOLUME, 100);
  EXPECT_EQ(d.KTV_MIN_VOLUME, 0);
  EXPECT_EQ(f3().SpinButton5.value(), 0);
}

TEST_F(SettingsReports, EffectModesSelectTheDialogListsAndKeepTheIndex) {
  p->panel.Apply_Value(82, 5);
  p->panel.Apply_Value(83, 7);
  EXPECT_EQ(f3().Combo2.index(), 5);
  EXPECT_EQ(state().Device_Settings.MUSIC_MODE, 5);
  EXPECT_EQ(f3().Combo1.index(), 7);
  EXPECT_EQ(state().Device_Settings.MIC_MODE, 7);

  p->panel.Apply_Value(82, 8);
  EXPECT_EQ(messages(), std::vector<std::string>{errorText(82, 8)});
  EXPECT_EQ(f3().Combo2.index(), 5);
  EXPECT_EQ(state().Device_Settings.MUSIC_MODE, 5);
}

TEST_F(SettingsReports, UltraLowCodesMapToListEntries) {
  const std::array<std::pair<int, int>, 3> resetTimes = {{{1, 0}, {2, 1}, {4, 2}}};
  for (const auto& [code, index] : resetTimes) {
    p->panel.Apply_Value(84, static_cast<std::uint8_t>(code));
    EXPECT_EQ(f3().Combo4.index(), index) << "code " << code;
    EXPECT_EQ(state().Device_Settings.KTV_RESET_TIME, index) << "code " << code;
  }
  const std::array<std::pair<int, int>, 3> sensitivities = {{{8, 0}, {16, 1}, {32, 2}}};
  for (const auto& [code, index] : sensitivities) {
    p->panel.Apply_Value(86, static_cast<std::uint8_t>(code));
    EXPECT_EQ(f3().Combo3.index(), index) << "code " << code;
    EXPECT_EQ(state().Device_Settings.KTV_MIN_DU, index) << "code " << code;
  }
  EXPECT_TRUE(messages().empty());
}

TEST_F(SettingsReports, AnUnknownUltraLowCodeCopiesTheCurrentEntry) {
  p->panel.Apply_Value(84, 2);
  p->panel.Apply_Value(86, 32);
  state().Device_Settings.KTV_RESET_TIME = 0;
  state().Device_Settings.KTV_MIN_DU = 0;

  p->panel.Apply_Value(84, 3);
  p->panel.Apply_Value(86, 4);

  EXPECT_EQ(f3().Combo4.index(), 1);
  EXPECT_EQ(state().Device_Settings.KTV_RESET_TIME, 1);
  EXPECT_EQ(f3().Combo3.index(), 2);
  EXPECT_EQ(state().Device_Settings.KTV_MIN_DU, 2);
  EXPECT_TRUE(messages().empty());
}

TEST_F(SettingsReports, AnUnknownCodeWithNoEntrySelectedIsAnError) {
  // During a connection's dump the lists are disabled, so a dialog created
  // then shows no stored entry.
  p->panel.Is_unlink_Command();
  f3().unload();
  state().Device_Settings.KTV_RESET_TIME = 2;
  state().Device_Settings.KTV_MIN_DU = 1;

  p->panel.Apply_Value(84, 3);
  p->panel.Apply_Value(86, 0);

  EXPECT_EQ(messages(), (std::vector<std::string>{errorText(84, 3), errorText(86, 0)}));
  EXPECT_EQ(state().Device_Settings.KTV_RESET_TIME, 2);
  EXPECT_EQ(state().Device_Settings.KTV_MIN_DU, 1);
}

// ---------------------------------------------------------------------------

class ModeReports : public PanelTest {};

TEST_F(ModeReports, MicrophoneModeDuringADumpSelectsTheEntryAndUnlocksTheWindows) {
  p->presetSets.Is_connect_Value();
  state().Is_Busy = true;  // dump in progress

  p->panel.Apply_Value(17, 3);

  EXPECT_EQ(f4().Combo2.index(), 3);
  EXPECT_EQ(f4().Combo2.items()[3], "4.HALL");
  EXPECT_FALSE(f4().Combo2.enabled()) << "stays disabled until the dump ends";
  for (Window* w : windows()) EXPECT_TRUE(w->enabled());
  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_TRUE(state().Is_Busy);
}

TEST_F(ModeReports, MusicModeDuringADumpSelectsTheEntryAndUnlocksTheWindows) {
  p->presetSets.Is_connect_Value();
  state().Is_Busy = true;

  p->panel.Apply_Value(18, 7);

  EXPECT_EQ(f4().Combo1.index(), 7);
  EXPECT_FALSE(f4().Combo1.enabled());
  for (Window* w : windows()) EXPECT_TRUE(w->enabled());
  EXPECT_TRUE(rig.port.writes.empty());
}

TEST_F(ModeReports, AModeTheListDoesNotHoldIsAnErrorAndUnlocksNothing) {
  p->presetSets.Is_connect_Value();
  f4().Combo2.setIndex(1);
  p->connection.Lock_Forms();

  p->panel.Apply_Value(17, 8);

  EXPECT_EQ(messages(), std::vector<std::string>{errorText(17, 8)});
  EXPECT_EQ(f4().Combo2.index(), 1);
  for (Window* w : windows()) EXPECT_FALSE(w->enabled());
}

// ---------------------------------------------------------------------------

class StepReports : public PanelTest {};

TEST_F(StepReports, StepsOutsideOneToFifteenChangeNothing) {
  link();
  p->panel.Apply_Value(19, 3);
  rig.port.clearLog();
  const auto before = pictureOf(*p);

  p->panel.Apply_Value(19, 0);
  p->panel.Apply_Value(19, 16);
  p->panel.Apply_Value(19, 255);

  EXPECT_EQ(pictureOf(*p), before);
  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_TRUE(messages().empty());
}

TEST_F(StepReports, EightMarksTheCentreButton) {
  link();
  p->panel.Apply_Value(19, 8);
  EXPECT_EQ(f4().Command(76).backColor(), 65280u);
  EXPECT_EQ(f4().Command(76).picture(), rig.folder.file("2.JPG"));
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(87, 8)});
}

TEST_F(StepReports, AReportedStepIsMarkedButNotSentDuringADump) {
  state().Is_Busy = true;
  p->panel.Apply_Value(19, 4);
  EXPECT_EQ(f4().Command(72).backColor(), 255u);
  EXPECT_TRUE(rig.port.writes.empty());
}

// ---------------------------------------------------------------------------

class UnusedAddresses : public PanelTest {};

TEST_F(UnusedAddresses, ReportsToUnusedAddressesChangeNothing) {
  selectModesOffline(1, 1);
  link();
  rig.port.clearLog();
  const auto before = pictureOf(*p);
  for (int a : {0, 85, 94, 200, 255}) {
    p->panel.Apply_Value(static_cast<std::uint8_t>(a), 9);
    p->panel.Apply_Value(static_cast<std::uint8_t>(a), 0);
  }
  EXPECT_EQ(pictureOf(*p), before);
  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_TRUE(messages().empty());
}

}  // namespace
}  // namespace kp::test
