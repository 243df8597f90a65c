#pragma once
// The program on the real Qt serial port and event loop, with message boxes
// and file dialogs recorded instead of shown.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/program.h"
#include "core/virtual_loop.h"
#include "qt/port_factory.h"
#include "qt/qt_platform.h"
#include "qt/qt_serial_port.h"
#include "tests/support/rig.h"
#include "tests/support/sim_process.h"

namespace kp::test {

// One application object for the whole test program, on the offscreen platform.
void ensureQtApp();

// Runs Qt's events until pred() holds or timeoutMs pass; returns pred().
bool pumpUntil(const std::function<bool()>& pred, int timeoutMs);

// How many disconnect frames a unit's log (karaoke-unit-sim --log) shows.
inline int disconnectsHeard(const std::string& log) {
  int n = 0;
  for (auto at = log.find(": disconnect)"); at != std::string::npos;
       at = log.find(": disconnect)", at + 1))
    ++n;
  return n;
}

struct QtRig {
  explicit QtRig(int port = 5) {
    ensureQtApp();
    folder.write("config.ini", "[config]\r\nCOM=" + std::to_string(port) + "\r\n");
  }
  Program& make() {
    program = std::make_unique<Program>(platform, folder.str());
    return *program;
  }

  TempDir folder;
  std::unique_ptr<ChosenPort> port = makePanelSerialPort(folder.str());
  ChosenPort& serial = *port;
  QtClock clock;
  QtEventPump pump{clock};
  RecordingDialogs dialogs;
  RecordingDesktop desktop;
  Platform platform{serial, clock, pump, dialogs, desktop};
  std::unique_ptr<Program> program;
};

// The program on the panel's own port, which opens what COMn stands for
// ([ports] of config.ini first) as the shipped panel does.
struct PanelRig {
  PanelRig() { ensureQtApp(); }
  Program& make() {
    program = std::make_unique<Program>(platform, folder.str());
    return *program;
  }

  TempDir folder;
  std::unique_ptr<ChosenPort> serial = makePanelSerialPort(folder.str());
  QtClock clock;
  QtEventPump pump{clock};
  RecordingDialogs dialogs;
  RecordingDesktop desktop;
  Platform platform{*serial, clock, pump, dialogs, desktop};
  std::unique_ptr<Program> program;
};

}  // namespace kp::test
