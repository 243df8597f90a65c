// What a wait for a silent unit costs: Wait_Reply through the real Qt event
// loop on a pseudo-terminal, until it gives up after the third transmission.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/state.h"
#include "link/transmitter.h"
#include "ui/qt_platform.h"
#include "ui/qt_serial_port.h"

namespace fs = std::filesystem;

namespace {

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Counts the turns of the loop, to tell a sleeping wait from a polling one.
class CountingPump : public kp::EventPump {
 public:
  explicit CountingPump(kp::EventPump& inner) : inner_(inner) {}
  void runOnce(std::int64_t deadlineMs) override {
    ++turns;
    inner_.runOnce(deadlineMs);
  }
  std::unique_ptr<kp::Timer> createTimer() override { return inner_.createTimer(); }
  long turns = 0;

 private:
  kp::EventPump& inner_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);

  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || !ptsname(master)) {
    std::printf("bench_wait_reply_cpu: no pseudo-terminal available; nothing measured\n");
    return 0;
  }
  std::string folder = (fs::temp_directory_path() / "kp_bench_XXXXXX").string();
  if (!mkdtemp(folder.data())) {
    std::printf("bench_wait_reply_cpu: no temporary folder; nothing measured\n");
    return 0;
  }
  std::error_code ec;
  fs::create_directories(fs::path(folder) / "ports", ec);
  fs::create_symlink(ptsname(master), fs::path(folder) / "ports" / "com3", ec);

  QtSerialPort port(folder);
  port.setPortNumber(3);
  port.setSettings(kp::LineSettings{});
  port.setReadSize(7);
  std::string error;
  if (!port.open(&error)) {
    std::printf("bench_wait_reply_cpu: %s; nothing measured\n", error.c_str());
    fs::remove_all(folder, ec);
    return 0;
  }

  QtClock clock;
  QtEventPump qtPump(clock);
  CountingPump pump(qtPump);
  auto watchdog = pump.createTimer();
  kp::SharedState state;
  kp::Transmitter tx(state, port, clock, pump, *watchdog);

  const auto wall0 = std::chrono::steady_clock::now();
  const double cpu0 = cpuSeconds();
  tx.Send_Command(51, 15);
  tx.Wait_Reply();
  const double cpu = cpuSeconds() - cpu0;
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  const double share = wall > 0 ? 100.0 * cpu / wall : 0.0;

  std::printf("Wait_Reply on a silent unit (pty, Qt event loop)\n");
  std::printf("  transmissions     %d\n", static_cast<int>(state.Send_Count));
  std::printf("  loop turns        %ld\n", pump.turns);
  std::printf("  wall time         %.3f s\n", wall);
  std::printf("  CPU time          %.4f s\n", cpu);
  std::printf("  CPU / wall        %.3f %% of one core   (target < 1 %%: %s)\n", share,
              share < 1.0 ? "met" : "MISSED");

  port.close();
  ::close(master);
  fs::remove_all(folder, ec);
  return 0;
}
