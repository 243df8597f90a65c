// karaoke-ctl backups paced at the line's speed: one unit's backup beside
// the time its bytes need on a 28800-baud line, and sixteen units backed up
// in parallel (one process each, as --rooms runs them) beside one. Every
// unit is a karaoke-unit-sim process with --paced on a pseudo-terminal; the
// times are of whole karaoke-ctl runs, the program's start included.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "panel/catalogue.h"
#include "tests/support/run_program.h"

namespace {

using kp::bench::wireSeconds;
using kp::test::SimProcess;

constexpr int kFirstPort = 40;
constexpr int kUnits = 16;
constexpr int kRuns = 3;

// The bytes of a link with the long dump and its unlink: the connect answer
// and the dump in; the connect, the dump request, an acknowledgement per
// message and the disconnect out.
double floorSeconds() {
  const std::size_t messages = 1 + static_cast<std::size_t>(kp::dumpMessageCount(2));
  const std::size_t in = 6 * messages;
  const std::size_t out = 6 + 6 + messages + 6;
  return wireSeconds(in + out);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// CPU seconds of the children waited for so far: karaoke-ctl and the
// processes it ran for the rooms.
double childrenCpu() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Cpu {
  double ctl = 0, sims = 0;
};

// Seconds of one karaoke-ctl run, and the CPU it and the simulators used.
double timed(const std::vector<std::string>& args, int* exitCode, Cpu* cpu,
             const std::vector<std::unique_ptr<SimProcess>>& units) {
  double simsBefore = 0;
  for (const auto& u : units) simsBefore += kp::bench::cpuSecondsOf(u->pid());
  const double ctlBefore = childrenCpu();
  const auto t0 = std::chrono::steady_clock::now();
  const auto r = kp::test::runProgram(kp::test::binDir() + "/karaoke-ctl", args);
  cpu->ctl += childrenCpu() - ctlBefore;
  for (const auto& u : units) cpu->sims += kp::bench::cpuSecondsOf(u->pid());
  cpu->sims -= simsBefore;
  *exitCode = r.exitCode;
  if (r.exitCode != 0)
    std::fprintf(stderr, "karaoke-ctl failed: %s%s\n", r.out.c_str(), r.err.c_str());
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main() {
  kp::test::TempDir folder;
  namespace fs = std::filesystem;
  fs::copy_file(kp::test::binDir() + "/config.ini", folder.file("config.ini"));
  fs::copy_file(kp::test::binDir() + "/Pro.dat", folder.file("Pro.dat"));
  fs::create_directory(folder.file("one"));
  fs::create_directory(folder.file("venue"));
  std::vector<std::unique_ptr<SimProcess>> units;
  std::string rooms, oneRoom;
  for (int i = 0; i < kUnits; ++i) {
    const int port = kFirstPort + i;
    units.push_back(
        std::make_unique<SimProcess>(folder.str(), port, std::vector<std::string>{"--paced"}));
    if (!units.back()->ready()) {
      std::printf("could not start karaoke-unit-sim\n");
      return 1;
    }
    const std::string line = "room" + std::to_string(i + 1) + ",COM" + std::to_string(port) + "\n";
    rooms += line;
    if (i == 0) oneRoom = line;
  }
  folder.write("rooms.csv", rooms);
  folder.write("one.csv", oneRoom);
  const std::string dir = folder.str();

  std::vector<double> single, one, sixteen;
  Cpu singleCpu, oneCpu, sixteenCpu;
  int code = 0;
  for (int run = 0; run < kRuns; ++run) {
    single.push_back(timed(
        {"backup", "COM" + std::to_string(kFirstPort), folder.file("unit.dat"), "--folder", dir},
        &code, &singleCpu, units));
    one.push_back(
        timed({"backup", "--rooms", folder.file("one.csv"), folder.file("one"), "--folder", dir},
              &code, &oneCpu, units));
    sixteen.push_back(timed(
        {"backup", "--rooms", folder.file("rooms.csv"), folder.file("venue"), "--folder", dir},
        &code, &sixteenCpu, units));
  }
  const double floor = floorSeconds();
  std::printf(
      "karaoke-ctl backup, paced at 28800 baud 8E1 (median of %d; aim: sixteen within 1.3x of "
      "one)\n",
      kRuns);
  std::printf("one unit, one process   %8.1f ms   wire floor %6.1f ms, %.3fx of it\n",
              median(single) * 1e3, floor * 1e3, median(single) / floor);
  std::printf("--rooms, one room       %8.1f ms   %.3fx the floor\n", median(one) * 1e3,
              median(one) / floor);
  std::printf("--rooms, %d rooms       %8.1f ms   %.3fx one room\n", kUnits, median(sixteen) * 1e3,
              median(sixteen) / median(one));
  // Paced, each simulator stays awake for the last stretch before every
  // byte: sixteen of them want more than two cores by themselves.
  std::printf(
      "CPU a run: one unit: karaoke-ctl %.1f ms, simulator %.1f ms; %d rooms: karaoke-ctl %.1f ms, "
      "simulators %.1f ms, on %ld cores\n",
      singleCpu.ctl / kRuns * 1e3, singleCpu.sims / kRuns * 1e3, kUnits,
      sixteenCpu.ctl / kRuns * 1e3, sixteenCpu.sims / kRuns * 1e3, sysconf(_SC_NPROCESSORS_ONLN));
  return code == 0 ? 0 : 1;
}
