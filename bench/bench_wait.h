#pragma once
// The CPU a quiet panel costs: Wait_Reply on the real Qt port and loop with
// no unit answering, and a panel idle unlinked and linked. Header only, like
// bench_common.h.
#include "bench/bench_common.h"

namespace kp::bench {

// Wait_Reply on a unit that never answers (the test holds the far end of a
// pseudo-terminal and says nothing), until it gives up.
struct WaitFigures {
  bool ran = false;
  std::string why;
  int transmissions = 0;
  long turns = 0;
  double wallS = 0, cpuS = 0;
  double share() const { return wallS > 0 ? cpuS / wallS : 0; }
};

// Counts the turns of the loop, to tell a sleeping wait from a polling one.
class CountingPump : public kp::EventPump {
 public:
  explicit CountingPump(kp::EventPump& inner) : inner_(inner) {}
  void runOnce(std::int64_t deadlineMs) override {
    ++turns;
    inner_.runOnce(deadlineMs);
  }
  std::unique_ptr<kp::Timer> createTimer() override { return inner_.createTimer(); }
  void post(std::function<void()> fn) override { inner_.post(std::move(fn)); }
  long turns = 0;

 private:
  kp::EventPump& inner_;
};

inline WaitFigures measureSilentWait() {
  WaitFigures f;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || !ptsname(master)) {
    f.why = "no pseudo-terminal available";
    if (master >= 0) ::close(master);
    return f;
  }
  kp::test::TempDir folder;
  std::error_code ec;
  fs::create_directories(folder.path() / "ports", ec);
  fs::create_symlink(ptsname(master), folder.path() / "ports" / "com3", ec);
  {
    auto com = makePanelSerialPort(folder.str());
    kp::SerialPort& port = *com;
    port.setPortNumber(3);
    port.setSettings(kp::LineSettings{});
    port.setReadSize(7);
    std::string error;
    if (!port.open(&error)) {
      f.why = error;
    } else {
      QtClock clock;
      QtEventPump qtPump(clock);
      CountingPump pump(qtPump);
      auto watchdog = pump.createTimer();
      kp::SharedState state;
      kp::Transmitter tx(state, port, clock, pump, *watchdog);
      const auto t0 = std::chrono::steady_clock::now();
      const double cpu0 = cpuSeconds();
      tx.Send_Command(51, 15);
      tx.Wait_Reply();
      f.cpuS = cpuSeconds() - cpu0;
      f.wallS = secondsSince(t0);
      f.transmissions = state.Send_Count;
      f.turns = pump.turns;
      f.ran = true;
      port.close();
    }
  }
  ::close(master);
  return f;
}

// What an idle panel costs: 10 s with the port open and nothing linked, then
// 10 s linked with nothing happening (the unit's watchdog frames only).
struct IdleFigures {
  bool ran = false;
  double unlinkedShare = 0, linkedShare = 0;
};

inline IdleFigures measureIdleCpu(int com = 9) {
  IdleFigures f;
  QtPanel panel(com, {});
  if (!panel.simReady()) return f;
  kp::Program& p = panel.start();
  auto idle = [&](int ms) {
    const double cpu0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    runUntil(
        panel.pump, panel.clock, [] { return false; }, ms);
    return (cpuSeconds() - cpu0) / secondsSince(t0);
  };
  f.unlinkedShare = idle(10000);
  panel.clickConnect(0);
  if (!panel.waitLinked(10000) || !p.state.Is_Linked) return f;
  f.linkedShare = idle(10000);
  f.ran = true;
  return f;
}

}  // namespace kp::bench
