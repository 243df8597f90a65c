// While linked over a pseudo-terminal to karaoke-unit-sim, an operator drags a
// music band through its whole range and back: the time from each change to
// its frame being handed to the serial port, median and 99th percentile.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/program.h"
#include "core/virtual_loop.h"
#include "panel/catalogue.h"
#include "tests/support/rig.h"
#include "tests/support/sim_process.h"
#include "ui/qt_platform.h"
#include "ui/qt_serial_port.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  kp::test::TempDir folder;
  folder.write("config.ini", "[config]\r\nCOM=8\r\n");
  kp::test::SimProcess sim(folder.str(), 8);
  if (!sim.ready()) {
    std::printf("could not start karaoke-unit-sim\n");
    return 0;
  }
  QtSerialPort serial(folder.str());
  QtClock clock;
  QtEventPump pump(clock);
  kp::RecordingDialogs dialogs;
  kp::RecordingDesktop desktop;
  kp::Platform platform{serial, clock, pump, dialogs, desktop};
  kp::Program p(platform, folder.str());
  p.startUp();
  p.form4.link1.click();
  p.form1.Command1.click();
  QElapsedTimer t;
  t.start();
  while (!p.state.Is_Linked && t.elapsed() < 10000) pump.runOnce(clock.nowMs() + 50);
  if (!p.state.Is_Linked) {
    std::printf("did not link\n");
    return 0;
  }

  // Each change is measured up to the write of its frame; then the events
  // that came meanwhile run, as they would between two mouse moves.
  kp::Slider& band = p.form4.cpvSlider(kp::musicBandSlider(16));
  std::vector<double> us;
  for (int round = 0; round < 20; ++round)
    for (int v : {-15, 15}) {
      const int step = v > band.value() ? 1 : -1;
      while (band.value() != v) {
        const auto t0 = std::chrono::steady_clock::now();
        band.operatorSet(band.value() + step);
        const auto t1 = std::chrono::steady_clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        QCoreApplication::processEvents();
      }
    }
  std::sort(us.begin(), us.end());
  const double median = us[us.size() / 2];
  const double p99 = us[std::min(us.size() - 1, us.size() * 99 / 100)];
  std::printf("Slider change to frame written, %zu changes while linked (target: median < 1 ms)\n",
              us.size());
  std::printf("median %.1f us   p99 %.1f us   max %.1f us\n", median, p99, us.back());
  p.shutDown();
  return 0;
}
