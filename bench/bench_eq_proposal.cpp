// How long one equaliser proposal takes from a 1/48-octave measurement of
// about 480 points; the aim is under 20 ms.
#include <cstdio>

#include "bench/bench_eq.h"

int main() {
  const int rounds = 50;
  const auto f = kp::bench::measureEqProposal(rounds);
  if (!f.ran) {
    std::printf("no proposal: %s\n", f.why.c_str());
    return 0;
  }
  std::printf(
      "one proposal from a 1/48-octave measurement (%zu points), 40 Hz to 16 kHz, %d rounds\n",
      f.points, rounds);
  std::printf("  min %.2f ms   median %.2f ms   max %.2f ms   (aim: under 20 ms)\n", f.minMs,
              f.medianMs, f.maxMs);
  std::printf("  error %.2f dB before, %.2f dB after; values:", f.last.errorBeforeDb,
              f.last.errorAfterDb);
  for (int v : f.last.proposed) std::printf(" %d", v);
  std::printf("\n");
  return 0;
}
