// A linked load of the shipped Pro.dat into karaoke-unit-sim over a
// pseudo-terminal, through the Qt event loop and serial port: wall time
// against the time the bytes need on a 28800 baud line, and CPU time.
#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/bench_common.h"

namespace fs = std::filesystem;

namespace {

void run(bool paced, int loads) {
  const char* mode = paced ? "paced" : "unpaced";
  std::string why;
  const auto figures = kp::bench::measurePresetLoad(paced, loads, &why);
  if (figures.empty()) std::printf("  %s: %s\n", mode, why.c_str());
  int i = 0;
  for (const auto& f : figures) {
    std::printf(
        "  %-7s #%d  out %4zu B  in %4zu B  wall %6.3f s  floor %6.3f s (%5.3fx)"
        "  CPU %6.3f s (%4.1f %% of wall)  sim CPU %5.3f s%s\n",
        mode, ++i, f.out, f.in, f.wallS, f.floorS(), f.wallS / f.floorS(), f.cpuS,
        100.0 * f.cpuS / f.wallS, f.simCpuS, f.messageShown ? "  [a message was shown]" : "");
  }
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
  std::printf("  floor: bytes both ways x 11 / 28800 s + the load's 100 ms pause\n");
  std::printf(
      "  (paced, the simulator takes and sends bytes at the line's speed; target <= 1.05x)\n");
  run(false, 3);
  run(true, 3);
  return 0;
}
