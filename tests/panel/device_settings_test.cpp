// The device settings dialog's logic on virtual time: what each control sends
// while linked, the rule that a maximum never stays below its initial volume,
// the short model's ultra-low controls, and a fresh dialog at every opening.
#include "panel/catalogue.h"
#include "tests/panel/panel_fixture.h"

namespace kp {
namespace {

class DeviceSettings : public test::PanelTest {
 protected:
  void open() {
    p->settings.open();
    rig.port.clearLog();
  }
};

TEST_F(DeviceSettings, AMaximumIsRaisedToItsInitialVolumeOnBothChannelsWhoeverSetsIt) {
  link();
  auto& ds = state().Device_Settings;
  ds.MIC_MAX_VOLUME = ds.MIC_MIN_VOLUME = 60;
  ds.MUSIC_MAX_VOLUME = ds.MUSIC_MIN_VOLUME = 70;
  open();
  f3().SpinButton1.operatorStep(-1);  // the microphone maximum's down arrow
  EXPECT_EQ(frames(), (std::vector<Bytes>{commandFrame(9, 59), commandFrame(9, 60)}));
  EXPECT_EQ(f3().Text1.text(), "60%");
  EXPECT_EQ(ds.MIC_MAX_VOLUME, 60);
  EXPECT_EQ(f4().cpvSlider(kMicMaster).upperLimit(), 60);

  rig.port.clearLog();
  f3().SpinButton4.operatorStep(+1);  // the music initial volume's up arrow
  EXPECT_EQ(frames(), (std::vector<Bytes>{commandFrame(8, 71), commandFrame(10, 71)}));
  EXPECT_EQ(ds.MUSIC_MAX_VOLUME, 71);
  EXPECT_EQ(ds.MUSIC_MIN_VOLUME, 71);
  EXPECT_EQ(f4().cpvSlider(kMusicMaster).upperLimit(), 71);

  // A report of the unit, not the operator, moves the music initial volume.
  rig.port.clearLog();
  p->panel.Apply_Value(8, 80);
  EXPECT_EQ(frames(), (std::vector<Bytes>{commandFrame(8, 80), commandFrame(10, 80)}));
  EXPECT_EQ(ds.MUSIC_MAX_VOLUME, 80);
}

TEST_F(DeviceSettings, TheUltraLowListsSendOneBitEachAndTheVolumeItsOwnValue) {
  link();
  open();
  f3().Combo4.operatorSelect(1);  // "5.0s"
  f3().Combo3.operatorSelect(1);  // "2.MID"
  f3().SpinButton5.setValue(25);
  EXPECT_EQ(frames(),
            (std::vector<Bytes>{commandFrame(95, 2), commandFrame(95, 16), commandFrame(94, 25)}));
  EXPECT_EQ(f3().Text5.text(), "50%");
  EXPECT_EQ(state().Device_Settings.KTV_RESET_TIME, 1);
  EXPECT_EQ(state().Device_Settings.KTV_MIN_DU, 1);
  EXPECT_EQ(state().Device_Settings.KTV_MIN_VOLUME, 25);
}

TEST_F(DeviceSettings, TheShortModelDisablesTheUltraLowControls) {
  link(/*fullModel=*/false);
  open();
  for (Control* c :
       std::initializer_list<Control*>{&f3().Frame3, &f3().SpinButton5, &f3().Combo3, &f3().Combo4,
                                       &f3().Label7, &f3().Label8, &f3().Label9, &f3().Text5})
    EXPECT_FALSE(c->enabled());
  EXPECT_TRUE(f3().SpinButton1.enabled());
}

TEST_F(DeviceSettings, AReopenedDialogShowsTheSettingsNotTheEditsOfACancelledOne) {
  link();
  state().Device_Settings.MIC_MAX_VOLUME = 50;
  open();
  f3().SpinButton1.operatorStep(+1);
  f3().Command2.click();  // cancel: what was sent stays sent and stored
  EXPECT_EQ(state().Device_Settings.MIC_MAX_VOLUME, 51);
  state().Device_Settings.MIC_MAX_VOLUME = 40;  // reported meanwhile
  open();
  EXPECT_EQ(f3().SpinButton1.value(), 40);
  EXPECT_EQ(f3().Text1.text(), "40%");
  f3().Command1.click();
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(0, 12)});
  EXPECT_FALSE(f3().loaded());
}

}  // namespace
}  // namespace kp
