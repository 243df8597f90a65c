// While linked over a pseudo-terminal to karaoke-unit-sim, an operator drags a
// music band through its whole range and back: the time from each change to
// its frame being handed to the serial port, median and 99th percentile.
#include <QApplication>
#include <cstdio>

#include "bench/bench_common.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const auto f = kp::bench::measureSliderLatency();
  if (!f.ran) {
    std::printf("could not start karaoke-unit-sim or did not link\n");
    return 0;
  }
  std::printf("Slider change to frame written, %zu changes while linked (target: median < 1 ms)\n",
              f.changes);
  std::printf("median %.1f us   p99 %.1f us   max %.1f us\n", f.medianUs, f.p99Us, f.maxUs);
  return 0;
}
