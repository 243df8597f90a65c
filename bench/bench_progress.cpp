// What showing the progress of a linked load costs: the load of the shipped
// Pro.dat into the in-process unit on virtual time (so only the panel's own
// work is timed), with the progress wired and shown, and with its events
// cut off and nothing drawn. Also the time from the Open command to the
// first frame, and to the second, between which the load's steps are
// counted from the file while the unit takes the first.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

// Before any Qt header, whose emit macro it would meet.
#include "sim/in_process.h"

#include "bench/bench_common.h"
#include "link/frames.h"

namespace {

struct Figures {
  double cpuS;
  double firstFrameUs;
  double secondFrameUs;
};

Figures loadOnce(bool progress) {
  kp::test::Rig rig;
  kp::sim::InProcessUnit unit(rig.loop, rig.port);
  std::filesystem::copy_file(std::filesystem::path(kp::test::binDir()) / "Pro.dat",
                             rig.folder.path() / "Pro.dat");
  kp::Program& p = rig.make();
  p.startUp();
  p.form4.link1.click();
  p.form1.Combo1.setIndex(kp::Form1::kFirstFullModel);
  p.form1.Command1.click();
  rig.loop.runUntil([&] { return p.state.Is_Linked; }, 60000);
  rig.loop.runUntil([&] { return !p.state.Awaiting_Reply && !p.state.Is_Busy; }, 1000);
  if (!progress) {
    p.presetFile.events = {};
    p.link.onResent = nullptr;
    p.link.onBatchStep = nullptr;
    p.progress.setShown(false);
  }
  std::vector<std::chrono::steady_clock::time_point> frames;
  auto toUnit = rig.port.onTransmit;
  rig.port.onTransmit = [&](const kp::Bytes& b) {
    if (frames.size() < 2 && b.size() == kp::kFrameSize)
      frames.push_back(std::chrono::steady_clock::now());
    toUnit(b);
  };
  rig.dialogs.fileAnswers.push_back((rig.folder.path() / "Pro.dat").string());
  const double cpu0 = kp::bench::cpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  p.form4.open1.click();
  const double cpu = kp::bench::cpuSeconds() - cpu0;
  auto us = [&](int i) {
    return std::chrono::duration<double, std::micro>(frames.at(i) - t0).count();
  };
  return {cpu, us(0), us(1)};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  constexpr int kRuns = 15;
  std::printf("Linked load of the shipped Pro.dat, in-process unit on virtual time, median of %d\n",
              kRuns);
  for (bool progress : {false, true}) {
    std::vector<double> cpu, first, second;
    for (int i = 0; i < kRuns; ++i) {
      const Figures f = loadOnce(progress);
      cpu.push_back(f.cpuS * 1000);
      first.push_back(f.firstFrameUs);
      second.push_back(f.secondFrameUs);
    }
    std::printf("  %-17s CPU %6.2f ms   Open to first frame %7.1f us, to second %7.1f us\n",
                progress ? "progress shown" : "progress cut off", median(cpu), median(first),
                median(second));
  }
  return 0;
}
