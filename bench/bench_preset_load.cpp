// A linked load of the shipped Pro.dat into karaoke-unit-sim over a
// pseudo-terminal, through the Qt event loop and serial port: wall time
// against the time the bytes need on a 28800 baud line, and CPU time.
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/e2e/unit_sim_process.h"

namespace fs = std::filesystem;
using kp::e2e::Folder;
using kp::e2e::QtProgram;
using kp::e2e::UnitSimProcess;

namespace {

constexpr double kBitsPerByte = 11;  // start, 8 data, parity, stop
constexpr double kBaud = 28800;
constexpr double kLoadPauseS = 0.100;  // between the two mode changes

fs::path binFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return exe.parent_path().parent_path() / "bin";
}

void run(const fs::path& bin, bool paced, int loads) {
  Folder folder;
  UnitSimProcess unit((bin / "karaoke-unit-sim").string(), folder.path(), 9,
                      paced ? std::vector<std::string>{"--paced"} : std::vector<std::string>{});
  if (!unit.waitReady(5000)) {
    std::printf("  karaoke-unit-sim did not start: %s\n", folder.read("unit-sim.out").c_str());
    return;
  }
  folder.write("config.ini", "[config]\r\nCOM=9\r\n");
  std::error_code ec;
  fs::copy_file(bin / "Pro.dat", folder.file("Shipped.dat"), ec);
  if (ec) {
    std::printf("  no shipped Pro.dat in %s\n", bin.string().c_str());
    return;
  }

  QtProgram qt(folder.path());
  qt.program.startUp();
  if (!qt.link(4)) {
    std::printf("  %s: no link\n", paced ? "paced" : "unpaced");
    return;
  }
  for (int i = 0; i < loads; ++i) {
    qt.port.written = qt.port.received = 0;
    const double cpu0 = kp::e2e::cpuSecondsOf(RUSAGE_SELF);
    const double simCpu0 = kp::e2e::cpuSecondsOfProcess(unit.pid());
    const auto t0 = std::chrono::steady_clock::now();
    qt.dialogs.fileAnswers.push_back(folder.file("Shipped.dat"));
    qt.program.form4.open1.click();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = kp::e2e::cpuSecondsOf(RUSAGE_SELF) - cpu0;
    const double simCpu = kp::e2e::cpuSecondsOfProcess(unit.pid()) - simCpu0;
    const double bytes = static_cast<double>(qt.port.written + qt.port.received);
    const double floor = bytes * kBitsPerByte / kBaud + kLoadPauseS;
    const double unitOnly = static_cast<double>(qt.port.received) * kBitsPerByte / kBaud + kLoadPauseS;
    std::printf("  %-8s load %d: out %5llu B, in %5llu B | wall %7.3f s | floor %6.3f s"
                " (wall/floor %5.1f %%; unit->panel only %6.3f s) | CPU panel %6.3f s"
                " (%4.1f %% of wall), unit %6.3f s%s\n",
                paced ? "paced" : "unpaced", i + 1,
                static_cast<unsigned long long>(qt.port.written),
                static_cast<unsigned long long>(qt.port.received), wall, floor,
                100.0 * wall / floor, unitOnly, cpu, 100.0 * cpu / wall, simCpu,
                qt.dialogs.messages.empty() ? "" : "  [a message was shown]");
    qt.dialogs.messages.clear();
  }
  qt.program.shutDown();
  unit.stop();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const fs::path bin = binFolder();
  if (!fs::exists(bin / "karaoke-unit-sim")) {
    std::printf("bench_preset_load: no karaoke-unit-sim in %s; nothing measured\n",
                bin.string().c_str());
    return 0;
  }
  std::printf("Linked load of the shipped Pro.dat into karaoke-unit-sim (pty, Qt event loop)\n");
  std::printf("  floor = bytes both ways x 11 / 28800 s + the 100 ms pause of the load\n");
  run(bin, false, 3);
  run(bin, true, 3);
  return 0;
}
