#include "qt/qt_platform.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <climits>

std::int64_t QtClock::nowMs() const {
  // msecsSinceReference() counts from the clock's fixed origin (boot, for the
  // monotonic clock), not from this object's creation.
  QElapsedTimer t;
  t.start();
  return t.msecsSinceReference();
}

QtTimer::QtTimer() {
  // Precise: a coarse timer may be 5% off, which is most of a second on a
  // fifteen-second watchdog.
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(1000);
  QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
    if (onTick) onTick();
  });
}

void QtTimer::setInterval(int ms) {
  // A zero interval would fire on every idle turn of the loop.
  timer_.setInterval(std::max(1, ms));
}

void QtTimer::start() {
  if (!timer_.isActive()) timer_.start();
}

void QtEventPump::runOnce(std::int64_t deadlineMs) {
  const std::int64_t wait = deadlineMs - clock_.nowMs();
  if (wait <= 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return;
  }
  // The wake-up timer lives on this frame, so a wait nested inside an event
  // keeps its own deadline and leaves the outer one intact.
  QTimer wake;
  wake.setSingleShot(true);
  wake.setTimerType(Qt::PreciseTimer);
  wake.start(static_cast<int>(std::min<std::int64_t>(wait, INT_MAX)));
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtEventPump::post(std::function<void()> fn) {
  QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

std::unique_ptr<kp::Timer> QtEventPump::createTimer() { return std::make_unique<QtTimer>(); }
