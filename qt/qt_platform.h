#pragma once
// The core's clock, event loop and timers on Qt Core: what a program with or
// without windows needs. Everything here runs on the user-interface thread.
#include <QElapsedTimer>
#include <QTimer>
#include <cstdint>
#include <memory>

#include "core/ports.h"

// Milliseconds of the system's monotonic clock: every instance agrees, and
// setting the wall clock never moves it.
class QtClock : public kp::Clock {
 public:
  std::int64_t nowMs() const override;
};

// A periodic QTimer. start() leaves a running countdown alone; restart()
// (stop, then start) begins a new one.
class QtTimer : public kp::Timer {
 public:
  QtTimer();
  void setInterval(int ms) override;
  int interval() const override { return timer_.interval(); }
  void start() override;
  void stop() override { timer_.stop(); }
  bool isActive() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
};

// Runs the Qt event loop for the core's waits. A wait sleeps in the event
// dispatcher, so waiting for a reply costs no CPU, while serial data, timers
// and the window keep being served.
class QtEventPump : public kp::EventPump {
 public:
  explicit QtEventPump(const kp::Clock& clock) : clock_(clock) {}

  // Runs the events pending now once; when none is pending, sleeps until one
  // arrives or the clock reaches deadlineMs. A deadline already past only
  // runs what is pending. May be re-entered from an event it runs.
  void runOnce(std::int64_t deadlineMs) override;
  std::unique_ptr<kp::Timer> createTimer() override;
  // Queued on the application object, so it runs on the user-interface
  // thread, in a nested loop too.
  void post(std::function<void()> fn) override;

 private:
  const kp::Clock& clock_;
};
