// The operator's view of long work, on virtual time with the in-process
// unit: showing it changes no frame and no moment a frame goes out, each bar
// reaches its end exactly when its work ends, and the outcome says what
// happened.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/activity.h"
#include "tests/presets/preset_fixture.h"

namespace kp::test {
namespace {

// Work text N as "cN[%1|%2]" in Chinese, "eN[%1|%2]" in English.
std::string workConfig() {
  std::string s = "[config]\r\nCOM=1\r\n";
  for (int n = 1; n <= Activity::kTexts; ++n)
    for (const char* lang : {"c", "e"})
      s += std::string("Work_") + lang + "_" + std::to_string(n) + "=" + lang + std::to_string(n) +
           "[%1|%2]\r\n";
  return s;
}

std::string text(int n, const std::string& a = {}, const std::string& b = {}) {
  return "c" + std::to_string(n) + "[" + a + "|" + b + "]";
}

// One program and unit; every change of the two bars is recorded as a view
// would see it, with the link state and the writes made so far.
struct Session {
  struct Seen {
    bool connectDialog;
    int value, maximum;
    bool visible, linked;
    std::size_t writes;
  };

  explicit Session(sim::UnitOptions options = {}, bool shown = true) : unit(rig.loop, rig.port, options) {
    rig.config(workConfig());
    rig.folder.write("Show.dat", PresetData::sample().text());
    p = &rig.make();
    p->activity.setShown(shown);
    for (ProgressBar* bar : {&p->form1.workBar, &p->form4.workBar})
      bar->onViewChanged = [this, bar] {
        const Seen s{bar == &p->form1.workBar, bar->value(), bar->maximum(), bar->visible(),
                     p->state.Is_Linked, rig.port.writes.size()};
        for (auto it = seen.rbegin(); it != seen.rend(); ++it)
          if (it->connectDialog == s.connectDialog) {
            if (it->value == s.value && it->maximum == s.maximum && it->visible == s.visible) return;
            break;
          }
        seen.push_back(s);
      };
    auto step = p->link.onBatchStep;
    p->link.onBatchStep = [this, step] {
      ++steps;
      step();
    };
    p->startUp();
  }
  bool connect(int model, std::int64_t limitMs = 60000) {
    p->form4.link1.click();
    p->form1.Combo1.setIndex(model);
    p->form1.Command1.click();
    return rig.loop.runUntil([&] { return p->state.Is_Linked; }, limitMs);
  }
  void open(const std::string& name) {
    seen.clear();
    steps = 0;
    rig.dialogs.fileAnswers.push_back(rig.folder.file(name));
    p->form4.open1.click();
  }
  std::vector<Seen> of(bool connectDialog) const {
    std::vector<Seen> out;
    for (const auto& s : seen)
      if (s.connectDialog == connectDialog && s.visible) out.push_back(s);
    return out;
  }
  const std::string& mainText() const { return p->form4.workText.caption(); }

  Rig rig;
  sim::InProcessUnit unit;
  Program* p = nullptr;
  std::vector<Seen> seen;
  int steps = 0;
};

// The bar never shows its end while the work runs, and shows it at the last.
void expectEndsExactlyAtTheEnd(const std::vector<Session::Seen>& bar, std::size_t lastWrite) {
  ASSERT_FALSE(bar.empty());
  for (std::size_t i = 0; i + 1 < bar.size(); ++i)
    EXPECT_LT(bar[i].value, bar[i].maximum) << "record " << i;
  EXPECT_EQ(bar.back().value, bar.back().maximum);
  EXPECT_EQ(bar.back().writes, lastWrite) << "nothing is sent after the bar is full";
}

TEST(ActivityFrames, ALinkALoadAndAResetSendTheSameFramesAtTheSameTimesWithTheProgressShown) {
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    sim::UnitOptions o;
    o.resendProbability = 0.2;
    o.dropProbability = 0.05;
    o.seed = seed;
    std::vector<Bytes> writes[2];
    std::vector<std::int64_t> times[2];
    for (bool shown : {false, true}) {
      Session r(o, shown);
      r.connect(Form1::kFirstFullModel);
      r.open("Show.dat");
      r.p->form4.All_Reset1.click();
      r.rig.loop.runUntil([&] { return r.p->state.Is_Linked; }, 60000);
      writes[shown] = r.rig.port.writes;
      times[shown] = r.rig.port.writeTimes;
      EXPECT_EQ(r.seen.empty(), !shown);
    }
    EXPECT_GT(writes[0].size(), 500u);
    EXPECT_TRUE(writes[0] == writes[1]) << "the frames differ";
    EXPECT_TRUE(times[0] == times[1]) << "a frame went out at another moment";
  }
}

TEST(ActivityConnect, TheDialogCountsTheSecondsThenTheDumpAndIsFullExactlyAtTheLink) {
  for (int model : {0, Form1::kFirstFullModel}) {
    SCOPED_TRACE("model " + std::to_string(model));
    Session r;
    ASSERT_TRUE(r.connect(model));
    const auto dump = r.unit->dumpMessages().size();
    EXPECT_EQ(static_cast<std::size_t>(dumpMessageCount(model ? 2 : 1)), dump);
    auto dialog = r.of(true);
    ASSERT_FALSE(dialog.empty());
    EXPECT_EQ(dialog.front().value, 0);
    EXPECT_EQ(dialog.front().maximum, Connection::kGiveUpTicks - 1);
    std::erase_if(dialog, [&](const Session::Seen& s) { return s.maximum != static_cast<int>(dump); });
    expectEndsExactlyAtTheEnd(dialog, dialog.back().writes);
    EXPECT_TRUE(dialog.back().linked);
    EXPECT_FALSE(dialog[dialog.size() - 2].linked);
    const auto main = r.of(false);
    expectEndsExactlyAtTheEnd(main, main.back().writes);
    EXPECT_TRUE(main.back().linked);
    EXPECT_EQ(main.back().maximum, static_cast<int>(dump));
    EXPECT_EQ(r.mainText(), text(9));
    EXPECT_FALSE(r.p->form4.workBar.visible());
  }
}

TEST(ActivityConnect, ASilentUnitFillsTheSecondsBarAsTheTimeOutIsDeclared) {
  sim::UnitOptions o;
  o.silent = true;
  Session r(o);
  std::vector<int> atMessage;
  r.rig.dialogs.onMessage = [&](const std::string&) {
    atMessage.push_back(r.p->form1.workBar.value());
    EXPECT_EQ(r.p->form1.workText.caption(), text(11, "19", "19"));
  };
  EXPECT_FALSE(r.connect(0, 25000));
  EXPECT_EQ(atMessage, std::vector<int>{19});
  std::vector<int> values;
  for (const auto& s : r.of(true)) values.push_back(s.value);
  ASSERT_EQ(values.size(), 20u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(values[static_cast<std::size_t>(i)], i);
  EXPECT_FALSE(r.p->form1.loaded());
}

TEST(ActivityLoad, ANoisyLoadCountsEveryStepAndResendAndIsFullWithItsLastStep) {
  sim::UnitOptions o;
  o.resendProbability = 0.2;
  o.dropProbability = 0.05;
  o.seed = 5;
  Session r(o);
  ASSERT_TRUE(r.connect(Form1::kFirstFullModel));
  const std::size_t before = r.rig.port.writes.size();
  r.open("Show.dat");
  const auto bar = r.of(false);
  expectEndsExactlyAtTheEnd(bar, r.rig.port.writes.size());
  EXPECT_EQ(r.steps, 231) << "start, settings, masters, ultra-low, end, outputs, slots, modes";
  for (const auto& s : bar) EXPECT_EQ(s.maximum, r.steps);
  // A six-byte frame written twice in a row went out again.
  int resent = 0;
  const Bytes* last = nullptr;
  for (std::size_t i = before; i < r.rig.port.writes.size(); ++i) {
    const Bytes& w = r.rig.port.writes[i];
    if (w.size() != kFrameSize) continue;
    resent += last && *last == w;
    last = &w;
  }
  ASSERT_GT(resent, 0);
  EXPECT_EQ(r.mainText(), text(3, "Show.dat") + "\n" + text(2, std::to_string(resent)));
  EXPECT_EQ(r.p->form4.fileName.caption(), text(7, "Show.dat"));
  r.p->language.toggle();
  EXPECT_EQ(r.mainText().substr(0, 2), "e3") << "the outcome follows the language";
}

// A master above its maximum costs a wait at the end, and a slot the file
// lacks ends its set early: the total counts both, the bar still ends with
// the last step.
TEST(ActivityLoad, TheTotalFollowsWhatTheFileHoldsAndTheLinkModel) {
  for (int model : {0, Form1::kFirstFullModel}) {
    SCOPED_TRACE("model " + std::to_string(model));
    Session r;
    ASSERT_TRUE(r.connect(model));
    r.rig.folder.write("Odd.dat", PresetData::sample().set("Mic_Master", 95).text("\r\n", "Music_1/5"));
    r.open("Odd.dat");
    const auto bar = r.of(false);
    expectEndsExactlyAtTheEnd(bar, r.rig.port.writes.size());
    EXPECT_EQ(bar.back().maximum, r.steps);
    EXPECT_EQ(r.steps, (model ? 19 : 10) + 32 + 4 + 114 + 2 + 1);
    EXPECT_EQ(r.mainText(), text(3, "Odd.dat"));
  }
}

TEST(ActivityLoad, AUnitThatFallsSilentLeavesTheCountNotConfirmed) {
  Session r;
  ASSERT_TRUE(r.connect(Form1::kFirstFullModel));
  r.rig.port.onTransmit = [&, toUnit = r.rig.port.onTransmit](const Bytes& b) {
    if (b == commandFrame(addr::StoreMusic, 1)) r.unit->options().silent = true;
    toUnit(b);
  };
  r.open("Show.dat");
  const auto bar = r.of(false);
  EXPECT_EQ(bar.back().value, bar.back().maximum);
  const int lost = r.p->link.unconfirmed();
  ASSERT_GT(lost, 0);
  EXPECT_EQ(r.mainText().substr(0, r.mainText().find('\n')),
            text(4, "Show.dat", std::to_string(lost)));
  EXPECT_EQ(r.rig.dialogs.messages.front(), kLinkTimeoutMessage);
  EXPECT_EQ(r.p->form4.fileName.caption(), text(7, "Pro.dat")) << "the fall-back reloads it";
}

TEST(ActivityReset, TheFactoryDumpIsFullAtTheLinkAndASilentUnitEndsItAtTheWatchdog) {
  Session r;
  ASSERT_TRUE(r.connect(Form1::kFirstFullModel));
  r.seen.clear();
  r.p->form4.All_Reset1.click();
  EXPECT_EQ(r.mainText(), text(13));
  ASSERT_TRUE(r.rig.loop.runUntil([&] { return r.p->state.Is_Linked; }, 30000));
  const auto bar = r.of(false);
  expectEndsExactlyAtTheEnd(bar, bar.back().writes);
  EXPECT_TRUE(bar.back().linked);
  EXPECT_EQ(r.mainText(), text(9));

  r.unit->options().silent = true;
  r.p->form4.All_Reset1.click();
  r.rig.loop.advance(Transmitter::kWatchdogMs + 1);
  EXPECT_EQ(r.mainText(), text(10, "0", std::to_string(dumpMessageCount(2))));
  EXPECT_FALSE(r.p->form4.workBar.visible());
}

TEST(ActivitySave, TheOutcomeAndTheCurrentFileName) {
  Session r;
  EXPECT_EQ(r.p->form4.fileName.caption(), text(7, "Pro.dat"));
  r.rig.dialogs.fileAnswers.push_back(r.rig.folder.file("Mine.dat"));
  r.p->form4.save1.click();
  EXPECT_EQ(r.mainText(), text(5, "Mine.dat"));
  EXPECT_EQ(r.p->form4.fileName.caption(), text(7, "Mine.dat"));
  std::filesystem::create_directory(r.rig.folder.path() / "Folder.dat");
  r.rig.dialogs.fileAnswers.push_back(r.rig.folder.file("Folder.dat"));
  r.p->form4.save1.click();
  EXPECT_EQ(r.mainText(), text(6, "Folder.dat"));
  EXPECT_EQ(r.rig.dialogs.messages.size(), 1u) << "the error's own message box stays";
}

}  // namespace
}  // namespace kp::test
