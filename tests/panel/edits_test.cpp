// The operator's undo history and equaliser compare on virtual time, with the
// in-process unit behind the port: what they send, what the unit ends up
// holding, and the outside events that start them anew.
#include "tests/presets/preset_fixture.h"

namespace kp::test {
namespace {

class EditsTest : public PresetTest {
 protected:
  EditsTest() {
    rig.config("[config]\r\nCOM=1\r\nEdit_c_8=%1 changed\r\n");
    p().language.Set_Extra_Language();
  }
  // One gesture (a drag, a held key) over the values.
  void drag(int n, std::initializer_list<int> values) {
    Slider& s = f4().cpvSlider(n);
    s.operatorPress();
    for (int v : values) s.operatorSet(v);
    s.operatorRelease();
  }
  UndoHistory& history() { return p().edits.history; }
  const sim::UnitState& unitHas() { return unit->state(); }
  void settle() {
    rig.loop.runUntil([&] { return !state().Awaiting_Reply && !state().Is_Busy; }, 20000);
  }
};

TEST_F(EditsTest, ADragIsOneStepUndoneAndRedoneOnTheUnit) {
  link(Form1::kFirstFullModel);
  drag(5, {1, 2, 3, 4});
  ASSERT_EQ(frames().size(), 4u);
  rig.port.clearLog();

  EXPECT_TRUE(history().undo());
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(49, 15)}) << describe(frames());
  EXPECT_EQ(unitHas().music.bands[4], 15);
  EXPECT_FALSE(history().undo()) << "the drag was one step";
  EXPECT_TRUE(history().redo());
  EXPECT_EQ(slider(5), 4);
  EXPECT_EQ(unitHas().music.bands[4], 19);
}

TEST_F(EditsTest, AnInitialVolumeThatRaisedItsMaximumGoesBackFirstThenTheMaximum) {
  link(Form1::kFirstFullModel);
  p().settings.open();
  SpinButton& initial = p().form3.SpinButton2;
  initial.operatorPress();
  while (initial.value() < 95) initial.operatorStep(+1);
  initial.operatorRelease();
  p().form3.Command1.click();
  ASSERT_EQ(unitHas().setup.micMaxVolume, 95);
  f4().Command(69).click();  // b7
  rig.port.clearLog();

  EXPECT_TRUE(history().undo());
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(87, 8)});
  EXPECT_TRUE(history().undo());
  // The closed dialog comes back hidden without sending what it shows.
  EXPECT_EQ(frames(),
            (std::vector<Bytes>{commandFrame(87, 8), commandFrame(7, 30), commandFrame(9, 90)}))
      << describe(frames());
  EXPECT_EQ(unitHas().setup.micMinVolume, 30);
  EXPECT_EQ(unitHas().setup.micMaxVolume, 90);
  EXPECT_EQ(state().Device_Settings.MIC_MAX_VOLUME, 90);
}

TEST_F(EditsTest, UnlinkedAnUndoChangesOnlyThePanelAndTheImage) {
  writePreset("Pro.dat", PresetData::sample());
  p().Open_Pro_Ini(file("Pro.dat"));
  const int was = slider(5);
  drag(5, {was + 1, was + 2});
  ASSERT_TRUE(history().undo());
  EXPECT_EQ(slider(5), was);
  EXPECT_EQ(f4().Label(sliderParam(5)->label).caption(), std::to_string(was));
  EXPECT_EQ(state().image.music(0, 5), was + 15);
  EXPECT_TRUE(frames().empty());
}

TEST_F(EditsTest, AModeChangeADumpAndALinkedLoadStartTheHistoryAnew) {
  writePreset("Show.dat", PresetData::sample());
  link(Form1::kFirstFullModel);
  drag(kMusicMaster, {40});
  drag(5, {3});
  f4().Combo1.operatorSelect(4);  // the unit answers with ROCK's bands
  settle();
  rig.port.clearLog();
  EXPECT_TRUE(history().undo());
  EXPECT_EQ(frames(), std::vector<Bytes>{commandFrame(6, 60)}) << "the master alone";

  drag(5, {2});
  openCommand(file("Show.dat"));
  EXPECT_FALSE(history().canUndo());
  drag(5, {1});
  f4().All_Reset1.click();
  ASSERT_TRUE(rig.loop.runUntil([&] { return state().Is_Linked; }, 30000));
  EXPECT_FALSE(history().canUndo());
}

TEST_F(EditsTest, ACompareSendsOnlyTheDifferingBandsBothWaysAndEndsCleanlyOnAModeChange) {
  link(Form1::kFirstFullModel);  // the unit in FLAT, slot 3
  drag(3, {2});
  drag(7, {-4});
  EXPECT_EQ(f4().musicChanges.caption(), "2 changed");
  EXPECT_EQ(f4().cpvSlider(3).mark(), 0);
  rig.port.clearLog();

  f4().musicCompare.click();
  EXPECT_EQ(frames(), (std::vector<Bytes>{commandFrame(47, 15), commandFrame(51, 15)}));
  EXPECT_EQ(unitHas().music.bands[6], 15);
  EXPECT_TRUE(f4().musicCompare.checked());
  f4().cpvSlider(3).operatorSet(9);
  EXPECT_EQ(slider(3), 0) << "no edits while comparing";
  EXPECT_EQ(f4().cpvSlider(7).mark(), -4) << "the edit is marked";
  rig.port.clearLog();
  f4().musicCompare.click();
  EXPECT_EQ(frames(), (std::vector<Bytes>{commandFrame(47, 17), commandFrame(51, 11)}));
  EXPECT_EQ(unitHas().music.bands[6], 11);

  f4().musicCompare.click();
  rig.port.clearLog();
  f4().Combo1.operatorSelect(0);
  settle();
  ASSERT_FALSE(frames().empty());
  EXPECT_EQ(frames().front(), commandFrame(84, 0));
  for (const Bytes& f : frames()) EXPECT_FALSE(f[1] >= 45 && f[1] <= 75) << "no band is sent";
  EXPECT_FALSE(f4().musicCompare.checked());
  EXPECT_TRUE(f4().cpvSlider(3).enabled());
  EXPECT_EQ(state().image.music(3, 7), 11) << "the edits stay in their slot";
  EXPECT_EQ(f4().cpvSlider(7).mark(), std::nullopt);
  EXPECT_TRUE(f4().musicChanges.caption().empty());
}

// With the tools there but none of them used, a whole session sends the same
// frames at the same moments, waits the same turns and leaves the same
// timers as a program built without them.
TEST(EditsFrames, UnusedTheyChangeNoFrameNoMomentNoWait) {
  struct Run {
    std::vector<Bytes> writes;
    std::vector<std::int64_t> times;
    std::uint64_t pumps;
    std::size_t pending;
    sim::UnitState unit;
  } runs[2];
  for (bool tools : {false, true}) {
    Rig rig;
    sim::InProcessUnit unit(rig.loop, rig.port);
    rig.folder.write("Show.dat", PresetData::sample().text());
    rig.program = std::make_unique<Program>(rig.platform, rig.folder.str(), tools);
    Program& p = *rig.program;
    Form4& f = p.form4;
    auto wait = [&](const std::function<bool()>& done) { rig.loop.runUntil(done, 30000); };
    p.startUp();
    f.cpvSlider(5).operatorSet(4);
    f.Combo1.operatorSelect(1);
    f.Command(68).click();
    f.link1.click();
    p.form1.Combo1.setIndex(Form1::kFirstFullModel);
    p.form1.Command1.click();
    wait([&] { return p.state.Is_Linked; });
    Slider& master = f.cpvSlider(kMicMaster);
    master.operatorPress();
    for (int v = 50; v < 60; ++v) master.operatorSet(v);
    master.operatorRelease();
    f.Command(75).click();
    p.settings.open();
    p.form3.SpinButton4.operatorStep(+1);
    p.form3.Command1.click();
    f.Combo2.operatorSelect(5);
    wait([&] { return !p.state.Is_Busy; });
    f.Command(67).click();
    p.form6.Combo1.operatorSelect(1);
    p.form6.Command1.click();
    rig.dialogs.fileAnswers.push_back(rig.folder.file("Show.dat"));
    f.open1.click();
    f.All_Reset1.click();
    wait([&] { return p.state.Is_Linked; });
    rig.dialogs.fileAnswers.push_back(rig.folder.file("Saved.dat"));
    f.save1.click();
    f.unlink.click();
    rig.loop.advance(20000);
    runs[tools] = {rig.port.writes, rig.port.writeTimes, rig.loop.pumps(), rig.loop.pending(),
                   unit->state()};
  }
  EXPECT_GT(runs[0].writes.size(), 300u);
  EXPECT_TRUE(runs[0].writes == runs[1].writes) << "the frames differ";
  EXPECT_TRUE(runs[0].times == runs[1].times) << "a frame went out at another moment";
  EXPECT_EQ(runs[0].pumps, runs[1].pumps);
  EXPECT_EQ(runs[0].pending, runs[1].pending);
  EXPECT_TRUE(runs[0].unit == runs[1].unit);
}

}  // namespace
}  // namespace kp::test
