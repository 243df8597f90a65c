// The linked and unlinked states of the main window, the status label and
// the factory reset.
#include "tests/panel/panel_fixture.h"

namespace kp::test {
namespace {

class LinkState : public PanelTest {
 protected:
  // The controls that only make sense with a unit.
  std::vector<Control*> unitOnlyControls() {
    std::vector<Control*> out = {&f4().Combo1, &f4().Combo2, &f4().Command(67), &f4().Command(143),
                                 &f4().Label(4)};
    for (int n = 69; n <= 83; ++n) out.push_back(&f4().Command(n));
    return out;
  }
  std::vector<Control*> surroundControls() {
    std::vector<Control*> out = {&f4().Label(6)};
    for (int n = 67; n <= 72; ++n) out.push_back(&f4().cpvSlider(n));
    return out;
  }
  void expectEnabled(const std::vector<Control*>& controls, bool on) {
    for (std::size_t i = 0; i < controls.size(); ++i)
      EXPECT_EQ(controls[i]->enabled(), on) << "control #" << i;
  }
};

TEST_F(LinkState, UnlinkedTheUnitControlsAreDisabledAndTheRestEnabled) {
  link(false);
  p->panel.Is_unlink_Command();
  expectEnabled(unitOnlyControls(), false);
  expectEnabled(surroundControls(), true);
  EXPECT_TRUE(f4().Command(68).enabled());
  EXPECT_TRUE(f4().Command(144).enabled());
  for (int n = 1; n <= 78; ++n)
    if (f4().hasSlider(n)) {
      EXPECT_TRUE(f4().cpvSlider(n).enabled()) << n;
    }
  EXPECT_EQ(f4().Label(3).caption(), "\nA\n\nC");
}

TEST_F(LinkState, LinkingAFullModelEnablesEverythingIncludingSurround) {
  link(true);
  EXPECT_TRUE(state().Is_Linked);
  expectEnabled(unitOnlyControls(), true);
  expectEnabled(surroundControls(), true);
  EXPECT_EQ(f4().Label(3).caption(), "\nA\n\nB");
  EXPECT_EQ(state().Ini_Path, rig.folder.file("config.ini"));
  EXPECT_TRUE(rig.port.writes.empty());
}

TEST_F(LinkState, AUnitWithoutSurroundDisablesItsSlidersUntilUnlinked) {
  link(false);
  expectEnabled(unitOnlyControls(), true);
  expectEnabled(surroundControls(), false);
  for (int n = 1; n <= 65; ++n)
    if (f4().hasSlider(n)) {
      EXPECT_TRUE(f4().cpvSlider(n).enabled()) << n;
    }

  p->panel.Is_unlink_Command();
  expectEnabled(surroundControls(), true);
  expectEnabled(unitOnlyControls(), false);
}

TEST_F(LinkState, UnlinkingClearsTheFlagsReenablesTheUltraLowSettingsAndClosesTheConnectDialog) {
  link(true);
  f3().SpinButton5.setEnabled(false);
  f3().Combo3.setEnabled(false);
  f3().Combo4.setEnabled(false);
  p->form1.load();
  state().Is_Busy = true;

  p->panel.Is_unlink_Command();

  EXPECT_FALSE(state().Is_Linked);
  EXPECT_FALSE(state().Is_Busy);
  EXPECT_TRUE(f3().SpinButton5.enabled());
  EXPECT_TRUE(f3().Combo3.enabled());
  EXPECT_TRUE(f3().Combo4.enabled());
  EXPECT_FALSE(p->form1.loaded());
  EXPECT_EQ(f4().Label(3).caption(), "\nA\n\nC");
  EXPECT_TRUE(rig.port.writes.empty());
}

TEST_F(LinkState, UnlinkingCreatesTheSettingsDialogHidden) {
  f3().unload();
  p->panel.Is_unlink_Command();
  EXPECT_TRUE(f3().loaded());
  EXPECT_FALSE(f3().visible());
}

TEST_F(LinkState, NeitherStateChangeTouchesValuesListsOrImage) {
  selectModesOffline(2, 1);
  f4().cpvSlider(1).setValue(9);
  f4().cpvSlider(70).setValue(33);
  link(false);
  p->panel.Is_unlink_Command();
  EXPECT_EQ(f4().cpvSlider(1).value(), 9);
  EXPECT_EQ(f4().cpvSlider(70).value(), 33);
  EXPECT_EQ(f4().Combo1.index(), 2);
  EXPECT_EQ(f4().Combo2.index(), 1);
  EXPECT_EQ(f4().Combo1.items().size(), 8u);
  EXPECT_EQ(state().image.music(2, 1), 24);
}

// ---------------------------------------------------------------------------

class StatusLabel : public PanelTest {};

TEST_F(StatusLabel, EnglishUsesTheEnglishPieces) {
  state().Is_English = -1;
  link();
  EXPECT_EQ(f4().Label(3).caption(), "\nStatus\n\nLinked");
  p->panel.Is_unlink_Command();
  EXPECT_EQ(f4().Label(3).caption(), "\nStatus\n\nOffline");
}

TEST_F(StatusLabel, AnyNonZeroLanguageFlagMeansEnglish) {
  state().Is_English = 1;
  link();
  EXPECT_EQ(f4().Label(3).caption(), "\nStatus\n\nLinked");
}

TEST_F(StatusLabel, TheTextsAreReadAgainAtEveryChange) {
  link();
  rig.config("[config]\r\nCOM=1\r\nConnect_c_1=X\r\nConnect_c_2=Y\r\nConnect_c_3=Z\r\n");
  p->panel.Is_unlink_Command();
  EXPECT_EQ(f4().Label(3).caption(), "\nX\n\nZ");
  link();
  EXPECT_EQ(f4().Label(3).caption(), "\nX\n\nY");
}

TEST_F(StatusLabel, MissingKeysLeaveOnlyTheLineBreaks) {
  rig.config("[config]\r\nCOM=1\r\nConnect_c_2=Up\r\n");
  link();
  EXPECT_EQ(f4().Label(3).caption(), "\n\n\nUp");
  p->panel.Is_unlink_Command();
  EXPECT_EQ(f4().Label(3).caption(), "\n\n\n");
}

TEST_F(StatusLabel, TheLabelReadsTheConfigFileEvenWhenAPresetFileIsCurrent) {
  rig.folder.write("Pro.dat", "[config]\r\nConnect_c_1=wrong\r\nConnect_c_2=wrong\r\n");
  state().Ini_Path = rig.folder.file("Pro.dat");
  link();
  EXPECT_EQ(f4().Label(3).caption(), "\nA\n\nB");
}

// ---------------------------------------------------------------------------

class FactoryReset : public PanelTest {};

TEST_F(FactoryReset, UnlinkedItDoesNothing) {
  const auto label = f4().Label(3).caption();
  f4().All_Reset1.click();
  f4().Toolbar1(8).click();
  EXPECT_TRUE(rig.port.writes.empty());
  EXPECT_EQ(state().Dump_Mode, 0);
  EXPECT_FALSE(state().Awaiting_Reply);
  EXPECT_EQ(f4().Label(3).caption(), label);
}

TEST_F(FactoryReset, LinkedFullModelTurnsUnlinkedAndSendsElevenOnce) {
  link(true);
  f4().All_Reset1.click();
  EXPECT_EQ(rig.port.writes, std::vector<Bytes>{commandFrame(0, 11)});
  EXPECT_FALSE(state().Is_Linked);
  EXPECT_EQ(state().Dump_Mode, 2);
  EXPECT_TRUE(state().Awaiting_Reply);
  EXPECT_FALSE(f4().Combo1.enabled());
  EXPECT_FALSE(f4().Command(69).enabled());
  EXPECT_EQ(f4().Label(3).caption(), "\nA\n\nC");
}

TEST_F(FactoryReset, AShortModelExpectsTheShortDump) {
  link(false);
  f4().All_Reset1.click();
  EXPECT_EQ(rig.port.writes, std::vector<Bytes>{commandFrame(0, 11)});
  EXPECT_EQ(state().Dump_Mode, 1);
  for (int n = 67; n <= 72; ++n) EXPECT_TRUE(f4().cpvSlider(n).enabled()) << n;
}

TEST_F(FactoryReset, TheToolbarButtonDoesTheSame) {
  link(true);
  f4().Toolbar1(8).click();
  EXPECT_EQ(rig.port.writes, std::vector<Bytes>{commandFrame(0, 11)});
  EXPECT_EQ(state().Dump_Mode, 2);
  EXPECT_FALSE(state().Is_Linked);
}

// Each toolbar button is the menu item it stands for, whatever that item
// does when clicked.
TEST_F(LinkState, EveryToolbarButtonRunsItsMenuItem) {
  std::vector<std::string> ran;
  const std::pair<Button*, const char*> items[] = {
      {&f4().open1, "open"},        {&f4().save1, "save"},       {&f4().link1, "link"},
      {&f4().unlink, "unlink"},     {&f4().com_set1, "port"},    {&f4().Pass_set1, "password"},
      {&f4().Pro_set1, "settings"}, {&f4().All_Reset1, "reset"}, {&f4().China_E1, "language"},
      {&f4().exit1, "exit"}};
  for (const auto& [item, name] : items)
    item->onClick = [&ran, name = name] { ran.push_back(name); };
  for (int i = 1; i <= Form4::kToolbarButtons; ++i) f4().Toolbar1(i).click();
  EXPECT_EQ(ran, (std::vector<std::string>{"open", "save", "link", "unlink", "port", "password",
                                           "settings", "reset", "language", "exit"}));
}

TEST_F(FactoryReset, ASecondClickWhileTheUnitResetsSendsNothingMore) {
  link(true);
  f4().All_Reset1.click();
  f4().All_Reset1.click();
  EXPECT_EQ(rig.port.writes.size(), 1u);
}

TEST_F(FactoryReset, TheUnitsDumpBringsThePanelBackToLinked) {
  link(false);
  f4().All_Reset1.click();
  rig.port.clearLog();
  // The unit answers with its preset sections and then the short dump.
  for (std::uint8_t marker = 13; marker <= 18; ++marker) unitReports(0, marker);
  unitReports(16, 0);  // ends the last microphone section
  unitReports(51, 20);
  EXPECT_FALSE(state().Is_Linked);
  EXPECT_EQ(f4().cpvSlider(1).value(), 5);
  unitReports(83, 2);
  EXPECT_TRUE(state().Is_Linked);
  EXPECT_TRUE(f4().Combo1.enabled());
  EXPECT_EQ(f4().Label(3).caption(), "\nA\n\nB");
  EXPECT_TRUE(frames().empty()) << "nothing of the dump is sent back";
}

}  // namespace
}  // namespace kp::test
