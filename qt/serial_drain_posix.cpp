#include "qt/serial_drain.h"

#include <sys/ioctl.h>
#include <termios.h>

#include <chrono>
#include <thread>

bool drainSerialDriver(qintptr handle, int maxMs) {
  const int fd = static_cast<int>(handle);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
  // tcdrain() alone would wait for ever on a line that no longer sends: the
  // driver's queue is watched with a bound, and tcdrain() waits only for the
  // last few bytes in the transmitter, which take milliseconds.
  for (;;) {
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0) return false;
    if (queued <= 0) break;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return ::tcdrain(fd) == 0;
}
