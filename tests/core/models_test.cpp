#include "core/models.h"

#include <gtest/gtest.h>

#include "core/virtual_loop.h"

namespace kp {
namespace {

TEST(SliderModel, RaisesItsChangeOnEveryChangeFromCodeOrOperatorButNotForTheSameValue) {
  Slider s(-15, 15);
  std::vector<int> seen;
  s.onChange = [&] { seen.push_back(s.value()); };
  EXPECT_TRUE(s.setValue(-3));
  EXPECT_TRUE(s.setValue(-3));
  s.operatorSet(7);
  EXPECT_EQ(seen, (std::vector<int>{-3, 7}));
}

TEST(SliderModel, RefusesCodeValuesOutsideItsDesignRange) {
  Slider s(0, 100);
  int changes = 0;
  s.onChange = [&] { ++changes; };
  EXPECT_FALSE(s.setValue(101));
  EXPECT_FALSE(s.setValue(-1));
  EXPECT_EQ(s.value(), 0);
  EXPECT_EQ(changes, 0);
}

TEST(SliderModel, TheOperatorIsHeldToTheUpperLimitAndIgnoredWhileDisabled) {
  Slider s(0, 100);
  s.setUpperLimit(60);
  s.operatorSet(90);
  EXPECT_EQ(s.value(), 60);
  // Code may still set a value above the limit; lowering the limit keeps it.
  EXPECT_TRUE(s.setValue(80));
  s.setUpperLimit(20);
  EXPECT_EQ(s.value(), 80);
  s.setEnabled(false);
  s.operatorSet(10);
  EXPECT_EQ(s.value(), 80);
  EXPECT_TRUE(s.setValue(10)) << "a disabled slider still takes values from code";
}

TEST(ListModel, SelectionChangesRunTheHandlerClearingDoesNot) {
  ListBox l;
  int changes = 0;
  l.onChange = [&] { ++changes; };
  l.setItems({"1.RAM1", "2.RAM2", "3.RAM3"});
  EXPECT_TRUE(l.setIndex(1));
  EXPECT_TRUE(l.setIndex(1));
  EXPECT_FALSE(l.setIndex(3));
  EXPECT_EQ(l.index(), 1);
  l.clear();
  EXPECT_EQ(l.index(), -1);
  EXPECT_EQ(changes, 1);
  l.setEnabled(false);
  l.addItem("x");
  l.operatorSelect(0);
  EXPECT_EQ(l.index(), -1);
}

TEST(SpinModel, StepsStopAtTheEnds) {
  SpinButton s(1, 100, 1);
  int changes = 0;
  s.onChange = [&] { ++changes; };
  s.operatorStep(-1);
  EXPECT_EQ(changes, 0);
  s.operatorStep(+1);
  EXPECT_EQ(s.value(), 2);
  EXPECT_FALSE(s.setValue(101));
}

class CountingWindow : public Window {
 public:
  int loads = 0, unloads = 0;

 protected:
  void onLoad() override { ++loads; }
  void onUnload() override { ++unloads; }
};

TEST(WindowModel, LoadsOnceShowsAndDiscards) {
  CountingWindow w;
  w.load();
  w.show();
  EXPECT_EQ(w.loads, 1);
  EXPECT_TRUE(w.visible());
  w.setEnabled(false);
  w.unload();
  EXPECT_FALSE(w.loaded());
  EXPECT_FALSE(w.visible());
  EXPECT_TRUE(w.enabled()) << "a new instance starts from its design state";
  w.show();
  EXPECT_EQ(w.loads, 2);
  EXPECT_EQ(w.unloads, 1);
}

TEST(VirtualTime, EventsRunInTimeOrderAndTimersRepeatUntilStopped) {
  VirtualLoop loop;
  const auto t0 = loop.nowMs();
  std::vector<std::int64_t> ticks;
  auto timer = loop.createTimer();
  timer->setInterval(1000);
  timer->onTick = [&] {
    ticks.push_back(loop.nowMs() - t0);
    if (ticks.size() == 3) timer->stop();
  };
  timer->start();
  std::vector<int> order;
  loop.at(t0 + 1500, [&] { order.push_back(2); });
  loop.at(t0 + 500, [&] { order.push_back(1); });
  loop.advance(10000);
  EXPECT_EQ(ticks, (std::vector<std::int64_t>{1000, 2000, 3000}));
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(loop.nowMs() - t0, 10000);
}

TEST(VirtualTime, ADestroyedTimerNeverTicks) {
  VirtualLoop loop;
  int ticks = 0;
  {
    auto timer = loop.createTimer();
    timer->setInterval(10);
    timer->onTick = [&] { ++ticks; };
    timer->start();
  }
  loop.advance(100);
  EXPECT_EQ(ticks, 0);
}

TEST(LineSettingsText, ParsesTheClassicFormAndRejectsNonsense) {
  auto s = LineSettings::parse("28800,E,8,1");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->baud, 28800);
  EXPECT_EQ(s->parity, Parity::Even);
  EXPECT_EQ(s->dataBits, 8);
  EXPECT_EQ(s->stopBits, 1);
  EXPECT_FALSE(LineSettings::parse("28800,X,8,1"));
  EXPECT_FALSE(LineSettings::parse("fast,E,8,1"));
  EXPECT_FALSE(LineSettings::parse("28800,E,8"));
}

TEST(ControlTag, ReadsAsAUnitAddressOrNotAtAll) {
  Control c;
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"45", 45},           {"255", 255},         {"256", std::nullopt}, {"", std::nullopt},
      {"4a", std::nullopt}, {"-1", std::nullopt}, {"1000", std::nullopt}};
  for (const auto& [tag, number] : cases) {
    c.Tag = tag;
    EXPECT_EQ(c.tagNumber(), number) << tag;
  }
}

}  // namespace
}  // namespace kp
