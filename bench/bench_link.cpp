// Time from the connect button to the linked state with the long dump, over a
// pseudo-terminal to karaoke-unit-sim, unpaced and paced at 28800 baud 8E1,
// beside the wire-time floor (bytes both ways x 11 bits / 28800 baud).
#include <QApplication>
#include <cstdio>

#include "bench/bench_common.h"

namespace {

void run(bool paced) {
  const auto f = kp::bench::measureLink(paced);
  if (!f.linked && f.out == 0) {
    std::printf("could not start karaoke-unit-sim\n");
    return;
  }
  std::printf(
      "%-8s linked=%s  wall %8.1f ms  wire floor %8.1f ms  %.3fx of it  cpu %6.1f ms  bytes out "
      "%zu in %zu\n",
      paced ? "paced" : "unpaced", f.linked ? "yes" : "NO", f.wallS * 1e3, f.floorS() * 1e3,
      f.wallS / f.floorS(), f.cpuS * 1e3, f.out, f.in);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::printf(
      "Link with the long dump over a pseudo-terminal (targets: unpaced < 150 ms; paced <= 1.03x "
      "the floor)\n");
  run(false);
  run(true);
  return 0;
}
