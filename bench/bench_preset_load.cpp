// A linked load of the shipped Pro.dat into karaoke-unit-sim over a
// pseudo-terminal, through the Qt event loop and serial port: wall time
// against the time the bytes need on a 28800 baud line, and CPU time.
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "app/program.h"
#include "core/virtual_loop.h"
#include "tests/support/rig.h"
#include "tests/support/sim_process.h"
#include "ui/qt_platform.h"
#include "ui/qt_serial_port.h"

namespace fs = std::filesystem;

namespace {

constexpr double kBitsPerByte = 11;  // start, 8 data, parity, stop
constexpr double kBaud = 28800;
constexpr double kLoadPauseS = 0.100;  // between the two mode changes

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU seconds another process has used so far, from /proc/<pid>/stat.
double cpuSecondsOf(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos || close + 2 >= text.size()) return 0;
  std::vector<std::string> fields;
  std::string field;
  for (char c : text.substr(close + 2)) {
    if (c != ' ') {
      field += c;
      continue;
    }
    fields.push_back(field);
    field.clear();
  }
  if (fields.size() < 13) return 0;
  return (std::stod(fields[11]) + std::stod(fields[12])) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Counts the bytes that cross the port both ways, input dropped unread too.
class CountingPort : public kp::SerialPort {
 public:
  explicit CountingPort(kp::SerialPort& inner) : in_(inner) {
    in_.onReadyRead = [this] {
      if (onReadyRead) onReadyRead();
    };
    in_.onError = [this](const std::string& e) {
      if (onError) onError(e);
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
  void discardInput() override {
    received += in_.bytesAvailable();
    in_.discardInput();
  }
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

bool runUntil(kp::EventPump& pump, kp::Clock& clock, const std::function<bool()>& pred, int ms) {
  const std::int64_t until = clock.nowMs() + ms;
  while (!pred()) {
    const std::int64_t now = clock.nowMs();
    if (now >= until) return pred();
    pump.runOnce(std::min(until, now + 20));
  }
  return true;
}

void run(bool paced, int loads) {
  const char* mode = paced ? "paced" : "unpaced";
  kp::test::TempDir folder;
  folder.write("config.ini", "[config]\r\nCOM=9\r\n");
  std::error_code ec;
  fs::copy_file(fs::path(kp::test::binDir()) / "Pro.dat", folder.path() / "Shipped.dat", ec);
  if (ec) {
    std::printf("  no shipped Pro.dat in %s\n", kp::test::binDir().c_str());
    return;
  }
  kp::test::SimProcess sim(folder.str(), 9,
                           paced ? std::vector<std::string>{"--paced"} : std::vector<std::string>{});
  if (!sim.ready()) {
    std::printf("  %s: karaoke-unit-sim did not start\n", mode);
    return;
  }

  QtSerialPort serial(folder.str());
  CountingPort port(serial);
  QtClock clock;
  QtEventPump pump(clock);
  kp::RecordingDialogs dialogs;
  kp::RecordingDesktop desktop;
  kp::Platform platform{port, clock, pump, dialogs, desktop};
  kp::Program program(platform, folder.str());
  program.startUp();
  program.form4.link1.click();
  program.form1.Combo1.setIndex(4);
  program.form1.Command1.click();
  if (!runUntil(pump, clock, [&] { return program.state.Is_Linked; }, 30000)) {
    std::printf("  %s: no link\n", mode);
    return;
  }
  runUntil(pump, clock, [&] { return !program.state.Awaiting_Reply && !program.state.Is_Busy; }, 1000);

  for (int i = 0; i < loads; ++i) {
    port.written = port.received = 0;
    dialogs.messages.clear();
    const double cpu0 = cpuSeconds();
    const double simCpu0 = cpuSecondsOf(sim.pid());
    const auto t0 = std::chrono::steady_clock::now();
    dialogs.fileAnswers.push_back(folder.file("Shipped.dat"));
    program.form4.open1.click();  // returns when the load is done
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = cpuSeconds() - cpu0;
    const double simCpu = cpuSecondsOf(sim.pid()) - simCpu0;
    const double floor =
        static_cast<double>(port.written + port.received) * kBitsPerByte / kBaud + kLoadPauseS;
    const double unitFloor = static_cast<double>(port.received) * kBitsPerByte / kBaud + kLoadPauseS;
    std::printf("  %-7s #%d  out %4zu B  in %4zu B  wall %6.3f s  floor %6.3f s (%5.1f %%)"
                "  unit->panel floor %6.3f s (%5.1f %%)  CPU %6.3f s (%4.1f %% of wall)"
                "  sim CPU %5.3f s%s\n",
                mode, i + 1, port.written, port.received, wall, floor, 100.0 * wall / floor,
                unitFloor, 100.0 * wall / unitFloor, cpu, 100.0 * cpu / wall, simCpu,
                dialogs.messages.empty() ? "" : "  [a message was shown]");
  }
  program.shutDown();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (!fs::exists(fs::path(kp::test::binDir()) / "karaoke-unit-sim")) {
    std::printf("bench_preset_load: no karaoke-unit-sim in %s; nothing measured\n",
                kp::test::binDir().c_str());
    return 0;
  }
  std::printf("Linked load of the shipped Pro.dat into karaoke-unit-sim (pty, Qt event loop)\n");
  std::printf("  floor: bytes both ways x 11 / 28800 s + the load's 100 ms pause;\n");
  std::printf("  unit->panel floor: the same for the unit's bytes only, the one way the\n");
  std::printf("  simulator paces (a pseudo-terminal passes the panel's bytes at once)\n");
  run(false, 3);
  run(true, 3);
  return 0;
}
