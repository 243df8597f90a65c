// What a wait for a silent unit costs: Wait_Reply through the real Qt event
// loop on a pseudo-terminal, until it gives up after the third transmission.
#include <QCoreApplication>
#include <cstdio>

#include "bench/bench_common.h"
#include "bench/bench_wait.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const auto f = kp::bench::measureSilentWait();
  if (!f.ran) {
    std::printf("bench_wait_reply_cpu: %s; nothing measured\n", f.why.c_str());
    return 0;
  }
  const double share = 100.0 * f.share();
  std::printf("Wait_Reply on a silent unit (pty, Qt event loop)\n");
  std::printf("  transmissions     %d\n", f.transmissions);
  std::printf("  loop turns        %ld\n", f.turns);
  std::printf("  wall time         %.3f s\n", f.wallS);
  std::printf("  CPU time          %.4f s\n", f.cpuS);
  std::printf("  CPU / wall        %.3f %% of one core   (target < 1 %%: %s)\n", share,
              share < 1.0 ? "met" : "MISSED");
  return 0;
}
