// Time from the connect button to the linked state with the long dump, over a
// pseudo-terminal to karaoke-unit-sim, unpaced and paced at 28800 baud 8E1,
// beside the wire-time floor (bytes both ways x 11 bits / 28800 baud).
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <filesystem>
#include <poll.h>

#include "app/program.h"
#include "core/virtual_loop.h"
#include "tests/support/rig.h"
#include "tests/support/sim_process.h"
#include "ui/qt_platform.h"
#include "ui/qt_serial_port.h"

namespace {

// Counts the bytes that cross the port both ways.
class CountingPort : public kp::SerialPort {
 public:
  explicit CountingPort(kp::SerialPort& inner) : in_(inner) {
    in_.onReadyRead = [this] {
      if (onReadyRead) onReadyRead();
    };
  }
  void setPortNumber(int n) override { in_.setPortNumber(n); }
  int portNumber() const override { return in_.portNumber(); }
  void setSettings(const kp::LineSettings& s) override { in_.setSettings(s); }
  void setReadSize(std::size_t n) override { in_.setReadSize(n); }
  bool open(std::string* e) override { return in_.open(e); }
  void close() override { in_.close(); }
  bool isOpen() const override { return in_.isOpen(); }
  void write(const kp::Bytes& b) override {
    written += b.size();
    in_.write(b);
  }
  void discardInput() override { in_.discardInput(); }
  kp::Bytes read() override {
    auto b = in_.read();
    received += b.size();
    return b;
  }
  std::size_t bytesAvailable() const override { return in_.bytesAvailable(); }
  std::size_t written = 0, received = 0;

 private:
  kp::SerialPort& in_;
};

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

void run(bool paced) {
  kp::test::TempDir folder;
  folder.write("config.ini", "[config]\r\nCOM=7\r\n");
  std::vector<std::string> args;
  if (paced) args.push_back("--paced");
  kp::test::SimProcess sim(folder.str(), 7, args);
  if (!sim.ready()) {
    std::printf("could not start karaoke-unit-sim\n");
    return;
  }
  QtSerialPort serial(folder.str());
  CountingPort port(serial);
  QtClock clock;
  QtEventPump pump(clock);
  kp::RecordingDialogs dialogs;
  kp::RecordingDesktop desktop;
  kp::Platform platform{port, clock, pump, dialogs, desktop};
  kp::Program p(platform, folder.str());
  p.startUp();
  p.form4.link1.click();
  p.form1.Combo1.setIndex(4);

  QElapsedTimer t;
  const double cpu0 = cpuSeconds();
  t.start();
  p.form1.Command1.click();
  while (!p.state.Is_Linked && t.elapsed() < 30000) pump.runOnce(clock.nowMs() + 50);
  const double wall = static_cast<double>(t.nsecsElapsed()) / 1e9;
  const double cpu = cpuSeconds() - cpu0;
  const double floor = static_cast<double>(port.written + port.received) * 11.0 / 28800.0;
  std::printf("%-8s linked=%s  wall %8.1f ms  wire floor %8.1f ms  over floor %+6.1f%%  cpu %6.1f ms  bytes out %zu in %zu\n",
              paced ? "paced" : "unpaced", p.state.Is_Linked ? "yes" : "NO", wall * 1e3,
              floor * 1e3, (wall / floor - 1) * 100, cpu * 1e3, port.written, port.received);
  p.shutDown();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::printf("Link with the long dump over a pseudo-terminal (targets: unpaced < 150 ms; paced <= floor + 5%%)\n");
  run(false);
  run(true);
  return 0;
}
