// The Rooms window's work, paced at the line's speed: a verify of sixteen
// rooms from the window's model beside a verify of one (each room a
// karaoke-ctl process, each unit a karaoke-unit-sim with --paced on a
// pseudo-terminal), and how late the panel's event loop runs meanwhile: a
// 10 ms timer on the loop that also draws the main window and reads sixteen
// processes' progress.
#include <sys/resource.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/program.h"
#include "bench/bench_common.h"
#include "qt/qt_child_processes.h"
#include "ui/main_window.h"
#include "ui/rooms_view.h"

namespace {

using kp::test::SimProcess;

constexpr int kFirstPort = 60;
constexpr int kUnits = 16;
constexpr int kRuns = 3;
constexpr int kTickMs = 10;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  kp::test::TempDir folder;
  std::filesystem::copy_file(kp::test::binDir() + "/config.ini", folder.file("config.ini"));
  std::filesystem::copy_file(kp::test::binDir() + "/Pro.dat", folder.file("Pro.dat"));
  std::vector<std::unique_ptr<SimProcess>> units;
  std::string rooms = "room,port,file\n";
  for (int i = 0; i < kUnits; ++i) {
    const int port = kFirstPort + i;
    units.push_back(
        std::make_unique<SimProcess>(folder.str(), port, std::vector<std::string>{"--paced"}));
    if (!units.back()->ready()) {
      std::printf("could not start karaoke-unit-sim\n");
      return 1;
    }
    // The simulators stand for hardware: the machine's cores are the panel's
    // and its processes' first.
    setpriority(PRIO_PROCESS, static_cast<id_t>(units.back()->pid()), 19);
    rooms += "room" + std::to_string(i + 1) + ",COM" + std::to_string(port) + ",Pro.dat\n";
  }
  folder.write("rooms.csv", rooms);

  // The panel as shipped, its port on none of the rooms' (COM1 is never opened:
  // ports/com1 names nothing).
  std::filesystem::create_directories(folder.file("ports"));
  std::filesystem::create_symlink("/dev/kp-no-such-tty", folder.file("ports/com1"));
  auto serial = makePanelSerialPort(folder.str());
  QtClock clock;
  QtEventPump pump(clock);
  kp::RecordingDialogs dialogs;
  kp::RecordingDesktop desktop;
  QtChildProcesses children;
  kp::Platform platform{*serial, clock, pump, dialogs, desktop, &children};
  kp::Program program(platform, folder.str());
  kp::ui::MainWindow window(program.form4);
  std::unique_ptr<kp::ui::RoomsView> roomsView;
  if (!std::getenv("KP_BENCH_NO_VIEW"))
    roomsView = std::make_unique<kp::ui::RoomsView>(program.roomsWindow, &window);
  program.venue.setEngine(kp::test::binDir() + "/karaoke-ctl", &children);
  program.startUp();
  window.show();
  if (!program.venue.openFile(folder.file("rooms.csv"))) return 1;
  program.roomsWindow.show();

  auto verify = [&](bool all, std::vector<double>* late) {
    for (std::size_t i = 0; i < program.roomsWindow.rows.size(); ++i)
      program.roomsWindow.rows[i].selected = all || i == 0;
    QElapsedTimer t;
    t.start();
    QElapsedTimer tick;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (late && tick.isValid())
        late->push_back(
            std::max<double>(0, static_cast<double>(tick.nsecsElapsed()) / 1e6 - kTickMs));
      tick.restart();
    });
    timer.start(kTickMs);
    program.venue.run(kp::Venue::Action::Verify);
    while (program.venue.busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
  };

  std::vector<double> one, sixteen, late;
  for (int run = 0; run < kRuns; ++run) {
    one.push_back(verify(false, nullptr));
    sixteen.push_back(verify(true, &late));
  }
  int answered = 0;
  if (std::getenv("KP_BENCH_VERBOSE"))
    for (const auto& r : program.roomsWindow.rows)
      std::printf("  %s: %s\n", r.room.name.c_str(), r.state.c_str());
  for (const auto& r : program.roomsWindow.rows)
    answered += r.tone == kp::RowTone::Good || r.tone == kp::RowTone::Differs;
  std::printf(
      "Rooms window, verify paced at 28800 baud 8E1 (median of %d; aim: sixteen within 1.3x of "
      "one)\n",
      kRuns);
  std::printf("one room                %8.1f ms\n", median(one) * 1e3);
  std::printf("%d rooms                %8.1f ms   %.3fx one room   (%d of %d rooms verified)\n",
              kUnits, median(sixteen) * 1e3, median(sixteen) / median(one), answered, kUnits);
  std::printf(
      "event loop while %d rooms run: a %d ms timer late by median %.2f ms, p99 %.2f ms, max %.2f "
      "ms "
      "(%zu ticks; aim p99 under 30 ms)\n",
      kUnits, kTickMs, percentile(late, 0.5), percentile(late, 0.99), percentile(late, 1.0),
      late.size());
  program.shutDown();
  return answered == kUnits ? 0 : 1;
}
