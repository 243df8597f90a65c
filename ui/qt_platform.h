#pragma once
// The core's clock, event loop, timers, message boxes and desktop hand-off,
// on Qt. Everything here runs on the user-interface thread.
#include <QElapsedTimer>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/ports.h"

class QWidget;

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

 private:
  const kp::Clock& clock_;
};

// Message boxes with one OK button under the application's display name, and
// the platform's file dialogs. Paths go in and come out as UTF-8.
class QtDialogs : public kp::Dialogs {
 public:
  // The window the dialogs belong to; null centres them on the screen.
  void setParent(QWidget* parent) { parent_ = parent; }
  QWidget* parent() const { return parent_; }

  void message(const std::string& text) override;
  // filter is a pattern list such as "*.dat".
  std::optional<std::string> openFile(const std::string& current,
                                      const std::string& filter) override;
  std::optional<std::string> saveFile(const std::string& current,
                                      const std::string& filter) override;

 private:
  QWidget* parent_ = nullptr;
};

// Hands a document (UTF-8 path) to the desktop's default handler: the shell's
// "open" verb on Windows, the desktop's URL handler elsewhere
// (open_document_windows.cpp, open_document_posix.cpp).
bool openWithDesktop(const std::string& path);

class QtDesktop : public kp::Desktop {
 public:
  bool openDocument(const std::string& path) override;
};
