// The operator's view of long work, on virtual time with the in-process
// unit: showing it changes no frame and no moment one goes out, each bar is
// full exactly when its work ends, and the outcome says what happened.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "shell/progress_display.h"
#include "tests/presets/preset_fixture.h"

namespace kp::test {
namespace {

// Work text N reads "cN[%1|%2]" in Chinese and "eN[%1|%2]" in English.
std::string text(int n, const std::string& a = {}, const std::string& b = {}, char lang = 'c') {
  return lang + std::to_string(n) + "[" + a + "|" + b + "]";
}

// A program and its unit; each change of a shown bar is recorded as a view
// sees it, with the link state and the writes made so far.
struct Session {
  struct Seen {
    int value, maximum;
    bool linked;
    std::size_t writes;
  };
  explicit Session(sim::UnitOptions options = {}, bool shown = true)
      : unit(rig.loop, rig.port, options) {
    std::string config = "[config]\r\nCOM=1\r\n";
    for (int n = 1; n <= ProgressDisplay::kTexts; ++n)
      for (char lang : {'c', 'e'})
        config += std::string("Work_") + lang + "_" + std::to_string(n) + "=" +
                  text(n, "%1", "%2", lang) + "\r\n";
    rig.config(config);
    rig.folder.write("Show.dat", PresetData::sample().text());
    p = &rig.make();
    if (!shown) {  // nothing of the progress: no drawing, no counting, no plan
      p->progress.setShown(false);
      p->presetFile.events = {};
      p->link.onResent = p->link.onBatchStep = nullptr;
    }
    for (ProgressBar* bar : {&p->form1.workBar, &p->form4.workBar})
      bar->onViewChanged = [this, bar] {
        auto& list = bar == &p->form1.workBar ? dialog : main;
        if (!bar->visible() || (!list.empty() && list.back().value == bar->value() &&
                                list.back().maximum == bar->maximum()))
          return;
        list.push_back({bar->value(), bar->maximum(), p->state.Is_Linked, rig.port.writes.size()});
      };
    p->link.onBatchStep = [this, step = p->link.onBatchStep] {
      ++steps;
      if (step) step();
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
    main.clear();
    steps = 0;
    rig.dialogs.fileAnswers.push_back(rig.folder.file(name));
    p->form4.open1.click();
  }
  const std::string& outcome() const { return p->form4.workText.caption(); }

  Rig rig;
  sim::InProcessUnit unit;
  Program* p = nullptr;
  std::vector<Seen> dialog, main;
  int steps = 0;
};

sim::UnitOptions noisy(std::uint64_t seed) {
  sim::UnitOptions o;
  o.resendProbability = 0.2;
  o.dropProbability = 0.05;
  o.seed = seed;
  return o;
}

// Short of its end while the work runs, at its end with the last record.
void expectFullOnlyAtTheEnd(const std::vector<Session::Seen>& bar) {
  ASSERT_FALSE(bar.empty());
  for (std::size_t i = 0; i + 1 < bar.size(); ++i) EXPECT_LT(bar[i].value, bar[i].maximum) << i;
  EXPECT_EQ(bar.back().value, bar.back().maximum);
}

TEST(ActivityFrames, ALinkALoadAndAResetSendTheSameFramesAtTheSameTimesWithTheProgressShown) {
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::vector<Bytes> writes[2];
    std::vector<std::int64_t> times[2];
    for (bool shown : {false, true}) {
      Session s(noisy(seed), shown);
      s.connect(Form1::kFirstFullModel);
      s.open("Show.dat");
      s.p->form4.All_Reset1.click();
      s.rig.loop.runUntil([&] { return s.p->state.Is_Linked; }, 60000);
      writes[shown] = s.rig.port.writes;
      times[shown] = s.rig.port.writeTimes;
      EXPECT_EQ(s.main.empty(), !shown);
    }
    EXPECT_TRUE(writes[0] == writes[1]) << "the frames differ";
    EXPECT_TRUE(times[0] == times[1]) << "a frame went out at another moment";
  }
}

TEST(ActivityConnect, TheSecondsThenTheDumpAsTheCatalogueCountsItFullExactlyAtTheLink) {
  for (int model : {0, Form1::kFirstFullModel}) {
    SCOPED_TRACE("model " + std::to_string(model));
    Session s;
    ASSERT_TRUE(s.connect(model));
    const int dump = static_cast<int>(s.unit->dumpMessages().size());
    EXPECT_EQ(dumpMessageCount(model ? 2 : 1), dump);
    ASSERT_FALSE(s.dialog.empty());
    EXPECT_EQ(s.dialog.front().maximum, Connection::kGiveUpTicks - 1) << "seconds first";
    std::erase_if(s.dialog, [&](const Session::Seen& r) { return r.maximum != dump; });
    for (auto* bar : {&s.dialog, &s.main}) {
      expectFullOnlyAtTheEnd(*bar);
      EXPECT_EQ(bar->back().maximum, dump);
      EXPECT_TRUE(bar->back().linked);
      EXPECT_FALSE((*bar)[bar->size() - 2].linked);
    }
    EXPECT_EQ(s.outcome(), text(9));
  }
}

TEST(ActivityConnect, ASilentUnitFillsTheSecondsBarAsTheTimeOutIsDeclared) {
  sim::UnitOptions o;
  o.silent = true;
  Session s(o);
  std::string atMessage;
  s.rig.dialogs.onMessage = [&](const std::string&) {
    atMessage = s.p->form1.workText.caption() + " " + s.p->form1.workBar.caption();
  };
  EXPECT_FALSE(s.connect(0, 25000));
  EXPECT_EQ(atMessage, text(11, "19", "19") + " 19 / 19");
  ASSERT_EQ(s.dialog.size(), 20u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(s.dialog[static_cast<std::size_t>(i)].value, i);
}

TEST(ActivityLoad, ANoisyLoadCountsEveryStepAndResendAndIsFullWithItsLastStep) {
  Session s(noisy(5));
  ASSERT_TRUE(s.connect(Form1::kFirstFullModel));
  const std::size_t before = s.rig.port.writes.size();
  s.open("Show.dat");
  expectFullOnlyAtTheEnd(s.main);
  EXPECT_EQ(s.main.back().writes, s.rig.port.writes.size()) << "nothing is sent after it is full";
  EXPECT_EQ(s.steps, 231) << "start, settings, masters, ultra-low, end, outputs, slots, modes";
  for (const auto& r : s.main) EXPECT_EQ(r.maximum, s.steps);
  // A six-byte frame written twice in a row went out again.
  std::vector<Bytes> frames;
  std::copy_if(s.rig.port.writes.begin() + before, s.rig.port.writes.end(),
               std::back_inserter(frames), [](const Bytes& w) { return w.size() == kFrameSize; });
  int resent = 0;
  for (std::size_t i = 1; i < frames.size(); ++i) resent += frames[i] == frames[i - 1];
  ASSERT_GT(resent, 0);
  EXPECT_EQ(s.outcome(), text(3, "Show.dat") + "\n" + text(2, std::to_string(resent)));
  EXPECT_EQ(s.p->form4.fileName.caption(), text(7, "Show.dat"));
  s.p->language.toggle();
  EXPECT_EQ(s.outcome().substr(0, 3), "e3[") << "the outcome follows the language";
}

// A master above its maximum costs a wait at the end, a slot the file lacks
// ends its set early: the total counts both.
TEST(ActivityLoad, TheTotalFollowsWhatTheFileHoldsAndTheLinkModel) {
  Session s;
  ASSERT_TRUE(s.connect(0));
  s.rig.folder.write("Odd.dat",
                     PresetData::sample().set("Mic_Master", 95).text("\r\n", "Music_1/5"));
  s.open("Odd.dat");
  expectFullOnlyAtTheEnd(s.main);
  EXPECT_EQ(s.main.back().maximum, s.steps);
  EXPECT_EQ(s.steps, 10 + 32 + 4 + 114 + 2 + 1) << "stereo model: no ultra-low or outputs";
}

// The link falls in mid-load: the fall-back reloads Pro.dat, the load skips
// what it had left, and the outcome gives the count the message box gives.
TEST(ActivityLoad, AUnitThatFallsSilentLeavesTheCountNotConfirmed) {
  Session s;
  ASSERT_TRUE(s.connect(Form1::kFirstFullModel));
  s.rig.port.onTransmit = [&, toUnit = s.rig.port.onTransmit](const Bytes& b) {
    if (b == commandFrame(addr::StoreMusic, 1)) s.unit->options().silent = true;
    toUnit(b);
  };
  s.open("Show.dat");
  EXPECT_EQ(s.main.back().value, s.main.back().maximum);
  ASSERT_GT(s.p->link.unconfirmed(), 0);
  EXPECT_EQ(s.outcome().substr(0, s.outcome().find('\n')),
            text(4, "Show.dat", std::to_string(s.p->link.unconfirmed())));
  EXPECT_EQ(s.rig.dialogs.messages.front(), kLinkTimeoutMessage);
  EXPECT_EQ(s.p->form4.fileName.caption(), text(7, "Pro.dat"));
}

TEST(ActivityReset, FullAtTheLinkAndEndedByTheWatchdogWhenTheUnitNeverBegins) {
  Session s;
  ASSERT_TRUE(s.connect(Form1::kFirstFullModel));
  s.main.clear();
  s.p->form4.All_Reset1.click();
  EXPECT_EQ(s.outcome(), text(13));
  ASSERT_TRUE(s.rig.loop.runUntil([&] { return s.p->state.Is_Linked; }, 30000));
  expectFullOnlyAtTheEnd(s.main);
  EXPECT_TRUE(s.main.back().linked);
  EXPECT_EQ(s.outcome(), text(9));

  s.unit->options().silent = true;
  s.p->form4.All_Reset1.click();
  s.rig.loop.advance(Transmitter::kWatchdogMs + 1);
  EXPECT_EQ(s.outcome(), text(10, "0", std::to_string(dumpMessageCount(2))));
  EXPECT_FALSE(s.p->form4.workBar.visible());

  // A save's outcome takes the place; the file it wrote is the current one.
  std::filesystem::create_directory(s.rig.folder.path() / "Folder.dat");
  for (const char* name : {"Mine.dat", "Folder.dat"}) {
    s.rig.dialogs.fileAnswers.push_back(s.rig.folder.file(name));
    s.p->form4.save1.click();
    EXPECT_EQ(s.outcome(), name[0] == 'M' ? text(5, name) : text(6, name, "是一个文件夹"));
    EXPECT_EQ(s.p->form4.fileName.caption(), text(7, name));
  }
}

}  // namespace
}  // namespace kp::test
